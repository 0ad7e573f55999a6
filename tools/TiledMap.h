// SPDX-License-Identifier: MIT
#pragma once
// Maps as Tiled map files: writing one map of the catalogue as a .tmx (XML)
// or .tmj (JSON) map, and reading such a map back into a grid, with every
// way Tiled stores layer data (CSV, base64 plain or zlib, gzip or zstd
// compressed, JSON arrays, XML tile elements) and the tileset inline or in a
// .tsx / .tsj file of its own.
//
// A cell holding tileset column c and row r is gid 16 r + c + 1 of a single
// tileset of 256 tiles of 8 x 8 pixels in 16 columns, first gid 1, whose
// image is the map's 128 x 128 tileset surface.

#include "map/MapGrid.h"

#include <QByteArray>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace q2::tiled {

enum class Format { Tmx, Json };

// The format a map file's name asks for: .tmx, or .tmj / .json (any case).
std::optional<Format> FormatOf(const std::string& path);

// Where an exported map came from; stored as map properties.
struct Origin {
    int index = -1;         // catalogue index
    std::string name;       // display name
    int32_t mapOffset = 0;
    std::string romTitle;
};

// The map file's bytes: one finite orthogonal map of the grid's size, one
// tile layer (CSV in a .tmx, an array in JSON), one tileset whose image is
// imageName, the origin as properties.
QByteArray WriteMap(Format format, const MapGrid& grid, const Origin& origin, const std::string& imageName);

// A map file read back.
struct ReadResult {
    bool ok = false;
    std::string error;    // one line naming the file and, where it applies, the layer and cell
    MapGrid grid;         // 32 x rows, when ok
    std::optional<int> index;          // recorded catalogue index, if any
    std::optional<std::string> romTitle;  // recorded ROM title, if any, on one line
};

// Reads the map file at path, of the format its name asks for, as a map of
// 32 x rows cells; an external tileset is read from beside it. Files are read
// as the ROM is, so one over 8 MiB is refused unread.
ReadResult ReadMapFile(const std::string& path, int rows);

// Where the reader gets a file other than the map (an external tileset): its
// contents by path, nothing when there is no such file. Without one, files
// are read from the disk.
using FileSource = std::function<std::optional<QByteArray>(const std::string& path)>;

// The same for a map file's contents already in memory; path names the file
// in messages and is where external tilesets are looked for.
ReadResult ReadMap(Format format, const QByteArray& contents, const std::string& path, int rows,
                   const FileSource& files = {});

} // namespace q2::tiled
