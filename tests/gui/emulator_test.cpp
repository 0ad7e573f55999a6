// SPDX-License-Identifier: MIT
// The demo ROM on a Game Boy: two emulators run its map viewer, and what
// each shows must be, pixel for pixel, what quill2-maptool render draws of
// the same window of the map. Neither emulator uses the editor's greys, so
// pictures are compared by shade: each colour of a core stands for one shade
// for the whole run, lighter colours for lighter shades.
//
// Without the cores (Debian's libretro-gambatte and libretro-mgba) these
// tests skip; with QUILL2_REQUIRE_EMULATORS=1 (scripts/test.d/60-emulators)
// they fail instead.

#include "demo_rom.h"
#include "support/Command.h"
#include "support/EditorFixture.h"
#include "support/RetroCore.h"

#include "app/Catalogue.h"
#include "map/MapGrid.h"
#include "tiles/Tileset.h"

#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <random>
#include <sstream>

namespace q2::test {
namespace {

constexpr int kScreenWidth = 160;
constexpr int kScreenHeight = 144;
constexpr int kLoadFrames = 30;  // a map shows within this many frames
constexpr int kLastViewX = 256 - kScreenWidth;

// ----------------------------------------------------------- the cores --

struct Cores {
    std::vector<std::unique_ptr<RetroCore>> loaded;
    std::string missing;  // why not both are there
};

const Cores& TheCores() {
    static const Cores cores = [] {
        Cores c;
        for (const char* name : {"gambatte", "mgba"}) {
            const std::string path = RetroCore::Find(name);
            if (path.empty()) {
                c.missing += std::string(c.missing.empty() ? "" : "; ") + "no " + name + " core";
                continue;
            }
            auto core = std::make_unique<RetroCore>(path);
            if (!core->Ready()) c.missing += (c.missing.empty() ? "" : "; ") + core->Error();
            else c.loaded.push_back(std::move(core));
        }
        return c;
    }();
    return cores;
}

bool EmulatorsRequired() {
    const char* value = std::getenv("QUILL2_REQUIRE_EMULATORS");
    return value && std::string(value) == "1";
}

#define NEED_CORES()                                                                        \
    do {                                                                                    \
        if (!TheCores().missing.empty()) {                                                  \
            if (EmulatorsRequired()) FAIL() << TheCores().missing;                          \
            GTEST_SKIP() << TheCores().missing << " (install libretro-gambatte and libretro-mgba)"; \
        }                                                                                   \
    } while (0)

// ------------------------------------------------------------- pictures --

// A map as quill2-maptool render draws it, as shades 0 (white) to 3 (black).
struct MapPicture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> shades;
    uint8_t At(int x, int y) const { return shades[size_t(y) * size_t(width) + size_t(x)]; }
    int LastViewY() const { return height - kScreenHeight; }
};

MapPicture ReadPicture(const std::string& png) {
    const QImage image = QImage(QString::fromStdString(png)).convertToFormat(QImage::Format_RGB32);
    MapPicture picture{image.width(), image.height(), {}};
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            int shade = 0;
            while (shade < 4 && !(qRed(c) == GetRValue(kShades[shade]) && qGreen(c) == GetGValue(kShades[shade]) &&
                                  qBlue(c) == GetBValue(kShades[shade])))
                ++shade;
            EXPECT_LT(shade, 4) << png << " has a colour of no shade at " << x << "," << y;
            picture.shades.push_back(uint8_t(shade & 3));
        }
    return picture;
}

// Maps `indices` of the ROM file at romPath, rendered by quill2-maptool (side
// by side, one process each).
std::map<int, MapPicture> Render(const std::string& romPath, const std::vector<int>& indices, const TempDir& dir) {
    std::string script;
    for (int i : indices)
        script += std::string(QUILL2_MAPTOOL) + " render " + romPath + " " + std::to_string(i) + " " +
                  dir.File("render-" + std::to_string(i) + ".png") + " & ";
    const CommandRun run = RunCommand("XDG_STATE_HOME=" + ToolStateHome() + " sh -c 'status=0; " + script +
                                      "for job in $(jobs -p); do wait $job || status=1; done; exit $status'");
    EXPECT_EQ(run.code, 0) << run.err;
    std::map<int, MapPicture> pictures;
    for (int i : indices) pictures[i] = ReadPicture(dir.File("render-" + std::to_string(i) + ".png"));
    return pictures;
}

std::vector<int> EveryMap() {
    std::vector<int> all(ParseMapCatalogue(MAP_NAMES()).entries.size());
    for (size_t i = 0; i < all.size(); ++i) all[i] = int(i);
    return all;
}

// ----------------------------------------------------------- the judge --

// What a core's colours mean, learnt while it shows maps: each colour stands
// for one shade, and a lighter colour never for a darker shade.
class ShadeJudge {
public:
    // Empty when frame shows the screen-sized window of map at (x, y); what
    // differs otherwise. What was learnt is kept only when it shows it.
    std::string Compare(const RetroFrame& frame, const MapPicture& map, int x, int y) {
        if (frame.width != kScreenWidth || frame.height != kScreenHeight)
            return "a picture of " + std::to_string(frame.width) + " x " + std::to_string(frame.height);
        std::vector<std::pair<uint32_t, uint8_t>> meaning = m_meaning;
        size_t slot = 0;
        for (int py = 0; py < kScreenHeight; ++py)
            for (int px = 0; px < kScreenWidth; ++px) {
                const uint32_t colour = frame.At(px, py);
                const uint8_t shade = map.At(x + px, y + py);
                if (slot >= meaning.size() || meaning[slot].first != colour) {
                    slot = 0;
                    while (slot < meaning.size() && meaning[slot].first != colour) ++slot;
                    if (slot == meaning.size()) meaning.emplace_back(colour, shade);
                }
                if (meaning[slot].second != shade) {
                    std::ostringstream why;
                    why << "pixel (" << px << ", " << py << ") is colour " << std::hex << colour << std::dec
                        << ", which means shade " << int(meaning[slot].second) << ", not " << int(shade);
                    return why.str();
                }
            }
        for (const auto& [a, shadeA] : meaning)
            for (const auto& [b, shadeB] : meaning)
                if (Brightness(a) > Brightness(b) && shadeA > shadeB) {
                    std::ostringstream why;
                    why << std::hex << "colour " << a << " is lighter than " << b << " but shows a darker shade";
                    return why.str();
                }
        m_meaning = std::move(meaning);
        return {};
    }

private:
    static int Brightness(uint32_t c) { return int((c >> 16) & 0xFF) + int((c >> 8) & 0xFF) + int(c & 0xFF); }
    std::vector<std::pair<uint32_t, uint8_t>> m_meaning;
};

// ---------------------------------------------------------- the player --

// Plays the viewer on one core: holds keys and checks what each frame shows.
class Player {
public:
    explicit Player(RetroCore& core) : m_core(core) {}

    // Runs frames with keys held until the screen shows map at (x, y).
    testing::AssertionResult WaitFor(const MapPicture& map, int x, int y, uint16_t keys = 0,
                                     int frames = kLoadFrames) {
        m_core.Hold(keys);
        std::string why;
        for (int f = 1; f <= frames; ++f) {
            m_core.RunFrame();
            why = m_judge.Compare(m_core.Picture(), map, x, y);
            if (why.empty()) return testing::AssertionSuccess();
        }
        return testing::AssertionFailure() << m_core.Name() << ": view (" << x << ", " << y << ") not shown within "
                                           << frames << " frames: " << why;
    }

    // Every one of `frames` frames, with keys held, shows map at (x, y).
    testing::AssertionResult Stays(const MapPicture& map, int x, int y, uint16_t keys, int frames) {
        m_core.Hold(keys);
        for (int f = 1; f <= frames; ++f) {
            m_core.RunFrame();
            const std::string why = m_judge.Compare(m_core.Picture(), map, x, y);
            if (!why.empty())
                return testing::AssertionFailure() << m_core.Name() << ": view (" << x << ", " << y
                                                   << ") left at frame " << f << ": " << why;
        }
        return testing::AssertionSuccess();
    }

    // Holds a d-pad key from view (x, y) until the view is (toX, toY): each
    // frame shows the view before or one cell on, and a few frames more
    // held keep it there. Then lets go.
    testing::AssertionResult Walk(const MapPicture& map, uint16_t key, int x, int y, int toX, int toY) {
        const int dx = key == kKeyRight ? 8 : key == kKeyLeft ? -8 : 0;
        const int dy = key == kKeyDown ? 8 : key == kKeyUp ? -8 : 0;
        const int cells = (std::abs(toX - x) + std::abs(toY - y)) / 8;
        m_core.Hold(key);
        for (int f = 1; f <= cells + 4; ++f) {
            m_core.RunFrame();
            const std::string why = m_judge.Compare(m_core.Picture(), map, x, y);
            if (why.empty()) continue;
            if ((x != toX || y != toY) && m_judge.Compare(m_core.Picture(), map, x + dx, y + dy).empty()) {
                x += dx, y += dy;
                continue;
            }
            return testing::AssertionFailure() << m_core.Name() << ": frame " << f << " of a walk to (" << toX << ", "
                                               << toY << ") does not show view (" << x << ", " << y
                                               << ") or the next: " << why;
        }
        m_core.Hold(0);
        if (x != toX || y != toY)
            return testing::AssertionFailure() << m_core.Name() << ": a walk to (" << toX << ", " << toY
                                               << ") stopped at (" << x << ", " << y << ")";
        return Stays(map, x, y, 0, 1);
    }

    // Shown at (0, 0): the other three corners, (96, 0), (96, last), (0, last).
    testing::AssertionResult Corners(const MapPicture& map) {
        const int last = map.LastViewY();
        if (auto r = Walk(map, kKeyRight, 0, 0, kLastViewX, 0); !r) return r;
        if (auto r = Walk(map, kKeyDown, kLastViewX, 0, kLastViewX, last); !r) return r;
        return Walk(map, kKeyLeft, kLastViewX, last, 0, last);
    }

private:
    RetroCore& m_core;
    ShadeJudge m_judge;
};

// Powers on with the ROM file at romPath and goes through every map with A,
// each in its four corner views, then round to the first and back with B.
void PlayEveryMap(RetroCore& core, const std::string& romPath, const std::map<int, MapPicture>& maps) {
    SCOPED_TRACE(core.Name());
    ASSERT_TRUE(core.Start(ReadFile(romPath))) << core.Error();
    Player player(core);
    const int count = int(maps.size());
    ASSERT_TRUE(player.WaitFor(maps.at(0), 0, 0));
    for (int i = 0; i < count; ++i) {
        SCOPED_TRACE("map " + std::to_string(i));
        if (i > 0) {
            ASSERT_TRUE(player.WaitFor(maps.at(i), 0, 0, kKeyA));
            ASSERT_TRUE(player.Stays(maps.at(i), 0, 0, kKeyA, 6));  // held, A does not repeat
        }
        ASSERT_TRUE(player.Corners(maps.at(i)));
    }
    ASSERT_TRUE(player.WaitFor(maps.at(0), 0, 0, kKeyA));
    ASSERT_TRUE(player.Stays(maps.at(0), 0, 0, 0, 1));
    ASSERT_TRUE(player.WaitFor(maps.at(count - 1), 0, 0, kKeyB));
    ASSERT_TRUE(player.Stays(maps.at(count - 1), 0, 0, kKeyB, 6));
    ASSERT_TRUE(player.Stays(maps.at(count - 1), 0, 0, 0, 1));
    ASSERT_TRUE(player.WaitFor(maps.at(count - 2), 0, 0, kKeyB));
}

// Powers on and shows map `index` (reached with B from map 0, the way round
// for the last maps), in its four corners.
void ShowMap(RetroCore& core, const RomImage& rom, int index, int count, const MapPicture& map) {
    SCOPED_TRACE(core.Name());
    ASSERT_TRUE(core.Start(rom)) << core.Error();
    Player player(core);
    for (int i = 0; i < count - index; ++i) {
        for (int f = 0; f < kLoadFrames; ++f) core.RunFrame();  // the map before is shown
        core.Hold(kKeyB);
        core.RunFrame();
        core.Hold(0);
    }
    ASSERT_TRUE(player.WaitFor(map, 0, 0));
    ASSERT_TRUE(player.Corners(map));
}

// Cells of a picture that differ from another's: the 8 x 8 squares changed.
int CellsChanged(const MapPicture& a, const MapPicture& b) {
    int changed = 0;
    for (int cy = 0; cy < a.height / 8; ++cy)
        for (int cx = 0; cx < a.width / 8; ++cx) {
            bool differs = false;
            for (int y = 0; y < 8 && !differs; ++y)
                for (int x = 0; x < 8 && !differs; ++x) differs = a.At(8 * cx + x, 8 * cy + y) != b.At(8 * cx + x, 8 * cy + y);
            changed += differs;
        }
    return changed;
}

// ---------------------------------------------------------------- tests --

TEST(EmulatorTest, EveryMapOfTheDemoRomInItsFourCorners) {
    NEED_CORES();
    TempDir dir;
    const std::string romPath = dir.File("demo.gb");
    WriteFile(romPath, MakeDemoRom());
    const std::map<int, MapPicture> maps = Render(romPath, EveryMap(), dir);
    for (const auto& core : TheCores().loaded) PlayEveryMap(*core, romPath, maps);
}

// Every byte of every map and tile range random: each tile and each map byte
// value at its place, the overlapping rows of the sub-maps as they stand.
TEST(EmulatorTest, EveryMapOfARandomRomInItsFourCorners) {
    NEED_CORES();
    TempDir dir;
    RomImage rom = MakeDemoRom();
    std::mt19937 random(20261207);
    for (const MapEntry& e : ParseMapCatalogue(MAP_NAMES()).entries) {
        for (int32_t at = e.TilesetFirst; at <= e.TilesetLast; ++at) rom[size_t(at)] = uint8_t(random());
        for (int64_t k = 0; k < MapByteCount(e.IsSubMap); ++k) rom[size_t(e.MapOffset + k)] = uint8_t(random());
    }
    const std::string romPath = dir.File("random.gb");
    WriteFile(romPath, rom);
    const std::map<int, MapPicture> maps = Render(romPath, EveryMap(), dir);
    for (const auto& core : TheCores().loaded) PlayEveryMap(*core, romPath, maps);
}

TEST(EmulatorTest, AMapImportedWithTheToolShows) {
    NEED_CORES();
    TempDir dir;
    const std::string romPath = dir.File("demo.gb"), json = dir.File("title.tmj");
    WriteFile(romPath, MakeDemoRom());
    const int count = int(EveryMap().size()), index = count - 1;
    const MapPicture before = Render(romPath, {index}, dir).at(index);
    ASSERT_EQ(MapTool("export " + romPath + " " + std::to_string(index) + " " + json).code, 0);

    // Rows 5 to 7 and the last row become stars (tile 99).
    QFile file(QString::fromStdString(json));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QJsonObject map = QJsonDocument::fromJson(file.readAll()).object();
    file.close();
    QJsonArray layers = map["layers"].toArray();
    QJsonObject layer = layers[0].toObject();
    QJsonArray cells = layer["data"].toArray();
    ASSERT_EQ(cells.size(), kSubMapRows * kMapColumns);
    for (int i = 0; i < cells.size(); ++i)
        if ((i / kMapColumns >= 5 && i / kMapColumns <= 7) || i / kMapColumns == kSubMapRows - 1) cells[i] = 100;
    layer["data"] = cells;
    layers[0] = layer;
    map["layers"] = layers;
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(QJsonDocument(map).toJson());
    file.close();
    const CommandRun import = MapTool("import " + romPath + " " + std::to_string(index) + " " + json);
    ASSERT_EQ(import.code, 0) << import.err;

    const MapPicture after = Render(romPath, {index}, dir).at(index);
    ASSERT_GE(CellsChanged(before, after), 40);
    for (const auto& core : TheCores().loaded) ShowMap(*core, ReadFile(romPath), index, count, after);
}

class EmulatorEditorTest : public EditorTest {};

TEST_F(EmulatorEditorTest, AMapSavedInTheEditorShows) {
    NEED_CORES();
    rom = MakeDemoRom();
    WriteFile(romPath, rom);
    const MapPicture before = Render(romPath, {0}, dir).at(0);
    Start(romPath);
    PickTile(3, 6);  // the star
    for (int x = 2; x <= 9; ++x) Click(Form().pbxMap, Qt::LeftButton, Cell(x, 3));      // seen at (0, 0)
    for (int y = 20; y <= 31; ++y) Click(Form().pbxMap, Qt::LeftButton, Cell(30, y));  // at (96, 112)
    Form().cmdSaveMap->click();
    ASSERT_FALSE(program->MapModified);

    const MapPicture after = Render(romPath, {0}, dir).at(0);
    ASSERT_GE(CellsChanged(before, after), 10);
    for (const auto& core : TheCores().loaded) {
        SCOPED_TRACE(core->Name());
        ASSERT_TRUE(core->Start(ReadFile(romPath))) << core->Error();
        Player player(*core);
        ASSERT_TRUE(player.WaitFor(after, 0, 0));
        ASSERT_TRUE(player.Corners(after));
    }
}

} // namespace
} // namespace q2::test
