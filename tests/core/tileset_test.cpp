// SPDX-License-Identifier: MIT
#include "app/Rom.h"
#include "tiles/Tileset.h"
#include "support/TileReference.h"

#include <gtest/gtest.h>

using namespace q2;

namespace {

COLORREF PixelAt(const cDIBSection& s, int x, int y) {
    const QColor c = s.Image().pixelColor(x, y);
    return RGB(uint8_t(c.red()), uint8_t(c.green()), uint8_t(c.blue()));
}

// Colour number of a pixel straight from the tile bytes, as the game stores them.
int ColourOf(const RomImage& rom, int first, int x, int y) {
    const int tile = (y / 8) * 16 + x / 8;
    return test::TileColour(&rom[size_t(first + tile * 16)], x % 8, y % 8);
}

} // namespace

TEST(Tileset, IsBitSet) {
    EXPECT_TRUE(IsBitSet(-1, 31));
    EXPECT_FALSE(IsBitSet(INT32_MAX, 31));
    EXPECT_TRUE(IsBitSet(128, 7));
    EXPECT_FALSE(IsBitSet(127, 7));
    EXPECT_TRUE(IsBitSet(1, 0));
    EXPECT_TRUE(IsBitSet(0x40000000, 30));
}

TEST(Tileset, DecodesTheFourShadesAndPlacesTilesSixteenToARow) {
    RomImage rom(64 + 4096, 0);
    const int first = 64;
    for (int i = 0; i < 16; ++i) rom[first + 16 + i] = 0xFF;  // tile 1 black
    rom[first + 32] = 0x80;                                   // tile 2 row 0: leftmost shade 1
    rom[first + 34 + 1] = 0x80;                               // tile 2 row 1: leftmost shade 2
    rom[first + 36] = 0x01;                                   // tile 2 row 2: rightmost black
    rom[first + 37] = 0x01;
    for (int i = 0; i < 16; ++i) {
        rom[first + 15 * 16 + i] = uint8_t(0xA5 ^ i);  // tile 15
        rom[first + 16 * 16 + i] = uint8_t(0x3C + i);  // tile 16
        rom[first + 255 * 16 + i] = uint8_t(0xF0 - i); // tile 255
    }
    cDIBSection s;
    BuildTileset(s, rom, first, first + 4095);
    ASSERT_EQ(s.Image().width(), 128);
    ASSERT_EQ(s.Image().height(), 128);

    EXPECT_EQ(PixelAt(s, 3, 3), RGB(255, 255, 255));
    EXPECT_EQ(PixelAt(s, 12, 5), RGB(0, 0, 0));
    EXPECT_EQ(PixelAt(s, 16, 0), RGB(176, 176, 176));
    EXPECT_EQ(PixelAt(s, 17, 0), RGB(255, 255, 255));
    EXPECT_EQ(PixelAt(s, 16, 1), RGB(120, 120, 120));
    EXPECT_EQ(PixelAt(s, 23, 2), RGB(0, 0, 0));
    EXPECT_EQ(PixelAt(s, 22, 2), RGB(255, 255, 255));

    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x)
            ASSERT_EQ(PixelAt(s, x, y), kShades[ColourOf(rom, first, x, y)]) << x << "," << y;
}

TEST(Tileset, NeverReadsPastTheImage) {
    // A range running past the end: the rows it has are decoded, the rest stays black.
    RomImage rom(100, 0);  // tiles 0..5 complete, tile 6 has rows 0 and 1
    cDIBSection s;
    BuildTileset(s, rom, 0, 4095);
    EXPECT_EQ(PixelAt(s, 0, 0), RGB(255, 255, 255));
    EXPECT_EQ(PixelAt(s, 48, 1), RGB(255, 255, 255));
    EXPECT_EQ(PixelAt(s, 48, 2), RGB(0, 0, 0));
    EXPECT_EQ(PixelAt(s, 127, 127), RGB(0, 0, 0));

    // An odd-length range reads the byte after last when it is there, and not otherwise.
    RomImage odd = {0x80, 0x80, 0x80};
    BuildTileset(s, odd, 2, 2);
    EXPECT_EQ(PixelAt(s, 0, 0), RGB(0, 0, 0));  // byte 3 missing: row not drawn
    BuildTileset(s, odd, 1, 1);
    EXPECT_EQ(PixelAt(s, 0, 0), RGB(0, 0, 0));  // bytes 1 and 2: both bits set
    EXPECT_EQ(PixelAt(s, 1, 0), RGB(255, 255, 255));

    BuildTileset(s, rom, -10, 50);  // bytes before the image are skipped too
    EXPECT_EQ(PixelAt(s, 0, 0), RGB(0, 0, 0));
    EXPECT_EQ(TilesetBytesRead(0x34800, 0x357FF), 4096);
    EXPECT_EQ(TilesetBytesRead(1, 1), 2);
}

// Faults caught: the bit planes swapped, pixels mirrored, a tile put in the
// wrong place, a colour taken for a shade it is not.
TEST(Tileset, EncodingIsTheExactInverseOfDecoding) {
    RomImage rom(7 + 4096);
    uint32_t state = 99;
    for (auto& b : rom) b = uint8_t((state = state * 1103515245u + 12345u) >> 16);
    cDIBSection s;
    BuildTileset(s, rom, 7, 7 + 4095);
    EXPECT_EQ(EncodeTileset(s.Image()), RomImage(rom.begin() + 7, rom.end()));
    QImage picture = s.Image();
    picture.setPixel(100, 3, qRgb(176, 176, 177));
    EXPECT_TRUE(EncodeTileset(picture).empty());
    EXPECT_TRUE(EncodeTileset(s.Image().copy(0, 0, 128, 120)).empty());
}

// Faults caught: bytes written past a range that ends inside a tile, a
// picture that cannot be stored written in part.
TEST(Tileset, PutTilesetWritesOnlyTheRowsOfTheRange) {
    RomImage rom(64 + 4096 + 64, 0x5A);
    const int first = 64, last = first + 100 * 16 + 8;  // 100 tiles and 4 rows of the next, then one byte
    cDIBSection s;
    BuildTileset(s, rom, first, last);
    std::vector<uint8_t> tiles = EncodeTileset(s.Image());
    tiles[100 * 16 + 7] ^= 0x10;  // tile 100, row 3: inside the range
    RomImage expected = rom;
    expected[first + 100 * 16 + 7] ^= 0x10;
    EXPECT_EQ(PutTileset(tiles, rom, first, last).changed, std::vector<int>{100});
    EXPECT_EQ(rom, expected);

    // Row 4 of tile 100 reads bytes last and last + 1: drawn, but not stored.
    for (int at : {100 * 16 + 8, 100 * 16 + 9, 101 * 16, 4095}) {
        std::vector<uint8_t> past = tiles;
        past[size_t(at)] ^= 0x04;  // pixel 5 of its row
        const TilesetPut refused = PutTileset(past, rom, first, last);
        const int x = (at / 16 % 16) * 8 + 5, y = (at / 256) * 8 + (at % 16) / 2;
        EXPECT_FALSE(refused.ok()) << at;
        EXPECT_EQ(std::tuple(refused.badX, refused.badY, refused.shown), std::tuple(x, y, TilesetPixel(tiles, x, y)));
        EXPECT_EQ(rom, expected);
    }
}
