// SPDX-License-Identifier: MIT
#pragma once
// The 2-bit tile format read the plain way, apart from the program's decoder,
// for tests and fuzz checks to hold its pictures against: a tile is 8 rows of
// two bytes, the first holding bit 0 and the second bit 1 of each pixel's
// colour number, the leftmost pixel in the top bit.

#include <cstdint>

namespace q2::test {

// Colour number (0 to 3) of pixel x (0 is leftmost) of a tile row stored as
// its two bytes lo and hi.
constexpr int RowColour(uint8_t lo, uint8_t hi, int x) {
    const int bit = 7 - x;
    return ((lo >> bit) & 1) | (((hi >> bit) & 1) << 1);
}

// Colour number of pixel (x, y) of the 8 x 8 tile whose 16 bytes start at tile.
constexpr int TileColour(const uint8_t* tile, int x, int y) { return RowColour(tile[2 * y], tile[2 * y + 1], x); }

} // namespace q2::test
