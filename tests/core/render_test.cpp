// SPDX-License-Identifier: MIT
#include "map/MapRender.h"
#include "support/TestFiles.h"
#include "tiles/Tileset.h"

#include <gtest/gtest.h>

using namespace q2;

namespace {

struct Drawn {
    RomImage rom = test::PatternRom();
    cDIBSection tileset, map;
    MapGrid grid;

    explicit Drawn(bool sub) {
        BuildTileset(tileset, rom, 0x34800, 0x357FF);
        EXPECT_TRUE(DecodeMap(rom, sub ? 0x3B000 : 0x37000, sub, grid));
        map.Create(256, grid.Rows() * 8);
        DrawMap(grid, tileset, map);
    }
    // Every pixel of the map equals the tileset pixel of its cell's tile.
    void ExpectMatchesGrid() const {
        for (int y = 0; y < grid.Rows() * 8; ++y)
            for (int x = 0; x < 256; ++x) {
                const int tx = grid(x / 8, y / 8, 0) * 8 + x % 8, ty = grid(x / 8, y / 8, 1) * 8 + y % 8;
                ASSERT_EQ(map.Image().pixel(x, y), tileset.Image().pixel(tx, ty)) << x << "," << y;
            }
    }
};

} // namespace

TEST(Render, DrawMapCopiesEachCellsTile) {
    Drawn main(false);
    main.ExpectMatchesGrid();
    Drawn sub(true);
    EXPECT_EQ(sub.map.Image().height(), 160);
    sub.ExpectMatchesGrid();
}

TEST(Render, DrawMapCellChangesOnlyCellsInsideTheGrid) {
    Drawn d(false);
    const MapGrid before = d.grid;
    const QImage picture = d.map.Image().copy();

    // A 3 x 3 block at (30, 30): only the four cells inside change.
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) DrawMapCell(d.grid, d.tileset, d.map, int16_t(30 + i), int16_t(30 + j), 4, 9);
    DrawMapCell(d.grid, d.tileset, d.map, -1, 0, 4, 9);
    DrawMapCell(d.grid, d.tileset, d.map, 0, 32, 4, 9);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const bool inside = x >= 30 && y >= 30;
            EXPECT_EQ(d.grid(x, y, 0), inside ? 4 : before(x, y, 0)) << x << "," << y;
            EXPECT_EQ(d.grid(x, y, 1), inside ? 9 : before(x, y, 1)) << x << "," << y;
        }
    d.ExpectMatchesGrid();
    EXPECT_EQ(d.map.Image().copy(0, 0, 240, 240), picture.copy(0, 0, 240, 240));

    DrawMapCell(d.grid, d.tileset, d.map, 31, 0, 1, 1);  // top-right
    DrawMapCell(d.grid, d.tileset, d.map, 0, 31, 2, 2);  // bottom-left
    EXPECT_EQ(d.grid(31, 0, 0), 1);
    EXPECT_EQ(d.grid(0, 31, 1), 2);
    d.ExpectMatchesGrid();

    Drawn sub(true);
    const MapGrid subBefore = sub.grid;
    DrawMapCell(sub.grid, sub.tileset, sub.map, 0, 20, 3, 3);
    DrawMapCell(sub.grid, sub.tileset, sub.map, 32, 0, 3, 3);
    EXPECT_EQ(sub.grid, subBefore);
}
