// SPDX-License-Identifier: MIT
// Writes the fuzzers' seed inputs into the folder given.
//
// FOLDER/rom: the demo ROM, and images cut or grown around the sizes that
// matter (nothing, the title, the cartridge size, the largest input the
// fuzzer takes).
//
// FOLDER/patch: BPS and IPS patches of the patch fuzzer's source image, and
// pairs of images to make patches between (see PatchChecks.h).
//
// FOLDER/import: a main map and a sub-map of the demo ROM exported as Tiled
// maps, .tmx and .tmj, with their layer data in every encoding Tiled writes
// and with the tileset in a file of its own, and their tileset pictures as
// PNG files; each behind the key byte of its reader (see ImportChecks.h).
#include "Compress.h"
#include "ExportNames.h"
#include "PatchChecks.h"
#include "TiledMap.h"
#include "demo_rom.h"

#include "app/Catalogue.h"
#include "app/RomHeader.h"

#include "platform/DIBSection.h"
#include "tiles/Tileset.h"

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>


#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

void Write(const fs::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", file.c_str());
        std::exit(1);
    }
}

std::string Text(const QByteArray& bytes) { return bytes.toStdString(); }

// The grid's cells as gids, 4 bytes each, least significant first.
std::string RawGids(const q2::MapGrid& grid) {
    std::string raw;
    for (int y = 0; y < grid.Rows(); ++y)
        for (int x = 0; x < grid.Columns(); ++x) {
            const uint32_t gid = uint32_t(grid(x, y, 1)) * 16 + grid(x, y, 0) + 1;
            for (int shift = 0; shift < 32; shift += 8) raw += char(gid >> shift);
        }
    return raw;
}

std::string Base64(const q2::MapGrid& grid, const std::string& compression) {
    const std::string raw = RawGids(grid);
    return QByteArray::fromStdString(compression.empty() ? raw : q2::test::Compressed(raw, compression)).toBase64().toStdString();
}

// text with [from, to] (the first from and the first to after it) replaced.
std::string Replace(const std::string& text, const std::string& from, const std::string& to, const std::string& with) {
    const size_t a = text.find(from), b = text.find(to, a);
    if (a == std::string::npos || b == std::string::npos) {
        std::fprintf(stderr, "the exported map has no %s\n", from.c_str());
        std::exit(1);
    }
    return text.substr(0, a) + with + text.substr(b + to.size());
}

void WriteImportSeeds(const fs::path& folder) {
    const q2::RomImage demo = q2::MakeDemoRom();
    const q2::MapCatalogue catalogue = q2::ParseMapCatalogue(q2::MAP_NAMES());
    const std::string compressions[] = {"", "zlib", "gzip", "zstd"};
    for (const int index : {0, 4}) {  // a main map (32 rows) and a sub-map (20)
        const q2::MapEntry& entry = catalogue.entries.at(size_t(index));
        q2::MapGrid grid;
        q2::DecodeMap(demo, entry.MapOffset, entry.IsSubMap, grid);
        const q2::tiled::Origin origin{index, catalogue.names.at(size_t(index)), entry.MapOffset,
                                       q2::RomTitle(demo)};
        const std::string image = q2::tiled::TilesetImageName(entry);
        const std::string stem = "map" + std::to_string(index);
        const std::string tmxKey(1, entry.IsSubMap ? 'T' : 't'), jsonKey(1, entry.IsSubMap ? 'J' : 'j');

        // .tmx: CSV as exported, tile elements, base64 plain and compressed;
        // the tileset in a .tsx after a NUL byte.
        const std::string tmx = Text(q2::tiled::WriteMap(q2::tiled::Format::Tmx, grid, origin, image));
        Write(folder / (stem + "-csv.tmx"), tmxKey + tmx);
        std::string tiles;
        for (int y = 0; y < grid.Rows(); ++y)
            for (int x = 0; x < grid.Columns(); ++x)
                tiles += "\n   <tile gid=\"" + std::to_string(grid(x, y, 1) * 16 + grid(x, y, 0) + 1) + "\"/>";
        Write(folder / (stem + "-xml.tmx"), tmxKey + Replace(tmx, "<data", "</data>", "<data>" + tiles + "\n  </data>"));
        for (const std::string& compression : compressions) {
            const std::string attribute = compression.empty() ? "" : " compression=\"" + compression + "\"";
            const std::string data = "<data encoding=\"base64\"" + attribute + ">\n   " + Base64(grid, compression) +
                                     "\n  </data>";
            Write(folder / (stem + "-base64" + compression + ".tmx"), tmxKey + Replace(tmx, "<data", "</data>", data));
        }
        const size_t a = tmx.find("<tileset"), b = tmx.find("</tileset>") + 10;
        std::string tsx = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + tmx.substr(a, b - a) + "\n";
        tsx = Replace(tsx, "firstgid=", "\" ", "");
        Write(folder / (stem + "-external.tmx"),
              tmxKey + Replace(tmx, "<tileset", "</tileset>", "<tileset firstgid=\"1\" source=\"tiles.tsx\"/>") +
                  '\0' + tsx);

        // .tmj: an array as exported, base64 plain and compressed; the
        // tileset in a .tsj after a NUL byte.
        const QByteArray json = q2::tiled::WriteMap(q2::tiled::Format::Json, grid, origin, image);
        Write(folder / (stem + "-array.tmj"), jsonKey + Text(json));
        QJsonObject map = QJsonDocument::fromJson(json).object();
        for (const std::string& compression : compressions) {
            QJsonArray layers = map.value("layers").toArray();
            QJsonObject layer = layers[0].toObject();
            layer["encoding"] = "base64";
            if (!compression.empty()) layer["compression"] = QString::fromStdString(compression);
            layer["data"] = QString::fromStdString(Base64(grid, compression));
            layers[0] = layer;
            QJsonObject encoded = map;
            encoded["layers"] = layers;
            Write(folder / (stem + "-base64" + compression + ".tmj"), jsonKey + Text(QJsonDocument(encoded).toJson()));
        }
        QJsonObject tileset = map.value("tilesets").toArray()[0].toObject();
        tileset.remove("firstgid");
        tileset["type"] = "tileset";
        QJsonObject external = map;
        external["tilesets"] = QJsonArray{QJsonObject{{"firstgid", 1}, {"source", "tiles.tsj"}}};
        Write(folder / (stem + "-external.tmj"),
              jsonKey + Text(QJsonDocument(external).toJson()) + '\0' + Text(QJsonDocument(tileset).toJson()));

        // The map's tileset picture as `tileset` writes it, at scales 1 and 2.
        q2::cDIBSection surface;
        q2::BuildTileset(surface, demo, entry.TilesetFirst, entry.TilesetLast);
        for (const int scale : {1, 2}) {
            QByteArray png;
            QBuffer buffer(&png);
            buffer.open(QIODevice::WriteOnly);
            surface.Image().scaled(surface.Image().size() * scale).save(&buffer, "PNG");
            Write(folder / (stem + "-tiles-x" + std::to_string(scale) + ".png"), "p" + Text(png));
        }
    }
}

void WriteRomSeeds(const fs::path& folder) {
    const q2::RomImage demo = q2::MakeDemoRom();
    const size_t sizes[] = {0, 1, 308, 318, 524287, 524288, 524289, 1048576};
    auto write = [&](const std::string& name, q2::RomImage bytes) {
        Write(folder / name, std::string(bytes.begin(), bytes.end()));
    };
    write("demo.gb", demo);
    for (size_t size : sizes) {
        q2::RomImage bytes = demo;
        bytes.resize(size, 0);
        write("size-" + std::to_string(size) + ".gb", bytes);
    }
}

void WritePatchSeeds(const fs::path& folder) {
    const std::vector<uint8_t> source = q2::fuzz::PatchSource();
    std::vector<uint8_t> edited = source;
    for (size_t i = 100; i < 140; ++i) edited[i] = 0xEE;  // a run of one byte
    edited[500] ^= 1;
    std::vector<uint8_t> grown = edited, cut(source.begin(), source.begin() + 600);
    grown.resize(1100, 3);
    int n = 0;
    for (const auto* target : {&edited, &grown, &cut})
        for (const q2::patch::Made& made : {q2::patch::MakeBps(source, *target), q2::patch::MakeIps(source, *target)})
            Write(folder / ("patch" + std::to_string(n++)), "a" + std::string(made.bytes.begin(), made.bytes.end()));
    std::string laws = "l\x04\x00" + std::string(source.begin(), source.end()) + std::string(edited.begin(), edited.end());
    Write(folder / "laws", laws);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const fs::path folder = argv[1];
    fs::create_directories(folder / "rom");
    fs::create_directories(folder / "import");
    fs::create_directories(folder / "patch");
    WritePatchSeeds(folder / "patch");
    WriteRomSeeds(folder / "rom");
    WriteImportSeeds(folder / "import");
    return 0;
}
