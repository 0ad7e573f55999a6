// SPDX-License-Identifier: MIT
// The companion tool end to end, on synthetic ROM files.
#include "map/MapGrid.h"
#include "support/Command.h"
#include "support/TestFiles.h"
#include "support/TileReference.h"

#include <QImage>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <sys/stat.h>

using namespace q2;

namespace {

using ToolRun = test::CommandRun;
ToolRun Tool(const std::string& args) { return test::MapTool(args); }

// The map as the game's bytes describe it, decoded here independently.
QRgb Expected(const RomImage& rom, int mapOffset, int first, int x, int y) {
    const uint8_t b = rom[size_t(mapOffset + (y / 8) * 32 + x / 8)];
    const int tile = b ^ 0x80;
    const int colour = test::TileColour(&rom[size_t(first + tile * 16)], x % 8, y % 8);
    const int shade[4] = {255, 176, 120, 0};
    return qRgb(shade[colour], shade[colour], shade[colour]);
}

} // namespace

TEST(MapTool, ListsTheCatalogue) {
    const ToolRun run = Tool("list");
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_NE(run.out.find("0\tNEWMAP\tOverworld [1/4]\t37000\t34800\t357FF\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("18\tNEWSUBMAP\tTitle Screen\t159DE\t149DE\t159DD\n"), std::string::npos);
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 19);
}

TEST(MapTool, RendersEveryMapPixelForPixel) {
    test::TempDir dir;
    const RomImage rom = test::PatternRom();
    test::WriteFile(dir.File("rom.gb"), rom);
    const int maps[19][3] = {{0x37000, 0x34800, 32}, {0x37400, 0x34800, 32}, {0x37800, 0x34800, 32},
                             {0x37C00, 0x34800, 32}, {0x3B000, 0x38800, 20}, {0x3B240, 0x3A000, 20},
                             {0x3B480, 0x40800, 20}, {0x3B6C0, 0x36000, 20}, {0x3B900, 0x3A000, 20},
                             {0x3BB40, 0x44800, 20}, {0x3BD80, 0x46000, 20}, {0x43000, 0x38800, 20},
                             {0x43240, 0x64000, 20}, {0x43480, 0x64000, 20}, {0x436C0, 0x64000, 20},
                             {0x43900, 0x64000, 20}, {0x47800, 0x65000, 20}, {0x47A40, 0x65000, 20},
                             {0x159DE, 0x149DE, 20}};
    for (int i = 0; i < 19; ++i) {
        SCOPED_TRACE(i);
        const std::string png = dir.File("m" + std::to_string(i) + ".png");
        const ToolRun run = Tool("render " + dir.File("rom.gb") + " " + std::to_string(i) + " " + png);
        ASSERT_EQ(run.code, 0) << run.err;
        EXPECT_TRUE(run.err.empty()) << run.err;
        const QImage image(QString::fromStdString(png));
        ASSERT_EQ(image.size(), QSize(256, maps[i][2] * 8));
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < 256; ++x)
                ASSERT_EQ(image.pixel(x, y), Expected(rom, maps[i][0], maps[i][1], x, y)) << x << "," << y;
    }

    // Scaled output keeps square pixels; the tileset is 128 x 128.
    ASSERT_EQ(Tool("render " + dir.File("rom.gb") + " 4 " + dir.File("s.png") + " --scale 3").code, 0);
    const QImage scaled(QString::fromStdString(dir.File("s.png")));
    EXPECT_EQ(scaled.size(), QSize(768, 480));
    EXPECT_EQ(scaled.pixel(5, 8), Expected(rom, 0x3B000, 0x38800, 1, 2));
    ASSERT_EQ(Tool("tileset " + dir.File("rom.gb") + " 0 " + dir.File("t.png") + " --scale 16").code, 0);
    EXPECT_EQ(QImage(QString::fromStdString(dir.File("t.png"))).size(), QSize(2048, 2048));
}

// Wrong usage exits 2, as --help says, and a file that cannot be read or
// written exits 1, each with one line on stderr and nothing on stdout; what
// succeeds exits 0 and says so on stdout. The editor's own command line is
// held to the same table: after `--` even "--help" is a ROM's name, so the
// editor reaches for a window (and, with no display here, fails; the help
// needs none).
TEST(MapTool, AnswersEachCommandLineWithItsExitCode) {
    test::TempDir dir;
    test::WriteFile(dir.File("rom.gb"), test::PatternRom());
    const std::string rom = dir.File("rom.gb"), out = dir.File("o.png");
    const std::string png("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x80\0\0\0\x80\x08\0\0\0\0"  // its checksum wrong
                          "\0\0\0\0\0\0\0\0IEND\xae\x42\x60\x82", 45);
    test::WriteFile(dir.File("bad.png"), RomImage(png.begin(), png.end()));
    ASSERT_EQ(mkfifo(dir.File("pipe").c_str(), 0600), 0);
    // The ROM's own tileset picture, padded to the image reader's limit and one byte past it.
    ASSERT_EQ(Tool("tileset " + rom + " 0 " + dir.File("t.png")).code, 0);
    RomImage padded = test::ReadFile(dir.File("t.png"));
    padded.resize(8 * 1024 * 1024);
    test::WriteFile(dir.File("8mib.png"), padded);
    padded.push_back(0);
    test::WriteFile(dir.File("over.png"), padded);
    const std::string editor =
        "ulimit -c 0; env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " QUILL2_MAPEDITOR " ";
    struct Case {
        std::string args;  // the tool's, or a whole command line after `editor`
        int code;
        std::string says = {};  // part of stdout when it succeeds, of stderr when not
    };
    const Case cases[] = {
        {"", 2},                                      // no command
        {"frobnicate", 2},                            // unknown command
        {"list extra", 2},                            // argument count
        {"render " + rom + " 0", 2},                  // argument count
        {"render " + rom + " 0 " + out + " extra", 2},
        {"render " + rom + " 19 " + out, 2},          // index past the catalogue
        {"render " + rom + " -1 " + out, 2},          // negative index
        {"render " + rom + " x " + out, 2},           // not a number
        {"render " + rom + " 0 " + out + " --scale 0", 2},
        {"render " + rom + " 0 " + out + " --scale 17", 2},
        {"render " + dir.File("none.gb") + " 0 " + out, 1},  // missing file
        {"render " + dir.Path().string() + " 0 " + out, 1},  // a folder
        {"render " + rom + " 0 " + dir.File("no/such/dir.png"), 1},
        {"demo-rom", 2},
        {"demo-rom " + dir.File("a.gb") + " " + dir.File("b.gb"), 2},
        {"demo-rom " + dir.File("no/such/dir.gb"), 1},
        {"demo-rom " + rom + "/below-a-file.gb", 1},
        {"export " + rom + " 0", 2},
        {"export " + rom + " 0 " + dir.File("m.txt"), 2},  // no Tiled format by that name
        {"export " + rom + " --all", 2},
        {"export " + rom + " 0 " + dir.File("no/such/m.tmx"), 1},
        {"import " + rom + " 0", 2},
        {"import " + rom + " 0 " + dir.File("m.tmx") + " extra", 2},
        {"import " + rom + " 0 " + dir.File("m.png"), 2},
        {"import-tiles " + rom + " 0", 2},
        {"import-tiles " + rom + " 0 " + dir.File("none.png"), 1},  // missing image
        {"import-tiles " + rom + " 0 " + dir.Path().string(), 1},   // a folder
        {"import-tiles " + rom + " 0 " + dir.File("pipe"), 1},      // a named pipe, refused, not waited on
        {"import-tiles " + rom + " 0 " + dir.File("bad.png"), 1},   // libpng's own complaint kept quiet
        {"demo-rom " + dir.File("a.gb") + " --frob", 2},            // unknown option, anywhere
        {"--frob list", 2},
        {"render " + rom + " 0 " + out + " --scale", 2},            // no value
        {"help frobnicate", 2},
        {"diff " + rom + " " + rom + " --map 0", 2, "--map and -o go together"},
        {"diff " + rom + " " + dir.File("none.gb"), 2},  // an error, not a difference
        {"make-patch " + rom + " " + rom + " " + dir.File("p.txt"), 2, "must end in .bps or .ips"},
        {"apply-patch " + dir.File("none.bps") + " " + rom + " " + out, 1},
        {"apply-patch " + rom + " " + rom + " " + dir.File("r.gb"), 1, "not a BPS or IPS patch"},
        {"usage " + rom + " extra", 2},
        {"help render extra", 2, "help takes one command's name"},
        {"import-tiles " + rom + " 0 " + dir.File("over.png"), 1, "over 8 MiB"},
        {"import-tiles " + rom + " 0 " + dir.File("8mib.png") + " --dry-run", 0, "0 tiles would change"},
        {"--version", 0, "quill2-maptool " QUILL2_VERSION "\n"},
        {editor + "--help", 0, "Usage: "},
        {editor + "-- --help || exit 3", 3},  // any failure to start a window
    };
    for (const Case& c : cases) {
        const bool ofEditor = c.args.starts_with(editor);
        const ToolRun run = ofEditor ? test::RunCommand(c.args) : Tool(c.args);
        EXPECT_EQ(run.code, c.code) << c.args << ": " << run.err;
        EXPECT_EQ(run.out.empty(), c.code != 0) << c.args << ": " << run.out;
        EXPECT_NE((c.code == 0 ? run.out : run.err).find(c.says), std::string::npos) << c.args;
        if (c.code != 0 && !ofEditor) {
            EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << c.args << ": " << run.err;
        }
    }

    // A file cut short before a map's data: refused, not read past its end.
    RomImage shortRom = test::PatternRom();
    shortRom.resize(0x37200);
    test::WriteFile(dir.File("short.gb"), shortRom);
    ToolRun run = Tool("render " + dir.File("short.gb") + " 0 " + out);
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.find("outside the file"), std::string::npos) << run.err;
    EXPECT_EQ(Tool("render " + dir.File("short.gb") + " 18 " + out).code, 0);  // this one fits

    // A failed title check still renders, with a warning.
    RomImage untitled = test::PatternRom();
    untitled[308] = 'q';
    test::WriteFile(dir.File("untitled.gb"), untitled);
    run = Tool("render " + dir.File("untitled.gb") + " 0 " + out);
    EXPECT_EQ(run.code, 0);
    EXPECT_NE(run.err.find("warning"), std::string::npos);

    run = Tool("--help");
    EXPECT_EQ(run.code, 0);
    for (const char* command : {"list", "render", "tileset", "demo-rom", "export", "import", "import-tiles", "diff",
                                "make-patch", "apply-patch", "usage", "--all",
                                "--dry-run", "--scale", "--version"})
        EXPECT_NE(run.out.find(command), std::string::npos) << command;
}

// Faults caught: an option after a command taken as a file name (demo-rom
// --help writing a ROM called "--help"), `--` not ending the options, a
// command's help not its own.
TEST(MapTool, ReadsItsCommandLineAsUsersExpect) {
    test::TempDir dir;
    const std::string tool = "cd " + dir.Path().string() + " && XDG_STATE_HOME=" + test::ToolStateHome() + " " +
                             QUILL2_MAPTOOL + " ";
    for (const std::string command : {"list", "render", "tileset", "demo-rom", "export", "import", "import-tiles",
                                      "diff", "make-patch", "apply-patch", "usage"})
        for (const std::string& help : {command + " --help", command + " x -h", "help " + command}) {
            const ToolRun run = test::RunCommand(tool + help);
            EXPECT_EQ(run.code, 0) << help << ": " << run.err;
            EXPECT_EQ(run.out.substr(0, run.out.find_first_of(" \n", 22)), "Usage: quill2-maptool " + command) << help;
        }
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));  // demo-rom --help wrote nothing

    EXPECT_EQ(test::RunCommand(tool + "demo-rom --no-backup -- -x.gb").code, 0);
    EXPECT_TRUE(std::filesystem::exists(dir.File("-x.gb")));
}

TEST(MapTool, DemoRomIsAnExpectedRom) {
    test::TempDir dir;
    test::WriteFile(dir.File("demo.gb"), {});  // an empty file, as `touch` leaves it, is written over
    ASSERT_EQ(Tool("demo-rom " + dir.File("demo.gb")).code, 0);
    const RomImage demo = test::ReadFile(dir.File("demo.gb"));
    EXPECT_EQ(demo.size(), 524288u);
    EXPECT_TRUE(IsExpectedRom(demo));
    for (int i = 0; i < 19; ++i)
        EXPECT_EQ(Tool("render " + dir.File("demo.gb") + " " + std::to_string(i) + " " + dir.File("d.png")).code, 0);
}

// Faults caught: a ROM written over (by import or demo-rom) with no copy of
// it kept first, or written although no copy could be made.
TEST(MapTool, ARomIsBackedUpBeforeItIsWrittenOver) {
    namespace fs = std::filesystem;
    test::TempDir dir;
    const std::string rom = dir.File("game.gb"), map = dir.File("map.tmx");
    const RomImage before = test::PatternRom();
    test::WriteFile(rom, before);
    ASSERT_EQ(Tool("export " + rom + " 4 " + map).code, 0);
    const RomImage exported = test::ReadFile(map);
    std::string tmx(exported.begin(), exported.end());
    const size_t first = tmx.find_first_of("0123456789", tmx.find("encoding=\"csv\">") + 15);  // cell (0, 0)
    tmx.replace(first, tmx.find(',', first) - first, tmx.compare(first, 2, "1,") == 0 ? "2" : "1");
    test::WriteFile(map, RomImage(tmx.begin(), tmx.end()));

    const std::string blocked = dir.File("blocked"), state = dir.File("state");
    test::WriteFile(blocked, {1});  // a file where the state folder would be
    const std::string import = "import " + rom + " 4 " + map;
    ToolRun refused = test::MapTool(import, blocked);
    EXPECT_EQ(refused.code, 1);
    EXPECT_NE(refused.err.find("no backup of " + rom), std::string::npos) << refused.err;
    EXPECT_EQ(test::ReadFile(rom), before);

    ASSERT_EQ(test::MapTool(import, state).code, 0);
    const RomImage imported = test::ReadFile(rom);
    ASSERT_NE(imported, before);
    // A demo-rom write that fails part way leaves the file whole and nothing beside it.
    const size_t entries = std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator());
    const ToolRun cut = test::RunCommand("trap '' XFSZ; ulimit -f 64; " + std::string(QUILL2_MAPTOOL) +
                                         " demo-rom --no-backup " + rom);
    EXPECT_EQ(cut.code, 1);
    EXPECT_NE(cut.err.find("File too large"), std::string::npos) << cut.err;
    EXPECT_EQ(test::ReadFile(rom), imported);
    EXPECT_EQ(size_t(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator())), entries);

    ASSERT_EQ(test::MapTool("demo-rom " + rom, state).code, 0);
    std::vector<RomImage> copies;
    for (const auto& entry : fs::directory_iterator(state + "/quill2-mapeditor/backups"))
        copies.push_back(test::ReadFile(entry.path().string()));
    EXPECT_EQ(copies.size(), 2u);
    EXPECT_NE(std::find(copies.begin(), copies.end(), before), copies.end());
    EXPECT_NE(std::find(copies.begin(), copies.end(), imported), copies.end());

    const RomImage demo = test::ReadFile(rom);
    EXPECT_EQ(test::MapTool(import + " --no-backup", blocked).code, 0);  // the user's word: written without one
    EXPECT_NE(test::ReadFile(rom), demo);
}

// Faults caught: import-tiles changing bytes of tiles nobody touched (planes
// swapped, rows out of place, a scaled image misread), writing when no tile
// changed, a repainted tile written to the wrong record or wrongly, a dry run
// that writes, no backup kept.
TEST(MapTool, ImportTilesChangesExactlyTheRepaintedTiles) {
    test::TempDir dir;
    const std::string rom = dir.File("rom.gb"), png = dir.File("tiles.png"), state = dir.File("state");
    const RomImage before = test::PatternRom();
    test::WriteFile(rom, before);
    const std::string import = "import-tiles " + rom + " 4 ";
    for (int i = 0; i < 19; ++i) {  // each tileset comes back unchanged
        const std::string index = " " + std::to_string(i) + " ";
        ASSERT_EQ(test::MapTool("tileset " + rom + index + png + (i == 5 ? " --scale 3" : ""), state).code, 0);
        const ToolRun run = test::MapTool("import-tiles " + rom + index + png, state);
        EXPECT_EQ(run.out.rfind("0 tiles changed in tiles ", 0), 0u) << i << ": " << run.out << run.err;
    }

    ASSERT_EQ(test::MapTool("tileset " + rom + " 4 " + png + " --scale 2", state).code, 0);
    QImage image(QString::fromStdString(png));
    const std::set<int> repainted = {0, 77, 255};
    for (int tile : repainted) {  // one tile pixel, a 2 x 2 block, to another shade
        const QPoint at(2 * ((tile % 16) * 8 + 3), 2 * ((tile / 16) * 8 + 5));
        const QRgb colour = image.pixel(at) == qRgb(0, 0, 0) ? qRgb(176, 176, 176) : qRgb(0, 0, 0);
        for (int d = 0; d < 4; ++d) image.setPixel(at + QPoint(d % 2, d / 2), colour);
    }
    ASSERT_TRUE(image.save(QString::fromStdString(png)));
    ToolRun run = test::MapTool(import + png + " --dry-run", state);
    EXPECT_EQ(run.out, "3 tiles would change in tiles 38800-397FF, used by maps 4, 11; nothing written (dry run)\n");
    EXPECT_EQ(test::ReadFile(rom), before);
    run = test::MapTool(import + png, state);
    EXPECT_EQ(run.out, "3 tiles changed in tiles 38800-397FF, used by maps 4, 11\n") << run.err;

    const RomImage after = test::ReadFile(rom);
    ASSERT_EQ(after.size(), before.size());
    std::set<int> changed;
    for (size_t i = 0; i < after.size(); ++i)
        if (after[i] != before[i]) changed.insert(i < 0x38800 ? -1 : (int(i) - 0x38800) / 16);
    EXPECT_EQ(changed, repainted);
    ASSERT_EQ(test::MapTool("tileset " + rom + " 4 " + png + " --scale 2", state).code, 0);
    EXPECT_EQ(QImage(QString::fromStdString(png)), image);  // the new tiles read back as painted
    const auto backups = std::filesystem::directory_iterator(state + "/quill2-mapeditor/backups");
    ASSERT_EQ(std::distance(begin(backups), end(backups)), 1);  // one copy, of the file before the write
    EXPECT_EQ(test::ReadFile(std::filesystem::directory_iterator(state + "/quill2-mapeditor/backups")->path()), before);
}
