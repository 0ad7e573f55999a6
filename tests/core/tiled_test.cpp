// SPDX-License-Identifier: MIT
// Tiled map files in and out of the tool: the bad files import refuses, every
// layer encoding it reads, and checks against Tiled itself (tiled and
// tmxrasterizer). Those are skipped when Tiled is not installed, and fail
// instead when QUILL2_REQUIRE_TILED is set (scripts/test.d/40-tiled).
#include "TiledMap.h"
#include "app/Catalogue.h"
#include "support/Command.h"
#include "support/Compress.h"
#include "support/TestFiles.h"
#include "tiles/Tileset.h"

#include <QByteArray>
#include <QImage>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <cstring>
#include <regex>

using namespace q2;

namespace {

constexpr int kSubMap = 4, kSubMapOffset = 0x3B000;  // Lantern Zone, 20 rows

test::CommandRun Tool(const std::string& args) { return test::MapTool(args); }

// Tiled's programs, with their settings kept in folder.
test::CommandRun Tiled(const std::string& args, const test::TempDir& folder) {
    const std::string home = folder.Path().string();
    return test::RunCommand("XDG_CONFIG_HOME=" + home + " XDG_RUNTIME_DIR=" + home + " QT_QPA_PLATFORM=offscreen " +
                            args);
}

// True when Tiled's programs can be run. Without them the checks against
// Tiled are left out, or fail when QUILL2_REQUIRE_TILED is set.
bool UseTiled() {
    static const bool found = test::RunCommand("command -v tiled && command -v tmxrasterizer").code == 0;
    if (!found && std::getenv("QUILL2_REQUIRE_TILED")) ADD_FAILURE() << "tiled or tmxrasterizer is not installed";
    return found;
}
#define REQUIRE_TILED() \
    if (!UseTiled()) GTEST_SKIP() << "Tiled is not installed (scripts/setup --tiled)"

std::string Text(const std::string& path) {
    const RomImage bytes = test::ReadFile(path);
    return {bytes.begin(), bytes.end()};
}
void Save(const std::string& path, const std::string& text) {
    test::WriteFile(path, RomImage(text.begin(), text.end()));
}

// text with the first match of pattern replaced; a pattern that matches nothing fails the test.
std::string Edit(const std::string& text, const std::string& pattern, const std::string& with) {
    std::smatch match;
    if (!std::regex_search(text, match, std::regex(pattern))) {
        ADD_FAILURE() << "nothing matches " << pattern;
        return text;
    }
    return match.prefix().str() + with + match.suffix().str();
}

// From the first begin to the first end after it. (A regular expression for
// a whole element recurses once a character in libstdc++, and overflows the
// stack on a map's data under the address sanitizer.)
struct Span {
    const char* begin;
    const char* end;
};
std::string Edit(const std::string& text, Span span, const std::string& with) {
    const size_t a = text.find(span.begin), b = a == std::string::npos ? a : text.find(span.end, a);
    if (b == std::string::npos) {
        ADD_FAILURE() << "no " << span.begin << " ... " << span.end;
        return text;
    }
    return text.substr(0, a) + with + text.substr(b + std::strlen(span.end));
}

// The map's cells as gids, worked out here from the bytes: tile b XOR 0x80, plus one.
std::vector<uint32_t> Gids(const RomImage& rom, int offset, int rows) {
    std::vector<uint32_t> gids;
    for (int i = 0; i < 32 * rows; ++i) gids.push_back((rom[size_t(offset + i)] ^ 0x80u) + 1);
    return gids;
}

std::string Csv(const std::vector<uint32_t>& gids) {
    std::string csv;
    for (uint32_t gid : gids) csv += (csv.empty() ? "" : ",") + std::to_string(gid);
    return csv;
}

// Gids as base64 text, compressed first unless encoding is plain "base64".
std::string Base64(const std::string& encoding, const std::vector<uint32_t>& gids) {
    std::string raw;
    for (uint32_t gid : gids)
        for (int shift = 0; shift < 32; shift += 8) raw += char(gid >> shift);
    raw = test::Compressed(raw, encoding);
    return QByteArray::fromStdString(raw).toBase64().toStdString();
}

// A <data> element holding gids in one of the encodings Tiled writes, laid
// out as Tiled lays it out (base64 on a line of its own).
std::string Data(const std::string& encoding, const std::vector<uint32_t>& gids) {
    if (encoding == "csv") return "<data encoding=\"csv\">\n" + Csv(gids) + "\n</data>";
    if (encoding == "xml") {
        std::string tiles;
        for (uint32_t gid : gids) tiles += "\n   <tile gid=\"" + std::to_string(gid) + "\"/>";
        return "<data>" + tiles + "\n  </data>";
    }
    const std::string compression = encoding == "base64" ? "" : " compression=\"" + encoding + "\"";
    return "<data encoding=\"base64\"" + compression + ">\n   " + Base64(encoding, gids) + "\n  </data>";
}

// The same in a JSON layer, replacing its "data" array.
std::string JsonData(const std::string& encoding, const std::vector<uint32_t>& gids) {
    const std::string compression = encoding == "base64" ? "" : "\"compression\": \"" + encoding + "\", ";
    return "\"encoding\": \"base64\", " + compression + "\"data\": \"" + Base64(encoding, gids) + "\"";
}

const Span kData{"<data", "</data>"};
const Span kTileset{"<tileset", "</tileset>"};
const Span kJsonData{"\"data\": [", "]"};
const Span kJsonTilesets{"\"tilesets\": [", "]"};

// A pattern ROM with the sub-map exported as base.tmx and base.tmj.
struct Exported {
    test::TempDir dir;
    RomImage rom = test::PatternRom();
    std::string romPath = dir.File("rom.gb");
    std::vector<uint32_t> gids = Gids(rom, kSubMapOffset, kSubMapRows);
    std::string tmx, json;
    Exported() {
        test::WriteFile(romPath, rom);
        EXPECT_EQ(Tool("export " + romPath + " 4 " + dir.File("base.tmx")).code, 0);
        EXPECT_EQ(Tool("export " + romPath + " 4 " + dir.File("base.tmj")).code, 0);
        tmx = Text(dir.File("base.tmx"));
        json = Text(dir.File("base.tmj"));
    }
    std::string WithGid(size_t cell, uint32_t gid) const {
        std::vector<uint32_t> edited = gids;
        edited[cell] = gid;
        return Edit(tmx, kData, Data("csv", edited));
    }
};

} // namespace

TEST(TiledImport, RefusesBadFilesAndLeavesTheRomAlone) {
    const Exported e;
    std::vector<uint32_t> longer = e.gids, shorter = e.gids;
    longer.push_back(1);
    shorter.pop_back();
    const struct {
        std::string name, text, says;
    } bad[] = {
        {"iso.tmx", Edit(e.tmx, "orthogonal", "isometric"), "isometric; only orthogonal"},
        {"infinite.tmx", Edit(e.tmx, "infinite=\"0\"", "infinite=\"1\""), "infinite"},
        {"chunks.tmx", Edit(e.tmx, kData, "<data encoding=\"csv\"><chunk x=\"0\" y=\"0\">1</chunk></data>"), "chunks"},
        {"nolayer.tmx", Edit(e.tmx, Span{"<layer", "</layer>"}, ""), "0 tile layers"},
        {"twolayers.tmx", Edit(e.tmx, "</layer>", "</layer><group><layer name=\"b\"/></group>"), "2 tile layers"},
        {"wide.tmx", Edit(e.tmx, "width=\"32\"", "width=\"33\""), "33 x 20 cells, expected 32 x 20"},
        {"tall.tmx", Edit(e.tmx, "height=\"20\"", "height=\"32\""), "32 x 32 cells, expected 32 x 20"},
        {"huge.tmx", Edit(e.tmx, "width=\"32\" height=\"20\"", "width=\"2000000000\" height=\"2000000000\""),
         "2000000000 x 2000000000 cells"},
        {"tiles16.tmx", Edit(e.tmx, "tilewidth=\"8\" tileheight=\"8\"", "tilewidth=\"16\" tileheight=\"16\""),
         "16 x 16 pixels"},
        {"twosets.tmx", Edit(e.tmx, "<tileset", "<tileset firstgid=\"257\" source=\"x.tsx\"/><tileset"), "2 tilesets"},
        {"count.tmx", Edit(e.tmx, "tilecount=\"256\"", "tilecount=\"128\""), "128 tiles in 16 columns"},
        {"columns.tmx", Edit(e.tmx, "columns=\"16\"", "columns=\"8\""), "256 tiles in 8 columns"},
        {"nosource.tmx", Edit(e.tmx, kTileset, "<tileset firstgid=\"1\" source=\"none.tsx\"/>"), "none.tsx: no such"},
        {"empty.tmx", e.WithGid(33, 0), "layer 'Map', cell (1, 1): the cell is empty"},
        {"past.tmx", e.WithGid(639, 257), "layer 'Map', cell (31, 19): gid 257"},
        {"flipped.tmx", e.WithGid(2, 0x80000001), "layer 'Map', cell (2, 0): the tile is flipped or rotated"},
        {"rotated.tmx", e.WithGid(3, 0x20000001), "layer 'Map', cell (3, 0): the tile is flipped or rotated"},
        {"broken.tmx", Edit(e.tmx, "</map>", ""), "not well-formed XML"},
        {"short.tmx", Edit(e.tmx, kData, Data("base64", shorter)), "decodes to 2556 bytes, expected 2560"},
        {"bomb.tmx", Edit(e.tmx, kData, Data("zlib", std::vector<uint32_t>(1 << 20, 1))), "more than 2560 bytes"},
        {"damaged.tmx", Edit(e.tmx, kData, "<data encoding=\"base64\" compression=\"zlib\">AAAAAAAA</data>"),
         "damaged"},
        {"long.tmx", Edit(e.tmx, kData, Data("csv", longer)), "more than 640 cells"},
        {"broken.tmj", e.json.substr(0, e.json.size() / 2), "not valid JSON"},
        {"notgid.tmj", Edit(e.json, "\"data\": \\[", "\"data\": [\"7\","), "layer 'Map', data item 0 is not a gid"},
        {"long.tmj", Edit(e.json, "\"data\": \\[", "\"data\": [1,"), "holds 641 cells, expected 640"},
        {"infinite.tmj", Edit(e.json, "\"infinite\": false", "\"infinite\": true"), "infinite"},
        // Where Tiled is stricter than the XML and JSON readers underneath.
        {"doctype.tmx", Edit(e.tmx, "<properties>", "<!DOCTYPE map><properties>"), "DOCTYPE after the root element"},
        {"doctypes.tmx", Edit(e.tmx, "<map", "<!DOCTYPE map><!DOCTYPE map><map"), "a second DOCTYPE"},
        {"base64array.tmj", Edit(e.json, "\"data\": \\[", "\"encoding\": \"base64\", \"data\": ["),
         "data is an array of gids, but its encoding is 'base64'"},
        {"string.tmj", Edit(e.json, kJsonData, "\"data\": \"" + Base64("base64", e.gids) + "\""),
         "data is a string, but no encoding is given"},
        // Messages that say what is wrong.
        {"back.tmx", Edit(e.tmx, kTileset, "<tileset firstgid=\"1\" source=\"back.tsx\"/>"),
         "its tileset " + e.dir.File("back.tsx") + " only refers on to 'back.tmx', the map itself,"},
        {"chain.tmx", Edit(e.tmx, kTileset, "<tileset firstgid=\"1\" source=\"chain.tsx\"/>"),
         "chain.tsx only refers on to 'base.tsx'"},
        {"maptileset.tmj", Edit(e.json, kJsonTilesets, "\"tilesets\": [{\"firstgid\": 1, \"source\": \"base.tmj\"}]"),
         "its tileset " + e.dir.File("base.tmj") + " is a Tiled map, not a tileset"},
        {"external.tmx",
         Edit(Edit(e.tmx, "<map", "<!DOCTYPE map [<!ENTITY cells SYSTEM \"cells.csv\">]><map"), kData,
              "<data encoding=\"csv\">&cells;</data>"),
         "'&cells;' stands for the file 'cells.csv', which is not read"},
        {"undeclared.tmx",
         Edit(Edit(e.tmx, "<map", "<!DOCTYPE map SYSTEM \"map.dtd\"><map"), kData, "<data encoding=\"csv\">&cells;</data>"),
         "layer 'Map': its data holds the entity '&cells;', which the file does not declare"},
    };
    Save(e.dir.File("back.tsx"), "<tileset firstgid=\"1\" source=\"back.tmx\"/>");
    Save(e.dir.File("chain.tsx"), "<tileset name=\"t\" source=\"base.tsx\"/>");
    for (const auto& b : bad) {
        const std::string path = e.dir.File(b.name);
        Save(path, b.text);
        const test::CommandRun run = Tool("import " + e.romPath + " 4 " + path);
        EXPECT_EQ(run.code, 1) << b.name;
        EXPECT_EQ(run.err.rfind("quill2-maptool: " + path, 0), 0u) << b.name << ": " << run.err;
        EXPECT_NE(run.err.find(b.says), std::string::npos) << b.name << ": " << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << b.name << ": " << run.err;
        EXPECT_EQ(test::ReadFile(e.romPath), e.rom) << b.name;
    }

    // Another entry's or another ROM's map: warned about, not refused.
    Save(e.dir.File("other.tmx"), Edit(Edit(e.tmx, "int\" value=\"4\"", "int\" value=\"5\""),
                                       "romTitle\" value=\"[^\"]*\"", "romTitle\" value=\"OTHER\""));
    const test::CommandRun run = Tool("import " + e.romPath + " 4 " + e.dir.File("other.tmx") + " --dry-run");
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_NE(run.err.find("exported from map 5 (Orchard Zone), not from map 4 (Lantern Zone)"), std::string::npos);
    EXPECT_NE(run.err.find("a ROM titled 'OTHER'"), std::string::npos) << run.err;
    EXPECT_NE(run.out.find("0 cells of map 4"), std::string::npos) << run.out;

    // The last tile of the tileset, gid 256, is taken; a dry run counts the
    // change and writes nothing, the import then writes it.
    const size_t cell = e.gids[0] == 256 ? 1 : 0;
    Save(e.dir.File("last.tmx"), e.WithGid(cell, 256));
    const test::CommandRun dry = Tool("import " + e.romPath + " 4 " + e.dir.File("last.tmx") + " --dry-run");
    EXPECT_EQ(dry.code, 0) << dry.err;
    EXPECT_NE(dry.out.find("1 cell of map 4 (Lantern Zone) would change"), std::string::npos) << dry.out;
    EXPECT_EQ(test::ReadFile(e.romPath), e.rom);
    EXPECT_EQ(Tool("import " + e.romPath + " 4 " + e.dir.File("last.tmx") + " --no-backup").code, 0);
    RomImage expected = e.rom;
    expected[kSubMapOffset + cell] = 0x7F;  // tile 255
    EXPECT_EQ(test::ReadFile(e.romPath), expected);
}

// Each layer encoding, and the tileset in a file of its own, read as written
// here and, with Tiled at hand, as Tiled writes the same map as .tmx and .json.
TEST(TiledImport, ReadsEveryEncodingAsTiledWritesIt) {
    const Exported e;
    MapGrid expected;
    ASSERT_TRUE(DecodeMap(e.rom, kSubMapOffset, true, expected));
    const std::string size = "tilewidth=\"8\" tileheight=\"8\" tilecount=\"256\" columns=\"16\"";
    const std::string image = "<image source=\"tiles-38800-397FF.png\" width=\"128\" height=\"128\"/>";
    Save(e.dir.File("t.tsx"), "<?xml version=\"1.0\"?><tileset name=\"t\" " + size + ">" + image + "</tileset>");
    Save(e.dir.File("t.tsj"), R"({"name":"t","tilewidth":8,"tileheight":8,"tilecount":256,"columns":16,)"
                              R"("image":"tiles-38800-397FF.png","imagewidth":128,"imageheight":128})");
    std::vector<std::pair<std::string, std::string>> files;
    for (const char* encoding : {"csv", "xml", "base64", "zlib", "gzip", "zstd"})
        files.emplace_back(std::string(encoding) + ".tmx", Edit(e.tmx, kData, Data(encoding, e.gids)));
    for (const char* encoding : {"base64", "zlib", "gzip", "zstd"})
        files.emplace_back(std::string(encoding) + ".tmj", Edit(e.json, kJsonData, JsonData(encoding, e.gids)));
    for (const char* tileset : {"t.tsx", "t.tsj"})
        files.emplace_back(std::string("external-") + tileset + ".tmx",
                           Edit(e.tmx, kTileset, std::string("<tileset firstgid=\"1\" source=\"") + tileset + "\"/>"));
    for (const auto& [name, text] : files) {
        std::vector<std::string> paths{e.dir.File(name)};
        Save(paths[0], text);
        for (const char* format : {"tmx", "json"}) {
            if (!UseTiled()) break;
            paths.push_back(e.dir.File("tiled-" + name + "." + format));
            const std::string command = std::string("tiled --export-map ") + format + " " + paths[0];
            EXPECT_EQ(Tiled(command + " " + paths.back(), e.dir).code, 0) << command;
        }
        for (const std::string& path : paths) {
            const tiled::ReadResult read = tiled::ReadMapFile(path, kSubMapRows);
            EXPECT_TRUE(read.ok) << read.error;
            EXPECT_EQ(read.grid, expected) << path;
        }
    }
}

// Faults caught: export --all leaving a map out or keeping '/', brackets or
// spaces of a display name in a file name; a map without the tileset image
// it names beside it, or with another range's tiles in it.
TEST(TiledExport, EveryMapWithItsTilesetBeside) {
    test::TempDir dir;
    const RomImage rom = test::PatternRom();
    test::WriteFile(dir.File("rom.gb"), rom);
    const std::string folder = dir.File("maps");
    const test::CommandRun run = Tool("export " + dir.File("rom.gb") + " --all " + folder);
    ASSERT_EQ(run.code, 0) << run.err;
    std::vector<std::string> maps;
    for (const auto& file : std::filesystem::directory_iterator(folder))
        if (file.path().extension() == ".tmx") maps.push_back(file.path().filename().string());
    std::sort(maps.begin(), maps.end());
    ASSERT_EQ(maps.size(), 19u);
    EXPECT_EQ(maps.front(), "00-Overworld-1-4.tmx");
    EXPECT_EQ(maps.back(), "18-Title-Screen.tmx");

    const MapCatalogue catalogue = ParseMapCatalogue(MAP_NAMES());
    for (size_t i = 0; i < maps.size(); ++i) {
        SCOPED_TRACE(maps[i]);
        EXPECT_TRUE(std::regex_match(maps[i], std::regex("[0-9][0-9](-[A-Za-z0-9]+)+\\.tmx"))) << maps[i];
        const MapEntry& entry = catalogue.entries[i];
        const std::string path = folder + "/" + maps[i];
        MapGrid expected;
        ASSERT_TRUE(DecodeMap(rom, entry.MapOffset, entry.IsSubMap, expected));
        const tiled::ReadResult read = tiled::ReadMapFile(path, MapRows(entry.IsSubMap));
        ASSERT_TRUE(read.ok) << read.error;
        EXPECT_EQ(read.grid, expected);
        EXPECT_EQ(read.index, int(i));

        std::smatch image;
        const std::string text = Text(path);
        ASSERT_TRUE(std::regex_search(text, image, std::regex("<image source=\"([^\"/]+)\"")));
        cDIBSection tiles;
        BuildTileset(tiles, rom, entry.TilesetFirst, entry.TilesetLast);
        const QImage written(QString::fromStdString(folder + "/" + image[1].str()));
        EXPECT_EQ(written.convertToFormat(QImage::Format_RGB32), tiles.Image().convertToFormat(QImage::Format_RGB32));
    }
}

TEST(TiledReference, RasterizerDrawsTheExportedMapsAsRenderDoes) {
    REQUIRE_TILED();
    const Exported e;
    for (const auto& [index, file] : {std::pair{0, "main.tmx"}, std::pair{kSubMap, "sub.tmj"}}) {
        const std::string map = e.dir.File(file), theirs = map + ".png", ours = map + ".ours.png";
        ASSERT_EQ(Tool("export " + e.romPath + " " + std::to_string(index) + " " + map).code, 0);
        ASSERT_EQ(Tiled("tmxrasterizer " + map + " " + theirs, e.dir).code, 0);
        ASSERT_EQ(Tool("render " + e.romPath + " " + std::to_string(index) + " " + ours).code, 0);
        const QImage a = QImage(QString::fromStdString(theirs)).convertToFormat(QImage::Format_RGB32);
        const QImage b = QImage(QString::fromStdString(ours)).convertToFormat(QImage::Format_RGB32);
        EXPECT_FALSE(a.isNull());
        EXPECT_EQ(a, b) << file;
    }
}

// Exported, rewritten by Tiled, imported into a copy: the same bytes. Then
// three cells changed in Tiled's file: exactly their bytes change.
TEST(TiledReference, RoundTripThroughTiledChangesOnlyEditedCells) {
    REQUIRE_TILED();
    const Exported e;
    const struct {
        int index, offset, rows;
        std::string ours, format, theirs;
        Span data;
    } trips[] = {
        {0, 0x37000, 32, "main.tmx", "tmx", "main-tiled.tmx", kData},
        {kSubMap, kSubMapOffset, kSubMapRows, "sub.tmj", "json", "sub-tiled.json", {"\"data\":[", "]"}},
    };
    for (const auto& t : trips) {
        const std::string index = std::to_string(t.index), copy = e.dir.File("copy.gb");
        const std::string ours = e.dir.File(t.ours), theirs = e.dir.File(t.theirs);
        test::WriteFile(copy, e.rom);
        ASSERT_EQ(Tool("export " + e.romPath + " " + index + " " + ours).code, 0);
        ASSERT_EQ(Tiled("tiled --export-map " + t.format + " " + ours + " " + theirs, e.dir).code, 0);
        test::CommandRun run = Tool("import " + copy + " " + index + " " + theirs);
        EXPECT_EQ(run.code, 0) << run.err;
        EXPECT_EQ(test::ReadFile(copy), e.rom) << t.theirs;

        std::vector<uint32_t> gids = Gids(e.rom, t.offset, t.rows);
        RomImage expected = e.rom;
        for (size_t cell : {size_t(0), size_t(100), gids.size() - 1}) {
            expected[t.offset + cell] ^= 0x55;
            gids[cell] = (expected[t.offset + cell] ^ 0x80u) + 1;
        }
        const std::string data = t.format == "tmx" ? Data("csv", gids) : "\"data\":[" + Csv(gids) + "]";
        Save(theirs, Edit(Text(theirs), t.data, data));
        run = Tool("import " + copy + " " + index + " " + theirs);
        EXPECT_EQ(run.code, 0) << run.err;
        EXPECT_NE(run.out.find("3 cells changed"), std::string::npos) << run.out;
        EXPECT_EQ(test::ReadFile(copy), expected) << t.theirs;
    }
}
