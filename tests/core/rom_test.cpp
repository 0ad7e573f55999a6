// SPDX-License-Identifier: MIT
#include "app/Backup.h"
#include "app/Rom.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

using namespace q2;

TEST(RomFile, ReadsAWholeFile) {
    test::TempDir dir;
    const RomImage rom = test::PatternRom();
    test::WriteFile(dir.File("a.gb"), rom);
    const RomReadResult result = ReadRomFile(dir.File("a.gb"));
    ASSERT_TRUE(result.ok()) << result.message;
    EXPECT_EQ(result.bytes, rom);
}

TEST(RomFile, BadInputsGiveAnErrorWithoutReading) {
    test::TempDir dir;
    EXPECT_EQ(ReadRomFile(dir.File("missing.gb")).status, RomReadStatus::Missing);
    EXPECT_EQ(ReadRomFile("").status, RomReadStatus::Missing);
    EXPECT_EQ(ReadRomFile(dir.File("missing/x.gb")).status, RomReadStatus::Missing);
    EXPECT_EQ(ReadRomFile(dir.Path().string()).status, RomReadStatus::NotAFile);

    ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);  // opening it would block
    EXPECT_EQ(ReadRomFile(dir.File("fifo")).status, RomReadStatus::NotAFile);

    test::WriteFile(dir.File("empty.gb"), {});
    const RomReadResult empty = ReadRomFile(dir.File("empty.gb"));
    EXPECT_EQ(empty.status, RomReadStatus::Empty);
    EXPECT_FALSE(empty.message.empty());

    // One byte over 8 MiB, sparse: refused from its size.
    std::filesystem::resize_file((test::WriteFile(dir.File("big.gb"), {1}), dir.File("big.gb")), kMaxRomFileSize + 1);
    const RomReadResult big = ReadRomFile(dir.File("big.gb"));
    EXPECT_EQ(big.status, RomReadStatus::TooLarge);
    EXPECT_TRUE(big.bytes.empty());

    std::filesystem::resize_file(dir.File("big.gb"), kMaxRomFileSize);  // the largest cartridge reads
    EXPECT_TRUE(ReadRomFile(dir.File("big.gb")).ok());

    // A file that ends before the size it had when looked at (as if it shrank
    // while read) is a read error, never an image padded with zeros.
    const char* shorter = "/sys/devices/system/cpu/online";  // says 4096 bytes, holds a few
    if (std::filesystem::is_regular_file(shorter)) {
        const RomReadResult shrunk = ReadRomFile(shorter);
        EXPECT_EQ(shrunk.status, RomReadStatus::ReadError);
        EXPECT_TRUE(shrunk.bytes.empty());
    }
}

TEST(RomFile, TitleAndSizeCheck) {
    RomImage rom = test::PatternRom();
    EXPECT_TRUE(IsExpectedRom(rom));

    RomImage shorter(rom.begin(), rom.end() - 1);
    EXPECT_FALSE(IsExpectedRom(shorter));
    RomImage longer = rom;
    longer.push_back(0);
    EXPECT_FALSE(IsExpectedRom(longer));
    EXPECT_FALSE(IsExpectedRom({}));

    RomImage lower = rom;
    std::memcpy(lower.data() + 308, "quillmoor2", 10);
    EXPECT_FALSE(IsExpectedRom(lower));
    RomImage lastLetter = rom;
    lastLetter[317] = '3';
    EXPECT_FALSE(IsExpectedRom(lastLetter));
    RomImage afterTitle = rom;  // only the ten title bytes count
    afterTitle[318] = 'X';
    afterTitle[307] = 'X';
    EXPECT_TRUE(IsExpectedRom(afterTitle));
}

TEST(RomFile, RangeInside) {
    EXPECT_TRUE(RangeInside(0, 10, 10));
    EXPECT_FALSE(RangeInside(1, 10, 10));
    EXPECT_FALSE(RangeInside(-1, 2, 10));
    EXPECT_TRUE(RangeInside(10, 0, 10));
    EXPECT_FALSE(RangeInside(INT32_MAX, INT32_MAX, 10));
}

// Faults caught: a relative or empty XDG_STATE_HOME taken as the folder.
TEST(Backup, FolderFollowsTheXdgRules) {
    test::ScopedEnv home("HOME", "/home/someone");
    {
        test::ScopedEnv state("XDG_STATE_HOME", "/var/state");
        EXPECT_EQ(BackupFolder(), "/var/state/quill2-mapeditor/backups");
    }
    for (const char* ignored : {"", "relative/state"}) {
        test::ScopedEnv state("XDG_STATE_HOME", ignored);
        EXPECT_EQ(BackupFolder(), "/home/someone/.local/state/quill2-mapeditor/backups") << ignored;
    }
}

// Faults caught: backups made within one second overwriting each other;
// pruning that removes new backups, too few or too many, sorts "-1" before
// the plain name of its second, or touches other files.
TEST(Backup, EachCopyHasItsOwnNameAndTheNewestTwentyAreKept) {
    test::TempDir dir;
    test::ScopedEnv state("XDG_STATE_HOME", dir.File("state"));
    const std::string folder = dir.File("state") + "/quill2-mapeditor/backups";
    std::filesystem::create_directories(folder);
    std::set<std::string> expected;
    for (int i = 1; i <= 25; ++i) {  // older backups of game.gb: the oldest 8 go
        const std::string name = "game.gb.20000101T0000" + std::to_string(10 + i / 2) + (i % 2 ? "Z-1.bak" : "Z.bak");
        test::WriteFile(folder + "/" + name, {1});
        if (i > 8) expected.insert(name);
    }
    for (const char* other : {"other.gb.20000101T000000Z.bak", "game.gb.notes"}) {
        test::WriteFile(folder + "/" + other, {1});
        expected.insert(other);
    }
    test::WriteFile(dir.File("game.gb"), test::PatternRom());
    test::WriteFile(dir.File("empty.gb"), {});  // an empty file is backed up too
    for (const char* rom : {"game.gb", "game.gb", "game.gb", "empty.gb"}) {
        const BackupResult made = BackupRomFile(dir.File(rom));
        ASSERT_TRUE(made.ok) << made.error;
        EXPECT_TRUE(expected.insert(std::filesystem::path(made.path).filename().string()).second) << made.path;
    }
    // A copy cut short by the system leaves nothing behind, not even its hidden file.
    const BackupResult cut = [&] {
        test::ScopedFileSizeLimit limit(4096);
        return BackupRomFile(dir.File("game.gb"));
    }();
    EXPECT_FALSE(cut.ok);
    EXPECT_NE(cut.error.find("File too large"), std::string::npos) << cut.error;
    std::set<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) left.insert(entry.path().filename().string());
    EXPECT_EQ(left, expected);
}
