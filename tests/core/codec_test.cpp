// SPDX-License-Identifier: MIT
#include "app/Rom.h"
#include "map/MapGrid.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

using namespace q2;

TEST(MapCodec, EveryByteValueRoundTrips) {
    for (int b = 0; b < 256; ++b) {
        const uint8_t column = DecodeColumn(uint8_t(b)), row = DecodeRow(uint8_t(b));
        ASSERT_LT(column, 16);
        ASSERT_LT(row, 16);
        EXPECT_EQ(EncodeCell(column, row), b);
        // Tile number in the range is the byte with its top bit flipped.
        EXPECT_EQ(16 * row + column, b ^ 0x80);
    }
    for (int column = 0; column < 16; ++column)
        for (int row = 0; row < 16; ++row) {
            const uint8_t b = EncodeCell(uint8_t(column), uint8_t(row));
            EXPECT_EQ(DecodeColumn(b), column);
            EXPECT_EQ(DecodeRow(b), row);
        }
    EXPECT_EQ(EncodeCell(3, 0), 0x83);
    EXPECT_EQ(EncodeCell(0, 8), 0x00);
    EXPECT_EQ(EncodeCell(15, 15), 0x7F);
    EXPECT_EQ(EncodeCell(15, 7), 0xFF);
    EXPECT_EQ(EncodeCell(10, 1), 0x9A);
}

TEST(MapCodec, DecodesRowMajorFromTheOffsetAndEncodesBackExactly) {
    RomImage rom = test::PatternRom();
    for (int i = 0; i < 1024; ++i) rom[0x37000 + i] = uint8_t(i * 7 + 3);  // all 256 values, shuffled
    MapGrid grid;
    ASSERT_TRUE(DecodeMap(rom, 0x37000, false, grid));
    EXPECT_EQ(grid.Rows(), 32);
    EXPECT_EQ(grid.Columns(), 32);
    const uint8_t b = rom[0x37020];  // cell (0, 1)
    EXPECT_EQ(grid(0, 1, 0), DecodeColumn(b));
    EXPECT_EQ(grid(0, 1, 1), DecodeRow(b));
    EXPECT_EQ(grid(31, 31, 0), DecodeColumn(rom[0x373FF]));

    RomImage copy = rom;
    std::fill(copy.begin() + 0x37000, copy.begin() + 0x37400, 0x55);
    ASSERT_TRUE(EncodeMap(grid, 0x37000, copy));
    EXPECT_EQ(copy, rom);

    MapGrid sub;
    ASSERT_TRUE(DecodeMap(rom, 0x3B000, true, sub));
    EXPECT_EQ(sub.Rows(), 20);
    sub(0, 19, 0) = 5;  // cell (0, 19) is byte 0x3B000 + 608
    sub(0, 19, 1) = 0;
    RomImage edited = rom;
    ASSERT_TRUE(EncodeMap(sub, 0x3B000, edited));
    EXPECT_EQ(edited[0x3B000 + 608], 0x85);
    edited[0x3B000 + 608] = rom[0x3B000 + 608];
    EXPECT_EQ(edited, rom);  // and no other byte changed
}

TEST(MapCodec, RangesOutsideTheImageAreRefusedUntouched) {
    RomImage rom(2000, 0x80);
    MapGrid grid;
    ASSERT_TRUE(DecodeMap(rom, 2000 - 1024, false, grid));  // exactly fits
    const MapGrid before = grid;
    EXPECT_FALSE(DecodeMap(rom, 2000 - 1023, false, grid));
    EXPECT_FALSE(DecodeMap(rom, -1, true, grid));
    EXPECT_FALSE(DecodeMap({}, 0, true, grid));
    EXPECT_EQ(grid, before);

    const RomImage original = rom;
    EXPECT_FALSE(EncodeMap(grid, 2000 - 1023, rom));
    EXPECT_FALSE(EncodeMap(grid, INT32_MAX, rom));
    EXPECT_FALSE(EncodeMap(MapGrid(), 0, rom));
    EXPECT_EQ(rom, original);
}
