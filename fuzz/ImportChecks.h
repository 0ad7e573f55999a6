// SPDX-License-Identifier: MIT
#pragma once
// The files quill2-maptool imports, read from arbitrary bytes and checked.
// Shared by the import fuzz target and the regression test that replays what
// it found.
//
// The first byte of an input names the reader (kReaders); the rest is the
// file. An input whose first byte names no reader is none of these files.
//
// A Tiled map is read as the map at kMapPath, of 32 rows (keys 't' and 'j')
// or 20 (keys 'T' and 'J'). The map may be followed by a NUL byte and the
// contents of its external tileset, which the reader is given for whatever
// file name the map asks for; without one, no tileset file exists. Checks:
//  - a refusal is one line that names the map file or the tileset file;
//  - a map that is read has 32 x rows cells, and written out again in the
//    same format it reads back as the same grid and catalogue index.
//
// A tile picture (key 'p') is read as the PNG file at kPngPath. Checks:
//  - a refusal is one line that names the file;
//  - tiles that are read, drawn again and saved as a PNG at the scale the
//    picture had, read back as the same tiles.
//
// Another reader is one more row of kReaders: a key of its own (a byte no
// other row uses, so inputs already kept stay with their reader) and a
// function that reads the file and checks what came back.

#include "TiledMap.h"
#include "TilePng.h"
#include "platform/DIBSection.h"
#include "tiles/Tileset.h"

#include <QBuffer>

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>

namespace q2::fuzz {

// Larger inputs are not tried; the seeds are well below.
constexpr size_t kMaxImportInput = 256 * 1024;

inline constexpr char kMapPath[] = "/quill2-fuzz/map";
inline constexpr char kPngPath[] = "/quill2-fuzz/tiles.png";

namespace detail {

inline QByteArray Bytes(std::span<const uint8_t> bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

inline std::string CheckTiledMap(std::span<const uint8_t> file, tiled::Format format, int rows) {
    const std::string path = std::string(kMapPath) + (format == tiled::Format::Tmx ? ".tmx" : ".tmj");
    const auto nul = std::find(file.begin(), file.end(), uint8_t(0));
    const QByteArray map = Bytes({file.begin(), nul});
    std::optional<QByteArray> tileset;
    if (nul != file.end()) tileset = Bytes({nul + 1, file.end()});
    std::string tilesetPath;  // the tileset file the map names, once asked for
    const tiled::FileSource files = [&](const std::string& asked) {
        tilesetPath = asked;
        return tileset;
    };

    const tiled::ReadResult read = tiled::ReadMap(format, map, path, rows, files);
    if (!read.ok) {
        // A refusal about the tileset may begin with its file's name instead,
        // as messages show it.
        if (read.error.rfind(path, 0) != 0 && tilesetPath.empty())
            return "the refusal does not name the map file: " + read.error;
        if (read.error.find('\n') != std::string::npos) return "the refusal is not one line: " + read.error;
        return "";
    }
    if (!read.error.empty()) return "a map was read with an error: " + read.error;
    if (read.grid.Columns() != kMapColumns || read.grid.Rows() != rows) return "the grid is not 32 x rows";
    if (read.romTitle && read.romTitle->find('\n') != std::string::npos) return "the ROM title is not one line";

    const tiled::Origin origin{read.index.value_or(-1), "fuzz", 0, read.romTitle.value_or("")};
    const tiled::ReadResult again = tiled::ReadMap(format, tiled::WriteMap(format, read.grid, origin, "tiles.png"),
                                                   path, rows);
    if (!again.ok) return "the map written out again is refused: " + again.error;
    if (!(again.grid == read.grid)) return "the map written out again reads back as another grid";
    if (again.index != std::optional<int>(origin.index)) return "the catalogue index does not come back";
    return "";
}

inline std::string CheckTilePng(std::span<const uint8_t> file) {
    const tilepng::Result read = tilepng::ReadTilePng(Bytes(file), kPngPath);
    if (!read.ok()) {
        if (read.error.rfind(kPngPath, 0) != 0) return "the refusal does not name the file: " + read.error;
        if (read.error.find('\n') != std::string::npos) return "the refusal is not one line: " + read.error;
        return "";
    }
    if (read.tiles.size() != size_t(kTilesetBytes)) return "the tiles are not 4,096 bytes";
    if (read.scale < 1 || read.scale > tilepng::kMaxScale) return "the scale is out of range";

    cDIBSection surface;
    BuildTileset(surface, read.tiles, 0, kTilesetBytes - 1);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    const QImage& image = surface.Image();
    if (!image.scaled(image.size() * read.scale).save(&buffer, "PNG")) return "the tiles cannot be saved again";
    const tilepng::Result again = tilepng::ReadTilePng(png, kPngPath);
    if (!again.ok()) return "the tiles saved again are refused: " + again.error;
    if (again.tiles != read.tiles) return "the tiles saved again read back as other tiles";
    if (again.scale != read.scale) return "the scale does not come back";
    return "";
}

} // namespace detail

struct ImportReader {
    uint8_t key;
    const char* what;
    std::string (*check)(std::span<const uint8_t> file);  // "" when every check holds
};

inline constexpr ImportReader kReaders[] = {
    {'t', "Tiled map (.tmx), 32 rows",
     [](std::span<const uint8_t> f) { return detail::CheckTiledMap(f, tiled::Format::Tmx, kMainMapRows); }},
    {'T', "Tiled map (.tmx), 20 rows",
     [](std::span<const uint8_t> f) { return detail::CheckTiledMap(f, tiled::Format::Tmx, kSubMapRows); }},
    {'j', "Tiled map (.tmj), 32 rows",
     [](std::span<const uint8_t> f) { return detail::CheckTiledMap(f, tiled::Format::Json, kMainMapRows); }},
    {'J', "Tiled map (.tmj), 20 rows",
     [](std::span<const uint8_t> f) { return detail::CheckTiledMap(f, tiled::Format::Json, kSubMapRows); }},
    {'p', "tile picture (.png)", detail::CheckTilePng},
};

// The reader an input is for; nullptr when none.
inline const ImportReader* ReaderFor(std::span<const uint8_t> input) {
    if (input.empty()) return nullptr;
    for (const ImportReader& reader : kReaders)
        if (reader.key == input[0]) return &reader;
    return nullptr;
}

// Runs the input's reader and its checks: "" when they hold (or the input is
// for no reader), else what failed.
inline std::string CheckImportInput(std::span<const uint8_t> input) {
    const ImportReader* reader = ReaderFor(input);
    if (!reader) return "";
    const std::string failure = reader->check(input.subspan(1));
    return failure.empty() ? "" : std::string(reader->what) + ": " + failure;
}

} // namespace q2::fuzz
