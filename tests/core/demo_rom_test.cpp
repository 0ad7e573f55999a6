// SPDX-License-Identifier: MIT
#include "demo_rom.h"
#include "Viewer.h"

#include "app/Catalogue.h"
#include "app/Rom.h"
#include "map/MapGrid.h"
#include "support/TileReference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace q2 {
namespace {

using Tile = std::array<uint8_t, 16>;

Tile TileAt(const RomImage& rom, int32_t at) {
    Tile t;
    std::copy_n(rom.begin() + at, 16, t.begin());
    return t;
}

// Colour numbers used by one tile.
std::set<int> Colours(const Tile& t) {
    std::set<int> used;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) used.insert(test::TileColour(t.data(), x, y));
    return used;
}

class DemoRomTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        rom = new RomImage(MakeDemoRom());
        catalogue = new MapCatalogue(ParseMapCatalogue(MAP_NAMES()));
    }
    static void TearDownTestSuite() {
        delete rom;
        delete catalogue;
    }
    static RomImage* rom;
    static MapCatalogue* catalogue;
};
RomImage* DemoRomTest::rom = nullptr;
MapCatalogue* DemoRomTest::catalogue = nullptr;

TEST_F(DemoRomTest, IsAnExpectedRomWithAValidHeader) {
    ASSERT_EQ(rom->size(), size_t(kExpectedRomSize));
    EXPECT_EQ(std::string(rom->begin() + 308, rom->begin() + 318), "QUILLMOOR2");
    EXPECT_EQ((*rom)[318], 0);  // the title field is zero-padded
    EXPECT_TRUE(IsExpectedRom(*rom));
    // A Game Boy game: a colour or Super Game Boy flag makes emulators ignore its palette.
    EXPECT_EQ((*rom)[0x143] & 0x80, 0);
    EXPECT_NE((*rom)[0x146], 0x03);
    EXPECT_EQ((*rom)[0x147], 0x01);  // MBC1, no RAM
    EXPECT_EQ((*rom)[0x148], 0x04);  // 32 banks

    uint8_t header = 0;
    for (int i = 0x134; i <= 0x14C; ++i) header = uint8_t(header - (*rom)[i] - 1);
    EXPECT_EQ((*rom)[0x14D], header);
    uint16_t sum = 0;
    for (size_t i = 0; i < rom->size(); ++i)
        if (i != 0x14E && i != 0x14F) sum = uint16_t(sum + (*rom)[i]);
    EXPECT_EQ((*rom)[0x14E], sum >> 8);
    EXPECT_EQ((*rom)[0x14F], sum & 0xFF);
}

// The viewer finds each map and tile range through its table: bank and
// address as the CPU sees them, and the length; the program itself is
// whole, untouched by any range.
TEST_F(DemoRomTest, TheViewersTableLeadsToEveryCatalogueRange) {
    const std::span<const unsigned char> viewer = ViewerBank();
    const size_t table = kViewerMapTable;
    ASSERT_EQ(std::string(rom->begin() + table, rom->begin() + table + 4), "MAPS");
    ASSERT_EQ((*rom)[table + 5], catalogue->entries.size());
    auto Word = [&](size_t at) { return int64_t((*rom)[at]) | int64_t((*rom)[at + 1]) << 8; };
    auto Offset = [&](size_t at) {
        const int64_t address = Word(at + 1);
        return address < 0x4000 ? address : int64_t((*rom)[at]) * 0x4000 + address - 0x4000;
    };
    for (size_t i = 0; i < catalogue->entries.size(); ++i) {
        const MapEntry& e = catalogue->entries[i];
        SCOPED_TRACE(catalogue->names[i]);
        const size_t at = table + 6 + i * kViewerEntrySize;
        EXPECT_EQ(Offset(at), e.MapOffset);
        EXPECT_EQ(Word(at + 3), MapByteCount(e.IsSubMap));
        EXPECT_EQ((*rom)[at + 5], e.IsSubMap ? 16 : 112);  // the last view y
        EXPECT_EQ(Offset(at + 6), e.TilesetFirst);
        EXPECT_EQ(Word(at + 9), 4096);
    }
    // But for the table and the global checksum, the bank is the program as built.
    const size_t tableEnd = table + 6 + viewer[table + 4] * kViewerEntrySize;
    EXPECT_TRUE(std::equal(viewer.begin(), viewer.begin() + 0x14E, rom->begin()));
    EXPECT_TRUE(std::equal(viewer.begin() + tableEnd, viewer.end(), rom->begin() + tableEnd));
}

TEST_F(DemoRomTest, SameBytesOnEveryCall) {
    EXPECT_TRUE(MakeDemoRom() == *rom);
}

TEST_F(DemoRomTest, EveryCatalogueEntryHasDrawnTilesAndALaidOutMap) {
    ASSERT_EQ(catalogue->entries.size(), 19u);
    for (size_t i = 0; i < catalogue->entries.size(); ++i) {
        const MapEntry& e = catalogue->entries[i];
        SCOPED_TRACE(catalogue->names[i]);
        ASSERT_TRUE(RangeInside(e.TilesetFirst, e.TilesetLast - e.TilesetFirst + 1, rom->size()));
        ASSERT_TRUE(RangeInside(e.MapOffset, MapByteCount(e.IsSubMap), rom->size()));

        std::set<Tile> distinct;
        int shaded = 0;  // tiles of more than one colour
        for (int32_t at = e.TilesetFirst; at + 15 <= e.TilesetLast; at += 16) {
            const Tile t = TileAt(*rom, at);
            distinct.insert(t);
            shaded += Colours(t).size() > 1;
        }
        EXPECT_GE(distinct.size(), 40u);
        EXPECT_GE(shaded, 40);

        std::map<uint8_t, int> counts;
        for (int64_t k = 0; k < MapByteCount(e.IsSubMap); ++k) ++counts[(*rom)[e.MapOffset + k]];
        const int commonest = std::max_element(counts.begin(), counts.end(), [](auto& a, auto& b) {
                                  return a.second < b.second;
                              })->second;
        EXPECT_GE(counts.size(), 8u);
        EXPECT_LT(commonest, MapByteCount(e.IsSubMap) * 3 / 4);
    }
}

TEST_F(DemoRomTest, TileRangesAreToldApartByTheirThemes) {
    std::map<int32_t, std::vector<uint8_t>> ranges;
    for (const MapEntry& e : catalogue->entries)
        ranges[e.TilesetFirst].assign(rom->begin() + e.TilesetFirst, rom->begin() + e.TilesetLast + 1);
    std::set<std::vector<uint8_t>> contents;
    for (const auto& [first, bytes] : ranges) contents.insert(bytes);
    EXPECT_EQ(contents.size(), ranges.size());
}

// Sub-maps of a group overlap by two rows; the shared rows must look right as
// the bottom of one map and the top of the next.
TEST_F(DemoRomTest, OverlappingSubMapsJoinWithoutASeam) {
    const int64_t rowBytes = kMapColumns;
    for (size_t i = 0; i < catalogue->entries.size(); ++i) {
        const MapEntry& e = catalogue->entries[i];
        if (!e.IsSubMap) continue;
        SCOPED_TRACE(catalogue->names[i]);
        const auto top = rom->begin() + e.MapOffset;
        const auto bottom = top + (kSubMapRows - 2) * rowBytes;
        EXPECT_TRUE(std::equal(top, top + 2 * rowBytes, bottom));
    }
}

TEST_F(DemoRomTest, TitleScreenSpellsTheGameName) {
    // Letter tiles sit at their character codes; a map byte names tile byte ^ 0x80.
    const MapEntry& title = catalogue->entries.at(18);
    const std::string name = "QUILLMOOR 2";
    std::vector<uint8_t> wanted;
    for (char c : name) wanted.push_back(uint8_t(c ^ 0x80));
    const auto begin = rom->begin() + title.MapOffset;
    const auto end = begin + MapByteCount(true);
    EXPECT_NE(std::search(begin, end, wanted.begin(), wanted.end()), end);
}

} // namespace
} // namespace q2
