// SPDX-License-Identifier: MIT
// A burst of block copies through one BlockCopier must draw exactly what the
// same copies do one BitBlt at a time, whole tiles and clipped blocks alike.

#include "platform/DIBSection.h"

#include <gtest/gtest.h>

using namespace q2;

namespace {

struct Block {
    int x, y, w, h, sx, sy;
};

// Whole tiles at and just past every edge of a 40 x 24 target from a
// 24 x 16 source, and odd-sized and negative blocks that take the clipping path.
const Block kBlocks[] = {
    {0, 0, 8, 8, 0, 0},     {32, 16, 8, 8, 16, 8},  {33, 16, 8, 8, 0, 0},   {32, 17, 8, 8, 0, 0},
    {8, 8, 8, 8, 17, 0},    {8, 8, 8, 8, 0, 9},     {-1, 4, 8, 8, 8, 0},    {4, -1, 8, 8, 8, 8},
    {12, 3, 8, 8, -2, 5},   {20, 2, 3, 5, 1, 1},    {5, 9, 30, 30, 0, 0},   {7, 7, -1, 8, 0, 0},
    {16, 0, 8, 8, 16, 8},   {24, 8, 24, 16, 0, 0},  {39, 23, 8, 8, 0, 0},   {40, 0, 8, 8, 0, 0},
};

// The copy worked out pixel by pixel: what lies inside both pictures moves.
void ReferenceCopy(QImage& to, const QImage& from, const Block& b) {
    for (int j = 0; j < b.h; ++j)
        for (int i = 0; i < b.w; ++i) {
            const int x = b.x + i, y = b.y + j, sx = b.sx + i, sy = b.sy + j;
            if (to.rect().contains(x, y) && from.rect().contains(sx, sy)) to.setPixel(x, y, from.pixel(sx, sy));
        }
}

void FillPattern(cDIBSection& s) {
    for (int y = 0; y < s.Height(); ++y)
        for (int x = 0; x < s.Width(); ++x) SetPixel(s.hdc(), x, y, RGB(uint8_t(x * 9), uint8_t(y * 13), uint8_t(x ^ y)));
}

} // namespace

TEST(BlockCopy, BurstAndSingleCopiesDrawWhatLiesInsideBothPictures) {
    cDIBSection source, one, burst;
    source.Create(24, 16);
    FillPattern(source);
    one.Create(40, 24);
    burst.Create(40, 24);
    QImage expected = one.Image().copy();

    BlockCopier copier(burst.hdc(), source.hdc(), SRCCOPY);
    for (const Block& b : kBlocks) {
        ReferenceCopy(expected, source.Image(), b);
        EXPECT_TRUE(BitBlt(one.hdc(), b.x, b.y, b.w, b.h, source.hdc(), b.sx, b.sy, SRCCOPY));
        EXPECT_TRUE(copier.Copy(b.x, b.y, b.w, b.h, b.sx, b.sy));
        ASSERT_EQ(one.Image(), expected) << b.x << "," << b.y << " " << b.w << "x" << b.h;
    }
    EXPECT_EQ(burst.Image(), expected);
}

TEST(BlockCopy, EarlierCopiesOfThePictureKeepTheirPixels) {
    cDIBSection source, target;
    source.Create(16, 16);
    FillPattern(source);
    target.Create(16, 16);
    const QImage before = target.Image();  // shares the pixels until one side writes

    BlockCopier copier(target.hdc(), source.hdc(), SRCCOPY);
    copier.Copy(0, 0, 8, 8, 8, 8);
    copier.Copy(8, 8, 8, 8, 0, 0);
    EXPECT_EQ(before.pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(target.Image().pixel(0, 0), source.Image().pixel(8, 8));

    // Other raster codes and empty surfaces draw nothing.
    cDIBSection empty;
    BlockCopier refused(target.hdc(), source.hdc(), 0x660046);
    EXPECT_FALSE(refused.Copy(0, 0, 8, 8, 0, 0));
    BlockCopier fromNothing(target.hdc(), empty.hdc(), SRCCOPY);
    EXPECT_FALSE(fromNothing.Copy(0, 0, 8, 8, 0, 0));
    EXPECT_EQ(target.Image().pixel(0, 0), source.Image().pixel(8, 8));
}
