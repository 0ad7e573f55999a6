// SPDX-License-Identifier: MIT
#include "platform/DIBSection.h"

#include <gtest/gtest.h>

using namespace q2;

namespace {
QRgb At(const cDIBSection& s, int x, int y) { return s.Image().pixel(x, y) & 0xFFFFFF; }
} // namespace

TEST(Surface, RowLengthIsRoundedToFourBytes) {
    const std::pair<int, int> cases[] = {{1, 4}, {2, 8}, {3, 12}, {4, 12}, {5, 16}, {128, 384}, {256, 768}};
    for (auto [width, bytes] : cases) {
        cDIBSection s;
        EXPECT_TRUE(s.Create(width, 2));
        EXPECT_EQ(s.BytesPerScanLine(), bytes) << width;
        EXPECT_EQ(s.Image().bytesPerLine(), bytes) << width;
    }
    EXPECT_EQ(BytesPerScanLineFor(INT32_MAX), -1);
}

TEST(Surface, CreateReplacesAndRefusedSizesLeaveItEmpty) {
    cDIBSection s;
    EXPECT_EQ(s.hdc(), nullptr);
    s.ClearUp();
    s.ClearUp();
    ASSERT_TRUE(s.Create(4, 4));
    EXPECT_EQ(At(s, 3, 3), 0u);  // new surfaces are black
    ASSERT_TRUE(s.Create(8, 2));
    EXPECT_EQ(s.Image().size(), QSize(8, 2));
    EXPECT_NE(s.hdc(), nullptr);

    EXPECT_FALSE(s.Create(0, 10));
    EXPECT_EQ(s.hdc(), nullptr);
    EXPECT_FALSE(s.Create(100000, 100000));  // over 2 GiB of pixels
    EXPECT_EQ(s.hdc(), nullptr);
    EXPECT_EQ(s.Width(), 100000);
    EXPECT_EQ(s.Height(), 100000);
    s.PaintPicture(nullptr);  // drawing from or to nothing is silent
}

TEST(Surface, PixelsAndCopiesUseTopDownCoordinates) {
    cDIBSection a, b;
    a.Create(16, 8);
    b.Create(16, 8);
    SetPixel(a.hdc(), 2, 1, RGB(10, 20, 30));
    EXPECT_EQ(At(a, 2, 1), qRgb(10, 20, 30) & 0xFFFFFF);
    EXPECT_FALSE(SetPixel(a.hdc(), 16, 0, 0));
    EXPECT_FALSE(SetPixel(a.hdc(), -1, 0, 0));

    a.PaintPicture(b.hdc());  // -1, -1: the whole surface
    EXPECT_EQ(b.Image(), a.Image());

    cDIBSection c;
    c.Create(16, 8);
    a.PaintPicture(c.hdc(), 0, 0, 0, 8);  // zero width: nothing
    EXPECT_EQ(At(c, 2, 1), 0u);
    a.PaintPicture(c.hdc(), 5, 5, -7, -3, 2, 1);  // any negative size is the surface's own, clipped
    EXPECT_EQ(At(c, 5, 5), qRgb(10, 20, 30) & 0xFFFFFF);
    a.PaintPicture(c.hdc(), 0, 0, 4, 4, 0, 0, 0x660046);  // other raster codes draw nothing
    EXPECT_EQ(At(c, 2, 1), 0u);
}

TEST(Surface, BitBltClipsToBothPictures) {
    cDIBSection src, dst;
    src.Create(8, 8);
    dst.Create(8, 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) SetPixel(src.hdc(), x, y, RGB(uint8_t(x * 30), uint8_t(y * 30), 7));
    EXPECT_TRUE(BitBlt(dst.hdc(), -2, 6, 8, 8, src.hdc(), 0, 0, SRCCOPY));
    EXPECT_EQ(At(dst, 0, 6), At(src, 2, 0));
    EXPECT_EQ(At(dst, 5, 7), At(src, 7, 1));
    EXPECT_EQ(At(dst, 0, 5), 0u);
    EXPECT_TRUE(BitBlt(dst.hdc(), 0, 0, 8, 8, src.hdc(), 6, -3, SRCCOPY));
    EXPECT_EQ(At(dst, 0, 3), At(src, 6, 0));
    EXPECT_EQ(At(dst, 2, 3), 0u);  // beyond the source's right edge: untouched
    EXPECT_TRUE(BitBlt(dst.hdc(), INT32_MAX, INT32_MIN, INT32_MAX, INT32_MAX, src.hdc(), 0, 0, SRCCOPY));

    // Overlapping copy within one picture behaves like a copy of a snapshot.
    cDIBSection line;
    line.Create(4, 1);
    for (int x = 0; x < 4; ++x) SetPixel(line.hdc(), x, 0, RGB(uint8_t(x + 1), 0, 0));
    BitBlt(line.hdc(), 1, 0, 3, 1, line.hdc(), 0, 0, SRCCOPY);
    EXPECT_EQ(qRed(line.Image().pixel(1, 0)), 1);
    EXPECT_EQ(qRed(line.Image().pixel(3, 0)), 3);

    DrawBox(dst.hdc(), -1, -1, 1, 1, RGB(255, 0, 0));  // corners included, clipped
    EXPECT_EQ(At(dst, 1, 1), qRgb(255, 0, 0) & 0xFFFFFF);
    EXPECT_EQ(At(dst, 1, 0), qRgb(255, 0, 0) & 0xFFFFFF);
}
