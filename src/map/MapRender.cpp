#include "MapRender.h"

#include "tiles/Tileset.h"

namespace q2 {

namespace {

// Tile (column, row) of the tileset to cell (x, y) of the map surface: the
// 8 x 8 plain copy every map drawing is made of.
inline void CopyTile(cDIBSection& tileset, cDIBSection& mapSurface, int x, int y, int column, int row) {
    tileset.PaintPicture(mapSurface.hdc(), x * kTileSize, y * kTileSize, kTileSize, kTileSize,
                         column * kTileSize, row * kTileSize, SRCCOPY);
}

} // namespace

void DrawMap(const MapGrid& grid, cDIBSection& tileset, cDIBSection& mapSurface) {
    for (int y = 0; y < grid.Rows(); ++y)
        for (int x = 0; x < grid.Columns(); ++x) CopyTile(tileset, mapSurface, x, y, grid(x, y, 0), grid(x, y, 1));
}

void DrawMapCell(MapGrid& grid, cDIBSection& tileset, cDIBSection& mapSurface,
                 int16_t x, int16_t y, int16_t column, int16_t row) {
    if (!grid.Contains(x, y)) return;
    grid(x, y, 0) = uint8_t(column);
    grid(x, y, 1) = uint8_t(row);
    CopyTile(tileset, mapSurface, x, y, grid(x, y, 0), grid(x, y, 1));
}

} // namespace q2
