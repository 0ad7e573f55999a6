// SPDX-License-Identifier: MIT
#pragma once
// Drawing the map grid into the map surface from tiles of the tileset surface.

#include "map/MapGrid.h"
#include "platform/DIBSection.h"

namespace q2 {

// Copies every cell's tile into the map surface.
void DrawMap(const MapGrid& grid, cDIBSection& tileset, cDIBSection& mapSurface);

// Stores (column, row) in cell (x, y) and draws its tile. Cells outside the
// grid are skipped silently; callers placing a block near an edge rely on it.
void DrawMapCell(MapGrid& grid, cDIBSection& tileset, cDIBSection& mapSurface,
                 int16_t x, int16_t y, int16_t column, int16_t row);

// DrawMapCell for a burst of cells, such as one stamp of a block: each Draw
// has the same effect, but the surfaces are looked up once. Use it for one
// burst only; nothing else may change the grid's size or the surfaces meanwhile.
class MapCellPainter {
public:
    MapCellPainter(MapGrid& grid, cDIBSection& tileset, cDIBSection& mapSurface);
    void Draw(int16_t x, int16_t y, int16_t column, int16_t row);

private:
    MapGrid& m_grid;
    BlockCopier m_copier;
};

} // namespace q2
