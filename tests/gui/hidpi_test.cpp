// SPDX-License-Identifier: MIT
// The editor on a screen scaled by two, as on a high-DPI monitor: the window
// keeps its layout, the map and the tileset show each pixel as a sharp 2 x 2
// square, and a click at a device pixel lands on the cell its position
// (device pixel / 2) rounds to.
#include "support/EditorFixture.h"

#include <QTest>
#include <QWindow>

#include <cstdlib>
#include <ostream>
#include <vector>

using namespace q2;
using namespace q2::test;

static void PrintTo(const QPoint& p, std::ostream* out) { *out << '(' << p.x() << ", " << p.y() << ')'; }

namespace {

// Qt reads the factor when the QApplication is made, which main() does after
// the static objects of this file are set up.
[[maybe_unused]] const bool kScreenScaledByTwo = [] { return setenv("QT_SCALE_FACTOR", "2", 1) == 0; }();

// Presses and releases the left button at a device pixel of box, through the
// window system as a screen delivers it: at position device pixel / 2 of the
// window. (Qt Widgets hands the box that position rounded to a whole pixel,
// half up; for cells that agrees with rounding half to even everywhere.)
void ClickDevicePixel(QWidget* box, QPoint device) {
    static int timestamp = 0;  // far apart: never a double click
    QWidget* window = box->window();
    const QPointF local = box->mapTo(window, QPointF(device) / box->devicePixelRatioF());
    const QPointF global = window->mapToGlobal(local);
    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        timestamp += 1000;
        qt_handleMouseEvent(window->windowHandle(), local, global,
                            type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::LeftButton, type,
                            Qt::NoModifier, timestamp);
    }
}

// The cells of the grid that differ.
std::vector<QPoint> Changed(const MapGrid& before, const MapGrid& after) {
    std::vector<QPoint> cells;
    for (int y = 0; y < after.Rows(); ++y)
        for (int x = 0; x < kMapColumns; ++x)
            if (before(x, y, 0) != after(x, y, 0) || before(x, y, 1) != after(x, y, 1)) cells.emplace_back(x, y);
    return cells;
}

// Device pixel -> the cell its position rounds to: 13 is 6.5 (cell 0), 15 is
// 7.5 (cell 1), 17 is 8.5 (cell 1), ...
struct HalfPixelCase {
    int device;
    int cell;
};
constexpr HalfPixelCase kHalfPixels[] = {{13, 0}, {15, 1}, {17, 1}, {31, 2}, {33, 2}, {47, 3}, {49, 3}, {14, 0}};

class HighDpiTest : public EditorTest {
protected:
    void SetUp() override {
        EditorTest::SetUp();
        Start(romPath);
        ASSERT_EQ(Form().devicePixelRatioF(), 2.0) << "QT_SCALE_FACTOR was not applied";
    }
};

} // namespace

TEST_F(HighDpiTest, TheWindowKeepsItsLayout) {
    EXPECT_EQ(Form().size(), QSize(440, 296));
    const struct {
        const char* name;
        QRect inWindow;
    } controls[] = {
        {"fraMap", {8, 8, 273, 281}},       {"pbxMap", {16, 24, 256, 256}},
        {"fraTileset", {288, 8, 145, 153}}, {"pbxTileset", {296, 24, 128, 128}},
        {"cmdSaveMap", {360, 208, 65, 21}}, {"cmdAbout", {376, 268, 57, 21}},
    };
    for (const auto& c : controls) {
        const QWidget* w = Form().findChild<QWidget*>(c.name);
        ASSERT_NE(w, nullptr) << c.name;
        EXPECT_EQ(QRect(w->mapTo(&Form(), QPoint(0, 0)), w->size()), c.inWindow) << c.name;
    }
    EXPECT_EQ(Form().grab().toImage().size(), QSize(880, 592));
}

TEST_F(HighDpiTest, MapAndTilesetAreDrawnWithSquarePixels) {
    // A red frame in each box, and an edit on the map.
    PickTile(2, 6);
    Click(Form().pbxMap, Qt::LeftButton, Cell(5, 6));
    PickMapBlock({1, 1}, {3, 2});

    for (PictureBox* box : {Form().pbxMap, Form().pbxTileset}) {
        const QImage screen = box->ScreenImage().convertToFormat(QImage::Format_RGB32);
        const QImage shown = box->grab().toImage().convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(shown.size(), screen.size() * 2) << box->objectName().toStdString();
        int wrong = 0;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x)
                if (shown.pixel(x, y) != screen.pixel(x / 2, y / 2) && ++wrong <= 3)
                    ADD_FAILURE() << box->objectName().toStdString() << " device pixel " << x << "," << y;
        EXPECT_EQ(wrong, 0) << box->objectName().toStdString();
    }
}

TEST_F(HighDpiTest, MapClicksLandOnTheCellTheirPositionRoundsTo) {
    const MapGrid& grid = program->Grid;
    for (const HalfPixelCase& c : kHalfPixels) {
        // A tile the target cell does not hold yet, so that the placement shows.
        const int column = (grid(c.cell, c.cell, 0) + 1) % 16, row = grid(c.cell, c.cell, 1);
        PickTile(column, row);
        const MapGrid before = grid;
        ClickDevicePixel(Form().pbxMap, QPoint(c.device, c.device));
        EXPECT_EQ(Changed(before, grid), std::vector<QPoint>{QPoint(c.cell, c.cell)}) << "device pixel " << c.device;
        EXPECT_EQ(grid(c.cell, c.cell, 0), column);
    }
    // The last device pixel of the canvas, 255.5, rounds past its edge: nothing changes.
    const MapGrid before = grid;
    ClickDevicePixel(Form().pbxMap, QPoint(511, 511));
    EXPECT_EQ(grid, before);
}

TEST_F(HighDpiTest, TilesetClicksPickTheTileTheirPositionRoundsTo) {
    for (const HalfPixelCase& c : kHalfPixels) {
        ClickDevicePixel(Form().pbxTileset, QPoint(c.device, 2 * 8 * 5 + c.device));
        EXPECT_TRUE(program->Selection.SingleTileSelected);
        EXPECT_EQ(program->Selection.SingleTileColumn, c.cell) << "device pixel " << c.device;
        EXPECT_EQ(program->Selection.SingleTileRow, 5 + c.cell) << "device pixel " << c.device;
    }
}
