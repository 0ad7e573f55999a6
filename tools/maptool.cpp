// SPDX-License-Identifier: MIT
// quill2-maptool: the editor's catalogue, decoder and renderer on the command
// line, for scripting ROM work and for trying the program without a game.

#include "app/Catalogue.h"
#include "app/Rom.h"
#include "demo_rom.h"
#include "map/MapGrid.h"
#include "map/MapRender.h"
#include "tiles/Tileset.h"

#include <QImage>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr char kUsage[] =
    "Usage: quill2-maptool COMMAND [ARGUMENTS]\n"
    "\n"
    "Commands:\n"
    "  list                                 Print the map catalogue: index, kind, name,\n"
    "                                       map offset, tileset first and last (hexadecimal).\n"
    "  render ROM INDEX OUT.png [--scale N] Draw map INDEX of ROM as the editor shows it\n"
    "                                       (256 x 256, or 256 x 160 for a sub-map, times N).\n"
    "  tileset ROM INDEX OUT.png [--scale N]\n"
    "                                       Draw the 128 x 128 tileset of map INDEX.\n"
    "  demo-rom OUT.gb                      Write a demo ROM image to try the editor with.\n"
    "  --help                               Show this text.\n"
    "\n"
    "N is a whole number from 1 to 16 (default 1); scaling keeps square pixels.\n"
    "Exit code 0 on success; otherwise a message on standard error and code 1\n"
    "(2 for wrong usage).\n";

struct UsageError {
    std::string message;
};
struct Failure {
    std::string message;
};

int ParseNumber(const std::string& text, int low, int high, const char* what) {
    size_t used = 0;
    int value = 0;
    try {
        value = std::stoi(text, &used);
    } catch (...) {
        used = 0;
    }
    if (used == 0 || used != text.size() || value < low || value > high)
        throw UsageError{std::string("bad ") + what + " '" + text + "' (expected " + std::to_string(low) +
                         " to " + std::to_string(high) + ")"};
    return value;
}

q2::MapCatalogue Catalogue() {
    q2::CatalogueResult result = q2::LoadMapCatalogue();
    if (!result.ok) throw Failure{result.error};
    return std::move(result.catalogue);
}

std::string Hex(int32_t value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%05X", unsigned(value));
    return buffer;
}

int List(const std::vector<std::string>& args) {
    if (args.size() != 1) throw UsageError{"list takes no arguments"};
    const q2::MapCatalogue catalogue = Catalogue();
    for (size_t i = 0; i < catalogue.entries.size(); ++i) {
        const q2::MapEntry& e = catalogue.entries[i];
        std::cout << i << '\t' << (e.IsSubMap ? "NEWSUBMAP" : "NEWMAP") << '\t' << catalogue.names[i] << '\t'
                  << Hex(e.MapOffset) << '\t' << Hex(e.TilesetFirst) << '\t' << Hex(e.TilesetLast) << '\n';
    }
    return 0;
}

void SavePng(const QImage& image, int scale, const std::string& out) {
    QImage picture = scale == 1 ? image
                                : image.scaled(image.width() * scale, image.height() * scale,
                                               Qt::IgnoreAspectRatio, Qt::FastTransformation);
    if (!picture.save(QString::fromStdString(out), "PNG"))
        throw Failure{"cannot write " + out};
}

// render and tileset: ROM INDEX OUT.png [--scale N]
int Draw(const std::vector<std::string>& args, bool wholeMap) {
    std::vector<std::string> positional;
    int scale = 1;
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--scale") {
            if (++i == args.size()) throw UsageError{"--scale needs a number"};
            scale = ParseNumber(args[i], 1, 16, "scale");
        } else {
            positional.push_back(args[i]);
        }
    }
    if (positional.size() != 3) throw UsageError{args[0] + " takes ROM INDEX OUT.png [--scale N]"};
    const q2::MapCatalogue catalogue = Catalogue();
    const int index = ParseNumber(positional[1], 0, int(catalogue.entries.size()) - 1, "map index");

    q2::RomReadResult rom = q2::ReadRomFile(positional[0]);
    if (!rom.ok()) throw Failure{rom.message};
    if (!q2::IsExpectedRom(rom.bytes))
        std::cerr << "quill2-maptool: warning: " << positional[0]
                  << " may not be a Quillmoor 2 ROM (size or title differs)\n";

    const q2::MapEntry& entry = catalogue.entries[size_t(index)];
    const std::string where = "map " + std::to_string(index) + " (" + catalogue.names[size_t(index)] + ")";
    if (!q2::MapEntryFits(entry, rom.bytes.size())) throw Failure{where + " lies outside the file"};

    q2::cDIBSection tileset;
    q2::BuildTileset(tileset, rom.bytes, entry.TilesetFirst, entry.TilesetLast);
    if (!wholeMap) {
        SavePng(tileset.Image(), scale, positional[2]);
        return 0;
    }
    q2::MapGrid grid;
    q2::DecodeMap(rom.bytes, entry.MapOffset, entry.IsSubMap, grid);
    q2::cDIBSection map;
    map.Create(q2::kMapColumns * q2::kTileSize, grid.Rows() * q2::kTileSize);
    q2::DrawMap(grid, tileset, map);
    SavePng(map.Image(), scale, positional[2]);
    return 0;
}

int DemoRom(const std::vector<std::string>& args) {
    if (args.size() != 2) throw UsageError{"demo-rom takes OUT.gb"};
    const q2::RomImage rom = q2::MakeDemoRom();
    std::ofstream out(args[1], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(rom.data()), std::streamsize(rom.size()));
    out.close();
    if (!out) throw Failure{"cannot write " + args[1]};
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    try {
        if (args.empty()) throw UsageError{"no command given"};
        const std::string& command = args[0];
        if (command == "--help" || command == "-h" || command == "help") {
            std::cout << kUsage;
            return 0;
        }
        if (command == "list") return List(args);
        if (command == "render") return Draw(args, true);
        if (command == "tileset") return Draw(args, false);
        if (command == "demo-rom") return DemoRom(args);
        throw UsageError{"unknown command '" + command + "'"};
    } catch (const UsageError& e) {
        std::cerr << "quill2-maptool: " << e.message << " (see quill2-maptool --help)\n";
        return 2;
    } catch (const Failure& e) {
        std::cerr << "quill2-maptool: " << e.message << '\n';
        return 1;
    }
}
