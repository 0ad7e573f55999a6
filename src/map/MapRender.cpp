// SPDX-License-Identifier: MIT
#include "MapRender.h"

#include "tiles/Tileset.h"

namespace q2 {

// Every map drawing is made of 8 x 8 plain copies of tile (column, row) of the
// tileset to cell (x, y) of the map surface, as the tileset surface's
// PaintPicture would make them; a burst of them goes through one copier.
MapCellPainter::MapCellPainter(MapGrid& grid, cDIBSection& tileset, cDIBSection& mapSurface)
    : m_grid(grid), m_copier(mapSurface.hdc(), tileset.hdc(), SRCCOPY) {}

void MapCellPainter::Draw(int16_t x, int16_t y, int16_t column, int16_t row) {
    if (!m_grid.Contains(x, y)) return;
    m_grid(x, y, 0) = uint8_t(column);
    m_grid(x, y, 1) = uint8_t(row);
    m_copier.Copy(x * kTileSize, y * kTileSize, kTileSize, kTileSize, m_grid(x, y, 0) * kTileSize,
                  m_grid(x, y, 1) * kTileSize);
}

void DrawMap(const MapGrid& grid, cDIBSection& tileset, cDIBSection& mapSurface) {
    BlockCopier copier(mapSurface.hdc(), tileset.hdc(), SRCCOPY);
    for (int y = 0; y < grid.Rows(); ++y)
        for (int x = 0; x < grid.Columns(); ++x)
            copier.Copy(x * kTileSize, y * kTileSize, kTileSize, kTileSize, grid(x, y, 0) * kTileSize,
                        grid(x, y, 1) * kTileSize);
}

void DrawMapCell(MapGrid& grid, cDIBSection& tileset, cDIBSection& mapSurface,
                 int16_t x, int16_t y, int16_t column, int16_t row) {
    MapCellPainter(grid, tileset, mapSurface).Draw(x, y, column, row);
}

} // namespace q2
