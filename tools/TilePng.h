// SPDX-License-Identifier: MIT
#pragma once
// Tile images: the 128 x 128 tileset picture as a PNG file, as `tileset`
// writes it, read back into the game's 2-bit tiles for an import.

#include <QByteArray>

#include <cstdint>
#include <string>
#include <vector>

namespace q2::tilepng {

constexpr int64_t kMaxFileBytes = 8 * 1024 * 1024;  // far above any tileset picture
constexpr int kMaxScale = 16;                       // the largest `tileset --scale`

struct Result {
    std::vector<uint8_t> tiles;  // kTilesetBytes bytes, 16 a tile, in the order the surface shows them
    int scale = 0;               // the picture's pixels per tile pixel
    std::string error;           // otherwise one line naming the file and what is wrong with it
    bool ok() const { return error.empty(); }
};

// Reads bytes, the content of the file called name (used in the error only),
// as a tileset picture: a PNG (by its content, never its name) of 128 x 128
// pixels, or 128N x 128N with every N x N block one colour, N from 1 to
// kMaxScale; every pixel fully opaque and one of the four shades. An error
// names the first pixel (x, y) at fault, in the image's own coordinates,
// and its colour. Holds no state between calls; the PNG library may print
// a line of its own on standard error about a damaged file.
Result ReadTilePng(const QByteArray& bytes, const std::string& name);

// The file at path read whole (refused past kMaxFileBytes), then ReadTilePng
// with standard error and Qt's messages silenced, so that the result's line
// is the only word about the file.
Result ReadTilePngFile(const std::string& path);

// "#RRGGBB", and "#RRGGBBAA" when not fully opaque.
std::string ColourName(uint32_t argb);

} // namespace q2::tilepng
