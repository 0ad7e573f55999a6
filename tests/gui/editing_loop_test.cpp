// SPDX-License-Identifier: MIT
// The editing loop: stamps taken back and put back, the ROM file written by
// other programs while the editor has it open, and Test-play in an emulator.
#include "app/EditHistory.h"
#include "app/TestPlay.h"
#include "support/EditorFixture.h"
#include "tiles/Tileset.h"

#include <QSettings>

#include <filesystem>
#include <tuple>

using namespace q2;
using namespace q2::test;
namespace fs = std::filesystem;

namespace {

constexpr int kMap0 = 0x37000;
const QKeySequence kUndo(Qt::CTRL | Qt::Key_Z), kRedo(Qt::CTRL | Qt::Key_Y), kTestPlay(Qt::Key_F5);

// Runs events for as long as the editor waits before it reads a changed
// file, and some more: time enough for a reload that should not happen.
void WaitPastReloadDelay() { WaitUntil([] { return false; }, 3 * kReloadDelayMs); }

class EditingLoop : public EditorTest {
protected:
    // Another program's version of the ROM: a tile byte and map cell (7, 2) changed.
    RomImage Other(uint8_t column) const {
        RomImage other = rom;
        other[size_t(program->Catalogue.entries[0].TilesetFirst)] ^= column;
        other[kMap0 + 2 * 32 + 7] = EncodeCell(column, 9);
        return other;
    }
    // The editor comes to show Other(column)'s cell (7, 2).
    bool Follows(uint8_t column) {
        return WaitUntil([&] { return program->Grid(7, 2, 0) == column && program->Grid(7, 2, 1) == 9; });
    }
    // The editor holds and shows map 0 as drawn from image.
    void ExpectShows(const RomImage& image) {
        const MapEntry& entry = program->Catalogue.entries[0];
        cDIBSection tiles, map;
        BuildTileset(tiles, image, entry.TilesetFirst, entry.TilesetLast);
        MapGrid grid;
        ASSERT_TRUE(DecodeMap(image, entry.MapOffset, entry.IsSubMap, grid));
        map.Create(256, 256);
        DrawMap(grid, tiles, map);
        const auto rgb = [](const cDIBSection& s) { return s.Image().convertToFormat(QImage::Format_RGB32); };
        EXPECT_EQ(program->TilesetSurface.Image(), tiles.Image());
        EXPECT_EQ(MapScreen(), rgb(map));
        EXPECT_EQ(TilesetScreen().copy(0, 0, 128, 4), rgb(tiles).copy(0, 0, 128, 4));  // above the frame
    }
    // F5, and the stand-in emulator has made the file played.
    bool Plays(const std::string& played) {
        fs::remove(played);
        Key(kTestPlay);
        return WaitUntil([&] { return fs::exists(played); });
    }
};

// A drag is one step, a pick none; undo and either redo key repaint and set
// the caption; the state saved is the clean one; a load starts a new history.
TEST_F(EditingLoop, StampsAreStepsAndTheSavedOneIsClean) {
    Start(romPath);
    const MapGrid loaded = program->Grid;
    const QImage loadedScreen = MapScreen();
    PickTilesetBlock({2, 3}, {3, 4});
    PictureBox* map = Form().pbxMap;
    Press(map, Qt::LeftButton, Cell(3, 3));
    for (const QPointF at : {Cell(4, 3), Cell(6, 5)}) Move(map, Qt::LeftButton, at);
    Release(map, Qt::LeftButton, Cell(6, 5));
    EXPECT_EQ(program->History.Count(), 1);
    const MapGrid stamped = program->Grid;
    const QImage stampedScreen = MapScreen();
    ASSERT_NE(stamped, loaded);
    for (const QKeySequence& redo : {kRedo, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)}) {
        SCOPED_TRACE(redo.toString().toStdString());
        Key(kUndo);
        EXPECT_EQ(program->Grid, loaded);
        EXPECT_EQ(MapScreen(), loadedScreen);
        EXPECT_EQ(MapFrame(), "Map");
        Key(redo);
        EXPECT_EQ(program->Grid, stamped);
        EXPECT_EQ(MapScreen(), stampedScreen);
        EXPECT_EQ(MapFrame(), "Map (modified)");
    }
    Key(kUndo);
    PickMapBlock({10, 10}, {11, 11});
    Click(map, Qt::LeftButton, Cell(20, 20));
    EXPECT_EQ(program->History.Count(), 1);  // the pick is no step; the stamp undone is gone
    Key(kRedo);
    EXPECT_EQ(std::pair(program->Grid(3, 3, 0), program->Grid(3, 3, 1)), std::pair(loaded(3, 3, 0), loaded(3, 3, 1)));

    Form().cmdSaveMap->click();
    Click(map, Qt::LeftButton, Cell(5, 5));
    Key(kUndo);
    EXPECT_EQ(MapFrame(), "Map");
    Key(kUndo);
    EXPECT_EQ(MapFrame(), "Map (modified)");
    Key(kRedo);
    EXPECT_FALSE(program->MapModified);
    ClickLoadMap(1);  // no question: the script holds no answer
    EXPECT_EQ(program->History.Count(), 0);
    const MapGrid map1 = program->Grid;
    for (int i = 0; i < 1000; ++i) {
        PickTile(i % 16, (i / 16) % 16);
        Click(map, Qt::LeftButton, Cell(i % 32, (i / 32) % 20));
    }
    for (int i = 0; i < 1000; ++i) program->Undo();
    EXPECT_EQ(program->Grid, map1);
    EXPECT_EQ(MapFrame(), "Map");
}

// Another program's write shows, keeping selection and history; the editor's
// own save is not read back; the watch survives a rename over the file and a
// delete and remake; a file cut short is said as a load says it, not taken.
TEST_F(EditingLoop, AnotherWriterIsFollowedWhileTheMapIsUnmodified) {
    Start(romPath);
    StampOneTile();
    Form().cmdSaveMap->click();
    rom = WithStamp(rom);  // Other() starts from what the file holds now
    int tilesetPaints = 0;
    Form().pbxTileset->Paint = [&, paint = Form().pbxTileset->Paint] { ++tilesetPaints, paint(); };
    WaitPastReloadDelay();
    EXPECT_EQ(tilesetPaints, 0) << "the editor's own save was read back";

    WriteFile(romPath, Other(9));
    ASSERT_TRUE(Follows(9));
    ExpectShows(Other(9));
    EXPECT_EQ(Label(), "Selection: one tile");
    EXPECT_EQ(program->History.Count(), 1);
    EXPECT_EQ(MapFrame(), "Map");
    Form().cmdSaveMap->click();  // no question: the bytes read are the file's
    EXPECT_EQ(ReadFile(romPath), Other(9));

    WriteFile(dir.File("new.gb"), Other(11));
    fs::rename(dir.File("new.gb"), romPath);
    ASSERT_TRUE(Follows(11));
    WriteFile(romPath, Other(13));  // into the file renamed into place
    EXPECT_TRUE(Follows(13));
    fs::remove(romPath);  // nothing happens; made anew by a save, it is watched again
    WaitPastReloadDelay();
    Form().cmdSaveMap->click();
    EXPECT_EQ(ReadFile(romPath), program->Rom);
    WriteFile(romPath, Other(15));
    ASSERT_TRUE(Follows(15));
    Press(Form().pbxMap, Qt::LeftButton, QPointF(-4, -4));  // a stroke that has placed nothing yet
    WriteFile(romPath, Other(3));
    WaitPastReloadDelay();
    EXPECT_EQ(program->Grid(7, 2, 0), 15) << "read in the middle of a stroke";
    Release(Form().pbxMap, Qt::LeftButton, QPointF(-4, -4));
    ASSERT_TRUE(Follows(3));

    const RomImage shown = program->Rom;
    script.AnswerMessage(MsgResult::OK, msg::MapOutsideFile(program->Catalogue.names[0], "game.gb", 0x1000));
    WriteFile(romPath, RomImage(rom.begin(), rom.begin() + 0x1000));
    EXPECT_TRUE(WaitUntil([&] { return script.Pending() == 0; }));
    EXPECT_EQ(program->Rom, shown);
}

// Unsaved edits are never reloaded over; the save asks, then shows the other
// program's tiles; undone back to the state saved, or given up at a load,
// the map follows the file.
TEST_F(EditingLoop, WhileModifiedNothingReloadsAndTheSaveAsks) {
    Start(romPath);
    StampOneTile();
    WriteFile(romPath, Other(9));
    WaitPastReloadDelay();
    EXPECT_EQ(program->Grid(4, 4, 0), 1);
    EXPECT_EQ(program->Rom, rom);

    script.AnswerMessage(MsgResult::Yes, msg::ChangedOnDisk(romPath, 1));
    Form().cmdSaveMap->click();
    RomImage expected = WithStamp(Other(9));
    expected[kMap0 + 2 * 32 + 7] = rom[kMap0 + 2 * 32 + 7];  // this map is the editor's
    EXPECT_EQ(ReadFile(romPath), expected);
    ExpectShows(expected);

    Click(Form().pbxMap, Qt::LeftButton, Cell(5, 5));
    rom = expected;
    WriteFile(romPath, Other(11));
    WaitPastReloadDelay();
    Key(kUndo);  // back to the state saved: what was written meanwhile shows
    EXPECT_TRUE(Follows(11));

    // Edits given up at a load make way for what was written meanwhile.
    rom = Other(11);
    StampOneTile();
    WriteFile(romPath, Other(13));
    WaitPastReloadDelay();
    script.AnswerMessage(MsgResult::No, msg::kSaveQuestion);
    ClickLoadMap(0);
    ExpectShows(Other(13));
    EXPECT_EQ(MapFrame(), "Map");
}

// The emulator gets a private new copy holding the unsaved edit, the file and
// the modified state untouched; quotes are kept, leading NAME=value words go
// into its environment; a command that cannot run is said, with the reason alone.
TEST_F(EditingLoop, TestPlayHandsTheEmulatorACopyWithTheEditedMap) {
    const std::string played = dir.File("played copy.gb");
    // A stand-in emulator that copies the file it is given where its environment says.
    ScopedEnv emulator(kEmulatorVariable,
                       "DEST='" + played + "' sh -c 'cp \"$0\" \"$DEST.part\" && mv \"$DEST.part\" \"$DEST\"' %f");
    Start(romPath);
    StampOneTile();
    ASSERT_TRUE(Plays(played));
    EXPECT_EQ(ReadFile(played), WithStamp(rom));
    EXPECT_EQ(ReadFile(romPath), rom);
    EXPECT_EQ(MapFrame(), "Map (modified)");
    const fs::path folder = program->Player.Folder();
    EXPECT_EQ(fs::status(folder).permissions(), fs::perms::owner_all);
    ASSERT_TRUE(Plays(played));
    const std::vector<fs::path> copies(fs::directory_iterator(folder), fs::directory_iterator{});
    ASSERT_EQ(copies.size(), 2u);
    for (const fs::path& copy : copies)
        EXPECT_EQ(fs::status(copy).permissions(), fs::perms::owner_read | fs::perms::owner_write) << copy;
    fs::remove_all(folder);  // deleted under the running editor: made anew
    ASSERT_TRUE(Plays(played));
    const fs::path again = program->Player.Folder();

    const std::string source = std::string("the environment variable ") + kEmulatorVariable;
    const std::pair<std::string, std::string> cannotStart[] = {
        {"/no/such/emulator %f", msg::TestPlayNotStarted("/no/such/emulator %f", "No such file or directory", source)},
        {dir.Path().string() + " %f", "Permission denied"},
        {"mgba-qt 'unclosed %f", msg::TestPlayBadCommand("mgba-qt 'unclosed %f", source)},
        {"mgba-qt %f \\", msg::TestPlayEndsInBackslash("mgba-qt %f \\", source)},
        {"A=1 # mgba-qt %f", msg::TestPlayNoProgram("A=1 # mgba-qt %f", source)},
    };
    for (const auto& [command, text] : cannotStart) {
        ScopedEnv bad(kEmulatorVariable, command);
        script.AnswerMessage(MsgResult::OK);
        Key(kTestPlay);
        const std::string said = script.Messages().empty() ? "" : script.Messages().back();
        EXPECT_TRUE(said.find(text) != said.npos && said.find(source) != said.npos) << command << ": " << said;
    }
    program.reset();
    EXPECT_FALSE(fs::exists(again));
}

// With no emulator known F5 asks; a cancel does nothing; the command typed is
// used from then on once it has started, stored or, when it cannot be, kept
// for the run and said so; Shift+F5 changes it.
TEST_F(EditingLoop, WithoutAnEmulatorTestPlayAsksOnceAndRemembers) {
    ScopedEnv noVariable(kEmulatorVariable, ""), path("PATH", dir.File("no-programs"));
    WriteFile(dir.File("blocked"), {1});  // a file where the settings folder goes
    const std::string played = dir.File("played.gb"), command = "/bin/cp %f " + played;
    for (const bool storable : {true, false}) {
        SCOPED_TRACE(storable ? "stored" : "not stored");
        ScopedEnv config("XDG_CONFIG_HOME", dir.File(storable ? "config" : "blocked"));
        program.reset();
        Start(romPath);
        program->Player.folders.clear();
        script.AnswerInput(std::nullopt, msg::kTestPlayPrompt);
        Key(kTestPlay);
        EXPECT_FALSE(fs::exists(SettingsFilePath()));
        EXPECT_TRUE(program->Player.Folder().empty());
        script.AnswerInput("/no/such/emulator %f").AnswerMessage(MsgResult::OK);
        Key(kTestPlay);
        EXPECT_FALSE(fs::exists(SettingsFilePath())) << "stored before it started";

        script.AnswerInput(command);
        if (!storable) script.AnswerMessage(MsgResult::OK, msg::TestPlayNotStored(SettingsFilePath()));
        ASSERT_TRUE(Plays(played));
        if (storable) {
            EXPECT_EQ(SettingsFilePath(), dir.File("config") + "/quill2-mapeditor/quill2-mapeditor.conf");
            QSettings settings(QString::fromStdString(SettingsFilePath()), QSettings::IniFormat);
            EXPECT_EQ(settings.value("TestPlay/Command").toString().toStdString(), command);
        }
        EXPECT_TRUE(Plays(played));  // no box: the script has no answer for one
    }
    // Shift+F5 shows the command in force and plays with the one typed, which is stored.
    const std::string other = "/bin/cp %f " + dir.File("other.gb");
    script.AnswerInput(other, msg::TestPlayChangePrompt("the command entered in this run"));
    Key(QKeySequence(Qt::SHIFT | Qt::Key_F5));
    EXPECT_TRUE(WaitUntil([&] { return fs::exists(dir.File("other.gb")); }));
    EXPECT_EQ(program->Player.Command().command, other);
}

// Quotes, backslashes, joined lines and comments as in a POSIX shell; leading
// NAME=value words are the environment's.
TEST(TestPlayCommand, WordsAreSplitAsAShellSplitsThem) {
    using Words = std::vector<std::string>;
    const std::pair<std::string, std::optional<Words>> cases[] = {
        {"  mgba-qt   %f ", Words{"mgba-qt", "%f"}}, {"emu ''", Words{"emu", ""}},
        {"emu 'a b' \"c d\" e\\ f", Words{"emu", "a b", "c d", "e f"}},
        {"emu 'it''s' \"say \\\"hi\\\" \\n\" x\"y\"'z'", Words{"emu", "its", "say \"hi\" \\n", "xyz"}},
        {"emu \"c:\\\\x\"", Words{"emu", "c:\\x"}},
        {"emu # the rest 'is' a comment\n--x", Words{"emu", "--x"}}, {"emu a#b", Words{"emu", "a#b"}},
        {"emu \\\n  --x \"a\\\nb\"", Words{"emu", "--x", "ab"}}, {"emu '\\\n'", Words{"emu", "\\\n"}},
        {"emu 'open", std::nullopt}, {"emu \"open", std::nullopt}, {"emu \\", std::nullopt},
    };
    for (const auto& [command, words] : cases) EXPECT_EQ(SplitCommandWords(command), words) << command;
    SplitError why = SplitError::OpenQuote;
    EXPECT_FALSE(SplitCommandWords("emu %f \\", &why));
    EXPECT_EQ(why, SplitError::EndsInBackslash);
    Words words{"A=1", "_b2=x y", "emu", "C=3"};
    EXPECT_EQ(TakeAssignments(words), (std::vector<std::pair<std::string, std::string>>{{"A", "1"}, {"_b2", "x y"}}));
    EXPECT_EQ(words, (Words{"emu", "C=3"}));
    words = {"1A=2", "emu"};
    EXPECT_TRUE(TakeAssignments(words).empty());
    EXPECT_EQ(CommandForFile({"emu", "--rom=%f", "%f"}, "/t/a b.gb"), (Words{"emu", "--rom=/t/a b.gb", "/t/a b.gb"}));
    EXPECT_EQ(CommandForFile({"emu", "-f"}, "/t/%f.gb"), (Words{"emu", "-f", "/t/%f.gb"}));
}

// Where the command comes from: the variable, else the stored command, else a
// known emulator on PATH, else in the folders (a space in whose name survives).
TEST(TestPlayCommand, TheVariableThenTheStoredCommandThenPathThenTheFolders) {
    TempDir dir;
    ScopedEnv config("XDG_CONFIG_HOME", dir.File("config"));
    const std::string bin = dir.File("bin"), games = dir.File("my games");
    for (const std::string& folder : {bin, games}) {
        fs::create_directories(folder);
        WriteFile(folder + "/mgba-qt", {'#', '!', '/', 'b', 'i', 'n', '/', 's', 'h', '\n'});
        fs::permissions(folder + "/mgba-qt", fs::perms::owner_all);
    }
    struct Row {
        std::string variable, stored, path;
        std::vector<std::string> folders, words;
    };
    const Row rows[] = {
        {"emu-a %f", "emu-b", bin, {games}, {"emu-a", "%f"}},
        {" ", "emu-b --x", bin, {games}, {"emu-b", "--x"}},
        {"", "", bin, {games}, {bin + "/mgba-qt", "%f"}},
        {"", "", dir.File("none"), {games}, {games + "/mgba-qt", "%f"}},
        {"", "", dir.File("none"), {}, {}},
    };
    for (const Row& row : rows) {
        ScopedEnv variable(kEmulatorVariable, row.variable), path("PATH", row.path);
        ASSERT_TRUE(RememberEmulatorCommand(row.stored));
        const EmulatorCommand found = FindEmulatorCommand(row.folders);
        EXPECT_EQ(SplitCommandWords(found.command), row.words) << row.variable << " | " << row.stored;
    }
}

// The history's laws. Each script runs on a new history: [ press, ] release,
// p a placement that changes a cell, s one that changes none, u undo, r redo,
// c saved, f a failed save, n a new map. After it, the grid is the state the
// history stands at, and every step done, undone or redone was told once.
TEST(EditHistoryLaws, StrokesStepsAndTheStateTheFileHolds) {
    struct Law {
        const char* script;
        int steps, at;
        bool clean;
        int told;
    };
    const Law laws[] = {
        {"[pp]", 1, 1, false, 1},       {"[s]", 1, 1, false, 1},      {"[]", 0, 0, true, 0},
        {"[p[p]", 2, 2, false, 2},      // a release that never came: the next press ends the stroke
        {"[p][pu]u", 2, 1, false, 3},   // no undo while the button is down
        {"[p]c[p]u", 2, 1, true, 3},    // undone back to the state saved: clean
        {"[p]c[p]fu", 2, 1, false, 3},  // after a failed save no state is clean
        {"[p]uru", 1, 0, true, 4},      {"[p]un", 0, 0, true, 2},
    };
    for (const Law& law : laws) {
        MapGrid grid(4, 4);
        EditHistory history(grid);
        int told = 0;
        history.Steps.Add([&](const StepEvent&) { ++told; });
        std::vector<MapGrid> states{grid};  // the grid at each index of the history
        uint8_t tile = 0;
        for (const char* c = law.script; *c; ++c) {
            switch (*c) {
            case '[': history.BeginStroke(); break;
            case ']': history.EndStroke(); break;
            case 'p': grid(0, 0, 0) = ++tile; [[fallthrough]];
            case 's': history.Placed(); break;
            case 'u': history.Undo(); break;
            case 'r': history.Redo(); break;
            case 'c': history.SetClean(); break;
            case 'f': history.ResetClean(); break;
            case 'n': history.Clear(); break;
            }
            if (*c == '[' || *c == ']' || *c == 'n') {
                states.resize(size_t(history.Index()));
                states.push_back(grid);
            }
        }
        EXPECT_EQ(std::tuple(history.Count(), history.Index(), history.IsClean(), told),
                  std::tuple(law.steps, law.at, law.clean, law.told))
            << law.script;
        EXPECT_EQ(grid, states[size_t(history.Index())]) << law.script;
    }
}

} // namespace
