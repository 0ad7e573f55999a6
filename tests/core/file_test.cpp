// SPDX-License-Identifier: MIT
#include "platform/File.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sys/stat.h>

using namespace q2;
namespace fs = std::filesystem;

namespace {

std::set<std::string> Listing(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
    return names;
}

} // namespace

// Faults caught: a failed replacement that cuts the old file short or leaves
// its private file behind; a replacement that loses the old file's mode, puts
// a file in place of a link instead of writing the file it names, or renames
// over a pipe.
TEST(File, WriteNewFileReplacesWholeOrNotAtAll) {
    test::TempDir dir;
    const std::string path = dir.File("a.gb"), link = dir.File("link.gb"), pipe = dir.File("pipe");
    const RomImage old = {1, 2, 3}, big(8192, 7);
    test::WriteFile(path, old);
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    fs::create_symlink("a.gb", link);
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);

    FileError error;
    {
        test::ScopedFileSizeLimit limit(4096);
        EXPECT_FALSE(WriteNewFile(link, big, error));
    }
    EXPECT_NE(error.Text().find("File too large"), std::string::npos) << error.Text();
    EXPECT_FALSE(WriteNewFile(pipe, big, error));
    EXPECT_TRUE(fs::is_fifo(pipe));
    EXPECT_EQ(test::ReadFile(path), old);
    EXPECT_EQ(Listing(dir.Path()), (std::set<std::string>{"a.gb", "link.gb", "pipe"}));

    ASSERT_TRUE(WriteNewFile(link, big, error)) << error.Text();
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(test::ReadFile(path), big);
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(Listing(dir.Path()), (std::set<std::string>{"a.gb", "link.gb", "pipe"}));
}

// Faults caught: records written over the old ones (a file truncated when
// opened again, or written at its start).
TEST(File, AppendFileKeepsEveryRecord) {
    test::TempDir dir;
    const std::string path = dir.File("journal");
    FileError error;
    for (const RomImage& record : {RomImage{1, 2}, RomImage{3}}) {
        AppendFile file;
        ASSERT_TRUE(file.Open(path, error)) << error.Text();
        ASSERT_TRUE(file.Append(record, error)) << error.Text();
    }
    EXPECT_EQ(test::ReadFile(path), (RomImage{1, 2, 3}));
}
