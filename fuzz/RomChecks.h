// SPDX-License-Identifier: MIT
#pragma once
// Everything the editor does with a ROM image, run on one image of any length
// and checked as it goes. Shared by the fuzz target and the regression test
// that replays what the fuzzer found.
//
// For each map of the built-in catalogue, and for a few maps whose offsets are
// taken from the image's own bytes (so that negative, huge, odd and
// end-hugging ranges are reached too):
//  - the tileset is decoded: rows whose two bytes lie in the image show them,
//    every other pixel stays black;
//  - the map is decoded exactly when its bytes lie in the image, and drawn:
//    every cell of the map surface is its tile;
//  - tiles are stamped on cells around every edge of the map, also just past
//    it: only the cells inside change;
//  - the map is encoded back into a copy of the image: decoding the copy gives
//    the same grid, the unedited map gives back the very same bytes, and no
//    byte outside the map's range (nor the guard bytes around the copy)
//    changes.
// Reading outside the image is left to AddressSanitizer: the image is only
// read through the span it came in.

#include "app/Catalogue.h"
#include "app/Rom.h"
#include "map/MapGrid.h"
#include "map/MapRender.h"
#include "tiles/Tileset.h"
#include "support/TileReference.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

namespace q2::fuzz {

constexpr size_t kMaxImage = 1024 * 1024;

namespace detail {

inline int32_t Int32At(std::span<const uint8_t> rom, size_t at) {
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i) v |= uint32_t(at + i < rom.size() ? rom[at + i] : 0) << (8 * i);
    return int32_t(v);
}

inline int8_t Int8At(std::span<const uint8_t> rom, size_t at) {
    return int8_t(at < rom.size() ? rom[at] : 0);
}

// The maps tried on an image: the catalogue's, one at offsets read from bytes
// 0 to 12, and one placed a little before or after the image's end.
inline std::vector<MapEntry> EntriesFor(std::span<const uint8_t> rom) {
    static const MapCatalogue builtIn = ParseMapCatalogue(MAP_NAMES());
    std::vector<MapEntry> entries = builtIn.entries;

    MapEntry raw;
    raw.MapOffset = Int32At(rom, 0);
    raw.TilesetFirst = Int32At(rom, 4);
    raw.TilesetLast = Int32At(rom, 8);
    raw.IsSubMap = (Int8At(rom, 12) & 1) != 0;
    entries.push_back(raw);

    MapEntry nearEnd;
    const int64_t size = int64_t(rom.size());
    nearEnd.IsSubMap = (Int8At(rom, 13) & 1) != 0;
    nearEnd.MapOffset = int32_t(size - MapByteCount(nearEnd.IsSubMap) + Int8At(rom, 14));
    nearEnd.TilesetFirst = int32_t(size - 4096 + Int8At(rom, 15));
    nearEnd.TilesetLast = int32_t(int64_t(nearEnd.TilesetFirst) + 4095 + Int8At(rom, 16));
    entries.push_back(nearEnd);
    return entries;
}

// Tileset pixels as the game's tile format gives them, where both bytes of a
// pixel row lie in the image; black elsewhere.
inline std::string CheckTileset(std::span<const uint8_t> rom, const MapEntry& e, const cDIBSection& tileset) {
    const QImage& image = tileset.Image();
    if (image.width() != kTilesetPixels || image.height() != kTilesetPixels) return "tileset surface size";
    const int64_t size = int64_t(rom.size());
    int64_t i = e.TilesetFirst;
    for (int row = 0; row < kTilesetPixels * kTilesetPixels / kTileSize; ++row, i += 2) {
        const int tx = (row / kTileSize) % kTilesetTilesPerRow * kTileSize;
        const int ty = row / (kTileSize * kTilesetTilesPerRow) * kTileSize + row % kTileSize;
        const bool decoded = i <= e.TilesetLast && i >= 0 && i + 1 < size;
        const uchar* p = image.constScanLine(ty) + tx * 3;
        for (int b = 7; b >= 0; --b, p += 3) {
            COLORREF want = RGB(0, 0, 0);
            if (decoded) {
                const uint8_t lo = rom[size_t(i)], hi = rom[size_t(i + 1)];
                want = kShades[test::RowColour(lo, hi, 7 - b)];
            }
            if (p[0] != GetRValue(want) || p[1] != GetGValue(want) || p[2] != GetBValue(want))
                return "tileset pixel (" + std::to_string(tx + 7 - b) + ", " + std::to_string(ty) + ")";
        }
    }
    return {};
}

// Every cell of the map surface shows its tile of the tileset: the surface
// is compared row by row with one put together from the tileset's rows.
inline std::string CheckDrawn(const MapGrid& grid, const cDIBSection& tileset, const cDIBSection& surface) {
    const QImage& map = surface.Image();
    const QImage& tiles = tileset.Image();
    if (map.width() != grid.Columns() * kTileSize || map.height() != grid.Rows() * kTileSize)
        return "map surface size";
    constexpr size_t kCellBytes = kTileSize * 3;
    std::vector<uchar> row(size_t(grid.Columns()) * kCellBytes);
    for (int y = 0; y < grid.Rows(); ++y)
        for (int j = 0; j < kTileSize; ++j) {
            for (int x = 0; x < grid.Columns(); ++x) {
                const uchar* from = tiles.constScanLine(grid(x, y, 1) * kTileSize + j) + grid(x, y, 0) * kCellBytes;
                std::copy(from, from + kCellBytes, row.begin() + x * kCellBytes);
            }
            if (std::memcmp(map.constScanLine(y * kTileSize + j), row.data(), row.size()) != 0)
                return "map row " + std::to_string(y * kTileSize + j) + " drawn wrong";
        }
    return {};
}

// Stamps around every edge of the map, as single tiles and as the cells of
// 3 x 3 blocks, the way the map canvas passes them.
inline std::string Stamp(std::span<const uint8_t> rom, MapGrid& grid, cDIBSection& tileset, cDIBSection& surface) {
    const int rows = grid.Rows();
    const int16_t xs[] = {INT16_MIN, -3, -1, 0, 1, 15, 29, 30, 31, 32, 33, INT16_MAX};
    const int16_t ys[] = {INT16_MIN, -3, -1, 0, 1, int16_t(rows - 3), int16_t(rows - 2), int16_t(rows - 1),
                          int16_t(rows), int16_t(rows + 1), 31, 32, INT16_MAX};
    MapGrid expected = grid;
    size_t k = 0;
    for (int16_t x : xs)
        for (int16_t y : ys)
            for (int j = 0; j < 3; ++j)
                for (int i = 0; i < 3; ++i, ++k) {
                    const uint8_t pick = rom.empty() ? uint8_t(k) : rom[(k * 7919) % rom.size()];
                    const int16_t cx = int16_t(x + i), cy = int16_t(y + j);
                    const int16_t column = pick & 0x0F, row = pick >> 4;
                    DrawMapCell(grid, tileset, surface, cx, cy, column, row);
                    if (expected.Contains(cx, cy)) {
                        expected(cx, cy, 0) = uint8_t(column);
                        expected(cx, cy, 1) = uint8_t(row);
                    }
                }
    if (!(grid == expected)) return "stamping changed cells outside the map, or missed cells inside it";
    return CheckDrawn(grid, tileset, surface);
}

constexpr uint8_t kGuardByte = 0xA5;

inline bool GuardsIntact(const std::vector<uint8_t>& buffer, size_t guard) {
    auto isGuard = [](uint8_t b) { return b == kGuardByte; };
    return std::all_of(buffer.begin(), buffer.begin() + guard, isGuard) &&
           std::all_of(buffer.end() - guard, buffer.end(), isGuard);
}

} // namespace detail

// Runs everything on rom; an empty result when all checks hold, else what failed.
inline std::string CheckRomImage(std::span<const uint8_t> rom) {
    using namespace detail;
    const bool expected = rom.size() == size_t(kExpectedRomSize) &&
                          std::memcmp(rom.data() + kTitleOffset, kExpectedTitle, 10) == 0;
    if (IsExpectedRom(RomImage(rom.begin(), rom.end())) != expected) return "title check";

    // The copy saving writes into, with guard bytes on both sides.
    constexpr size_t kGuard = 64;
    std::vector<uint8_t> buffer(rom.size() + 2 * kGuard, kGuardByte);
    std::copy(rom.begin(), rom.end(), buffer.begin() + kGuard);
    const std::span<uint8_t> work(buffer.data() + kGuard, rom.size());

    const std::vector<MapEntry> entries = EntriesFor(rom);
    for (size_t n = 0; n < entries.size(); ++n) {
        const MapEntry& e = entries[n];
        const std::string where = "map " + std::to_string(n) + " (offset " + std::to_string(e.MapOffset) +
                                  ", tiles " + std::to_string(e.TilesetFirst) + " to " +
                                  std::to_string(e.TilesetLast) + ", image " + std::to_string(rom.size()) + "): ";
        cDIBSection tileset, surface;
        BuildTileset(tileset, rom, e.TilesetFirst, e.TilesetLast);
        if (std::string f = CheckTileset(rom, e, tileset); !f.empty()) return where + f;

        const int rows = MapRows(e.IsSubMap);
        const int64_t bytes = MapByteCount(e.IsSubMap);
        const bool inside = RangeInside(e.MapOffset, bytes, rom.size());
        MapGrid grid(1, 1);
        const MapGrid untouched = grid;
        if (DecodeMap(rom, e.MapOffset, e.IsSubMap, grid) != inside) return where + "decode accepted a map outside";
        if (!inside) {
            if (!(grid == untouched)) return where + "a refused decode changed the grid";
            if (EncodeMap(MapGrid(kMapColumns, rows), e.MapOffset, work)) return where + "encode wrote outside";
            continue;
        }
        if (grid.Columns() != kMapColumns || grid.Rows() != rows) return where + "grid size";
        surface.Create(kMapColumns * kTileSize, rows * kTileSize);
        DrawMap(grid, tileset, surface);
        if (std::string f = CheckDrawn(grid, tileset, surface); !f.empty()) return where + f;

        // The unedited map goes back byte for byte.
        if (!EncodeMap(grid, e.MapOffset, work)) return where + "encode refused a map inside";
        if (!std::equal(rom.begin(), rom.end(), work.begin())) return where + "unedited map encoded differently";

        if (std::string f = Stamp(rom, grid, tileset, surface); !f.empty()) return where + f;
        if (!EncodeMap(grid, e.MapOffset, work)) return where + "encode refused a map inside";
        MapGrid back;
        if (!DecodeMap(work, e.MapOffset, e.IsSubMap, back) || !(back == grid))
            return where + "decoding the encoded map gives another grid";
        const size_t from = size_t(e.MapOffset), to = from + size_t(bytes);
        if (!std::equal(rom.begin(), rom.begin() + from, work.begin()) ||
            !std::equal(rom.begin() + to, rom.end(), work.begin() + to) || !GuardsIntact(buffer, kGuard))
            return where + "encoding changed bytes outside the map";
        std::copy(rom.begin() + from, rom.begin() + to, work.begin() + from);
    }
    // Refused encodes wrote nothing; accepted ones were put back above.
    if (!std::equal(rom.begin(), rom.end(), work.begin())) return "an encode outside a map's range changed the image";
    if (!GuardsIntact(buffer, kGuard)) return "an encode wrote outside the image";
    return {};
}

} // namespace q2::fuzz
