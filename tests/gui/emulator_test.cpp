// SPDX-License-Identifier: MIT
// The demo ROM on a Game Boy: two emulators run its map viewer, and what
// each shows must be, pixel for pixel, what quill2-maptool render draws of
// the same window of the map, compared by shade: each colour of a core
// stands for one shade for the whole run, lighter colours for lighter ones.
// Without the cores (Debian's libretro-gambatte and libretro-mgba) these
// tests skip; with QUILL2_REQUIRE_EMULATORS=1 (scripts/test.d/60-emulators)
// they fail instead.

#include "demo_rom.h"
#include "support/Command.h"
#include "support/EditorFixture.h"
#include "support/RetroCore.h"

#include "app/Catalogue.h"
#include "app/TestPlay.h"
#include "map/MapGrid.h"
#include "tiles/Tileset.h"

#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <sstream>

namespace q2::test {
namespace {

constexpr int kScreenWidth = 160, kScreenHeight = 144;
constexpr int kLoadFrames = 30;  // a map shows within this many frames
constexpr int kLastViewX = 256 - kScreenWidth;

// A map as quill2-maptool render draws it, as shades 0 (white) to 3 (black).
struct MapPicture {
    int width = 0, height = 0;
    std::vector<uint8_t> shades;
    uint8_t At(int x, int y) const { return shades[size_t(y) * size_t(width) + size_t(x)]; }
};

// Every map of the ROM file at romPath, rendered by quill2-maptool (side by
// side, one process each).
std::vector<MapPicture> Render(const std::string& romPath, const TempDir& dir) {
    const size_t count = ParseMapCatalogue(MAP_NAMES()).entries.size();
    auto png = [&](size_t i) { return dir.File("render-" + std::to_string(i) + ".png"); };
    std::string script;
    for (size_t i = 0; i < count; ++i)
        script += std::string(QUILL2_MAPTOOL) + " render " + romPath + " " + std::to_string(i) + " " + png(i) + " & ";
    const CommandRun run = RunCommand("XDG_STATE_HOME=" + ToolStateHome() + " sh -c 'status=0; " + script +
                                      "for job in $(jobs -p); do wait $job || status=1; done; exit $status'");
    EXPECT_EQ(run.code, 0) << run.err;
    std::vector<QRgb> greys;
    for (COLORREF c : kShades) greys.push_back(qRgb(GetRValue(c), GetGValue(c), GetBValue(c)));
    std::vector<MapPicture> pictures;
    for (size_t i = 0; i < count; ++i) {
        const QImage image = QImage(QString::fromStdString(png(i))).convertToFormat(QImage::Format_RGB32);
        MapPicture& picture = pictures.emplace_back(MapPicture{image.width(), image.height(), {}});
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const size_t shade = size_t(std::find(greys.begin(), greys.end(), image.pixel(x, y)) - greys.begin());
                EXPECT_LT(shade, 4u) << png(i) << " has a colour of no shade at " << x << "," << y;
                picture.shades.push_back(uint8_t(shade & 3));
            }
    }
    return pictures;
}

// The 8 x 8 cells in which two pictures of a map differ.
int CellsChanged(const MapPicture& a, const MapPicture& b) {
    std::set<int> cells;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x)
            if (a.At(x, y) != b.At(x, y)) cells.insert(y / 8 * kMapColumns + x / 8);
    return int(cells.size());
}

// Plays the viewer on one core: holds keys and checks each frame against
// the rendered maps. What the core's colours mean is learnt on the way, from
// frames that show what was expected.
class Player {
public:
    explicit Player(RetroCore& core) : m_core(core) {}

    // Runs frames with keys held until the screen shows map at (x, y); then
    // `held` frames more with the keys still held, and one with them let go,
    // must all show it.
    bool Show(const MapPicture& map, int x, int y, uint16_t keys = 0, int held = 0) {
        m_core.Hold(keys);
        for (int f = 1; f <= kLoadFrames && !Shows(map, x, y); ++f)
            if (f == kLoadFrames) return Fail(x, y, " not shown within 30 frames");
        for (int f = 0; f <= held; ++f) {
            if (f == held) m_core.Hold(0);
            if (!Shows(map, x, y)) return Fail(x, y, " left after " + std::to_string(f) + " frames");
        }
        m_x = x, m_y = y;
        return true;
    }

    // Holds the d-pad towards (toX, toY), straight from the view shown: each
    // frame shows the view before or one cell on, and four frames held at
    // the end keep it there.
    bool Walk(const MapPicture& map, int toX, int toY) {
        const int dx = toX > m_x ? 8 : toX < m_x ? -8 : 0, dy = toY > m_y ? 8 : toY < m_y ? -8 : 0;
        m_core.Hold(dx > 0 ? kKeyRight : dx < 0 ? kKeyLeft : dy > 0 ? kKeyDown : kKeyUp);
        const int frames = (std::abs(toX - m_x) + std::abs(toY - m_y)) / 8 + 4;
        const std::string walk = "a walk to " + std::to_string(toX) + ", " + std::to_string(toY);
        for (int f = 1; f <= frames; ++f) {
            if (Shows(map, m_x, m_y)) continue;
            if ((m_x == toX && m_y == toY) || !Compare(map, m_x + dx, m_y + dy).empty())
                return Fail(m_x, m_y, " nor the next shown at frame " + std::to_string(f) + " of " + walk);
            m_x += dx, m_y += dy;
        }
        if (m_x != toX || m_y != toY) return Fail(m_x, m_y, " is where " + walk + " stopped");
        return Show(map, toX, toY);
    }

    const std::string& Why() const { return m_why; }

private:
    bool Shows(const MapPicture& map, int x, int y) {
        m_core.RunFrame();
        m_why = Compare(map, x, y);
        return m_why.empty();
    }
    bool Fail(int x, int y, const std::string& what) {
        m_why = m_core.Name() + ": view (" + std::to_string(x) + ", " + std::to_string(y) + ")" + what + ": " + m_why;
        return false;
    }

    // Empty when frame shows the screen-sized window of map at (x, y), what
    // differs otherwise. Each colour stands for one shade, and a lighter
    // colour never for a darker shade.
    std::string Compare(const MapPicture& map, int x, int y) {
        const RetroFrame& frame = m_core.Picture();
        if (frame.width != kScreenWidth || frame.height != kScreenHeight)
            return "a picture of " + std::to_string(frame.width) + " x " + std::to_string(frame.height);
        std::map<uint32_t, uint8_t> meaning = m_meaning;
        std::ostringstream why;
        for (int py = 0; py < kScreenHeight; ++py)
            for (int px = 0; px < kScreenWidth; ++px) {
                const uint32_t colour = frame.At(px, py);
                const uint8_t shade = map.At(x + px, y + py), meant = meaning.try_emplace(colour, shade).first->second;
                if (meant != shade) {
                    why << "pixel (" << px << ", " << py << ") is colour " << std::hex << colour << std::dec
                        << ", which means shade " << int(meant) << ", not " << int(shade);
                    return why.str();
                }
            }
        auto brightness = [](uint32_t c) { return ((c >> 16) & 0xFF) + ((c >> 8) & 0xFF) + (c & 0xFF); };
        for (const auto& [a, shadeA] : meaning)
            for (const auto& [b, shadeB] : meaning)
                if (brightness(a) > brightness(b) && shadeA > shadeB) {
                    why << std::hex << "colour " << a << " is lighter than " << b << " but shows a darker shade";
                    return why.str();
                }
        m_meaning = std::move(meaning);
        return {};
    }

    RetroCore& m_core;
    std::map<uint32_t, uint8_t> m_meaning;  // what the core's colours stand for
    std::string m_why;
    int m_x = 0, m_y = 0;
};

// The editor's fixture with the two cores, loaded once.
class EmulatorTest : public EditorTest {
protected:
    static void SetUpTestSuite() {
        for (const char* name : {"gambatte", "mgba"}) {
            const std::string path = RetroCore::Find(name);
            auto core = path.empty() ? nullptr : std::make_unique<RetroCore>(path);
            if (core && core->Ready()) cores.push_back(std::move(core));
            else
                missing += (missing.empty() ? "" : "; ") + (core ? core->Error() : "no " + std::string(name) + " core");
        }
    }
    void SetUp() override {
        EditorTest::SetUp();
        if (missing.empty()) return;
        if (const char* v = std::getenv("QUILL2_REQUIRE_EMULATORS"); v && std::string(v) == "1") FAIL() << missing;
        GTEST_SKIP() << missing << " (install libretro-gambatte and libretro-mgba)";
    }

    // On each core, powers on the ROM file at romPath and goes through its
    // maps, rendered, with A (held, it does not repeat), each in its four
    // corner views, and on to the first again; then back round with B. The
    // first map is also walked back up to (0, 0); the others must start there.
    static void PlayEveryMap(const std::string& romPath, const std::vector<MapPicture>& maps) {
        const size_t last = maps.size() - 1;
        for (const auto& core : cores) {
            ASSERT_TRUE(core->Start(ReadFile(romPath))) << core->Name() << ": " << core->Error();
            Player player(*core);
            ASSERT_TRUE(player.Show(maps[0], 0, 0)) << player.Why();
            for (size_t i = 0; i <= last; ++i) {
                const MapPicture& map = maps[i];
                const int lastY = map.height - kScreenHeight;
                ASSERT_TRUE((i == 0 || player.Show(map, 0, 0, kKeyA, 6)) && player.Walk(map, kLastViewX, 0) &&
                            player.Walk(map, kLastViewX, lastY) && player.Walk(map, 0, lastY) &&
                            (i > 0 || player.Walk(map, 0, 0)))
                    << "map " << i << ": " << player.Why();
            }
            ASSERT_TRUE(player.Show(maps[0], 0, 0, kKeyA) && player.Show(maps[last], 0, 0, kKeyB, 6) &&
                        player.Show(maps[last - 1], 0, 0, kKeyB))
                << "A round to the first map, B back: " << player.Why();
        }
    }

    static inline std::vector<std::unique_ptr<RetroCore>> cores;
    static inline std::string missing;  // why not both are there
};

// The demo's own maps, and the same with every byte of every map and tile
// range random: each tile and each map byte value at its place, the
// overlapping rows of the sub-maps as they stand.
TEST_F(EmulatorTest, EveryMapOfTheDemoRomAndOfARandomRomInItsFourCorners) {
    RomImage random = MakeDemoRom();
    std::mt19937 bytes(20261207);
    for (const MapEntry& e : ParseMapCatalogue(MAP_NAMES()).entries) {
        for (int32_t at = e.TilesetFirst; at <= e.TilesetLast; ++at) random[size_t(at)] = uint8_t(bytes());
        for (int64_t k = 0; k < MapByteCount(e.IsSubMap); ++k) random[size_t(e.MapOffset + k)] = uint8_t(bytes());
    }
    for (const auto& [name, rom] : {std::pair{"demo", MakeDemoRom()}, std::pair{"random", random}}) {
        SCOPED_TRACE(name);
        const std::string romPath = dir.File(std::string(name) + ".gb");
        WriteFile(romPath, rom);
        PlayEveryMap(romPath, Render(romPath, dir));
    }
}

// The demo's last map (a sub-map) exported, rows 5 to 7 and its last row
// made stars (tile 99) and imported; then stars drawn on its first map in
// the editor, seen at (0, 0) and at (96, 112), and saved. Test-play on map 4
// starts on map 4.
TEST_F(EmulatorTest, MapsImportedWithTheToolAndSavedInTheEditorShow) {
    WriteFile(romPath, rom = MakeDemoRom());
    const std::vector<MapPicture> before = Render(romPath, dir);
    const std::string index = std::to_string(before.size() - 1), json = dir.File("map.tmj");
    ASSERT_EQ(MapTool("export " + romPath + " " + index + " " + json).code, 0);
    QFile file(QString::fromStdString(json));
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    QJsonObject map = QJsonDocument::fromJson(file.readAll()).object();
    QJsonArray layers = map["layers"].toArray(), cells = layers[0].toObject()["data"].toArray();
    ASSERT_EQ(cells.size(), kSubMapRows * kMapColumns);
    for (int i = 0, row = 0; i < cells.size(); row = ++i / kMapColumns)
        if ((row >= 5 && row <= 7) || row == kSubMapRows - 1) cells[i] = 100;
    QJsonObject layer = layers[0].toObject();
    layer["data"] = cells, layers[0] = layer, map["layers"] = layers;
    ASSERT_TRUE(file.resize(0));
    file.write(QJsonDocument(map).toJson());
    file.close();
    const CommandRun import = MapTool("import " + romPath + " " + index + " " + json);
    ASSERT_EQ(import.code, 0) << import.err;

    Start(romPath);
    PickTile(3, 6);  // the star
    for (int x = 2; x <= 9; ++x) Click(Form().pbxMap, Qt::LeftButton, Cell(x, 3));
    for (int y = 20; y <= 31; ++y) Click(Form().pbxMap, Qt::LeftButton, Cell(30, y));
    Form().cmdSaveMap->click();
    ASSERT_FALSE(program->MapModified);

    const std::vector<MapPicture> after = Render(romPath, dir);
    ASSERT_GE(CellsChanged(before.back(), after.back()), 40);
    ASSERT_GE(CellsChanged(before[0], after[0]), 10);
    PlayEveryMap(romPath, after);

    // Test-play on map 4: the copy the emulator gets starts there.
    const std::string played = dir.File("played.gb");
    ScopedEnv emulator(kEmulatorVariable, "sh -c 'cp \"$0\" \"$1.part\" && mv \"$1.part\" \"$1\"' %f " + played);
    ClickLoadMap(4);
    Key(QKeySequence(Qt::Key_F5));
    ASSERT_TRUE(WaitUntil([&] { return QFile::exists(QString::fromStdString(played)); }));
    for (const auto& core : cores) {
        ASSERT_TRUE(core->Start(ReadFile(played))) << core->Name() << ": " << core->Error();
        Player player(*core);
        EXPECT_TRUE(player.Show(after[4], 0, 0)) << core->Name() << ": " << player.Why();
    }
}

} // namespace
} // namespace q2::test
