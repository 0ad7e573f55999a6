// SPDX-License-Identifier: MIT
// Writes the program's icons for the hicolor theme from the emblem the window
// and the About box show: PNG files at the usual sizes, and an SVG that draws
// the same 32 x 32 pixel art as squares, so that it scales without blurring.
//
//   quill2-icongen OUTDIR NAME
//
// makes OUTDIR/SIZExSIZE/apps/NAME.png for each size and
// OUTDIR/scalable/apps/NAME.svg. Exit code 0 on success, 1 when a file cannot
// be written, 2 for wrong usage.

#include "ui/Emblem.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QString>

#include <cstdio>

namespace {

constexpr int kSizes[] = {16, 32, 48, 64, 128, 256};
constexpr int kArtSize = 32;

// One <rect> per run of equal pixels in a row, on a white square.
QByteArray EmblemSvg(const QImage& art) {
    QByteArray svg;
    const QByteArray side = QByteArray::number(art.width());
    svg += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + side + "\" height=\"" + side +
           "\" viewBox=\"0 0 " + side + " " + side + "\" shape-rendering=\"crispEdges\">\n";
    svg += "<rect width=\"" + side + "\" height=\"" + side + "\" fill=\"#ffffff\"/>\n";
    for (int y = 0; y < art.height(); ++y) {
        for (int x = 0; x < art.width();) {
            const QRgb colour = art.pixel(x, y);
            int end = x + 1;
            while (end < art.width() && art.pixel(end, y) == colour) ++end;
            if (colour != qRgb(255, 255, 255)) {
                svg += "<rect x=\"" + QByteArray::number(x) + "\" y=\"" + QByteArray::number(y) + "\" width=\"" +
                       QByteArray::number(end - x) + "\" height=\"1\" fill=\"" +
                       QColor(colour).name().toLatin1() + "\"/>\n";
            }
            x = end;
        }
    }
    svg += "</svg>\n";
    return svg;
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size() &&
           file.flush();
}

bool Fail(const QString& path) {
    std::fprintf(stderr, "quill2-icongen: cannot write %s\n", qPrintable(path));
    return false;
}

bool WriteIcons(const QString& outDir, const QString& name) {
    for (const int size : kSizes) {
        const QString dir = QStringLiteral("%1/%2x%2/apps").arg(outDir).arg(size);
        const QString path = dir + "/" + name + ".png";
        if (!QDir().mkpath(dir) || !q2::DrawEmblem(size).save(path, "PNG")) return Fail(path);
    }
    const QString dir = outDir + "/scalable/apps";
    const QString path = dir + "/" + name + ".svg";
    if (!QDir().mkpath(dir) || !WriteFile(path, EmblemSvg(q2::DrawEmblem(kArtSize)))) return Fail(path);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "Usage: quill2-icongen OUTDIR NAME\n");
        return 2;
    }
    return WriteIcons(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2])) ? 0 : 1;
}
