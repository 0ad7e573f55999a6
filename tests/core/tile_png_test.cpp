// SPDX-License-Identifier: MIT
// Tile images read back into tiles: every form of a tileset picture that
// should come back, and one refusal per way a picture can be wrong.
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

TEST(TilePng, ReadsEveryPixelFormatAndScale) {
    const std::vector<uint8_t> tiles = EncodeTileset(Picture());
    ASSERT_EQ(tiles.size(), 4096u);
    const struct {
        const char* what;
        QImage image;
        int scale;
    } cases[] = {
        {"RGB", Picture(), 1},
        {"RGBA", Picture().convertToFormat(QImage::Format_ARGB32), 1},
        {"grey", Picture().convertToFormat(QImage::Format_Grayscale8), 1},
        {"16-bit grey", Picture().convertToFormat(QImage::Format_Grayscale16), 1},
        {"indexed", Picture().convertToFormat(QImage::Format_Indexed8), 1},
        {"scale 3", Scaled(Picture(), 3), 3},
        {"scale 16", Scaled(Picture(), 16), 16},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const tilepng::Result result = tilepng::ReadTilePng(Encoded(c.image), "t.png");
        ASSERT_TRUE(result.ok()) << result.error;
        EXPECT_EQ(result.scale, c.scale);
        EXPECT_EQ(result.tiles, tiles);
    }
}

// Each case: what is wrong, and the one line that must say so.
TEST(TilePng, RefusesEachBadImageWithOneLine) {
    const QByteArray good = Encoded(Picture());
    QImage fifth = Picture();
    fifth.setPixel(5, 9, qRgb(0xB1, 0xB0, 0xB0));
    QImage seeThrough = Picture().convertToFormat(QImage::Format_ARGB32);
    seeThrough.setPixel(3, 4, qRgba(255, 255, 255, 254));
    QImage blocks = Scaled(Picture(), 2);
    blocks.setPixel(3, 2, blocks.pixel(2, 2) == qRgb(0, 0, 0) ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    QByteArray garbled = good;
    for (int i = 60; i < 90; ++i) garbled[i] = char(0x55);

    const struct {
        const char* what;
        QByteArray bytes;
        std::string error;
    } cases[] = {
        {"another format", Encoded(Picture(), "BMP"), "t.png: not a PNG file"},
        {"empty", QByteArray(), "t.png: not a PNG file"},
        {"cut in its data", good.left(good.size() / 2), "t.png: the PNG file is cut short (it has no end chunk)"},
        {"cut in its end", good.left(good.size() - 1), "t.png: the PNG file is cut short (it has no end chunk)"},
        {"damaged data", garbled, "t.png: the PNG data cannot be read"},
        {"too narrow", Encoded(Picture().copy(0, 0, 120, 128)),
         "t.png: the image is 120 x 128 pixels; a tileset is 128 x 128, or 128N x 128N at a scale N up to 16"},
        {"not square", Encoded(QImage(256, 128, QImage::Format_RGB888)), "t.png: the image is 256 x 128 pixels;"},
        {"scale 17", Encoded(Scaled(Picture(), 17)), "t.png: the image is 2176 x 2176 pixels;"},
        {"a fifth colour", Encoded(fifth),
         "t.png: pixel (5, 9) is #B1B0B0, not one of the four shades #FFFFFF, #B0B0B0, #787878, #000000"},
        {"transparency", Encoded(seeThrough), "t.png: pixel (3, 4) is #FFFFFFFE, not fully opaque"},
        {"a broken block", Encoded(blocks), "t.png: pixel (3, 2) is "},
        {"over 8 MiB", good + QByteArray(8 * 1024 * 1024, 0), "t.png: over 8 MiB, far too large for a tile image"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const tilepng::Result result = tilepng::ReadTilePng(c.bytes, "t.png");
        EXPECT_FALSE(result.ok());
        EXPECT_TRUE(result.tiles.empty());
        EXPECT_EQ(result.error.substr(0, c.error.size()), c.error);
        EXPECT_EQ(result.error.find('\n'), std::string::npos);
    }
}
