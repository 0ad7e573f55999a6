// SPDX-License-Identifier: MIT
#pragma once
// Decoding the game's 2-bit tiles into the 128 x 128 tileset surface, and
// encoding such a picture back into tiles.

#include "platform/DIBSection.h"

#include <cstdint>
#include <span>
#include <vector>

namespace q2 {

constexpr int kTileSize = 8;
constexpr int kTilesetTilesPerRow = 16;
constexpr int kTilesetPixels = 128;

// The four shades, by colour number 0 to 3.
constexpr COLORREF kShades[4] = {RGB(255, 255, 255), RGB(176, 176, 176),
                                 RGB(120, 120, 120), RGB(0, 0, 0)};

// True when bit number bit (0 to 31) of value is 1.
bool IsBitSet(int32_t value, int16_t bit);

// Makes surface a new 128 x 128 picture and decodes the tiles stored in
// rom[first .. last], 16 tiles to a row. A pixel row needs two bytes; rows
// whose bytes do not both lie in rom are not decoded and stay black, so
// nothing outside rom is ever read.
void BuildTileset(cDIBSection& surface, std::span<const uint8_t> rom, int32_t first, int32_t last);

// Bytes a tile range reads: first to last, plus one more when the length is odd.
int64_t TilesetBytesRead(int32_t first, int32_t last);

constexpr int kTileBytes = 16;
constexpr int kTilesetTiles = kTilesetTilesPerRow * kTilesetTilesPerRow;  // 256
constexpr int kTilesetBytes = kTilesetTiles * kTileBytes;                // 4,096

// Colour number (0 to 3) of one of the four shades given as red, green,
// blue; -1 for any other colour.
int ShadeNumber(uint8_t red, uint8_t green, uint8_t blue);

// The inverse of BuildTileset: the 256 tiles (kTilesetBytes bytes, 16 to a
// tile, in the order the surface shows them) of a 128 x 128 picture whose
// every pixel is one of the four shades. Empty when the picture has another
// size or a pixel of another colour.
std::vector<uint8_t> EncodeTileset(const QImage& picture);

// Colour number of pixel (x, y), 0 to 127 each, of the surface that tiles
// (kTilesetBytes bytes, as EncodeTileset gives them) describe.
int TilesetPixel(std::span<const uint8_t> tiles, int x, int y);

struct TilesetPut {
    std::vector<int> changed;  // numbers of the tiles whose bytes changed, ascending
    int badX = -1, badY = -1;  // a refused picture: its first pixel, see PutTileset,
    int shown = -1;            // and the colour number the tileset shows there
    bool ok() const { return badX < 0; }
};

// Writes tiles (kTilesetBytes bytes) into rom[first .. last]: every pixel
// row whose two bytes both lie in the range and in rom. The other pixels of
// the picture (past a range shorter than 256 tiles) cannot be stored and
// must be as BuildTileset draws them from rom; where one is not, nothing is
// written and the result names the first such pixel.
TilesetPut PutTileset(std::span<const uint8_t> tiles, std::span<uint8_t> rom, int32_t first, int32_t last);

} // namespace q2
