// SPDX-License-Identifier: MIT
// The main window driven as a user drives it.
#include "app/Journal.h"
#include "platform/CommonDialog.h"
#include "support/EditorFixture.h"
#include "ui/frmAbout.h"
#include "ui/frmHelp.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

#include <cstring>
#include <filesystem>

using namespace q2;
using namespace q2::test;

namespace {

constexpr int kMap0 = 0x37000;
constexpr int kMap1 = 0x37400;
const QRgb kRed = qRgb(255, 0, 0);

// Hides whatever modal window is open as soon as the event loop runs.
void CloseModalSoon(QWidget** seen) {
    QTimer::singleShot(0, [seen] {
        QWidget* modal = QApplication::activeModalWidget();
        *seen = modal;
        if (modal) modal->hide();
    });
}

} // namespace

TEST_F(EditorTest, TheRoadOfOneEdit) {
    Start(romPath);
    EXPECT_EQ(Caption(), "Quill2 MapEditor - game.gb");
    EXPECT_EQ(Label(), "Selection: none");
    EXPECT_EQ(MapFrame(), "Map");
    EXPECT_EQ(script.OpenFileRequests().at(0).title, "Select a Quillmoor 2 ROM...");

    QTest::mouseClick(Form().pbxTileset, Qt::LeftButton, {}, QPoint(3 * 8 + 4, 4));
    EXPECT_EQ(Label(), "Selection: one tile");
    QTest::mouseClick(Form().pbxMap, Qt::LeftButton, {}, QPoint(17, 9));
    EXPECT_EQ(program->Grid(2, 1, 0), 3);
    EXPECT_EQ(program->Grid(2, 1, 1), 0);
    EXPECT_EQ(MapFrame(), "Map (modified)");
    const QImage map = MapScreen(), tiles = TilesetScreen();
    for (int j = 0; j < 8; ++j)
        for (int i = 0; i < 8; ++i)
            ASSERT_EQ(map.pixel(16 + i, 8 + j), program->TilesetSurface.Image().pixel(24 + i, j)) << i << "," << j;

    Form().cmdSaveMap->click();
    EXPECT_EQ(MapFrame(), "Map");
    EXPECT_FALSE(program->MapModified);
    RomImage expected = rom;
    expected[kMap0 + 34] = 0x83;
    EXPECT_EQ(ReadFile(romPath), expected);
}

// After start-up, "Load Map" and another ROM, both boxes show what was
// loaded, not what they showed before.
TEST_F(EditorTest, TheBoxesShowWhatWasLoaded) {
    auto expectShown = [this] {
        EXPECT_EQ(MapScreen(), program->MapSurface.Image().convertToFormat(QImage::Format_RGB32));
        EXPECT_EQ(TilesetScreen(), program->TilesetSurface.Image().convertToFormat(QImage::Format_RGB32));
    };
    Start(romPath);
    expectShown();
    ClickLoadMap(4);  // other tiles, 20 rows
    expectShown();
    ClickLoadMap(0);
    expectShown();

    RomImage other = rom;
    for (size_t i = 0x34800; i < 0x3B000; ++i) other[i] = uint8_t(~other[i]);  // tiles and maps 0 to 3
    WriteFile(dir.File("other.gb"), other);
    script.AnswerOpenFile(dir.File("other.gb"));
    Form().cmdLoadAnotherROM->click();
    expectShown();
}

TEST_F(EditorTest, StartUpEndsWithoutAWindowWhenNoRomIsAccepted) {
    script.CancelOpenFile();
    program = std::make_unique<modMain>();
    EXPECT_FALSE(program->Main());
    EXPECT_FALSE(Form().isVisible());
    EXPECT_EQ(Form().cboMap->count(), 19);
    EXPECT_EQ(Form().cboMap->currentIndex(), -1);  // no map was loaded, so none is chosen
    EXPECT_EQ(Form().cboMap->itemText(18).toStdString(), "Title Screen");

    RomImage lower = rom;
    std::memcpy(lower.data() + 308, "quillmoor2", 10);
    WriteFile(dir.File("lower.gb"), lower);
    script.AnswerOpenFile(dir.File("lower.gb"))
        .AnswerMessage(MsgResult::No, msg::kTitleWarning, MsgButtons::YesNo, MsgIcon::Exclamation);
    program = std::make_unique<modMain>();
    EXPECT_FALSE(program->Main());
    EXPECT_FALSE(Form().isVisible());
}

TEST_F(EditorTest, TitleWarningNoKeepsThePreviousRom) {
    Start(romPath);
    RomImage other = rom;
    other.push_back(0);  // one byte too long
    const std::string otherPath = dir.File("other.gb");
    WriteFile(otherPath, other);

    script.AnswerOpenFile(otherPath).AnswerMessage(MsgResult::No, msg::kTitleWarning);
    Form().cmdLoadAnotherROM->click();
    EXPECT_EQ(Caption(), "Quill2 MapEditor - game.gb");
    EXPECT_EQ(program->RomPath, romPath);
    EXPECT_EQ(program->Rom, rom);

    PickTile(5, 0);
    Click(Form().pbxMap, Qt::LeftButton, Cell(0, 0));
    Form().cmdSaveMap->click();
    EXPECT_EQ(ReadFile(romPath)[kMap0], 0x85);
    EXPECT_EQ(ReadFile(otherPath), other);

    // Yes takes the file as it is.
    script.AnswerOpenFile(otherPath).AnswerMessage(MsgResult::Yes, msg::kTitleWarning);
    Form().cmdLoadAnotherROM->click();
    EXPECT_EQ(Caption(), "Quill2 MapEditor - other.gb");
    EXPECT_EQ(program->Rom.size(), other.size());
}

TEST_F(EditorTest, UnsavedChangesWhenLoadingAMap) {
    Start(romPath);
    PickTile(1, 1);
    Click(Form().pbxMap, Qt::LeftButton, Cell(4, 4));

    // Cancel: the edited map stays, the list keeps the user's choice, saving still goes to map 0.
    script.AnswerMessage(MsgResult::Cancel, msg::kSaveQuestion, MsgButtons::YesNoCancel, MsgIcon::Question);
    ClickLoadMap(1);
    EXPECT_EQ(program->CurrentMap, 0);
    EXPECT_EQ(Form().cboMap->currentIndex(), 1);
    EXPECT_EQ(MapFrame(), "Map (modified)");
    Form().cmdSaveMap->click();
    RomImage expected = rom;
    expected[kMap0 + 4 * 32 + 4] = EncodeCell(1, 1);
    EXPECT_EQ(ReadFile(romPath), expected);

    // No: the edit is dropped, map 1 loaded, nothing written.
    Click(Form().pbxMap, Qt::LeftButton, Cell(5, 5));
    script.AnswerMessage(MsgResult::No, msg::kSaveQuestion);
    ClickLoadMap(1);
    EXPECT_EQ(program->CurrentMap, 1);
    EXPECT_EQ(MapFrame(), "Map");
    EXPECT_EQ(Label(), "Selection: none");
    EXPECT_EQ(ReadFile(romPath), expected);

    // Nothing selected after a load: clicks on the map change nothing.
    Click(Form().pbxMap, Qt::LeftButton, Cell(6, 6));
    EXPECT_FALSE(program->MapModified);

    // Yes: saved into map 1, then map 2 loaded.
    PickTile(2, 2);
    Click(Form().pbxMap, Qt::LeftButton, Cell(6, 6));
    script.AnswerMessage(MsgResult::Yes, msg::kSaveQuestion);
    ClickLoadMap(2);
    EXPECT_EQ(program->CurrentMap, 2);
    expected[kMap1 + 6 * 32 + 6] = EncodeCell(2, 2);
    EXPECT_EQ(ReadFile(romPath), expected);

    // With nothing unsaved, nothing is asked.
    ClickLoadMap(3);
    EXPECT_EQ(program->CurrentMap, 3);
}

TEST_F(EditorTest, UnsavedChangesWhenLoadingAnotherRom) {
    Start(romPath);
    PickTile(1, 1);
    Click(Form().pbxMap, Qt::LeftButton, Cell(4, 4));
    const MapGrid edited = program->Grid;

    script.AnswerMessage(MsgResult::Cancel, msg::kSaveQuestion);  // no dialog follows
    Form().cmdLoadAnotherROM->click();
    script.AnswerMessage(MsgResult::No, msg::kSaveQuestion).CancelOpenFile();
    Form().cmdLoadAnotherROM->click();
    EXPECT_EQ(program->Grid, edited);
    EXPECT_EQ(MapFrame(), "Map (modified)");
    EXPECT_TRUE(program->MapModified);

    RomImage other = PatternRom();
    other[kMap0] = 0x00;
    WriteFile(dir.File("second.gb"), other);
    script.AnswerMessage(MsgResult::No, msg::kSaveQuestion).AnswerOpenFile(dir.File("second.gb"));
    Form().cmdLoadAnotherROM->click();
    EXPECT_EQ(Caption(), "Quill2 MapEditor - second.gb");
    EXPECT_EQ(program->Grid(0, 0, 1), 8);
    EXPECT_EQ(MapFrame(), "Map");
    EXPECT_EQ(ReadFile(romPath), rom);
}

TEST_F(EditorTest, ClosingTheWindow) {
    Start(romPath);
    PickTile(1, 1);
    Click(Form().pbxMap, Qt::LeftButton, Cell(4, 4));

    script.AnswerMessage(MsgResult::Cancel, msg::kSaveQuestion);
    EXPECT_FALSE(Form().close());
    EXPECT_TRUE(Form().isVisible());
    EXPECT_EQ(MapFrame(), "Map (modified)");

    script.AnswerMessage(MsgResult::No, msg::kSaveQuestion);
    EXPECT_TRUE(Form().close());
    EXPECT_EQ(ReadFile(romPath), rom);
    EXPECT_FALSE(std::filesystem::exists(JournalPathFor(romPath)));  // given up: not offered at the next start

    Form().show();
    script.AnswerMessage(MsgResult::Yes, msg::kSaveQuestion);
    EXPECT_TRUE(Form().close());
    EXPECT_EQ(ReadFile(romPath)[kMap0 + 4 * 32 + 4], EncodeCell(1, 1));

    Form().show();  // nothing unsaved: no question
    EXPECT_TRUE(Form().close());
}

// The keys: F1 is Help, Ctrl+O opens the dialog, Ctrl+S saves. Ctrl+Shift+S
// writes the image with the map into the file chosen (replacing one asks, and
// No writes nothing; Yes backs it up first) and the editor goes on with it:
// caption, not read-only, clean, Ctrl+S saves into it. Faults caught: edits to
// a read-only file that cannot be kept anywhere; Save As leaving the editor on
// the old file.
TEST_F(EditorTest, TheKeysOfADesktopEditor) {
    script.AnswerOpenFile(romPath, std::nullopt, true);
    program = std::make_unique<modMain>();
    ASSERT_TRUE(program->Main());
    QWidget* modal = nullptr;
    Form().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Form()));
    CloseModalSoon(&modal);
    QTest::keySequence(&Form(), QKeySequence(Qt::Key_F1));
    EXPECT_EQ(modal, Form().HelpWindow());
    script.CancelOpenFile();
    Key(QKeySequence(Qt::CTRL | Qt::Key_O));

    StampOneTile();
    const std::string copy = dir.File("copy.gb");
    WriteFile(copy, {1, 2, 3});
    const QKeySequence saveAs(Qt::CTRL | Qt::SHIFT | Qt::Key_S), save(Qt::CTRL | Qt::Key_S);
    script.AnswerSaveFile(copy).AnswerMessage(MsgResult::No, msg::ReplaceQuestion(copy));
    Key(saveAs);
    EXPECT_EQ(ReadFile(copy), (RomImage{1, 2, 3}));
    script.AnswerSaveFile(copy).AnswerMessage(MsgResult::Yes, msg::ReplaceQuestion(copy));
    Key(saveAs);
    EXPECT_EQ(ReadFile(copy), WithStamp(rom));
    EXPECT_EQ(ReadFile(romPath), rom);
    const std::filesystem::directory_iterator backups(dir.Path() / "state/quill2-mapeditor/backups");
    ASSERT_NE(backups, std::filesystem::directory_iterator{});
    EXPECT_EQ(ReadFile(backups->path().string()), (RomImage{1, 2, 3}));
    EXPECT_EQ(Caption(), "Quill2 MapEditor - copy.gb");
    EXPECT_EQ(MapFrame(), "Map");

    Click(Form().pbxMap, Qt::LeftButton, Cell(6, 6));
    Key(save);
    EXPECT_EQ(ReadFile(copy)[kMap0 + 6 * 32 + 6], EncodeCell(1, 1));
    EXPECT_EQ(ReadFile(romPath), rom);
}

TEST_F(EditorTest, AMapBlockIsCopiedElsewhere) {
    Start(romPath);
    const MapGrid before = program->Grid;
    PickMapBlock({10, 5}, {12, 7});
    EXPECT_EQ(Label(), "Selection: 3x3 tiles");
    Press(Form().pbxMap, Qt::LeftButton, QPointF(0, 0));  // pixel (0, 0) exactly
    Release(Form().pbxMap, Qt::LeftButton, QPointF(0, 0));
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            EXPECT_EQ(program->Grid(i, j, 0), before(10 + i, 5 + j, 0));
            EXPECT_EQ(program->Grid(i, j, 1), before(10 + i, 5 + j, 1));
        }
    EXPECT_EQ(program->Grid(3, 0, 0), before(3, 0, 0));

    // Overlapping its own source: the block is stamped as it was copied.
    PickMapBlock({0, 0}, {1, 0});
    const MapGrid source = program->Grid;
    Click(Form().pbxMap, Qt::LeftButton, Cell(1, 0));
    EXPECT_EQ(program->Grid(1, 0, 0), source(0, 0, 0));
    EXPECT_EQ(program->Grid(2, 0, 0), source(1, 0, 0));

    // A right click without a move copies one cell, also after a larger pick.
    const MapGrid beforeClick = program->Grid;
    Click(Form().pbxMap, Qt::RightButton, Cell(20, 20));
    EXPECT_EQ(Label(), "Selection: 1x1 tiles");
    Click(Form().pbxMap, Qt::LeftButton, Cell(6, 6));
    MapGrid oneCell = beforeClick;
    oneCell(6, 6, 0) = beforeClick(20, 20, 0);
    oneCell(6, 6, 1) = beforeClick(20, 20, 1);
    EXPECT_EQ(program->Grid, oneCell);

    // Dragging left of the anchor keeps the left edge.
    Press(Form().pbxMap, Qt::RightButton, Cell(10, 5));
    Move(Form().pbxMap, Qt::RightButton, Cell(11, 5));
    Move(Form().pbxMap, Qt::RightButton, Cell(4, 5));
    Release(Form().pbxMap, Qt::RightButton, Cell(4, 5));
    EXPECT_EQ(Label(), "Selection: 2x1 tiles");
    EXPECT_EQ(program->Selection.MapAnchorColumn, 10);
}

TEST_F(EditorTest, BlocksAreClippedAtTheRightAndBottomEdges) {
    Start(romPath);
    PickTilesetBlock({2, 2}, {4, 4});
    EXPECT_EQ(Label(), "Selection: 3x3 tiles");
    const MapGrid before = program->Grid;
    Click(Form().pbxMap, Qt::LeftButton, Cell(30, 30));
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const bool placed = x >= 30 && y >= 30;
            ASSERT_EQ(program->Grid(x, y, 0), placed ? 2 + x - 30 : before(x, y, 0)) << x << "," << y;
            ASSERT_EQ(program->Grid(x, y, 1), placed ? 2 + y - 30 : before(x, y, 1)) << x << "," << y;
        }

    script.AnswerMessage(MsgResult::No, msg::kSaveQuestion);
    ClickLoadMap(4);  // a 20-row map: the canvas is 160 pixels high in the unchanged frame
    ASSERT_FALSE(program->MapModified);
    EXPECT_EQ(Form().pbxMap->height(), 160);
    EXPECT_EQ(Form().fraMap->geometry(), QRect(8, 8, 273, 281));
    EXPECT_EQ(program->MapSurface.Image().size(), QSize(256, 160));
    PickTilesetBlock({0, 0}, {2, 2});
    const MapGrid sub = program->Grid;
    Click(Form().pbxMap, Qt::LeftButton, QPointF(0, 160));  // below the map: ignored
    Click(Form().pbxMap, Qt::LeftButton, QPointF(256, 0));  // right of it: ignored
    EXPECT_FALSE(program->MapModified);
    Click(Form().pbxMap, Qt::LeftButton, QPointF(255, 159));  // cell (31, 19)
    EXPECT_EQ(program->Grid(31, 19, 0), 0);
    EXPECT_EQ(program->Grid(31, 19, 1), 0);
    MapGrid expected = sub;
    expected(31, 19, 0) = 0;
    expected(31, 19, 1) = 0;
    EXPECT_EQ(program->Grid, expected);

    // A right drag on past the last row stops at row 19.
    Press(Form().pbxMap, Qt::RightButton, Cell(5, 18));
    Move(Form().pbxMap, Qt::RightButton, Cell(6, 19));
    Move(Form().pbxMap, Qt::RightButton, QPointF(60, 200));
    Release(Form().pbxMap, Qt::RightButton, QPointF(60, 200));
    EXPECT_EQ(Label(), "Selection: 2x2 tiles");
    // One pixel past the right edge is not a 33rd column.
    Press(Form().pbxMap, Qt::RightButton, Cell(30, 2));
    Move(Form().pbxMap, Qt::RightButton, Cell(31, 2));
    Move(Form().pbxMap, Qt::RightButton, QPointF(256, 20));
    Release(Form().pbxMap, Qt::RightButton, QPointF(256, 20));
    EXPECT_EQ(Label(), "Selection: 2x1 tiles");
}

TEST_F(EditorTest, MiddleAndBothButtons) {
    Start(romPath);
    const QImage tilesBefore = TilesetScreen();
    Click(Form().pbxTileset, Qt::MiddleButton, Cell(3, 3));
    Click(Form().pbxMap, Qt::MiddleButton, Cell(3, 3));
    EXPECT_EQ(Label(), "Selection: none");
    EXPECT_EQ(TilesetScreen(), tilesBefore);
    EXPECT_FALSE(program->MapModified);

    // Left held, then right pressed: a one-tile block at the pointer; moves with both held change nothing.
    Press(Form().pbxTileset, Qt::LeftButton, Cell(1, 1));
    Press(Form().pbxTileset, Qt::RightButton, Cell(5, 5), Qt::LeftButton);
    Move(Form().pbxTileset, Qt::LeftButton | Qt::RightButton, Cell(9, 9));
    Release(Form().pbxTileset, Qt::RightButton, Cell(9, 9), Qt::LeftButton | Qt::RightButton);
    Release(Form().pbxTileset, Qt::LeftButton, Cell(9, 9), Qt::LeftButton);
    EXPECT_EQ(Label(), "Selection: 1x1 tiles");
    EXPECT_EQ(program->Selection.TilesetAnchorColumn, 5);

    // A left press during a map pick places nothing but marks the map modified.
    const MapGrid before = program->Grid;
    Press(Form().pbxMap, Qt::RightButton, Cell(3, 3));
    Press(Form().pbxMap, Qt::LeftButton, Cell(8, 8), Qt::RightButton);
    EXPECT_EQ(program->Grid, before);
    EXPECT_EQ(MapFrame(), "Map (modified)");
    // Moves with both held neither place nor grow the pick.
    Move(Form().pbxMap, Qt::LeftButton | Qt::RightButton, Cell(10, 10));
    Release(Form().pbxMap, Qt::LeftButton, Cell(10, 10), Qt::LeftButton | Qt::RightButton);
    Release(Form().pbxMap, Qt::RightButton, Cell(10, 10), Qt::RightButton);
    EXPECT_EQ(program->Grid, before);
    EXPECT_EQ(Label(), "Selection: 1x1 tiles");
}

TEST_F(EditorTest, SelectionLabelsAndTilesetDrags) {
    Start(romPath);
    PickTilesetBlock({5, 5}, {8, 6});
    EXPECT_EQ(Label(), "Selection: 4x2 tiles");

    // Back over the anchor one cell at a time shrinks the block; past it freezes.
    PictureBox* box = Form().pbxTileset;
    Press(box, Qt::RightButton, Cell(5, 5));
    for (int c : {6, 7, 6, 5, 4, 3, 2}) Move(box, Qt::RightButton, Cell(c, 5));
    Release(box, Qt::RightButton, Cell(2, 5));
    EXPECT_EQ(Label(), "Selection: 1x1 tiles");
    Press(box, Qt::RightButton, Cell(5, 5));
    Move(box, Qt::RightButton, Cell(7, 5));
    Move(box, Qt::RightButton, Cell(2, 5));
    Release(box, Qt::RightButton, Cell(2, 5));
    EXPECT_EQ(Label(), "Selection: 3x1 tiles");

    // Far beyond the corner: the block ends at the last cells inside.
    Press(box, Qt::RightButton, Cell(14, 14));
    Move(box, Qt::RightButton, Cell(15, 15));
    Move(box, Qt::RightButton, QPointF(400, 400));
    Release(box, Qt::RightButton, QPointF(400, 400));
    EXPECT_EQ(Label(), "Selection: 2x2 tiles");

    // A left click dragged out and released outside still selects one tile.
    Press(box, Qt::LeftButton, QPointF(127, 127));
    Move(box, Qt::LeftButton, QPointF(128, 50));
    Release(box, Qt::LeftButton, QPointF(300, 50));
    EXPECT_EQ(Label(), "Selection: one tile");
    EXPECT_EQ(program->Selection.SingleTileColumn, 15);
    EXPECT_EQ(program->Selection.SingleTileRow, 15);

    // Fractional positions round half to even: 7.5 is pixel 8 (cell 1), 8.5 is pixel 8.
    Click(box, Qt::LeftButton, QPointF(7.5, 8.5));
    EXPECT_EQ(program->Selection.SingleTileColumn, 1);
    EXPECT_EQ(program->Selection.SingleTileRow, 1);
    Click(box, Qt::LeftButton, QPointF(7.4, 6.5));
    EXPECT_EQ(program->Selection.SingleTileColumn, 0);
    EXPECT_EQ(program->Selection.SingleTileRow, 0);
}

TEST_F(EditorTest, TheRedFrameInBothBoxes) {
    Start(romPath);
    PickTilesetBlock({3, 0}, {4, 1});
    QImage tiles = TilesetScreen();
    // Outer rectangle (22, -2)-(41, 17), inner (23, -1)-(40, 16); cells 24..39 x 0..15 stay visible.
    for (int y = 0; y <= 17; ++y) {
        EXPECT_EQ(tiles.pixel(22, y), kRed) << y;
        EXPECT_EQ(tiles.pixel(23, y), kRed) << y;
        EXPECT_EQ(tiles.pixel(40, y), kRed) << y;
        EXPECT_EQ(tiles.pixel(41, y), kRed) << y;
    }
    for (int x = 22; x <= 41; ++x) {
        EXPECT_EQ(tiles.pixel(x, 16), kRed) << x;
        EXPECT_EQ(tiles.pixel(x, 17), kRed) << x;
    }
    for (int y = 0; y < 16; ++y)
        for (int x = 24; x < 40; ++x) ASSERT_NE(tiles.pixel(x, y), kRed) << x << "," << y;
    EXPECT_NE(tiles.pixel(21, 5), kRed);
    EXPECT_NE(tiles.pixel(42, 5), kRed);
    EXPECT_NE(tiles.pixel(30, 18), kRed);

    // The map shows a frame only while a pick is under way; the picker's goes at the right press.
    Press(Form().pbxMap, Qt::RightButton, Cell(10, 5));
    Move(Form().pbxMap, Qt::RightButton, Cell(12, 7));
    QImage map = MapScreen();
    EXPECT_EQ(map.pixel(78, 38), kRed);
    EXPECT_EQ(map.pixel(79, 39), kRed);
    EXPECT_EQ(map.pixel(105, 65), kRed);
    EXPECT_EQ(map.pixel(104, 64), kRed);
    EXPECT_NE(map.pixel(80, 40), kRed);
    EXPECT_NE(map.pixel(77, 38), kRed);
    EXPECT_EQ(TilesetScreen().pixel(22, 5), program->TilesetSurface.Image().pixel(22, 5));
    Release(Form().pbxMap, Qt::RightButton, Cell(12, 7));
    EXPECT_EQ(MapScreen().pixel(78, 38), kRed);  // stays until the next paint
    PickTile(0, 0);
    EXPECT_NE(MapScreen().pixel(78, 38), kRed);

    // A pick ended before its repaint ran still shows its frame; a repaint the
    // window system asks for removes it.
    PickMapBlock({10, 5}, {12, 7});
    EXPECT_EQ(MapScreen().pixel(78, 38), kRed);
    int paints = 0;
    Form().pbxMap->Paint = [&] {
        ++paints;
        Form().pbxMap_Paint();
    };
    WindowSystemRepaint();
    EXPECT_EQ(MapScreen(), program->MapSurface.Image().convertToFormat(QImage::Format_RGB32));
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
    EXPECT_EQ(paints, 1);  // one repaint, not one that asks for the next
    Form().pbxMap->update();  // as when a window that covered part of the box moves away
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
    EXPECT_EQ(paints, 2);
    PickTile(0, 0);
    EXPECT_NE(MapScreen().pixel(78, 38), kRed);
    EXPECT_EQ(TilesetScreen().pixel(7, 8), kRed);  // single tile frame: inner bottom row
    EXPECT_EQ(TilesetScreen().pixel(9, 9), kRed);  // outer bottom-right corner
    // In the last row the frame's bottom lies outside the box; its sides reach the last pixel row.
    PickTile(3, 15);
    tiles = TilesetScreen();
    for (int x : {22, 23, 32, 33}) EXPECT_EQ(tiles.pixel(x, 127), kRed) << x;
}

TEST_F(EditorTest, HelpAndAboutAreMadeOnceAndReused) {
    Start(romPath);
    QWidget* first = nullptr;
    QWidget* second = nullptr;
    CloseModalSoon(&first);
    Form().cmdHelp->click();
    CloseModalSoon(&second);
    Form().cmdHelp->click();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    EXPECT_EQ(first, Form().HelpWindow());
    EXPECT_EQ(first->windowTitle().toStdString(), "Quill2 MapEditor Help");

    CloseModalSoon(&first);
    Form().cmdAbout->click();
    CloseModalSoon(&second);
    Form().cmdAbout->click();
    EXPECT_EQ(first, second);
    EXPECT_EQ(first, Form().AboutWindow());
}

TEST_F(EditorTest, AFailedSaveIsReportedAndKeepsTheEdits) {
    Start(romPath);
    PickTile(1, 1);
    Click(Form().pbxMap, Qt::LeftButton, Cell(4, 4));
    std::filesystem::remove(romPath);
    std::filesystem::create_directory(romPath);  // the file is now a folder

    script.AnswerMessage(MsgResult::OK);
    Form().cmdSaveMap->click();
    ASSERT_EQ(script.MessageBoxes().size(), 1u);
    const auto& box = script.MessageBoxes().back();
    EXPECT_EQ(box.icon, MsgIcon::Critical);
    EXPECT_NE(box.text.find(romPath), std::string::npos) << box.text;
    EXPECT_NE(box.text.find("Is a directory"), std::string::npos) << box.text;
    EXPECT_EQ(MapFrame(), "Map (modified)");
    EXPECT_TRUE(program->MapModified);
    program->Undo();  // back to the map as loaded, which the file may no longer hold
    EXPECT_EQ(MapFrame(), "Map (modified)");
    program->Redo();

    // A failed save from the question stops the load and the close.
    script.AnswerMessage(MsgResult::Yes, msg::kSaveQuestion).AnswerMessage(MsgResult::OK);
    ClickLoadMap(1);
    EXPECT_EQ(program->CurrentMap, 0);
    EXPECT_EQ(program->Grid(4, 4, 0), 1);
    script.AnswerMessage(MsgResult::Yes, msg::kSaveQuestion).AnswerMessage(MsgResult::OK);
    EXPECT_FALSE(Form().close());
    EXPECT_TRUE(Form().isVisible());

    std::filesystem::remove(romPath);  // deleted: created anew
    Form().cmdSaveMap->click();
    EXPECT_EQ(ReadFile(romPath).size(), rom.size());
    EXPECT_EQ(MapFrame(), "Map");
}

TEST_F(EditorTest, FilesThatCannotBeReadKeepThePreviousRom) {
    Start(romPath);
    const std::string big = dir.File("big.gb");
    WriteFile(big, {1});
    std::filesystem::resize_file(big, 9 * 1024 * 1024);
    const std::string shortPath = dir.File("short.gb");
    RomImage shortRom = rom;
    shortRom.resize(0x37200);  // ends inside map 0
    WriteFile(shortPath, shortRom);
    WriteFile(dir.File("empty.gb"), {});

    script.AnswerOpenFile(dir.File("gone.gb")).AnswerMessage(MsgResult::OK, msg::kNonExistentRom,
                                                              MsgButtons::OK, MsgIcon::Critical);
    Form().cmdLoadAnotherROM->click();
    script.AnswerOpenFile(dir.Path().string()).AnswerMessage(MsgResult::OK, msg::kNonExistentRom);
    Form().cmdLoadAnotherROM->click();
    script.AnswerOpenFile(big).AnswerMessage(MsgResult::OK);
    Form().cmdLoadAnotherROM->click();
    EXPECT_NE(script.Messages().back().find("too large"), std::string::npos);
    for (const std::string& path : {shortPath, dir.File("empty.gb")}) {
        script.AnswerOpenFile(path).AnswerMessage(MsgResult::Yes, msg::kTitleWarning).AnswerMessage(MsgResult::OK);
        Form().cmdLoadAnotherROM->click();
        EXPECT_NE(script.Messages().back().find("lies outside the file"), std::string::npos)
            << script.Messages().back();
    }
    EXPECT_EQ(Caption(), "Quill2 MapEditor - game.gb");
    EXPECT_EQ(program->RomPath, romPath);
    EXPECT_EQ(program->Rom, rom);
    EXPECT_EQ(program->CurrentMap, 0);

    // No list choice: Load Map does nothing; neither does a position past the catalogue.
    Form().cboMap->setCurrentIndex(-1);
    Form().cmdLoadMap->click();
    EXPECT_FALSE(program->LoadMap(19));
    EXPECT_EQ(program->CurrentMap, 0);

    // At start-up the same refusal ends the program.
    script.AnswerOpenFile(shortPath).AnswerMessage(MsgResult::Yes, msg::kTitleWarning).AnswerMessage(MsgResult::OK);
    modMain another;
    EXPECT_FALSE(another.Main());
    EXPECT_FALSE(another.Form().isVisible());
}

TEST_F(EditorTest, AFileHandedOverAtStartUpIsOfferedInTheDialog) {
    script.AnswerOpenFile(romPath);
    program = std::make_unique<modMain>();
    ASSERT_TRUE(program->Main(romPath));
    EXPECT_EQ(script.OpenFileRequests().at(0).initialFile, romPath);

    // The longest name the dialog takes is put in it; longer ones are left
    // out rather than making the dialog refuse to open.
    const std::string longest(cCommonDialog::kMaxPath, 'y');
    script.CancelOpenFile().CancelOpenFile();
    EXPECT_FALSE(modMain().Main(longest));
    EXPECT_EQ(script.OpenFileRequests().at(1).initialFile, longest);
    modMain another;
    EXPECT_FALSE(another.Main(std::string(300, 'x')));
    EXPECT_EQ(script.OpenFileRequests().at(2).initialFile, "");
}
