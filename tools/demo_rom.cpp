// SPDX-License-Identifier: MIT
#include "demo_rom.h"

#include "app/Catalogue.h"
#include "map/MapGrid.h"
#include "tiles/Tileset.h"
#include "Viewer.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <string_view>

namespace q2 {
namespace {

constexpr int kScreenHeight = 144;  // the Game Boy's, in pixels

// ---------------------------------------------------------------- tiles --

// Tile numbers, the same in every tile range.
enum Tile : uint8_t {
    Sky, CloudL, CloudR, GrassTop, Ground, Brick, Plank, WaterTop, Water, Ladder,
    Boulder, Block, Canopy, Trunk, Bush, DoorTop, DoorBottom,
    BorderTL, BorderT, BorderTR, BorderL, BorderR, BorderBL, BorderB, BorderBR,
    Coin, Flower, Spikes, Window, RoofL, RoofR, Fence,
    Meadow = 96, Lantern, Apple, Star, Anchor, Gear, Crown, Hook, Mole, Card,
    Heart, Key, Chest, Sign, Mound, Chain,
};
constexpr int kReversed = 128;  // tile t + 128: tile t in reversed shades

// Pictures: '.' white, '-' light grey, '+' dark grey, '#' black, and ' ' the
// sky of the range's theme, so objects stand on the sky they are drawn over.
struct Art {
    uint8_t tile;
    const char* rows[8];
};

constexpr Art kArt[] = {
    {Sky, {"        ", "        ", "        ", "        ", "        ", "        ", "        ", "        "}},
    {CloudL, {"        ", "     ---", "   --...", "  -.....", " -......", " -......", "  ------", "        "}},
    {CloudR, {"        ", "--      ", "..--    ", "....-   ", ".....-  ", ".....-  ", "------  ", "        "}},
    {GrassTop, {"  +   + ", " +#+ +#+", "++++++++", "+#++++#+", "--+---+-", "-+------", "----+---", "-+----+-"}},
    {Ground, {"---+----", "-------+", "-+------", "----+---", "--------", "+-----+-", "---+----", "-------+"}},
    {Plank, {"########", "-+---+--", "--------", "########", "-----+--", "-+------", "--------", "########"}},
    {WaterTop, {".--...--", "-..---..", "--------", "++----++", "++++++++", "++-+++++", "++++++++", "+++++-++"}},
    {Water, {"++++++++", "++-+++++", "++++++++", "+++++-++", "++++++++", "+-++++++", "++++++++", "++++-+++"}},
    {Ladder, {" #    # ", " #++++# ", " #    # ", " #    # ", " #    # ", " #++++# ", " #    # ", " #    # "}},
    {Boulder, {"        ", "  ####  ", " #..--# ", "#.----+#", "#----++#", "#---+++#", " #++++# ", "  ####  "}},
    {Block, {".......+", ".------#", ".------#", ".--+---#", ".------#", ".----+-#", ".------#", "+#######"}},
    {Canopy, {"  ####  ", " #--+-# ", "#-+---+#", "#---+--#", "#+-+--+#", " #-+-+# ", "  #++#  ", "   ##   "}},
    {Trunk, {"  #+##  ", "  #++#  ", "  ##+#  ", "  #++#  ", "  #+##  ", "  #++#  ", " ##++## ", "##+##+##"}},
    {Bush, {"        ", "        ", " ##  ## ", "#--##--#", "#-+--+-#", "#--+---#", "#+---+-#", " ###### "}},
    {DoorTop, {"  ####  ", " #-+-+# ", "#--+-+-#", "#--+-+-#", "#--+-+-#", "#--+-+-#", "#--+-+-#", "#--+-+-#"}},
    {DoorBottom, {"#--+-+-#", "#--+-+-#", "#--+-#-#", "#--+-+-#", "#--+-+-#", "#--+-+-#", "#--+-+-#", "########"}},
    {BorderTL, {"        ", "        ", "  ######", "  #-----", "  #-####", "  #-#...", "  #-#...", "  #-#..."}},
    {BorderT, {"        ", "        ", "########", "--------", "########", "........", "........", "........"}},
    {BorderTR, {"        ", "        ", "######  ", "-----#  ", "####-#  ", "...#-#  ", "...#-#  ", "...#-#  "}},
    {BorderL, {"  #-#...", "  #-#...", "  #-#...", "  #-#...", "  #-#...", "  #-#...", "  #-#...", "  #-#..."}},
    {BorderR, {"...#-#  ", "...#-#  ", "...#-#  ", "...#-#  ", "...#-#  ", "...#-#  ", "...#-#  ", "...#-#  "}},
    {BorderBL, {"  #-#...", "  #-#...", "  #-#...", "  #-####", "  #-----", "  ######", "        ", "        "}},
    {BorderB, {"........", "........", "........", "########", "--------", "########", "        ", "        "}},
    {BorderBR, {"...#-#  ", "...#-#  ", "...#-#  ", "####-#  ", "-----#  ", "######  ", "        ", "        "}},
    {Coin, {"        ", "  ####  ", " #.---# ", " #.-+-# ", " #--+-# ", " #---+# ", "  ####  ", "        "}},
    {Flower, {"        ", "  -#-   ", "  #.#   ", "  -#-   ", "   + -+ ", "   ++   ", "   +    ", "  +++   "}},
    {Spikes, {"        ", "        ", " #   #  ", " #   #  ", "#-# #-# ", "#-# #-# ", "#-+##-+#", "########"}},
    {Window, {"--------", "-######-", "-#..#.#-", "-#..#.#-", "-######-", "-#..#.#-", "-######-", "--------"}},
    {RoofL, {"       #", "      #+", "     #--", "    #+++", "   #----", "  #+++++", " #------", "########"}},
    {RoofR, {"#       ", "+#      ", "--#     ", "+++#    ", "----#   ", "+++++#  ", "------# ", "########"}},
    {Fence, {"        ", " #   #  ", "#-# #-# ", "########", "#-# #-# ", "########", "#-# #-# ", "#-# #-# "}},
    {Meadow, {"........", "..-.....", ".-.-....", "........", "......-.", ".....-.-", "........", "........"}},
    {Lantern, {"   ##   ", "  #  #  ", " ###### ", " #-..-# ", " #.--.# ", " #-..-# ", " ###### ", "  ####  "}},
    {Apple, {"    #   ", "   #--  ", " ## ##  ", "#.++++# ", "#.++++# ", "#+++++# ", " #+++#  ", "  ###   "}},
    {Star, {"   #    ", "  #.#   ", "###.### ", "#.....# ", " #...#  ", " #.#.#  ", "#.# #.# ", "##   ## "}},
    {Anchor, {"   ##   ", "  #  #  ", "   ##   ", " ###### ", "   ##   ", "#  ##  #", "##+##+##", " ###### "}},
    {Gear, {"  #  #  ", " ###### ", "##-++-##", " #+..+# ", " #+..+# ", "##-++-##", " ###### ", "  #  #  "}},
    {Crown, {"        ", "-  -  - ", "#  #  # ", "##.#.## ", "#.#.#.# ", "#.....# ", "####### ", "        "}},
    {Hook, {"   ##   ", "  ####  ", " #-++-# ", "#-#  #-#", "#-    -#", "#-    -#", " #-  -# ", "  #  #  "}},
    {Mole, {"  ####  ", " #----# ", "#-#--#-#", "#------#", "#--++--#", " #-..-# ", "-+####+-", "--------"}},
    {Card, {" ###### ", " #+--+# ", " #-++-# ", " #+--+# ", " #-++-# ", " #+--+# ", " ###### ", "        "}},
    {Heart, {"        ", " ## ##  ", "#.+#++# ", "#+++++# ", " #+++#  ", "  #+#   ", "   #    ", "        "}},
    {Key, {"        ", " ##     ", "#..#    ", "#..#####", " ##  # #", "        ", "        ", "        "}},
    {Chest, {"        ", " ###### ", "#++++++#", "#++++++#", "###--###", "#++##++#", "#++++++#", "########"}},
    {Sign, {" ###### ", "#......#", "#.####.#", "#......#", " ###### ", "   ##   ", "   ##   ", "  ####  "}},
    {Mound, {"        ", "        ", "        ", "  ----  ", " -+--+- ", "-+####+-", "--####--", "--------"}},
    {Chain, {"   ##   ", "  #  #  ", "  #  #  ", "   ##   ", "   ##   ", "  #  #  ", "  #  #  ", "   ##   "}},
};

// Two brick styles: grey bricks in white mortar, or light bricks in black.
constexpr Art kBrickLight = {Brick, {"+++.++++", "+++.++++", "+++.++++", "........", "+++++++.", "+++++++.", "+++++++.", "........"}};
constexpr Art kBrickDark = {Brick, {"---#----", "---#----", "---#----", "########", "-------#", "-------#", "-------#", "########"}};

// Characters: 7 x 7 black on white, with a blank column and row after them.
struct Glyph {
    char ch;
    const char* rows[7];
};

constexpr Glyph kFont[] = {
    {' ', {".......", ".......", ".......", ".......", ".......", ".......", "......."}},
    {'!', {"..##...", "..##...", "..##...", "..##...", ".......", "..##...", "..##..."}},
    {'\'', {"..##...", "..##...", ".##....", ".......", ".......", ".......", "......."}},
    {'-', {".......", ".......", ".......", ".#####.", ".......", ".......", "......."}},
    {'.', {".......", ".......", ".......", ".......", ".......", "..##...", "..##..."}},
    {'/', {".....##", "....##.", "...##..", "..##...", ".##....", "##.....", "......."}},
    {':', {".......", "..##...", "..##...", ".......", "..##...", "..##...", "......."}},
    {'?', {".#####.", "##...##", "....##.", "...##..", "...##..", ".......", "...##.."}},
    {'[', {".####..", ".##....", ".##....", ".##....", ".##....", ".##....", ".####.."}},
    {']', {"..####.", "....##.", "....##.", "....##.", "....##.", "....##.", "..####."}},
    {'0', {".#####.", "##...##", "##..###", "##.#.##", "###..##", "##...##", ".#####."}},
    {'1', {"...##..", "..###..", "...##..", "...##..", "...##..", "...##..", "..####."}},
    {'2', {".#####.", "##...##", ".....##", "...###.", ".###...", "##.....", "#######"}},
    {'3', {".#####.", "##...##", ".....##", "..####.", ".....##", "##...##", ".#####."}},
    {'4', {"...###.", "..####.", ".##.##.", "##..##.", "#######", "....##.", "....##."}},
    {'5', {"#######", "##.....", "######.", ".....##", ".....##", "##...##", ".#####."}},
    {'6', {"..####.", ".##....", "##.....", "######.", "##...##", "##...##", ".#####."}},
    {'7', {"#######", "##...##", "....##.", "...##..", "..##...", "..##...", "..##..."}},
    {'8', {".#####.", "##...##", "##...##", ".#####.", "##...##", "##...##", ".#####."}},
    {'9', {".#####.", "##...##", "##...##", ".######", ".....##", "....##.", ".####.."}},
    {'A', {"..###..", ".##.##.", "##...##", "##...##", "#######", "##...##", "##...##"}},
    {'B', {"######.", "##...##", "##...##", "######.", "##...##", "##...##", "######."}},
    {'C', {".#####.", "##...##", "##.....", "##.....", "##.....", "##...##", ".#####."}},
    {'D', {"#####..", "##..##.", "##...##", "##...##", "##...##", "##..##.", "#####.."}},
    {'E', {"#######", "##.....", "##.....", "######.", "##.....", "##.....", "#######"}},
    {'F', {"#######", "##.....", "##.....", "######.", "##.....", "##.....", "##....."}},
    {'G', {".#####.", "##...##", "##.....", "##.####", "##...##", "##...##", ".######"}},
    {'H', {"##...##", "##...##", "##...##", "#######", "##...##", "##...##", "##...##"}},
    {'I', {"..####.", "...##..", "...##..", "...##..", "...##..", "...##..", "..####."}},
    {'J', {"....###", ".....##", ".....##", ".....##", "##...##", "##...##", ".#####."}},
    {'K', {"##...##", "##..##.", "##.##..", "####...", "##.##..", "##..##.", "##...##"}},
    {'L', {"##.....", "##.....", "##.....", "##.....", "##.....", "##.....", "#######"}},
    {'M', {"##...##", "###.###", "#######", "##.#.##", "##...##", "##...##", "##...##"}},
    {'N', {"##...##", "###..##", "####.##", "##.####", "##..###", "##...##", "##...##"}},
    {'O', {".#####.", "##...##", "##...##", "##...##", "##...##", "##...##", ".#####."}},
    {'P', {"######.", "##...##", "##...##", "######.", "##.....", "##.....", "##....."}},
    {'Q', {".#####.", "##...##", "##...##", "##...##", "##.#.##", "##..##.", ".###.##"}},
    {'R', {"######.", "##...##", "##...##", "######.", "##.##..", "##..##.", "##...##"}},
    {'S', {".#####.", "##...##", "##.....", ".#####.", ".....##", "##...##", ".#####."}},
    {'T', {"######.", "..##...", "..##...", "..##...", "..##...", "..##...", "..##..."}},
    {'U', {"##...##", "##...##", "##...##", "##...##", "##...##", "##...##", ".#####."}},
    {'V', {"##...##", "##...##", "##...##", "##...##", ".##.##.", "..###..", "...#..."}},
    {'W', {"##...##", "##...##", "##...##", "##.#.##", "#######", "###.###", "##...##"}},
    {'X', {"##...##", "##...##", ".##.##.", "..###..", ".##.##.", "##...##", "##...##"}},
    {'Y', {"##...##", "##...##", ".##.##.", "..###..", "..###..", "..###..", "..###.."}},
    {'Z', {"#######", ".....##", "....##.", "...##..", "..##...", ".##....", "#######"}},
};

// What sets the tile ranges apart from each other.
struct Theme {
    uint8_t skyShade;  // colour of ' ' in the pictures: 0 white or 1 light grey
    bool skyDots;      // a few specks in the sky tile
    bool swapGreys;    // light and dark grey change places in terrain and objects
    bool darkMortar;   // the light-brick style
};

using Pixels = std::array<std::array<uint8_t, 8>, 8>;  // colour numbers, [y][x]

uint8_t ShadeOf(char c, const Theme& theme) {
    switch (c) {
    case '.': return 0;
    case '-': return theme.swapGreys ? 2 : 1;
    case '+': return theme.swapGreys ? 1 : 2;
    case '#': return 3;
    default: return theme.skyShade;
    }
}

Pixels Paint(const Art& art, const Theme& theme) {
    Pixels px{};
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) px[y][x] = ShadeOf(art.rows[y][x], theme);
    return px;
}

Pixels PaintGlyph(const Glyph& glyph) {
    Pixels px{};
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 7; ++x) px[y][x] = glyph.rows[y][x] == '#' ? 3 : 0;
    return px;
}

// 16 bytes a tile, two a pixel row: bit 0 of each colour number, then bit 1,
// the leftmost pixel in bit 7.
void PutTile(RomImage& rom, size_t at, const Pixels& px) {
    for (int y = 0; y < 8; ++y) {
        uint8_t lo = 0, hi = 0;
        for (int x = 0; x < 8; ++x) {
            lo |= uint8_t((px[y][x] & 1) << (7 - x));
            hi |= uint8_t(((px[y][x] >> 1) & 1) << (7 - x));
        }
        rom[at + 2 * y] = lo;
        rom[at + 2 * y + 1] = hi;
    }
}

// Writes the first `count` tiles of the arrangement from `first` on.
void WriteTileset(RomImage& rom, int32_t first, int count, const Theme& theme) {
    std::array<Pixels, 256> tiles;
    tiles.fill(Paint(kArt[0], theme));
    for (const Art& art : kArt) tiles[art.tile] = Paint(art, theme);
    if (theme.skyDots) {
        const uint8_t speck = theme.skyShade == 0 ? 1 : 0;
        tiles[Sky][1][2] = speck;
        tiles[Sky][5][6] = speck;
    }
    tiles[Brick] = Paint(theme.darkMortar ? kBrickDark : kBrickLight, theme);
    for (const Glyph& glyph : kFont) tiles[uint8_t(glyph.ch)] = PaintGlyph(glyph);
    for (int t = 0; t < kReversed; ++t)
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) tiles[t + kReversed][y][x] = uint8_t(3 - tiles[t][y][x]);
    for (int t = 0; t < count; ++t) PutTile(rom, size_t(first) + 16 * t, tiles[t]);
}

// ----------------------------------------------------------------- maps --

// A rectangle of tile numbers drawn on like a picture; cells outside it are
// ignored, so shapes may run over the edge.
class Canvas {
public:
    Canvas(int width, int height, uint8_t tile)
        : m_width(width), m_height(height), m_cells(size_t(width) * height, tile) {}

    void Set(int x, int y, uint8_t tile) {
        if (x >= 0 && y >= 0 && x < m_width && y < m_height) m_cells[size_t(y) * m_width + x] = tile;
    }
    void Fill(int x0, int y0, int x1, int y1, uint8_t tile) {  // corners inclusive
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) Set(x, y, tile);
    }
    void Text(int x, int y, std::string_view text, bool reversed = false) {
        for (char c : text) {
            if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
            const bool drawn = std::any_of(std::begin(kFont), std::end(kFont),
                                           [c](const Glyph& g) { return g.ch == c; });
            Set(x++, y, uint8_t((drawn ? c : '?') + (reversed ? kReversed : 0)));
        }
    }
    // White letters on a black bar one cell wider on each side, centred.
    void Banner(int y, std::string_view text, int x0 = 0, int width = kMapColumns) {
        text = text.substr(0, size_t(width - 2));
        const int x = x0 + (width - int(text.size())) / 2;
        Fill(x - 1, y, x + int(text.size()), y, uint8_t(' ' + kReversed));
        Text(x, y, text, true);
    }
    void Frame(int x0, int y0, int x1, int y1) {  // a white box inside a border
        Fill(x0 + 1, y0 + 1, x1 - 1, y1 - 1, uint8_t(' '));
        Fill(x0 + 1, y0, x1 - 1, y0, BorderT);
        Fill(x0 + 1, y1, x1 - 1, y1, BorderB);
        Fill(x0, y0 + 1, x0, y1 - 1, BorderL);
        Fill(x1, y0 + 1, x1, y1 - 1, BorderR);
        Set(x0, y0, BorderTL);
        Set(x1, y0, BorderTR);
        Set(x0, y1, BorderBL);
        Set(x1, y1, BorderBR);
    }
    void Cloud(int x, int y) { Set(x, y, CloudL); Set(x + 1, y, CloudR); }
    void Tree(int x, int y) { Set(x, y, Canopy); Set(x, y + 1, Trunk); }    // y: the canopy
    void Door(int x, int y) { Set(x, y, DoorTop); Set(x, y + 1, DoorBottom); }
    void House(int x, int y) {
        Set(x, y, RoofL); Set(x + 1, y, RoofR);
        Set(x, y + 1, Window); Set(x + 1, y + 1, DoorBottom);
    }

    // Stores 32 columns from (x0, y0) on as map bytes, row by row.
    void Store(RomImage& rom, int32_t offset, int x0, int y0, int rows) const {
        for (int y = 0; y < rows; ++y)
            for (int x = 0; x < kMapColumns; ++x)
                rom[size_t(offset) + size_t(y) * kMapColumns + x] =
                    uint8_t(m_cells[size_t(y0 + y) * m_width + x0 + x] ^ 0x80);
    }

private:
    int m_width;
    int m_height;
    std::vector<uint8_t> m_cells;
};

// A fixed scatter for decoration, the same on every run.
uint32_t Scatter(int x, int y) {
    uint32_t h = uint32_t(x) * 0x9E3779B1u ^ uint32_t(y) * 0x85EBCA77u;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    return h ^ (h >> 12);
}

// The four main maps are the quarters of one 64 x 64 overworld seen from
// above: a village, a forest, a lake and a castle, a river with bridges,
// paths, and a numbered door with a sign for each zone.
Canvas DrawOverworld() {
    Canvas c(64, 64, Meadow);
    c.Frame(0, 0, 63, 63);
    c.Fill(1, 1, 62, 62, Meadow);
    for (int y = 1; y < 63; ++y)
        for (int x = 1; x < 63; ++x) {
            const uint32_t h = Scatter(x, y) % 64;
            if (h == 0) c.Set(x, y, Flower);
            else if (h == 1) c.Set(x, y, Bush);
            else if (h == 2) c.Set(x, y, Boulder);
        }

    // River and paths, bridges where they cross.
    for (int y = 1; y < 63; ++y) c.Fill(30, y, 32, y, y % 3 ? Water : WaterTop);
    for (int y : {20, 44}) c.Fill(1, y, 62, y, Ground);
    c.Fill(17, 1, 17, 62, Ground);
    c.Fill(48, 1, 48, 48, Ground);
    for (int y : {20, 44}) c.Fill(30, y, 32, y, Plank);

    // Village, top left.
    for (int y : {6, 11})
        for (int x : {4, 8, 12}) c.House(x, y);
    c.Fill(3, 15, 14, 15, Fence);
    // Forest, top right, parted by the path.
    for (int y = 4; y <= 13; y += 3)
        for (int x = 36 + (y % 2) * 2; x <= 60; x += 4)
            if (x != 48) c.Tree(x, y);
    // Lake, bottom left, with a jetty off the path.
    for (int y = 48; y <= 60; ++y)
        for (int x = 2; x <= 22; ++x) {
            const int dx = x - 12, dy = y - 54;
            if (dx * dx * 36 + dy * dy * 100 <= 3600) c.Set(x, y, (x + y) % 4 ? Water : WaterTop);
        }
    c.Fill(12, 45, 12, 50, Plank);
    // Castle, bottom right: stone walls, brick battlements, the gate at the path's end.
    c.Fill(38, 50, 58, 60, Block);
    for (int x = 38; x <= 58; x += 2) c.Set(x, 49, Brick);
    c.Fill(42, 53, 54, 58, Brick);
    for (int x : {41, 55}) c.Set(x, 53, Window);
    c.Set(48, 49, Crown);
    c.Door(48, 50);

    // Zone doors, each with its number on a sign.
    struct Entrance { int x, y; char number; };
    constexpr Entrance kEntrances[] = {
        {21, 18, '1'}, {27, 9, '2'}, {40, 18, '3'}, {58, 25, '4'},
        {6, 42, '5'}, {26, 28, '6'}, {52, 42, '7'}, {36, 36, '8'},
    };
    for (const Entrance& e : kEntrances) {
        c.Door(e.x, e.y);
        c.Set(e.x + 1, e.y + 1, Sign);
        c.Text(e.x + 2, e.y + 1, std::string(1, e.number));
    }
    // Bonus hill: mounds below door 8.
    for (int x = 33; x <= 42; x += 3) c.Set(x, 39, Mound);

    return c;
}

// Sub-maps are 20 rows. Rows 0-1 and 18-19 of every sub-map are the same
// brick band: sub-maps of a group overlap by two rows, so a map's last two
// rows are the next map's first two and the join does not show.
Canvas SubMapFrame(std::string_view name) {
    Canvas c(kMapColumns, kSubMapRows, Sky);
    c.Fill(0, 0, 31, 1, Brick);
    c.Fill(0, 18, 31, 19, Brick);
    c.Fill(0, 16, 31, 16, GrassTop);
    c.Fill(0, 17, 31, 17, Ground);
    if (!name.empty()) c.Banner(3, name);
    return c;
}

// A zone: three platforms joined to the floor by ladders, a pool, a door,
// trees, and the zone's emblem. Odd variants are mirrored left to right.
Canvas DrawZone(std::string_view name, uint8_t emblem, int variant) {
    Canvas c = SubMapFrame(name);
    const bool mirror = variant % 2 == 1;
    auto Row = [&](int x0, int x1, int y, uint8_t tile) {
        for (int x = x0; x <= x1; ++x) c.Set(mirror ? 31 - x : x, y, tile);
    };
    auto Column = [&](int x, int y0, int y1, uint8_t tile) {
        for (int y = y0; y <= y1; ++y) Row(x, x, y, tile);
    };
    const uint8_t middle = variant % 3 == 0 ? Brick : variant % 3 == 1 ? Block : Plank;

    c.Cloud(2 + variant * 3 % 7, 5);
    c.Cloud(13 + variant * 5 % 6, 4);
    Row(4, 10, 13, Brick);
    Row(13, 20, 10, middle);
    Row(23, 29, 7, Brick);
    Column(7, 13, 15, Ladder);
    Column(18, 10, 15, Ladder);
    Column(27, 7, 15, Ladder);
    Row(5, 5, 12, emblem);
    Row(9, 10, 12, Coin);
    Row(15, 15, 9, emblem);
    Row(16, 17, 9, Coin);
    Row(24, 24, 6, Chest);
    Row(29, 29, 6, Heart);
    Row(12, 16, 16, WaterTop);
    Row(12, 16, 17, Water);
    Column(1, 14, 14, DoorTop);
    Column(1, 15, 15, DoorBottom);
    Row(3, 3, 15, Sign);
    for (int x : {21, 30}) Column(x, 14, 14, Canopy), Column(x, 15, 15, Trunk);
    Row(23, 24, 15, Bush);
    Row(25, 25, 15, Flower);
    Row(10, 11, 15, Spikes);
    return c;
}

// A bonus game: a framed board of cards and prizes, numbered.
Canvas DrawBonusGame(std::string_view name, int game) {
    Canvas c = SubMapFrame(name);
    constexpr uint8_t kPrizes[] = {Card, Heart, Card, Key, Card, Chest, Card, Coin};
    c.Frame(4, 5, 27, 14);
    for (int i = 0; i < 10; ++i) {
        const int x = 7 + (i % 5) * 4, y = i < 5 ? 7 : 10;
        c.Set(x, y, kPrizes[(i + game) % 8]);
        c.Text(x, y + 1, std::string(1, char('0' + (i + 1) % 10)));
    }
    c.Text(11, 13, "PICK ONE!");
    c.Tree(1, 14), c.Tree(30, 14);
    return c;
}

// The crane game: a claw on a chain under a rail, over a box of prizes.
Canvas DrawCraneGame(std::string_view name) {
    Canvas c = SubMapFrame(name);
    constexpr uint8_t kPrizes[] = {Heart, Key, Coin, Chest, Apple, Star, Coin, Heart, Lantern, Gear};
    c.Fill(3, 5, 28, 5, Plank);
    c.Fill(12, 6, 12, 8, Chain);
    c.Set(12, 9, Hook);
    c.Fill(4, 11, 4, 15, Block);
    c.Fill(23, 11, 23, 15, Block);
    c.Fill(27, 11, 27, 15, Block);
    for (int x = 5; x <= 22; ++x) {
        c.Set(x, 15, kPrizes[x % 10]);
        if (x % 3 != 0) c.Set(x, 14, kPrizes[(x * 7) % 10]);
    }
    c.Text(24, 12, "WIN");  // over the chute
    return c;
}

// The mole game: three rows of holes, some with a mole out.
Canvas DrawMoleGame(std::string_view name) {
    Canvas c = SubMapFrame(name);
    c.Text(3, 5, "SCORE 0120");
    c.Text(22, 5, "TIME 60");
    for (int y : {9, 12}) c.Fill(3, y, 28, y, GrassTop);
    for (int y : {8, 11, 15})
        for (int x = 5; x <= 26; x += 5) c.Set(x, y, (x + y) % 3 == 0 ? Mole : Mound);
    return c;
}

Canvas DrawTitleScreen() {
    Canvas c = SubMapFrame("");
    c.Frame(4, 4, 27, 9);
    c.Text(10, 6, "QUILLMOOR 2");
    c.Text(9, 8, "DEMO CARTRIDGE");
    c.Banner(12, "PUSH START");
    for (int x : {2, 29}) c.Set(x, 3, Star);
    for (int x : {1, 30}) c.Set(x, 10, Star);
    c.Tree(2, 14), c.Tree(29, 14), c.Tree(27, 14);
    c.Door(15, 14);
    c.Set(16, 15, Sign);
    c.Set(5, 15, Bush), c.Set(6, 15, Flower), c.Set(24, 15, Flower);
    return c;
}

// ------------------------------------------------------------ catalogue --

// What is drawn for each entry of the built-in map catalogue, by position.
// Main maps are the overworld's quarters in catalogue order; sub-maps past
// the end of this list become plain zones.
enum class Layout { Overworld, Zone, Bonus, Crane, Mole, Title };

struct Drawing {
    Layout layout;
    uint8_t emblem;  // zones only
};

constexpr Drawing kDrawings[] = {
    {Layout::Overworld, 0}, {Layout::Overworld, 0}, {Layout::Overworld, 0}, {Layout::Overworld, 0},
    {Layout::Zone, Lantern}, {Layout::Zone, Apple}, {Layout::Zone, Star}, {Layout::Zone, Boulder},
    {Layout::Zone, Anchor}, {Layout::Zone, Gear}, {Layout::Zone, Crown}, {Layout::Zone, Heart},
    {Layout::Bonus, 0}, {Layout::Bonus, 0}, {Layout::Bonus, 0}, {Layout::Bonus, 0},
    {Layout::Crane, 0}, {Layout::Mole, 0}, {Layout::Title, 0},
};

// Themes by the first byte of a tile range; other ranges get the first.
struct TileRange {
    int32_t first;
    Theme theme;
};

constexpr TileRange kTileRanges[] = {
    {0x34800, {0, false, false, false}},  // overworld
    {0x36000, {0, true, false, true}},
    {0x38800, {1, false, false, false}},
    {0x3A000, {0, false, true, false}},
    {0x40800, {1, true, false, true}},
    {0x44800, {0, false, true, true}},
    {0x46000, {1, false, true, true}},
    {0x64000, {0, true, true, false}},    // bonus games
    {0x65000, {1, true, true, false}},
    {0x149DE, {0, true, false, false}},   // title screen
};

Theme ThemeFor(int32_t first) {
    for (const TileRange& range : kTileRanges)
        if (range.first == first) return range.theme;
    return kTileRanges[0].theme;
}

// The map viewer's first bank: the program, its empty map table and the
// cartridge header (type, size, title and checksum, as makebin wrote them).
void WriteViewer(RomImage& rom) {
    const std::span<const unsigned char> bank = ViewerBank();
    std::copy(bank.begin(), bank.end(), rom.begin());
}

// Where the viewer reads a ROM offset: a bank and an address in the CPU's
// view of the cartridge. Offsets of bank 0 are read with bank 1 selected.
void PutPlace(RomImage& rom, size_t at, int64_t offset, int64_t length) {
    const ViewerPlace place = ViewerPlaceOf(offset);
    rom[at] = place.bank;
    rom[at + 1] = uint8_t(place.address & 0xFF);
    rom[at + 2] = uint8_t(place.address >> 8);
    rom[at + 3] = uint8_t(length & 0xFF);
    rom[at + 4] = uint8_t(length >> 8);
}

// The viewer's map table, one entry per catalogue entry, so that it shows
// each map with its tiles as the editor does. A range that does not lie in
// the image gets length 0: the viewer copies nothing for it.
void WriteMapTable(RomImage& rom, const std::vector<MapEntry>& entries) {
    const size_t table = kViewerMapTable;
    if (std::string_view(reinterpret_cast<const char*>(&rom[table]), 4) != "MAPS") return;
    const size_t room = rom[table + 4];
    const size_t count = std::min(room, entries.size());
    rom[table + 5] = uint8_t(count);
    std::fill_n(rom.begin() + table + 6, room * kViewerEntrySize, 0);
    for (size_t i = 0; i < count; ++i) {
        const MapEntry& e = entries[i];
        const size_t at = table + 6 + i * kViewerEntrySize;
        const int64_t mapBytes = MapByteCount(e.IsSubMap);
        PutPlace(rom, at, e.MapOffset, RangeInside(e.MapOffset, mapBytes, rom.size()) ? mapBytes : 0);
        rom[at + 5] = uint8_t(std::max<int64_t>(0, MapRows(e.IsSubMap) * kTileSize - kScreenHeight));
        // 256 tiles fill VRAM 0x8800-0x97FF; the editor shows no more either.
        const int64_t tileBytes = std::min<int64_t>(4096, int64_t(e.TilesetLast) - e.TilesetFirst + 1);
        PutPlace(rom, at + 6, e.TilesetFirst,
                 tileBytes > 0 && RangeInside(e.TilesetFirst, tileBytes, rom.size()) ? tileBytes : 0);
    }
}

void WriteGlobalChecksum(RomImage& rom) {
    uint16_t sum = 0;
    for (size_t i = 0; i < rom.size(); ++i)
        if (i != 0x14E && i != 0x14F) sum = uint16_t(sum + rom[i]);
    rom[0x14E] = uint8_t(sum >> 8);
    rom[0x14F] = uint8_t(sum & 0xFF);
}

} // namespace

RomImage MakeDemoRom() {
    RomImage rom(size_t(kExpectedRomSize), 0);
    WriteViewer(rom);
    const MapCatalogue catalogue = ParseMapCatalogue(MAP_NAMES());
    const std::vector<MapEntry>& entries = catalogue.entries;
    WriteMapTable(rom, entries);

    for (const MapEntry& e : entries) {
        const int64_t tiles = std::min<int64_t>(256, (int64_t(e.TilesetLast) - e.TilesetFirst + 1) / 16);
        if (tiles > 0 && RangeInside(e.TilesetFirst, tiles * 16, rom.size()))
            WriteTileset(rom, e.TilesetFirst, int(tiles), ThemeFor(e.TilesetFirst));
    }

    // The overworld carries each main map's name in its quarter.
    Canvas overworld = DrawOverworld();
    std::vector<int> quarter(entries.size(), 0);
    for (size_t i = 0, q = 0; i < entries.size(); ++i) {
        if (entries[i].IsSubMap) continue;
        quarter[i] = int(q++ % 4);
        overworld.Banner((quarter[i] / 2) * 32 + 2, catalogue.names[i], (quarter[i] % 2) * 32);
    }

    // Ascending offsets, so where sub-maps overlap the later map's rows win.
    std::vector<size_t> order(entries.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return entries[a].MapOffset < entries[b].MapOffset; });
    for (const size_t i : order) {
        const MapEntry& e = entries[i];
        if (!RangeInside(e.MapOffset, MapByteCount(e.IsSubMap), rom.size())) continue;
        if (!e.IsSubMap) {
            overworld.Store(rom, e.MapOffset, (quarter[i] % 2) * 32, (quarter[i] / 2) * 32, kMainMapRows);
            continue;
        }
        const Drawing d = i < std::size(kDrawings) && kDrawings[i].layout != Layout::Overworld
                              ? kDrawings[i] : Drawing{Layout::Zone, Coin};
        const std::string& name = catalogue.names[i];
        Canvas map = d.layout == Layout::Bonus   ? DrawBonusGame(name, int(i))
                     : d.layout == Layout::Crane ? DrawCraneGame(name)
                     : d.layout == Layout::Mole  ? DrawMoleGame(name)
                     : d.layout == Layout::Title ? DrawTitleScreen()
                                                 : DrawZone(name, d.emblem, int(i));
        map.Store(rom, e.MapOffset, 0, 0, kSubMapRows);
    }
    WriteGlobalChecksum(rom);
    return rom;
}

} // namespace q2
