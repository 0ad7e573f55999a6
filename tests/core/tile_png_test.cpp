// SPDX-License-Identifier: MIT
#include "TilePng.h"
#include "tiles/Tileset.h"

#include "support/TestFiles.h"

#include <QBuffer>
#include <QImage>
#include <gtest/gtest.h>
#include <zlib.h>

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

// PNG files put together chunk by chunk, to damage one part of one.
QByteArray Chunk(const char* type, const QByteArray& data, bool crcRight = true) {
    QByteArray chunk;
    for (int shift = 24; shift >= 0; shift -= 8) chunk += char(data.size() >> shift);
    chunk += type + data;
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(chunk.constData() + 4), uInt(chunk.size() - 4));
    crc ^= crcRight ? 0 : 1;
    for (int shift = 24; shift >= 0; shift -= 8) chunk += char(crc >> shift);
    return chunk;
}
QByteArray Header(uint32_t width, uint32_t height, char colourType = 0, bool crcRight = true) {
    QByteArray data;
    for (const uint32_t n : {width, height})
        for (int shift = 24; shift >= 0; shift -= 8) data += char(n >> shift);
    return Chunk("IHDR", data + QByteArray("\x08", 1) + colourType + QByteArray(3, 0), crcRight);
}
// The pixels of Picture(), unfiltered: grey values, or indices into the four
// shades in order.
QByteArray Pixels(bool indexed = false) {
    const QImage picture = Picture();
    QByteArray raw;
    for (int y = 0; y < 128; ++y) {
        raw += '\0';
        for (int x = 0; x < 128; ++x) raw += char(indexed ? (x * 7 + y * 3 + x * y) % 4 : qRed(picture.pixel(x, y)));
    }
    uLongf size = compressBound(uLong(raw.size()));
    QByteArray packed(qsizetype(size), 0);
    compress(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(raw.constData()), uLong(raw.size()));
    return Chunk("IDAT", packed.left(qsizetype(size)));
}
QByteArray Png(const QByteArray& chunks) { return QByteArray("\x89PNG\r\n\x1a\n", 8) + chunks; }
const QByteArray kEnd = Chunk("IEND", {});

// An input the import fuzzer once failed on, without its key byte.
QByteArray FuzzInput(const std::string& name) {
    const RomImage bytes = test::ReadFile(QUILL2_FUZZ_REGRESSIONS "/import/" + name);
    return QByteArray(reinterpret_cast<const char*>(bytes.data()) + 1, qsizetype(bytes.size()) - 1);
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
    const std::string damaged = "t.png: the PNG file is damaged: the checksum of its ";
    const QByteArray palette = Chunk("PLTE", QByteArray("\xFF\xFF\xFF\xB0\xB0\xB0\x78\x78\x78\0\0\0", 12));

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
        {garbled, damaged},
        {Png(Header(128, 128) + Pixels() + kEnd), ""},
        {Png(Header(128, 128) + Pixels() + Chunk("IEND", {}, false)), damaged + "IEND chunk is wrong"},
        {Png(Header(128, 128, 0, false) + Pixels() + kEnd), damaged + "IHDR chunk is wrong"},
        {Png(Header(128, 128, 3) + Chunk("PLTE", QByteArray(12, 0), false) + Pixels() + kEnd), damaged + "PLTE chunk"},
        {Png(Header(128, 128, 3) + Pixels() + kEnd), "t.png: the image has no palette (PLTE chunk) before its pixels"},
        {Png(Header(128, 128, 3) + palette + Pixels(true) + kEnd), ""},
        {Png(Header(0, 0) + Pixels() + kEnd), size + "0 x 0 pixels;"},
        {Png(Header(0x80000000, 128) + Pixels() + kEnd), size + "2147483648 x 128 pixels;"},
        // Found by a battery of hostile files: a length that would cost 2 GiB,
        // data that would inflate to 64 MiB, an index past a 4-colour palette.
        {FuzzInput("tile-image-text-chunk-longer-than-the-file"),
         "t.png: the PNG file is cut short or damaged: its tEXt chunk says it holds 2147483632 bytes"},
        {FuzzInput("tile-image-data-inflating-past-the-image"), "t.png: its image data inflates past the 16512 bytes"},
        {FuzzInput("tile-image-palette-index-past-the-palette"),
         "t.png: pixel (5, 9) is palette index 7, past the 4 colours of its palette"},
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
