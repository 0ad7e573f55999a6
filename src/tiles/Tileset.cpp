// SPDX-License-Identifier: MIT
#include "Tileset.h"

#include <array>
#include <cstring>

namespace q2 {

bool IsBitSet(int32_t value, int16_t bit) {
    if (bit < 0 || bit > 31) return false;
    if (bit == 31) return value < 0;
    return (value & (int32_t(1) << bit)) != 0;
}

int64_t TilesetBytesRead(int32_t first, int32_t last) {
    if (last < first) return 0;
    int64_t length = int64_t(last) - first + 1;
    return length + (length & 1);
}

namespace {

// Four pixels of one tile row from a nibble of each bit plane, as RGB bytes:
// index (hi nibble << 4) | lo nibble.
using Quad = std::array<uint8_t, 12>;

std::array<Quad, 256> MakeQuadTable() {
    std::array<Quad, 256> table{};
    for (int index = 0; index < 256; ++index) {
        const int lo = index & 0x0F, hi = index >> 4;
        for (int p = 0; p < 4; ++p) {
            const int bit = 3 - p;  // the nibble's top bit is its leftmost pixel
            const int colour = (IsBitSet(lo, int16_t(bit)) ? 1 : 0) + (IsBitSet(hi, int16_t(bit)) ? 2 : 0);
            table[index][p * 3 + 0] = GetRValue(kShades[colour]);
            table[index][p * 3 + 1] = GetGValue(kShades[colour]);
            table[index][p * 3 + 2] = GetBValue(kShades[colour]);
        }
    }
    return table;
}

const std::array<Quad, 256> kQuads = MakeQuadTable();

} // namespace

void BuildTileset(cDIBSection& surface, std::span<const uint8_t> rom, int32_t first, int32_t last) {
    surface.Create(kTilesetPixels, kTilesetPixels);
    QImage& image = surface.Image();
    if (image.isNull()) return;
    uchar* const bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    const int64_t size = int64_t(rom.size());

    // One pixel row of a tile per step: bytes i and i + 1 of the range.
    int tx = 0, ty = 0, r = 0;
    for (int64_t i = first; i <= last && ty < kTilesetPixels; i += 2) {
        if (i >= 0 && i + 1 < size) {
            const uint8_t lo = rom[size_t(i)], hi = rom[size_t(i + 1)];
            uchar* row = bits + (ty + r) * stride + tx * 3;
            std::memcpy(row, kQuads[((hi >> 4) << 4) | (lo >> 4)].data(), 12);
            std::memcpy(row + 12, kQuads[((hi & 0x0F) << 4) | (lo & 0x0F)].data(), 12);
        }
        if (++r == kTileSize) {
            r = 0;
            tx += kTileSize;
            if (tx == kTilesetPixels) {
                tx = 0;
                ty += kTileSize;
            }
        }
    }
}

} // namespace q2

namespace q2 {

int ShadeNumber(uint8_t red, uint8_t green, uint8_t blue) {
    if (red != green || green != blue) return -1;
    for (int colour = 0; colour < 4; ++colour)
        if (GetRValue(kShades[colour]) == red) return colour;
    return -1;
}

std::vector<uint8_t> EncodeTileset(const QImage& picture) {
    if (picture.width() != kTilesetPixels || picture.height() != kTilesetPixels) return {};
    const QImage rgb = picture.format() == QImage::Format_RGB888 ? picture
                                                                 : picture.convertToFormat(QImage::Format_RGB888);
    std::vector<uint8_t> tiles(kTilesetBytes);
    // Row r of tile k: bytes 16k + 2r (bit 0 of each colour number) and
    // 16k + 2r + 1 (bit 1), the leftmost pixel in bit 7.
    for (int y = 0; y < kTilesetPixels; ++y) {
        const uchar* line = rgb.constScanLine(y);
        for (int tx = 0; tx < kTilesetTilesPerRow; ++tx) {
            uint8_t lo = 0, hi = 0;
            for (int p = 0; p < kTileSize; ++p) {
                const uchar* px = line + (tx * kTileSize + p) * 3;
                const int colour = ShadeNumber(px[0], px[1], px[2]);
                if (colour < 0) return {};
                lo = uint8_t(lo << 1 | (colour & 1));
                hi = uint8_t(hi << 1 | colour >> 1);
            }
            const size_t at = size_t(((y / kTileSize) * kTilesetTilesPerRow + tx) * kTileBytes + (y % kTileSize) * 2);
            tiles[at] = lo;
            tiles[at + 1] = hi;
        }
    }
    return tiles;
}

int TilesetPixel(std::span<const uint8_t> tiles, int x, int y) {
    const int tile = (y / kTileSize) * kTilesetTilesPerRow + x / kTileSize;
    const size_t at = size_t(tile * kTileBytes + (y % kTileSize) * 2);
    const int bit = 7 - x % kTileSize;
    return (tiles[at] >> bit & 1) | (tiles[at + 1] >> bit & 1) << 1;
}

TilesetPut PutTileset(std::span<const uint8_t> tiles, std::span<uint8_t> rom, int32_t first, int32_t last) {
    TilesetPut put;
    if (tiles.size() != size_t(kTilesetBytes)) return put;
    const int64_t size = int64_t(rom.size());
    auto writable = [&](int b) {  // pixel row b / 2: bytes first + b and first + b + 1
        const int64_t i = int64_t(first) + b;
        return i >= 0 && i + 1 <= last && i + 1 < size;
    };

    // Rows that cannot be stored must show what the tileset shows now.
    const bool whole = writable(kTilesetBytes - 2) && writable(0);
    if (!whole) {
        cDIBSection surface;
        BuildTileset(surface, rom, first, last);
        const std::vector<uint8_t> shown = EncodeTileset(surface.Image());
        for (int b = 0; b < kTilesetBytes; b += 2) {
            if (writable(b) || (tiles[size_t(b)] == shown[size_t(b)] && tiles[size_t(b) + 1] == shown[size_t(b) + 1]))
                continue;
            const int tile = b / kTileBytes;
            const int x0 = (tile % kTilesetTilesPerRow) * kTileSize;
            const int y = (tile / kTilesetTilesPerRow) * kTileSize + (b % kTileBytes) / 2;
            int x = x0;
            while (TilesetPixel(tiles, x, y) == TilesetPixel(shown, x, y)) ++x;
            put.badX = x;
            put.badY = y;
            put.shown = TilesetPixel(shown, x, y);
            return put;
        }
    }
    for (int b = 0; b < kTilesetBytes; b += 2) {
        if (!writable(b)) continue;
        uint8_t* at = rom.data() + (int64_t(first) + b);
        if (at[0] == tiles[size_t(b)] && at[1] == tiles[size_t(b) + 1]) continue;
        at[0] = tiles[size_t(b)];
        at[1] = tiles[size_t(b) + 1];
        const int tile = b / kTileBytes;
        if (put.changed.empty() || put.changed.back() != tile) put.changed.push_back(tile);
    }
    return put;
}

} // namespace q2
