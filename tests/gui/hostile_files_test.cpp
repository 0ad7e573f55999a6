// SPDX-License-Identifier: MIT
// Opening files that are not what a ROM should be, and starting up without a
// usable temporary folder. Nothing may crash or read outside a file's bytes
// (the sanitizer build checks the reading).
#include "support/EditorFixture.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sys/resource.h>

using namespace q2;
using namespace q2::test;
namespace fs = std::filesystem;

namespace {

// Answers the dialog like the script; while armed, deletes the chosen file
// before the editor gets to read it.
class VanishingFileToolkit : public ScriptedToolkit {
public:
    bool armed = true;
    OpenFileResult GetOpenFileName(const OpenFileRequest& request) override {
        OpenFileResult result = ScriptedToolkit::GetOpenFileName(request);
        if (armed && result.accepted) fs::remove(result.path);
        return result;
    }
};

long PeakMemoryKiB() {
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

TEST_F(EditorTest, AFiveGigabyteFileIsRefusedWithoutBeingRead) {
    Start(romPath);
    const std::string huge = dir.File("huge.gb");
    WriteFile(huge, {});
    fs::resize_file(huge, 5ull * 1024 * 1024 * 1024);  // sparse: takes no disk
    const long before = PeakMemoryKiB();

    script.AnswerOpenFile(huge).AnswerMessage(MsgResult::OK);
    Form().cmdLoadAnotherROM->click();
    EXPECT_NE(script.Messages().back().find("too large"), std::string::npos) << script.Messages().back();
    EXPECT_LT(PeakMemoryKiB() - before, 64 * 1024);
    EXPECT_EQ(program->Rom, rom);
    EXPECT_EQ(program->RomPath, romPath);
    EXPECT_EQ(Caption(), "Quill2 MapEditor - game.gb");
}

TEST_F(EditorTest, AFileThatVanishesAfterTheDialogIsReportedMissing) {
    VanishingFileToolkit vanishing;  // in force over the fixture's script
    vanishing.AnswerOpenFile(romPath).AnswerMessage(MsgResult::OK, msg::kNonExistentRom, MsgButtons::OK,
                                                    MsgIcon::Critical);
    program = std::make_unique<modMain>();
    EXPECT_FALSE(program->Main());  // at start-up: the program ends
    EXPECT_FALSE(Form().isVisible());
    EXPECT_TRUE(program->Rom.empty());

    // During the run: the ROM in use stays.
    WriteFile(romPath, rom);
    const std::string other = dir.File("other.gb");
    WriteFile(other, rom);
    vanishing.armed = false;
    vanishing.AnswerOpenFile(romPath);
    program = std::make_unique<modMain>();
    ASSERT_TRUE(program->Main());
    vanishing.armed = true;
    vanishing.AnswerOpenFile(other).AnswerMessage(MsgResult::OK, msg::kNonExistentRom);
    Form().cmdLoadAnotherROM->click();
    EXPECT_EQ(program->RomPath, romPath);
    EXPECT_EQ(program->Rom, rom);
    EXPECT_EQ(Caption(), "Quill2 MapEditor - game.gb");
    Form().hide();
}

// Files cut or grown to every size around the catalogue's offsets (a byte
// short of a range, exactly it, a byte over), taken through the title
// warning: a map loads exactly when all its bytes are in the file.
TEST_F(EditorTest, FilesOfEverySizeAroundTheCatalogueOffsets) {
    Start(romPath);
    const std::vector<MapEntry>& entries = program->Catalogue.entries;
    std::set<int64_t> sizes = {0, 1, 308, 317, 318, kExpectedRomSize - 1, kExpectedRomSize + 1};
    for (const MapEntry& e : entries)
        for (int64_t edge : {int64_t(e.MapOffset), e.MapOffset + MapByteCount(e.IsSubMap), int64_t(e.TilesetFirst),
                             int64_t(e.TilesetLast) + 1})
            for (int64_t d : {-1, 0, 1}) sizes.insert(edge + d);

    auto fits = [&](const MapEntry& e, int64_t size) {
        return e.MapOffset + MapByteCount(e.IsSubMap) <= size && int64_t(e.TilesetLast) + 1 <= size;
    };
    const std::string path = dir.File("cut.gb");
    for (int64_t size : sizes) {
        SCOPED_TRACE(size);
        RomImage cut = rom;
        cut.resize(size_t(size), 0x3C);
        WriteFile(path, cut);
        const bool opens = fits(entries[0], size);
        script.AnswerOpenFile(path).AnswerMessage(MsgResult::Yes, msg::kTitleWarning);
        if (!opens) script.AnswerMessage(MsgResult::OK);  // refused, with the reason
        Form().cmdLoadAnotherROM->click();
        ASSERT_EQ(script.Pending(), 0u);
        ASSERT_EQ(program->RomPath == path, opens);
        if (!opens) continue;

        for (int16_t i = 0; i < int16_t(entries.size()); ++i) {
            const MapEntry& e = entries[size_t(i)];
            if (!fits(e, size)) script.AnswerMessage(MsgResult::OK);
            ASSERT_EQ(program->LoadMap(i), fits(e, size)) << "map " << i;
            ASSERT_EQ(script.Pending(), 0u) << "map " << i;
            if (!fits(e, size)) continue;
            // The map's last cell is its last byte.
            const uint8_t last = cut[size_t(e.MapOffset + MapByteCount(e.IsSubMap) - 1)];
            EXPECT_EQ(program->Grid(31, program->Grid.UpperY(), 0), DecodeColumn(last));
            EXPECT_EQ(program->Grid(31, program->Grid.UpperY(), 1), DecodeRow(last));
        }
        // Back to the good ROM for the next size.
        script.AnswerOpenFile(romPath);
        Form().cmdLoadAnotherROM->click();
        ASSERT_EQ(program->RomPath, romPath);
    }
}

TEST_F(EditorTest, AnUnusableTemporaryFolderEndsStartUpWithAMessage) {
    WriteFile(dir.File("plain"), {1});
    const struct {
        std::string tmpdir;
        const char* reason;
    } cases[] = {
        {dir.File("missing"), "No such file or directory"},
        {dir.File("plain"), "Not a directory"},
        {dir.File("plain") + "/below", "Not a directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tmpdir);
        ScopedEnv setting("TMPDIR", c.tmpdir);
        script.AnswerMessage(MsgResult::OK);
        program = std::make_unique<modMain>();
        EXPECT_FALSE(program->Main());
        EXPECT_FALSE(Form().isVisible());
        EXPECT_TRUE(script.OpenFileRequests().empty());  // no ROM was asked for
        const auto& box = script.MessageBoxes().back();
        EXPECT_EQ(box.icon, MsgIcon::Critical);
        EXPECT_NE(box.text.find(c.reason), std::string::npos) << box.text;
        EXPECT_NE(box.text.find(c.tmpdir), std::string::npos) << box.text;
    }
    // A usable folder, but the file cannot be written in full.
    {
        ScopedEnv setting("TMPDIR", dir.Path().string());
        struct rlimit old {};
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
        struct rlimit small = old;
        small.rlim_cur = 100;  // the catalogue text is longer
        auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        script.AnswerMessage(MsgResult::OK);
        program = std::make_unique<modMain>();
        const bool started = program->Main();
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldSignal);
        EXPECT_FALSE(started);
        EXPECT_FALSE(Form().isVisible());
        EXPECT_NE(script.Messages().back().find("File too large"), std::string::npos) << script.Messages().back();
    }
    EXPECT_EQ(script.MessageBoxes().size(), 4u);
    EXPECT_TRUE(script.OpenFileRequests().empty());
    // Nothing was made in place of the missing folder, nor left behind.
    std::set<std::string> left;
    for (const auto& entry : fs::directory_iterator(dir.Path())) left.insert(entry.path().filename().string());
    EXPECT_EQ(left, (std::set<std::string>{"game.gb", "plain"}));
}
