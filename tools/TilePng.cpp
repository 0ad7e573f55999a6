// SPDX-License-Identifier: MIT
#include "TilePng.h"

#include "PngCheck.h"

#include "platform/File.h"
#include "tiles/Tileset.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>

#include <cstdio>

namespace q2::tilepng {

namespace {

Result Refuse(const std::string& name, const std::string& what) {
    Result result;
    result.error = name + ": " + what;
    return result;
}

std::string At(int x, int y) { return "pixel (" + std::to_string(x) + ", " + std::to_string(y) + ")"; }

// While a PNG is decoded, nothing reaches standard error: libpng prints its
// errors there itself, past Qt, and its warnings go through Qt's message
// handler. The caller's one line says what is wrong instead. (Standard error
// is the process's: a message another thread writes in that moment is lost.)
class QuietMessages {
public:
    QuietMessages() : m_previous(qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {})) {}
    ~QuietMessages() { qInstallMessageHandler(m_previous); }
    QuietMessages(const QuietMessages&) = delete;
    QuietMessages& operator=(const QuietMessages&) = delete;

private:
    QtMessageHandler m_previous;
    QuietStandardError m_standardError;
};

} // namespace

std::string ColourName(uint32_t argb) {
    char text[16];
    if (qAlpha(argb) == 255) std::snprintf(text, sizeof text, "#%06X", unsigned(argb & 0xFFFFFF));
    else std::snprintf(text, sizeof text, "#%06X%02X", unsigned(argb & 0xFFFFFF), unsigned(qAlpha(argb)));
    return text;
}

Result ReadTilePng(const QByteArray& bytes, const std::string& name) {
    if (bytes.size() > kMaxFileBytes) return Refuse(name, "over 8 MiB, far too large for a tile image");
    static const QByteArray signature("\x89PNG\r\n\x1a\n", 8);
    if (!bytes.startsWith(signature)) return Refuse(name, "not a PNG file");
    // The structure first, from the bytes alone: the PNG library would trust
    // a chunk's length or inflate its data to the end.
    PngHeader header;
    if (const std::string error = CheckPngChunks(bytes, header); !error.empty()) return Refuse(name, error);
    const uint32_t width = header.width, height = header.height;
    const uint32_t headerScale = width / uint32_t(kTilesetPixels);
    if (width != height || width % uint32_t(kTilesetPixels) != 0 || headerScale < 1 || headerScale > uint32_t(kMaxScale))
        return Refuse(name, "the image is " + std::to_string(width) + " x " + std::to_string(height) +
                                " pixels; a tileset is 128 x 128, or 128N x 128N at a scale N up to 16");
    if (const std::string error = CheckPngImageData(bytes, header); !error.empty()) return Refuse(name, error);

    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "png");
    reader.setAutoDetectImageFormat(false);  // a PNG by its content or nothing
    QImage image;
    const QSize size{int(width), int(height)};
    if (!reader.read(&image) || image.size() != size)
        return Refuse(name, "the PNG data cannot be read (" + reader.errorString().toLower().toStdString() + ")");
    image = image.convertToFormat(QImage::Format_ARGB32);
    if (image.isNull()) return Refuse(name, "not enough memory to read the image");

    const int scale = image.width() / kTilesetPixels;
    QImage picture(kTilesetPixels, kTilesetPixels, QImage::Format_RGB888);
    for (int y = 0; y < image.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        const QRgb* blockLine = reinterpret_cast<const QRgb*>(image.constScanLine(y - y % scale));
        uchar* out = picture.scanLine(y / scale);
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = line[x];
            if (qAlpha(pixel) != 255)
                return Refuse(name, At(x, y) + " is " + ColourName(pixel) + ", not fully opaque");
            if (ShadeNumber(uint8_t(qRed(pixel)), uint8_t(qGreen(pixel)), uint8_t(qBlue(pixel))) < 0)
                return Refuse(name, At(x, y) + " is " + ColourName(pixel) +
                                        ", not one of the four shades #FFFFFF, #B0B0B0, #787878, #000000");
            const QRgb block = blockLine[x - x % scale];  // the top-left pixel of its block, already checked
            if (pixel != block)
                return Refuse(name, At(x, y) + " is " + ColourName(pixel) + " in the " + std::to_string(scale) + " x " +
                                        std::to_string(scale) + " block of " + At(x - x % scale, y - y % scale) +
                                        ", which is " + ColourName(block) + "; at scale " + std::to_string(scale) +
                                        " every block is one colour");
            if (x % scale == 0 && y % scale == 0) {
                uchar* px = out + (x / scale) * 3;
                px[0] = uchar(qRed(pixel));
                px[1] = uchar(qGreen(pixel));
                px[2] = uchar(qBlue(pixel));
            }
        }
    }
    Result result;
    result.tiles = EncodeTileset(picture);
    result.scale = scale;
    return result;
}

Result ReadTilePngFile(const std::string& path) {
    const ReadResult file = ReadWholeFile(path, kMaxFileBytes);
    switch (file.status) {
    case ReadStatus::Ok: break;
    case ReadStatus::TooLarge: return Refuse(path, "over 8 MiB, far too large for a tile image");
    default: return Refuse(path, "cannot be read (" + file.error.reason + ")");
    }
    const QuietMessages quiet;
    return ReadTilePng(QByteArray(reinterpret_cast<const char*>(file.bytes.data()), qsizetype(file.bytes.size())),
                       path);
}

} // namespace q2::tilepng
