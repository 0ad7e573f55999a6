// SPDX-License-Identifier: MIT
#include "Emblem.h"

#include <QPainter>
#include <QPixmap>

#include <array>

namespace q2 {
namespace {

// '#' black, 'd' RGB(120,120,120), 'l' RGB(176,176,176), '.' white.
constexpr std::array<const char*, 32> kEmblem32 = {
    "................................",
    ".........................######.",
    ".......................##lllld#.",
    ".....................##llllld.#.",
    "....................#lllllld..#.",
    "...................#lllllld..#..",
    "..................#lllllld...#..",
    ".................#lllllld...#...",
    "................#lllllld...#....",
    "................#llllld....#....",
    "################llllld....#.....",
    "#lllllld..##..d#lllld....#......",
    "#ldlllld.#dd#.#lllld....#.......",
    "#lllldld#dddl##llld....#........",
    "#lllllld#ddll##lld...##.........",
    "#lldllld.####.#ld...##..........",
    "#lllllld..#d..#d..##l#..........",
    "#dddddddddddd#d###ddd#..........",
    "#......d....#d#llllll#..........",
    "#.dd...d...#d#dldllll#..........",
    "#d..d.dd..#d#.dlllldl#..........",
    "#....d.d.###..dllllll#..........",
    "#......d.##...dlldlll#..........",
    "#......d......dllllll#..........",
    "#dddddddddddddddddddd#..........",
    "#......d......d..##..#..........",
    "#.dd...d.dd...d.#dd#.#..........",
    "#d..d.ddd..d.dd#dddl##..........",
    "#....d.d....d.d#ddll##..........",
    "#......d......d.####.#..........",
    "#......d......d..#d..#..........",
    "######################..........",
};

constexpr std::array<const char*, 16> kEmblem16 = {
    "............###.",
    "...........#lld#",
    ".........##lld.#",
    "........#llld.#.",
    ".......#llld.#..",
    "#######llld.#...",
    "#lllld#lld.#....",
    "#ldlld#ld.#.....",
    "#lllld#d#.#.....",
    "#llldd#...#.....",
    "#dddd#dddd#.....",
    "#...#dllll#.....",
    "#.dd.dldll#.....",
    "#d..ddllll#.....",
    "#....dllld#.....",
    "###########.....",
};

QRgb Shade(char c) {
    switch (c) {
    case '#': return qRgb(0, 0, 0);
    case 'd': return qRgb(120, 120, 120);
    case 'l': return qRgb(176, 176, 176);
    default: return qRgb(255, 255, 255);
    }
}

template <std::size_t N>
QImage FromRows(const std::array<const char*, N>& rows) {
    const int n = int(N);
    QImage image(n, n, QImage::Format_RGB32);
    for (int y = 0; y < n; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < n; ++x) line[x] = Shade(rows[std::size_t(y)][x]);
    }
    return image;
}

} // namespace

QImage DrawEmblem(int size) {
    if (size < 1) return QImage();
    if (size == 16) return FromRows(kEmblem16);
    const QImage art = size < 32 ? FromRows(kEmblem16) : FromRows(kEmblem32);
    if (size == art.width()) return art;
    if (size < art.width()) return art.scaled(size, size, Qt::IgnoreAspectRatio, Qt::FastTransformation);

    const int factor = size / art.width();
    const int side = art.width() * factor;
    const QImage big = art.scaled(side, side, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    QImage image(size, size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.drawImage((size - side) / 2, (size - side) / 2, big);
    painter.end();
    return image;
}

QIcon AppIcon() {
    QIcon icon;
    icon.addPixmap(QPixmap::fromImage(DrawEmblem(16)));
    icon.addPixmap(QPixmap::fromImage(DrawEmblem(32)));
    return icon;
}

} // namespace q2
