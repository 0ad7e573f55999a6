// SPDX-License-Identifier: MIT
#pragma once
// The map view's area tools, as pure functions over the grid: what a fill or
// a replace would put where. They change nothing; the caller draws the cells
// they list, so that the drawing and the history see every change.

#include "map/MapGrid.h"

#include <cstdint>
#include <vector>

namespace q2 {

// One cell to set: tileset column and row for map cell (x, y).
struct CellEdit {
    int16_t x, y;
    uint8_t column, row;
    bool operator==(const CellEdit&) const = default;
};

// The map byte a cell holds, as the ROM stores it.
inline uint8_t CellByte(const MapGrid& grid, int x, int y) { return EncodeCell(grid(x, y, 0), grid(x, y, 1)); }

// Fills the 4-connected area of cells that hold the same map byte as cell
// (x0, y0). The pattern (w x h, planes as in the grid) repeats from (x0, y0):
// cell (x, y) gets pattern cell ((x - x0) mod w, (y - y0) mod h), the remainder
// taken from 0 up, also left of and above (x0, y0). Lists only the cells that
// change; nothing for an empty pattern or a cell outside the grid.
std::vector<CellEdit> FillEdits(const MapGrid& grid, int x0, int y0, const MapGrid& pattern);

// Puts (column, row) in every cell of the grid that holds the same map byte
// as cell (x0, y0). Lists only the cells that change.
std::vector<CellEdit> ReplaceEdits(const MapGrid& grid, int x0, int y0, uint8_t column, uint8_t row);

// How many cells of the grid hold map byte b.
int CountByte(const MapGrid& grid, uint8_t b);

} // namespace q2
