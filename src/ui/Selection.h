// SPDX-License-Identifier: MIT
#pragma once
// What the left button puts on the map: nothing, one tile or a block of the
// tileset, or a block copied off the map.

#include "map/MapGrid.h"

#include <cstdint>
#include <string>

namespace q2 {

struct SelectionState {
    int16_t SingleTileColumn = 0;
    int16_t SingleTileRow = 0;
    bool SingleTileSelected = false;
    bool TilesetDragging = false;
    int16_t TilesetAnchorColumn = 0;
    int16_t TilesetAnchorRow = 0;
    int16_t TilesetExtentColumns = 0;
    int16_t TilesetExtentRows = 0;
    bool MapPicking = false;
    int16_t MapAnchorColumn = 0;
    int16_t MapAnchorRow = 0;
    int16_t MapExtentColumns = 0;
    int16_t MapExtentRows = 0;
    bool MapBlockTaken = false;
    MapGrid MapBlock;  // (i, j, plane): the cells copied by the last map pick
    bool NothingSelected = false;

    // None of the other kinds: a block of the tileset.
    bool IsTilesetBlock() const { return !NothingSelected && !SingleTileSelected && !MapPicking && !MapBlockTaken; }
    // After a map load: nothing is selected; other fields stay as they were.
    void Reset() {
        NothingSelected = true;
        SingleTileSelected = false;
        TilesetDragging = false;
        MapBlockTaken = false;
        MapPicking = false;
    }
};

// What a left click puts on the map, as a block of (column, row) cells with
// its top-left cell where the click is: one cell for a single tile. Empty
// when nothing is selected or a map pick is still under way.
inline MapGrid StampPattern(const SelectionState& s) {
    if (s.NothingSelected || s.MapPicking) return MapGrid();
    if (s.SingleTileSelected) {
        MapGrid one(1, 1);
        one(0, 0, 0) = uint8_t(s.SingleTileColumn);
        one(0, 0, 1) = uint8_t(s.SingleTileRow);
        return one;
    }
    if (s.MapBlockTaken) return s.MapBlock;
    MapGrid block(s.TilesetExtentColumns + 1, s.TilesetExtentRows + 1);
    for (int i = 0; i < block.Columns(); ++i)
        for (int j = 0; j < block.Rows(); ++j) {
            block(i, j, 0) = uint8_t(s.TilesetAnchorColumn + i);
            block(i, j, 1) = uint8_t(s.TilesetAnchorRow + j);
        }
    return block;
}

// "Selection: 3x2 tiles"
inline std::string SelectionSizeText(int width, int height) {
    return "Selection: " + std::to_string(width) + "x" + std::to_string(height) + " tiles";
}

// A drag grows right and down from its anchor: a cell left of or above the
// anchor leaves the extent as it was.
inline void GrowExtent(int16_t cell, int16_t anchor, int16_t& extent) {
    if (cell >= anchor) extent = int16_t(cell - anchor);
}

// The pixel a pointer position stands on, rounding half to even.
int NearestPixel(float position);
// The 8 x 8 cell a pointer position belongs to.
inline int16_t CellOf(float position) { return int16_t(NearestPixel(position) / 8); }

} // namespace q2
