// SPDX-License-Identifier: MIT
// Saving when the ROM file has been tampered with behind the editor's back.
// Tests run as root, so permissions cannot make writes fail: the faults are
// made with folders, links to devices and a file size limit instead.
#include "support/EditorFixture.h"

#include <csignal>
#include <filesystem>
#include <functional>
#include <sys/resource.h>

using namespace q2;
using namespace q2::test;
namespace fs = std::filesystem;

namespace {

constexpr int kMap0 = 0x37000;

class SaveFaults : public EditorTest {
protected:
    // An edit at cell (4, 4) of map 0: tile (1, 1).
    void Edit() {
        PickTile(1, 1);
        Click(Form().pbxMap, Qt::LeftButton, Cell(4, 4));
        ASSERT_TRUE(program->MapModified);
    }
    RomImage Edited() const {
        RomImage expected = rom;
        expected[kMap0 + 4 * 32 + 4] = EncodeCell(1, 1);
        return expected;
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

    // Saving an unedited map still rewrites the whole image.
    Form().cmdSaveMap->click();
    RomImage expected = rom;
    expected.insert(expected.end(), tail.begin(), tail.end());
    EXPECT_EQ(ReadFile(romPath), expected);

    Edit();
    fs::remove(romPath);
    Form().cmdSaveMap->click();
    EXPECT_TRUE(script.Messages().empty());
    EXPECT_EQ(ReadFile(romPath), Edited());
    EXPECT_FALSE(program->MapModified);
}

TEST_F(SaveFaults, AWriteCutShortIsReportedAndTouchesNothingPastTheLimit) {
    Start(romPath);
    RomImage grown = rom;
    grown.resize(rom.size() + 4096, 0x5A);
    WriteFile(romPath, grown);
    Edit();

    // A file size limit below the map: the first bytes are written, then
    // the system refuses with "File too large".
    const rlim_t limit = kMap0 - 0x1000;
    struct rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = limit;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    SaveFails(romPath, "File too large");
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldSignal);

    const RomImage file = ReadFile(romPath);
    ASSERT_EQ(file.size(), grown.size());
    EXPECT_TRUE(std::equal(file.begin() + limit, file.end(), grown.begin() + limit));

    Form().cmdSaveMap->click();
    RomImage expected = Edited();
    expected.resize(grown.size(), 0x5A);
    EXPECT_EQ(ReadFile(romPath), expected);
}
