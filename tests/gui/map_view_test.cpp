// SPDX-License-Identifier: MIT
// The map view: its area tools as steps of the one history, what it shows
// against the main window, and what it keeps for the next run.
#include "map/MapEdit.h"
#include "support/EditorFixture.h"
#include "ui/frmMapView.h"

#include <QScrollArea>
#include <QTest>

using namespace q2;
using namespace q2::test;

namespace {

class MapView : public EditorTest {
protected:
    frmMapView& Open() {
        Key(QKeySequence(Qt::Key_F6));
        frmMapView* view = Form().MapView();
        EXPECT_TRUE(view && view->isVisible());
        view->resize(600, 600);  // the whole map at 2x, whatever the screen
        QApplication::processEvents();
        return *view;
    }
    // A click on map cell (x, y) of the view at 2x.
    void ClickView(frmMapView& view, int x, int y, Qt::KeyboardModifiers modifiers = {}) {
        Click(view.Canvas(), Qt::LeftButton, QPointF(2 * 8 * x + 5, 2 * 8 * y + 5), modifiers);
    }
    // The view shows what the main window shows, twice as large.
    void ExpectViewMatchesMain() {
        const QImage main = MapScreen();
        EXPECT_EQ(ViewScreen(), main.scaled(main.size() * 2, Qt::IgnoreAspectRatio, Qt::FastTransformation));
    }
    std::string ViewCaption() {
        QApplication::processEvents();
        return Form().MapView()->windowTitle().toStdString();
    }
};

// Shift and Ctrl clicks are a step each, nothing without a selection; an
// undo in the view takes them back in both windows.
TEST_F(MapView, AreaToolsAreStepsOfTheOneHistory) {
    Start(romPath);
    const MapGrid loaded = program->Grid;
    frmMapView& view = Open();
    const std::string name = program->Catalogue.names[0];
    EXPECT_EQ(ViewCaption(), "Map view - " + name);
    ExpectViewMatchesMain();

    ClickView(view, 3, 3, Qt::ShiftModifier);
    EXPECT_EQ(program->Grid, loaded);
    EXPECT_EQ(program->History.Count(), 0);

    PickTile(1, 1);
    ClickView(view, 3, 3, Qt::ShiftModifier);
    EXPECT_EQ(program->Grid(3, 3, 0), 1);
    EXPECT_EQ(program->Grid(3, 3, 1), 1);
    EXPECT_EQ(program->History.Count(), 1);
    const MapGrid filled = program->Grid;
    EXPECT_EQ(ViewCaption(), "Map view - " + name + " (modified)");

    const uint8_t replaced = CellByte(filled, 20, 9);
    ClickView(view, 20, 9, Qt::ControlModifier);
    EXPECT_EQ(program->History.Count(), 2);
    for (int y = 0; y < filled.Rows(); ++y)
        for (int x = 0; x < filled.Columns(); ++x)
            EXPECT_EQ(CellByte(program->Grid, x, y), CellByte(filled, x, y) == replaced ? EncodeCell(1, 1)
                                                                                         : CellByte(filled, x, y));
    ExpectViewMatchesMain();

    view.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
    QTest::keySequence(&view, QKeySequence(Qt::CTRL | Qt::Key_Z));
    EXPECT_EQ(program->Grid, filled);
    QTest::keySequence(&view, QKeySequence(Qt::CTRL | Qt::Key_Z));
    EXPECT_EQ(program->Grid, loaded);
    EXPECT_EQ(ViewCaption(), "Map view - " + name);
    ExpectViewMatchesMain();
}

// With C on, a stamp gets a frame in the view; a save takes every frame away.
TEST_F(MapView, UnsavedCellsAreFramedUntilSaved) {
    Start(romPath);
    frmMapView& view = Open();
    view.Toggle(frmMapView::Unsaved);
    PickTile(1, 1);
    ClickView(view, 6, 2);
    const QImage main = MapScreen();
    EXPECT_NE(ViewScreen(), main.scaled(main.size() * 2, Qt::IgnoreAspectRatio, Qt::FastTransformation));
    ASSERT_TRUE(program->SaveMap());
    ExpectViewMatchesMain();
}

// Zoom and overlays set by their keys come back in the next run.
TEST_F(MapView, KeepsZoomAndOverlaysForTheNextRun) {
    Start(romPath);
    frmMapView& view = Open();
    EXPECT_EQ(view.Zoom(), 2);
    view.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
    QTest::keySequence(&view, QKeySequence(Qt::CTRL | Qt::Key_Equal));
    QTest::keySequence(&view, QKeySequence(Qt::Key_G));
    QTest::keySequence(&view, QKeySequence(Qt::Key_C));
    QTest::keySequence(&view, QKeySequence(Qt::Key_Escape));
    EXPECT_FALSE(view.isVisible());

    program.reset();
    Start(romPath);
    Key(QKeySequence(Qt::Key_F6));
    const frmMapView* again = Form().MapView();
    ASSERT_TRUE(again);
    EXPECT_EQ(again->Zoom(), 3);
    EXPECT_TRUE(again->Shows(frmMapView::Grid));
    EXPECT_TRUE(again->Shows(frmMapView::Unsaved));
    EXPECT_FALSE(again->Shows(frmMapView::Screen));
}

} // namespace
