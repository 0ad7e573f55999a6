// SPDX-License-Identifier: MIT
// Fill and replace against a tiny model: maps written as letters, 'a' to 'p'
// standing for tileset columns 0 to 15 of row 0, so each letter is a map byte.
#include "map/MapEdit.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace q2;

namespace {

using Picture = std::vector<std::string>;

MapGrid Grid(const Picture& rows) {
    MapGrid grid(int(rows[0].size()), int(rows.size()));
    for (int y = 0; y < grid.Rows(); ++y)
        for (int x = 0; x < grid.Columns(); ++x) grid(x, y, 0) = uint8_t(rows[size_t(y)][size_t(x)] - 'a');
    return grid;
}

Picture Letters(const MapGrid& grid) {
    Picture rows(size_t(grid.Rows()), std::string(size_t(grid.Columns()), '?'));
    for (int y = 0; y < grid.Rows(); ++y)
        for (int x = 0; x < grid.Columns(); ++x) rows[size_t(y)][size_t(x)] = char('a' + grid(x, y, 0));
    return rows;
}

struct Case {
    const char* what;
    bool fill;  // false: replace, with the pattern's top-left tile
    Picture map;
    int x, y;
    Picture pattern;
    Picture expected;
};

const Case kCases[] = {
    {"fill reaches side neighbours, never diagonal ones", true,
     {"aaba", "abaa", "baab"}, 0, 0, {"p"},
     {"ppba", "pbaa", "baab"}},
    {"a block repeats from the click, also left of and above it", true,
     {"aaaaa", "aaaaa", "aaaaa"}, 2, 1, {"bcd", "efg"},
     {"fgefg", "cdbcd", "fgefg"}},
    {"fill stops at other bytes and keeps cells that hold the block already", true,
     {"aaab", "bcab", "aaab"}, 3, 2, {"c", "b"},
     {"aaac", "bcab", "aaac"}},
    {"filling a cell with its own tile changes nothing", true,
     {"ab", "ba"}, 0, 0, {"a"},
     {"ab", "ba"}},
    {"replace reaches every cell with the byte, connected or not", false,
     {"aaba", "abaa", "baab"}, 3, 0, {"pq", "rs"},
     {"ppbp", "pbpp", "bppb"}},
    {"a click outside the map does nothing", true,
     {"aa"}, 2, 0, {"p"},
     {"aa"}},
};

TEST(MapEdit, FillAndReplaceAgainstTheModel) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        MapGrid grid = Grid(c.map);
        const MapGrid pattern = Grid(c.pattern);
        const std::vector<CellEdit> edits =
            c.fill ? FillEdits(grid, c.x, c.y, pattern) : ReplaceEdits(grid, c.x, c.y, pattern(0, 0, 0), 0);
        for (const CellEdit& edit : edits) {
            ASSERT_TRUE(grid.Contains(edit.x, edit.y));
            EXPECT_NE(grid(edit.x, edit.y, 0), edit.column) << "listed a cell that does not change";
            grid(edit.x, edit.y, 0) = edit.column;
            grid(edit.x, edit.y, 1) = edit.row;
        }
        EXPECT_EQ(Letters(grid), c.expected);
    }
}

} // namespace
