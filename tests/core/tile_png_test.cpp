// SPDX-License-Identifier: MIT
#include "TilePng.h"
#include "tiles/Tileset.h"

#include <QBuffer>
#include <QImage>
#include <gtest/gtest.h>

using namespace q2;

namespace {

// A tileset picture of varied tiles.
QImage Picture() {
    QImage picture(128, 128, QImage::Format_RGB888);
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x) {
            const COLORREF c = kShades[(x * 7 + y * 3 + x * y) % 4];
            picture.setPixel(x, y, qRgb(GetRValue(c), GetGValue(c), GetBValue(c)));
        }
    return picture;
}

QByteArray Encoded(const QImage& image, const char* format = "PNG") {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QImage Scaled(const QImage& image, int n) {
    return image.scaled(128 * n, 128 * n, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

} // namespace

// Each picture either reads back as the tiles it shows, at its scale, or is
// refused with the one line that says what is wrong with it.
TEST(TilePng, ReadsEveryFormAndRefusesEachBadImageWithOneLine) {
    const std::vector<uint8_t> tiles = EncodeTileset(Picture());
    ASSERT_EQ(tiles.size(), 4096u);
    const QByteArray good = Encoded(Picture());
    QImage fifth = Picture();
    fifth.setPixel(5, 9, qRgb(0xB1, 0xB0, 0xB0));
    QImage seeThrough = Picture().convertToFormat(QImage::Format_ARGB32);
    seeThrough.setPixel(3, 4, qRgba(255, 255, 255, 254));
    QImage blocks = Scaled(Picture(), 2);
    blocks.setPixel(3, 2, blocks.pixel(2, 2) == qRgb(0, 0, 0) ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    QByteArray garbled = good;
    garbled.replace(60, 30, QByteArray(30, 0x55));
    const std::string size = "t.png: the image is ";

    const struct {
        QByteArray bytes;
        std::string error;  // none: read, at this scale
        int scale = 1;
    } cases[] = {
        {good, ""},
        {Encoded(Picture().convertToFormat(QImage::Format_ARGB32)), ""},
        {Encoded(Picture().convertToFormat(QImage::Format_Grayscale8)), ""},
        {Encoded(Picture().convertToFormat(QImage::Format_Grayscale16)), ""},
        {Encoded(Picture().convertToFormat(QImage::Format_Indexed8)), ""},
        {Encoded(Scaled(Picture(), 3)), "", 3},
        {Encoded(Scaled(Picture(), 16)), "", 16},
        {Encoded(Picture(), "BMP"), "t.png: not a PNG file"},
        {good.left(good.size() - 1), "t.png: the PNG file is cut short (it has no end chunk)"},
        {garbled, "t.png: the PNG data cannot be read"},
        {Encoded(Picture().copy(0, 0, 120, 128)),
         size + "120 x 128 pixels; a tileset is 128 x 128, or 128N x 128N at a scale N up to 16"},
        {Encoded(QImage(256, 128, QImage::Format_RGB888)), size + "256 x 128 pixels;"},
        {Encoded(Scaled(Picture(), 17)), size + "2176 x 2176 pixels;"},
        {Encoded(fifth), "t.png: pixel (5, 9) is #B1B0B0, not one of the four shades #FFFFFF, #B0B0B0, #787878, #000000"},
        {Encoded(seeThrough), "t.png: pixel (3, 4) is #FFFFFFFE, not fully opaque"},
        {Encoded(blocks), "t.png: pixel (3, 2) is "},  // not a whole 2 x 2 block
        {good + QByteArray(8 * 1024 * 1024, 0), "t.png: over 8 MiB, far too large for a tile image"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        const tilepng::Result result = tilepng::ReadTilePng(c.bytes, "t.png");
        EXPECT_EQ(result.error.substr(0, c.error.size() ? c.error.size() : std::string::npos), c.error);
        EXPECT_EQ(result.error.find('\n'), std::string::npos);
        EXPECT_EQ(result.tiles, c.error.empty() ? tiles : std::vector<uint8_t>());
        EXPECT_EQ(result.scale, c.error.empty() ? c.scale : result.scale);
    }
}
