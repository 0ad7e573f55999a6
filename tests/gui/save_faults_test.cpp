// SPDX-License-Identifier: MIT
// Saving when the ROM file has been tampered with behind the editor's back.
// Tests run as root, so permissions cannot make writes fail: the faults are
// made with folders, links to devices and a file size limit instead.
#include "app/Journal.h"
#include "support/EditorFixture.h"
#include "tiles/Tileset.h"

#include <filesystem>
#include <functional>
#include <set>

using namespace q2;
using namespace q2::test;
namespace fs = std::filesystem;

namespace {

constexpr int kMap0 = 0x37000;

class SaveFaults : public EditorTest {
protected:
    void Edit() { StampOneTile(); }
    RomImage Edited() const { return WithStamp(rom); }
    // Saves, and the box the save shows (exclamation icon) is answered so that
    // nothing is written: the map stays modified, and the same answer after Yes
    // in the unsaved-changes question stops the load of another map.
    void SaveWritesNothing(const std::string& box, MsgResult answer, MsgButtons buttons) {
        const RomImage before = ReadFile(romPath);
        script.AnswerMessage(answer, box, buttons, MsgIcon::Exclamation);
        Form().cmdSaveMap->click();
        EXPECT_EQ(MapFrame(), "Map (modified)");
        script.AnswerMessage(MsgResult::Yes, msg::kSaveQuestion).AnswerMessage(answer, box);
        ClickLoadMap(1);
        EXPECT_EQ(program->CurrentMap, 0);
        EXPECT_EQ(ReadFile(romPath), before);
    }
    // Saves, expecting one critical box that names the file and gives reason.
    void SaveFails(const std::string& path, const std::string& reason) {
        const size_t shown = script.MessageBoxes().size();
        script.AnswerMessage(MsgResult::OK);
        Form().cmdSaveMap->click();
        ASSERT_EQ(script.MessageBoxes().size(), shown + 1);
        const auto& box = script.MessageBoxes().back();
        EXPECT_EQ(box.icon, MsgIcon::Critical);
        EXPECT_EQ(box.buttons, MsgButtons::OK);
        EXPECT_NE(box.text.find("not saved"), std::string::npos) << box.text;
        EXPECT_NE(box.text.find(path), std::string::npos) << box.text;
        EXPECT_NE(box.text.find(reason), std::string::npos) << box.text;
        EXPECT_TRUE(program->MapModified);
        EXPECT_EQ(MapFrame(), "Map (modified)");
    }
};

struct Fault {
    const char* name;
    std::function<void(const fs::path& rom)> make;  // damages the ROM's path
    const char* reason;                             // the system's words for it
};

} // namespace

TEST_F(SaveFaults, EachFaultIsReportedAndASaveAfterItsRepairWorks) {
    const Fault faults[] = {
        {"path is now a folder",
         [](const fs::path& p) {
             fs::remove(p);
             fs::create_directory(p);
         },
         "Is a directory"},
        {"its folder was removed", [](const fs::path& p) { fs::remove_all(p.parent_path()); },
         "No such file or directory"},
        {"link to a full disk",
         [](const fs::path& p) {
             fs::remove(p);
             fs::create_symlink("/dev/full", p);
         },
         "No space left on device"},
        // Writes vanish and zeros come back: the read-back check catches it.
        {"link to a sink",
         [](const fs::path& p) {
             fs::remove(p);
             fs::create_symlink("/dev/zero", p);
         },
         "differ"},
        {"its folder is now a file",
         [](const fs::path& p) {
             fs::remove_all(p.parent_path());
             WriteFile(p.parent_path().string(), {1});
         },
         "Not a directory"},
    };
    const fs::path folder = dir.Path() / "roms";
    const fs::path path = folder / "game.gb";
    for (const Fault& fault : faults) {
        SCOPED_TRACE(fault.name);
        fs::remove_all(folder);
        fs::create_directory(folder);
        WriteFile(path.string(), rom);
        Start(path.string());
        Edit();

        fault.make(path);
        SaveFails(path.string(), fault.reason);
        // The image in memory holds the edit, ready for the next try.
        EXPECT_EQ(program->Rom, Edited());

        // Repaired, the same edit saves.
        if (fs::is_regular_file(folder)) fs::remove(folder);
        fs::remove_all(path);
        fs::create_directories(folder);
        Form().cmdSaveMap->click();
        EXPECT_FALSE(program->MapModified);
        EXPECT_EQ(MapFrame(), "Map");
        EXPECT_EQ(ReadFile(path.string()), Edited());
        Form().hide();
    }
}

TEST_F(SaveFaults, AGrownFileKeepsItsTailAndADeletedOneIsMadeAnew) {
    Start(romPath);
    // Grown since it was read, and changed inside the image's range.
    RomImage grown = rom;
    grown[0x100] ^= 0xFF;
    const RomImage tail = {0xDE, 0xAD, 0xBE, 0xEF, 0x00, 0x01};
    grown.insert(grown.end(), tail.begin(), tail.end());
    WriteFile(romPath, grown);

    // The map goes into the file as it is now.
    script.AnswerMessage(MsgResult::Yes, msg::ChangedOnDisk(romPath, 0));
    Form().cmdSaveMap->click();
    EXPECT_EQ(ReadFile(romPath), grown);

    // Grown past any cartridge: nothing to compare with, so nothing is written.
    Edit();
    fs::resize_file(romPath, kMaxRomFileSize + 1);
    SaveFails(romPath, "larger than any cartridge");
    EXPECT_EQ(fs::file_size(romPath), uint64_t(kMaxRomFileSize + 1));
    RomImage head = ReadFile(romPath);
    head.resize(grown.size());
    EXPECT_EQ(head, grown);

    // Deleted: made anew from the image, without asking.
    fs::remove(romPath);
    Form().cmdSaveMap->click();
    EXPECT_EQ(script.Messages().size(), 2u);
    EXPECT_EQ(ReadFile(romPath), WithStamp(grown));
    EXPECT_FALSE(program->MapModified);
}

// Another program writes a tileset byte and bytes of two maps after the ROM
// was opened. Fault caught: the save puts the bytes read at opening back
// over them, silently.
TEST_F(SaveFaults, AnotherProgramsChangesAreKeptWhenTheUserSaysSo) {
    constexpr int kMap1 = 0x37400;
    Start(romPath);
    Edit();
    const MapEntry& entry = program->Catalogue.entries[1];  // the same tiles as map 0
    RomImage other = rom;
    other[size_t(entry.TilesetFirst)] ^= 0xFF;
    other[kMap0 + 7] = EncodeCell(9, 9);
    other[kMap1 + 3] = EncodeCell(2, 5);
    WriteFile(romPath, other);
    const std::string question = msg::ChangedOnDisk(romPath, 1);
    SaveWritesNothing(question, MsgResult::No, MsgButtons::YesNo);

    // Yes writes this map into the file as it is now.
    script.AnswerMessage(MsgResult::Yes, question);
    Form().cmdSaveMap->click();
    RomImage expected = WithStamp(other);
    expected[kMap0 + 7] = rom[kMap0 + 7];  // this map is the editor's
    EXPECT_EQ(ReadFile(romPath), expected);
    EXPECT_FALSE(program->MapModified);

    // Later loads show the other program's tiles and map; saving again asks nothing.
    ClickLoadMap(1);
    EXPECT_EQ(program->Grid(3, 0, 0), 2);
    EXPECT_EQ(program->Grid(3, 0, 1), 5);
    cDIBSection tiles;
    BuildTileset(tiles, other, entry.TilesetFirst, entry.TilesetLast);
    EXPECT_EQ(program->TilesetSurface.Image(), tiles.Image());
    Form().cmdSaveMap->click();
    EXPECT_EQ(ReadFile(romPath), expected);
}

// Fault caught: a ticked "Open as read-only" is ignored and the file written.
TEST_F(SaveFaults, AFileOpenedReadOnlyIsNeverWritten) {
    script.AnswerOpenFile(romPath, std::nullopt, true);
    program = std::make_unique<modMain>();
    ASSERT_TRUE(program->Main());
    EXPECT_FALSE(script.OpenFileRequests().at(0).readOnly);  // the box starts unticked
    EXPECT_EQ(Caption(), "Quill2 MapEditor - game.gb [read-only]");
    Edit();
    SaveWritesNothing(msg::ReadOnlyNotSaved(romPath), MsgResult::OK, MsgButtons::OK);
    EXPECT_FALSE(fs::exists(dir.Path() / "state/quill2-mapeditor/backups"));  // no backup either

    // Another ROM refused at the title warning leaves this one read-only.
    RomImage odd = rom;
    odd.push_back(0);
    WriteFile(dir.File("odd.gb"), odd);
    script.AnswerMessage(MsgResult::No, msg::kSaveQuestion)
        .AnswerOpenFile(dir.File("odd.gb"))
        .AnswerMessage(MsgResult::No, msg::kTitleWarning);
    Form().cmdLoadAnotherROM->click();
    script.AnswerMessage(MsgResult::OK, msg::ReadOnlyNotSaved(romPath));
    Form().cmdSaveMap->click();
    EXPECT_EQ(ReadFile(romPath), rom);

    // Opened again without the tick, it saves.
    script.AnswerMessage(MsgResult::No, msg::kSaveQuestion).AnswerOpenFile(romPath);
    Form().cmdLoadAnotherROM->click();
    EXPECT_EQ(Caption(), "Quill2 MapEditor - game.gb");
    Edit();
    Form().cmdSaveMap->click();
    EXPECT_EQ(ReadFile(romPath), Edited());
}

// Faults caught: no copy of the file before the editor first writes to it, a
// copy at every save, a copy of the image rather than of the file, a copy
// others may read.
TEST_F(SaveFaults, TheFileIsBackedUpBeforeTheFirstWrite) {
    const fs::path folder = dir.Path() / "state/quill2-mapeditor/backups";
    auto backups = [&] {
        std::set<fs::path> files;
        if (fs::exists(folder))
            for (const auto& entry : fs::directory_iterator(folder)) files.insert(entry.path());
        return files;
    };
    Start(romPath);
    Edit();
    EXPECT_TRUE(backups().empty());
    Form().cmdSaveMap->click();
    const std::set<fs::path> first = backups();
    ASSERT_EQ(first.size(), 1u);
    const fs::path copy = *first.begin();
    EXPECT_EQ(ReadFile(copy.string()), rom);
    EXPECT_TRUE(copy.filename().string().starts_with("game.gb.")) << copy;
    EXPECT_EQ(fs::status(copy).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    for (const fs::path& made : {folder, folder.parent_path()})
        EXPECT_EQ(fs::status(made).permissions(), fs::perms::owner_all) << made;

    Click(Form().pbxMap, Qt::LeftButton, Cell(5, 5));
    Form().cmdSaveMap->click();
    EXPECT_EQ(backups(), first);

    // A second ROM of the same run gets its own copy before its first write.
    WriteFile(dir.File("second.gb"), rom);
    script.AnswerOpenFile(dir.File("second.gb"));
    Form().cmdLoadAnotherROM->click();
    Edit();
    Form().cmdSaveMap->click();
    EXPECT_EQ(backups().size(), 2u);
}

// Faults caught: a backup that failed is ignored, or keeps saving from ever
// working again.
TEST_F(SaveFaults, ABackupThatCannotBeMadeIsAskedAboutOnce) {
    fs::create_directories(dir.Path() / "state");
    WriteFile(dir.File("state/quill2-mapeditor"), {1});  // a file where the folder goes
    Start(romPath);
    // The journal of the edits cannot go there either: said once.
    script.AnswerMessage(MsgResult::OK,
                         msg::JournalNotWritten("Cannot open " + JournalPathFor(romPath) + ": Not a directory"));
    Edit();
    const std::string question = msg::BackupFailed(
        romPath, "Cannot make the backup folder " + dir.File("state") + "/quill2-mapeditor/backups: Not a directory");
    SaveWritesNothing(question, MsgResult::No, MsgButtons::YesNo);

    script.AnswerMessage(MsgResult::Yes, question);
    Form().cmdSaveMap->click();
    EXPECT_EQ(ReadFile(romPath), Edited());
    EXPECT_FALSE(program->MapModified);
    Form().cmdSaveMap->click();  // not asked again in this run
}

TEST_F(SaveFaults, AWriteCutShortIsReportedAndTouchesNothingPastTheLimit) {
    Start(romPath);
    RomImage grown = rom;
    grown.resize(rom.size() + 4096, 0x5A);
    WriteFile(romPath, grown);
    script.AnswerMessage(MsgResult::Yes, msg::ChangedOnDisk(romPath, 0));
    Form().cmdSaveMap->click();
    Edit();

    // A file size limit inside the map, past the edited cell: the first bytes
    // are written, then the system refuses with "File too large".
    const rlim_t limit = kMap0 + 0x100;
    {
        ScopedFileSizeLimit small(limit);
        SaveFails(romPath, "File too large");
    }

    const RomImage file = ReadFile(romPath);
    ASSERT_EQ(file.size(), grown.size());
    EXPECT_TRUE(std::equal(file.begin() + limit, file.end(), grown.begin() + limit));

    // What the failed write left is the editor's own: the next save asks nothing.
    Form().cmdSaveMap->click();
    RomImage expected = Edited();
    expected.resize(grown.size(), 0x5A);
    EXPECT_EQ(ReadFile(romPath), expected);
}
