// SPDX-License-Identifier: MIT
#include "app/Catalogue.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

using namespace q2;
namespace fs = std::filesystem;

namespace {

struct Expected {
    const char* name;
    bool sub;
    int32_t map, first, last;
};
const Expected kTable[19] = {
    {"Overworld [1/4]", false, 0x37000, 0x34800, 0x357FF}, {"Overworld [2/4]", false, 0x37400, 0x34800, 0x357FF},
    {"Overworld [3/4]", false, 0x37800, 0x34800, 0x357FF}, {"Overworld [4/4]", false, 0x37C00, 0x34800, 0x357FF},
    {"Lantern Zone", true, 0x3B000, 0x38800, 0x397FF},     {"Orchard Zone", true, 0x3B240, 0x3A000, 0x3AFFF},
    {"Comet Zone", true, 0x3B480, 0x40800, 0x417FF},       {"Pebble Zone", true, 0x3B6C0, 0x36000, 0x36FFF},
    {"Harbour Zone", true, 0x3B900, 0x3A000, 0x3AFFF},     {"Clockwork Zone", true, 0x3BB40, 0x44800, 0x457FF},
    {"Usurper's Castle", true, 0x3BD80, 0x46000, 0x46FFF}, {"Bonus Hill", true, 0x43000, 0x38800, 0x397FF},
    {"Bonus Game A", true, 0x43240, 0x64000, 0x64FFF},     {"Bonus Game B", true, 0x43480, 0x64000, 0x64FFF},
    {"Bonus Game C", true, 0x436C0, 0x64000, 0x64FFF},     {"Bonus Game D", true, 0x43900, 0x64000, 0x64FFF},
    {"Crane Game", true, 0x47800, 0x65000, 0x65FFF},       {"Mole Game", true, 0x47A40, 0x65000, 0x65FFF},
    {"Title Screen", true, 0x159DE, 0x149DE, 0x159DD},
};

// Points TMPDIR at a folder of the test's own for the test's lifetime.
class CatalogueFolder : public ::testing::Test {
protected:
    void SetUp() override {
        const char* old = std::getenv("TMPDIR");
        m_old = old ? old : "";
        m_hadOld = old != nullptr;
        setenv("TMPDIR", m_dir.Path().c_str(), 1);
    }
    void TearDown() override {
        if (m_hadOld) setenv("TMPDIR", m_old.c_str(), 1);
        else unsetenv("TMPDIR");
    }
    test::TempDir m_dir;
    std::string m_old;
    bool m_hadOld = false;
};

std::vector<fs::path> Listing(const fs::path& dir) {
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(dir)) files.push_back(e.path());
    return files;
}

} // namespace

TEST(CatalogueText, IsKeptByteForByte) {
    const std::string_view text = MAP_NAMES();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 94);
    size_t crlf = 0;
    for (size_t i = 0; (i = text.find("\r\n", i)) != std::string_view::npos; i += 2) ++crlf;
    EXPECT_EQ(crlf, 94u);
    EXPECT_TRUE(text.starts_with("NEWMAP\r\nOverworld [1/4]\r\n37000\r\n"));
    EXPECT_TRUE(text.ends_with("\r\n159DD"));
}

TEST_F(CatalogueFolder, HoldsTheNineteenMapsInOrderAndLeavesNoFile) {
    const CatalogueResult result = LoadMapCatalogue();
    ASSERT_TRUE(result.ok) << result.error;
    ASSERT_EQ(result.catalogue.entries.size(), 19u);
    ASSERT_EQ(result.catalogue.names.size(), 19u);
    for (size_t i = 0; i < 19; ++i) {
        SCOPED_TRACE(i);
        const MapEntry& e = result.catalogue.entries[i];
        EXPECT_EQ(result.catalogue.names[i], kTable[i].name);
        EXPECT_EQ(e.IsSubMap, kTable[i].sub);
        EXPECT_EQ(e.MapOffset, kTable[i].map);
        EXPECT_EQ(e.TilesetFirst, kTable[i].first);
        EXPECT_EQ(e.TilesetLast, kTable[i].last);
        EXPECT_EQ(e.TilesetLast - e.TilesetFirst + 1, 4096);
    }
    EXPECT_TRUE(Listing(m_dir.Path()).empty());
}

TEST_F(CatalogueFolder, PlantedFilesAreNeverReadNorTouched) {
    // Files and links an attacker could plant where a catalogue file might go.
    test::WriteFile(m_dir.File("quill2-mapnames-AAAAAA"), {'N', 'E', 'W', 'M', 'A', 'P'});
    test::WriteFile(m_dir.File("QUILL2MAPEDMAPNAMES.txt"), RomImage(5000, 'X'));
    fs::create_symlink("/etc/passwd", m_dir.Path() / "quill2-mapnames-BBBBBB");
    const size_t before = Listing(m_dir.Path()).size();

    const CatalogueResult result = LoadMapCatalogue();
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.catalogue.names.front(), "Overworld [1/4]");
    EXPECT_EQ(result.catalogue.entries.size(), 19u);
    EXPECT_EQ(Listing(m_dir.Path()).size(), before);
    EXPECT_EQ(test::ReadFile(m_dir.File("QUILL2MAPEDMAPNAMES.txt")).size(), 5000u);
}

TEST_F(CatalogueFolder, UnusableTemporaryFolderIsReportedWithTheReason) {
    setenv("TMPDIR", (m_dir.Path() / "missing").c_str(), 1);
    CatalogueResult result = LoadMapCatalogue();
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find("No such file or directory"), std::string::npos) << result.error;

    test::WriteFile(m_dir.File("plain"), {1});
    setenv("TMPDIR", m_dir.File("plain").c_str(), 1);
    result = LoadMapCatalogue();
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find("Not a directory"), std::string::npos) << result.error;
}

TEST(CatalogueParsing, ReadsKindsAndHexadecimalOffsets) {
    EXPECT_EQ(ParseHexOffset("37C00"), 228352);
    EXPECT_EQ(ParseHexOffset("159DD"), 88541);
    EXPECT_EQ(ParseHexOffset("1f"), 31);
    EXPECT_EQ(ParseHexOffset("12G4"), 0x12);
    EXPECT_EQ(ParseHexOffset(""), 0);

    // Only exactly "NEWSUBMAP" makes a sub-map; LF-only line ends read too.
    const MapCatalogue c = ParseMapCatalogue("newsubmap\nA\n10\n20\n2F\nNEWSUBMAP\r\nB\r\n1\r\n2\r\n3");
    ASSERT_EQ(c.entries.size(), 2u);
    EXPECT_FALSE(c.entries[0].IsSubMap);
    EXPECT_TRUE(c.entries[1].IsSubMap);
    EXPECT_EQ(c.names, (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(c.entries[0].TilesetLast, 0x2F);
    EXPECT_EQ(c.entries[1].MapOffset, 1);
}
