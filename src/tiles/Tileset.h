// SPDX-License-Identifier: MIT
#pragma once
// Decoding the game's 2-bit tiles into the 128 x 128 tileset surface.

#include "platform/DIBSection.h"

#include <cstdint>
#include <span>

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

} // namespace q2
