// SPDX-License-Identifier: MIT
// The editing loop: stamps taken back and put back, the ROM file written by
// other programs while the editor has it open, and Test-play in an emulator.
#include "app/TestPlay.h"
#include "support/EditorFixture.h"
#include "tiles/Tileset.h"

#include <QSettings>

#include <filesystem>

using namespace q2;
using namespace q2::test;
namespace fs = std::filesystem;

namespace {

constexpr int kMap0 = 0x37000;
const QKeySequence kUndo(Qt::CTRL | Qt::Key_Z);
const QKeySequence kRedoKeys[] = {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)};
const QKeySequence kTestPlay(Qt::Key_F5);

QImage Screen(const cDIBSection& surface) { return surface.Image().convertToFormat(QImage::Format_RGB32); }

// Runs events for as long as the editor waits before it reads a changed
// file, and some more: time enough for a reload that should not happen.
void WaitPastReloadDelay() {
    WaitUntil([] { return false; }, 3 * kReloadDelayMs);
}

class EditingLoop : public EditorTest {
protected:
    // Tile (1, 1) stamped at cell (4, 4) of map 0.
    void Edit() {
        PickTile(1, 1);
        Click(Form().pbxMap, Qt::LeftButton, Cell(4, 4));
        ASSERT_TRUE(program->MapModified);
    }
    RomImage Edited(RomImage image) const {
        image[kMap0 + 4 * 32 + 4] = EncodeCell(1, 1);
        return image;
    }
    // The tiles and the map as the editor draws map 0 of image.
    void Drawn(const RomImage& image, cDIBSection& tiles, cDIBSection& map) const {
        const MapEntry& entry = program->Catalogue.entries[0];
        BuildTileset(tiles, image, entry.TilesetFirst, entry.TilesetLast);
        MapGrid grid;
        ASSERT_TRUE(DecodeMap(image, entry.MapOffset, entry.IsSubMap, grid));
        map.Create(256, 256);
        DrawMap(grid, tiles, map);
    }
    // Another program's version of the ROM: a tile byte and map cell (7, 2) changed.
    RomImage Other(uint8_t column) const {
        RomImage other = rom;
        other[size_t(program->Catalogue.entries[0].TilesetFirst)] ^= column;
        other[kMap0 + 2 * 32 + 7] = EncodeCell(column, 9);
        return other;
    }
    bool ShowsCell72(uint8_t column) { return program->Grid(7, 2, 0) == column && program->Grid(7, 2, 1) == 9; }
};

// Faults caught: an undo that leaves the surface or the caption behind, a
// redo key not bound, a pick recorded as a step, a stamp after an undo that
// keeps what could have been redone.
TEST_F(EditingLoop, AStampDragIsOneStepUndoneAndRedone) {
    Start(romPath);
    const MapGrid loaded = program->Grid;
    const QImage loadedScreen = MapScreen();
    PickTilesetBlock({2, 3}, {3, 4});
    PictureBox* map = Form().pbxMap;
    Press(map, Qt::LeftButton, Cell(3, 3));
    Move(map, Qt::LeftButton, Cell(4, 3));
    Move(map, Qt::LeftButton, Cell(6, 5));
    Release(map, Qt::LeftButton, Cell(6, 5));
    EXPECT_EQ(program->History.count(), 1);
    const MapGrid stamped = program->Grid;
    const QImage stampedScreen = MapScreen();
    ASSERT_NE(stamped, loaded);

    Key(kUndo);
    EXPECT_EQ(program->Grid, loaded);
    EXPECT_EQ(MapScreen(), loadedScreen);
    EXPECT_EQ(MapFrame(), "Map");
    EXPECT_FALSE(program->MapModified);
    for (const QKeySequence& redo : kRedoKeys) {
        SCOPED_TRACE(redo.toString().toStdString());
        Key(redo);
        EXPECT_EQ(program->Grid, stamped);
        EXPECT_EQ(MapScreen(), stampedScreen);
        EXPECT_EQ(MapFrame(), "Map (modified)");
        Key(kUndo);
    }

    PickMapBlock({10, 10}, {11, 11});
    EXPECT_EQ(program->History.count(), 1);
    Click(map, Qt::LeftButton, Cell(20, 20));
    EXPECT_EQ(program->History.count(), 1);  // the stamp undone was dropped
    Key(kRedoKeys[0]);
    EXPECT_EQ(program->Grid(3, 3, 0), loaded(3, 3, 0));
    EXPECT_EQ(program->Grid(3, 3, 1), loaded(3, 3, 1));
}

// Faults caught: the state last saved still asked about, the loaded state
// taken as saved after a save, a history that outlives a load, fewer than
// 1,000 steps kept.
TEST_F(EditingLoop, TheSavedStateIsTheCleanOne) {
    Start(romPath);
    Edit();
    Form().cmdSaveMap->click();
    Click(Form().pbxMap, Qt::LeftButton, Cell(5, 5));
    Key(kUndo);
    EXPECT_EQ(MapFrame(), "Map");
    Key(kUndo);
    EXPECT_EQ(MapFrame(), "Map (modified)");
    EXPECT_TRUE(program->MapModified);
    Key(kRedoKeys[0]);
    EXPECT_FALSE(program->MapModified);
    ClickLoadMap(1);  // no question: the script holds no answer
    EXPECT_EQ(program->CurrentMap, 1);
    EXPECT_EQ(program->History.count(), 0);

    const MapGrid loaded = program->Grid;
    for (int i = 0; i < 1000; ++i) {
        PickTile(i % 16, (i / 16) % 16);
        Click(Form().pbxMap, Qt::LeftButton, Cell(i % 32, (i / 32) % 20));
    }
    for (int i = 0; i < 1000; ++i) program->Undo();
    EXPECT_EQ(program->Grid, loaded);
    EXPECT_EQ(MapFrame(), "Map");
}

// Faults caught: the screen keeps the old bytes after another program wrote
// the file; a reload that drops the selection or the history; the editor's
// own save read back as another program's; the watch lost when the file is
// replaced by renaming a new one over it, or deleted and made anew.
TEST_F(EditingLoop, AnotherWriterIsFollowedWhileTheMapIsUnmodified) {
    Start(romPath);
    Edit();
    Form().cmdSaveMap->click();
    const RomImage saved = Edited(rom);
    rom = saved;  // Other() starts from what the file holds now
    int tilesetPaints = 0;
    Form().pbxTileset->Paint = [&, paint = Form().pbxTileset->Paint] {
        ++tilesetPaints;
        paint();
    };
    WaitPastReloadDelay();
    EXPECT_EQ(tilesetPaints, 0) << "the editor's own save was read back";

    const RomImage other = Other(9);
    WriteFile(romPath, other);
    ASSERT_TRUE(WaitUntil([&] { return ShowsCell72(9); }));
    cDIBSection tiles, map;
    Drawn(other, tiles, map);
    EXPECT_EQ(program->TilesetSurface.Image(), tiles.Image());
    EXPECT_EQ(MapScreen(), Screen(map));
    EXPECT_EQ(TilesetScreen().copy(0, 0, 128, 4), Screen(tiles).copy(0, 0, 128, 4));  // above the frame
    EXPECT_EQ(Label(), "Selection: one tile");
    EXPECT_EQ(program->History.count(), 1);
    EXPECT_EQ(MapFrame(), "Map");
    Form().cmdSaveMap->click();  // no question: the bytes read are the file's
    EXPECT_EQ(ReadFile(romPath), other);

    WriteFile(dir.File("new.gb"), Other(11));
    fs::rename(dir.File("new.gb"), romPath);
    ASSERT_TRUE(WaitUntil([&] { return ShowsCell72(11); }));
    WriteFile(romPath, Other(13));  // into the file renamed into place
    EXPECT_TRUE(WaitUntil([&] { return ShowsCell72(13); }));

    // Deleted: nothing happens; made anew by a save, it is watched again.
    fs::remove(romPath);
    WaitPastReloadDelay();
    Form().cmdSaveMap->click();
    EXPECT_EQ(ReadFile(romPath), program->Rom);
    WriteFile(romPath, Other(15));
    ASSERT_TRUE(WaitUntil([&] { return ShowsCell72(15); }));

    // Cut short before the map: said as a load says it, and nothing is taken.
    const RomImage shown = program->Rom;
    script.AnswerMessage(MsgResult::OK, msg::MapOutsideFile(program->Catalogue.names[0], "game.gb", 0x1000));
    WriteFile(romPath, RomImage(rom.begin(), rom.begin() + 0x1000));
    EXPECT_TRUE(WaitUntil([&] { return script.Pending() == 0; }));
    EXPECT_EQ(program->Rom, shown);
    EXPECT_TRUE(ShowsCell72(15));
}

// Faults caught: unsaved edits dropped by a reload; the save's question
// skipped; tiles on the screen left stale after Yes; a file written while
// the map was modified never shown once the edits are undone.
TEST_F(EditingLoop, WhileModifiedNothingReloadsAndTheSaveAsks) {
    Start(romPath);
    Edit();
    const RomImage other = Other(9);
    WriteFile(romPath, other);
    WaitPastReloadDelay();
    EXPECT_FALSE(ShowsCell72(9));
    EXPECT_EQ(program->Grid(4, 4, 0), 1);
    EXPECT_EQ(program->Rom, rom);

    script.AnswerMessage(MsgResult::Yes, msg::ChangedOnDisk(romPath));
    Form().cmdSaveMap->click();
    RomImage expected = Edited(other);
    expected[kMap0 + 2 * 32 + 7] = rom[kMap0 + 2 * 32 + 7];  // this map is the editor's
    EXPECT_EQ(ReadFile(romPath), expected);
    cDIBSection tiles, map;
    Drawn(expected, tiles, map);
    EXPECT_EQ(program->TilesetSurface.Image(), tiles.Image());
    EXPECT_EQ(MapScreen(), Screen(map));

    // Undone back to the state saved, the map shows what was written meanwhile.
    Click(Form().pbxMap, Qt::LeftButton, Cell(5, 5));
    rom = expected;
    WriteFile(romPath, Other(11));
    WaitPastReloadDelay();
    Key(kUndo);
    EXPECT_TRUE(WaitUntil([&] { return ShowsCell72(11); }));
}

// Faults caught: the copy without the unsaved edit, the cartridge written or
// marked saved, a copy others can read, the same file handed out twice, the
// folder left behind, a command split at the blanks inside its quotes.
TEST_F(EditingLoop, TestPlayHandsTheEmulatorACopyWithTheEditedMap) {
    const std::string played = dir.File("played copy.gb");
    // A stand-in emulator that copies the file it is given.
    ScopedEnv emulator(kEmulatorVariable, "sh -c 'cp \"$0\" \"$1.part\" && mv \"$1.part\" \"$1\"' %f '" + played + "'");
    Start(romPath);
    Edit();
    Key(kTestPlay);
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(played); }));
    EXPECT_EQ(ReadFile(played), Edited(rom));
    EXPECT_EQ(ReadFile(romPath), rom);
    EXPECT_EQ(MapFrame(), "Map (modified)");

    const fs::path folder = program->TestPlayFolder();
    EXPECT_EQ(fs::status(folder).permissions(), fs::perms::owner_all);
    fs::remove(played);
    Key(kTestPlay);
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(played); }));
    std::vector<fs::path> copies;
    for (const auto& entry : fs::directory_iterator(folder)) copies.push_back(entry.path());
    ASSERT_EQ(copies.size(), 2u);
    for (const fs::path& copy : copies)
        EXPECT_EQ(fs::status(copy).permissions(), fs::perms::owner_read | fs::perms::owner_write) << copy;
    program.reset();
    EXPECT_FALSE(fs::exists(folder));
}

// Faults caught: no box when no emulator is known, a command asked for at
// every F5, a cancelled box that stores something or starts anything.
TEST_F(EditingLoop, WithoutAnEmulatorTestPlayAsksOnceAndRemembers) {
    ScopedEnv noVariable(kEmulatorVariable, "");
    ScopedEnv path("PATH", dir.File("no-programs"));
    Start(romPath);
    program->EmulatorFolders.clear();
    script.AnswerInput(std::nullopt, msg::kTestPlayPrompt);
    Key(kTestPlay);
    EXPECT_FALSE(fs::exists(SettingsFilePath()));
    EXPECT_TRUE(program->TestPlayFolder().empty());

    const std::string played = dir.File("played.gb");
    const std::string command = "/bin/cp %f " + played;
    script.AnswerInput(command);
    Key(kTestPlay);
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(played); }));
    EXPECT_EQ(SettingsFilePath(), dir.File("config") + "/quill2-mapeditor/quill2-mapeditor.conf");
    EXPECT_EQ(QSettings(QString::fromStdString(SettingsFilePath()), QSettings::IniFormat)
                  .value("TestPlay/Command")
                  .toString()
                  .toStdString(),
              command);
    fs::remove(played);
    Key(kTestPlay);  // no box: the script has no answer for one
    EXPECT_TRUE(WaitUntil([&] { return fs::exists(played); }));
}

// Fault caught: a command that cannot be stored lost without a word, and
// asked for again at every F5.
TEST_F(EditingLoop, ACommandThatCannotBeStoredIsKeptForTheRun) {
    ScopedEnv noVariable(kEmulatorVariable, "");
    ScopedEnv path("PATH", dir.File("no-programs"));
    WriteFile(dir.File("config"), {1});  // a file where the settings folder goes
    Start(romPath);
    program->EmulatorFolders.clear();
    const std::string played = dir.File("played.gb");
    script.AnswerInput("/bin/cp %f " + played).AnswerMessage(MsgResult::OK, msg::TestPlayNotStored(SettingsFilePath()));
    Key(kTestPlay);
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(played); }));
    fs::remove(played);
    Key(kTestPlay);
    EXPECT_TRUE(WaitUntil([&] { return fs::exists(played); }));
}

// Fault caught: a command that cannot run fails silently.
TEST_F(EditingLoop, ACommandThatCannotStartIsReported) {
    struct Case {
        std::string command, text;
    };
    const std::string source = std::string("the environment variable ") + kEmulatorVariable;
    const Case cases[] = {
        {"/no/such/emulator %f", "No such file or directory"},
        {dir.Path().string() + " %f", "Permission denied"},
        {"mgba-qt 'unclosed %f", msg::TestPlayBadCommand("mgba-qt 'unclosed %f", source)},
    };
    Start(romPath);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        ScopedEnv emulator(kEmulatorVariable, c.command);
        script.AnswerMessage(MsgResult::OK);
        Key(kTestPlay);
        ASSERT_FALSE(script.MessageBoxes().empty());
        const auto& box = script.MessageBoxes().back();
        EXPECT_NE(box.text.find(c.text), std::string::npos) << box.text;
        EXPECT_NE(box.text.find(source), std::string::npos) << box.text;
        EXPECT_EQ(box.icon, MsgIcon::Critical);
    }
}

TEST(TestPlayCommand, WordsAreSplitAsAShellSplitsThem) {
    using Words = std::vector<std::string>;
    const std::pair<std::string, std::optional<Words>> cases[] = {
        {"  mgba-qt   %f ", Words{"mgba-qt", "%f"}},
        {"emu 'a b' \"c d\" e\\ f", Words{"emu", "a b", "c d", "e f"}},
        {"emu 'it''s' \"say \\\"hi\\\" \\n\" x\"y\"'z'", Words{"emu", "its", "say \"hi\" \\n", "xyz"}},
        {"emu ''", Words{"emu", ""}},
        {"emu 'open", std::nullopt},
        {"emu \"open", std::nullopt},
        {"emu \\", std::nullopt},
    };
    for (const auto& [command, words] : cases) EXPECT_EQ(SplitCommandWords(command), words) << command;

    EXPECT_EQ(CommandForFile({"emu", "--rom=%f", "%f"}, "/t/a b.gb"), (Words{"emu", "--rom=/t/a b.gb", "/t/a b.gb"}));
    EXPECT_EQ(CommandForFile({"emu", "-f"}, "/t/%f.gb"), (Words{"emu", "-f", "/t/%f.gb"}));
}

} // namespace
