// SPDX-License-Identifier: MIT
// quill2-maptool: the editor's catalogue, decoder and renderer on the command
// line, for scripting ROM work and for trying the program without a game.

#include "app/Backup.h"
#include "app/Catalogue.h"
#include "app/Rom.h"
#include "demo_rom.h"
#include "map/MapGrid.h"
#include "map/MapRender.h"
#include "tiles/Tileset.h"
#include "TiledMap.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QSaveFile>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
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
    "  demo-rom OUT.gb [--no-backup]        Write a demo ROM image to try the editor with.\n"
    "  export ROM INDEX OUT                 Write map INDEX as a Tiled map: OUT.tmx (XML) or\n"
    "                                       OUT.tmj / OUT.json (JSON), with its tileset image\n"
    "                                       (tiles-FIRST-LAST.png) beside it.\n"
    "  export ROM --all OUTDIR              Write every map as OUTDIR/NN-Name.tmx, each\n"
    "                                       tileset image once; prints the map files.\n"
    "  import ROM INDEX IN [--dry-run] [--no-backup]\n"
    "                                       Put the cells of Tiled map IN (.tmx, .tmj or\n"
    "                                       .json) into map INDEX of ROM and print how many\n"
    "                                       changed; only that map's bytes are written.\n"
    "                                       --dry-run: count them, write nothing.\n"
    "  --help                               Show this text.\n"
    "\n"
    "N is a whole number from 1 to 16 (default 1); scaling keeps square pixels.\n"
    "A Tiled map to import is 32 cells wide and 32 (20 for a sub-map) high, of\n"
    "8 x 8 tiles, with one tile layer and one tileset of 256 tiles in 16 columns,\n"
    "no empty, flipped or rotated cells; anything else is refused, ROM untouched.\n"
    "Before a ROM file is written over, a copy of it is kept in\n"
    "$XDG_STATE_HOME/quill2-mapeditor/backups (~/.local/state/... by default), the\n"
    "newest 20 per file name; when no copy can be made nothing is written, unless\n"
    "--no-backup is given.\n"
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

int ParseIndex(const std::string& text, const q2::MapCatalogue& catalogue) {
    return ParseNumber(text, 0, int(catalogue.entries.size()) - 1, "map index");
}

std::string MapLabel(const q2::MapCatalogue& catalogue, int index) {
    return "map " + std::to_string(index) + " (" + catalogue.names[size_t(index)] + ")";
}

// The ROM file as it is on disk now, with a warning when it does not look
// like the game's.
q2::RomImage ReadRom(const std::string& path) {
    q2::RomReadResult rom = q2::ReadRomFile(path);
    if (!rom.ok()) throw Failure{rom.message};
    if (!q2::IsExpectedRom(rom.bytes))
        std::cerr << "quill2-maptool: warning: " << path << " may not be a Quillmoor 2 ROM (size or title differs)\n";
    return std::move(rom.bytes);
}

// Catalogue entry index, refused when its map or tiles do not all lie in rom.
const q2::MapEntry& FittingEntry(const q2::MapCatalogue& catalogue, int index, const q2::RomImage& rom) {
    const q2::MapEntry& entry = catalogue.entries[size_t(index)];
    if (!q2::MapEntryFits(entry, rom.size())) throw Failure{MapLabel(catalogue, index) + " lies outside the file"};
    return entry;
}

// Before a ROM file that is there is written over, a copy of it goes to the
// backups folder, as the editor makes before its first save. When no copy
// can be made nothing is written, unless the user said --no-backup.
void BackUp(const std::string& path, bool noBackup) {
    std::error_code ec;
    if (noBackup || !std::filesystem::is_regular_file(path, ec)) return;
    const q2::BackupResult backup = q2::BackupRomFile(path);
    if (!backup.ok)
        throw Failure{"no backup of " + path + " could be made, so nothing was written (" + backup.error +
                      "); --no-backup writes without one"};
}

// Every write into a ROM file goes through here: a backup first, then the
// whole image over the start of the file, read back and compared.
void WriteRom(const std::string& path, const q2::RomImage& image, bool noBackup) {
    BackUp(path, noBackup);
    std::string error;
    if (!q2::WriteRomFile(path, image, error)) throw Failure{error};
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
    const int index = ParseIndex(positional[1], catalogue);
    const q2::RomImage rom = ReadRom(positional[0]);
    const q2::MapEntry& entry = FittingEntry(catalogue, index, rom);

    q2::cDIBSection tileset;
    q2::BuildTileset(tileset, rom, entry.TilesetFirst, entry.TilesetLast);
    if (!wholeMap) {
        SavePng(tileset.Image(), scale, positional[2]);
        return 0;
    }
    q2::MapGrid grid;
    q2::DecodeMap(rom, entry.MapOffset, entry.IsSubMap, grid);
    q2::cDIBSection map;
    map.Create(q2::kMapColumns * q2::kTileSize, grid.Rows() * q2::kTileSize);
    q2::DrawMap(grid, tileset, map);
    SavePng(map.Image(), scale, positional[2]);
    return 0;
}

int DemoRom(const std::vector<std::string>& args) {
    const bool noBackup = args.size() == 3 && args[2] == "--no-backup";
    if (args.size() != 2 && !noBackup) throw UsageError{"demo-rom takes OUT.gb [--no-backup]"};
    const q2::RomImage rom = q2::MakeDemoRom();
    BackUp(args[1], noBackup);  // a ROM already there is replaced whole
    std::ofstream out(args[1], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(rom.data()), std::streamsize(rom.size()));
    out.close();
    if (!out) throw Failure{"cannot write " + args[1]};
    return 0;
}

// A whole file written under a temporary name and then put in place, so
// that a failed write leaves no half-written file.
void SaveFile(const std::string& path, const QByteArray& bytes) {
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw Failure{"cannot write " + path + ": " + file.errorString().toStdString()};
}

// Map index of rom as a Tiled map at out, its tileset image beside it unless
// that file is in images already (then it is added).
void ExportMap(const q2::RomImage& rom, const q2::MapCatalogue& catalogue, int index, const std::string& out,
               q2::tiled::Format format, std::set<std::string>& images) {
    const q2::MapEntry& entry = catalogue.entries[size_t(index)];
    const std::string imageName = q2::tiled::TilesetImageName(entry);
    const std::string imagePath = QDir(QFileInfo(QString::fromStdString(out)).path())
                                      .filePath(QString::fromStdString(imageName))
                                      .toStdString();
    if (images.insert(imagePath).second) {
        q2::cDIBSection tileset;
        q2::BuildTileset(tileset, rom, entry.TilesetFirst, entry.TilesetLast);
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        tileset.Image().save(&buffer, "PNG");
        SaveFile(imagePath, png);
    }
    q2::MapGrid grid;
    q2::DecodeMap(rom, entry.MapOffset, entry.IsSubMap, grid);
    const q2::tiled::Origin origin{index, catalogue.names[size_t(index)], entry.MapOffset, q2::tiled::RomTitle(rom)};
    SaveFile(out, q2::tiled::WriteMap(format, grid, origin, imageName));
}

// export ROM INDEX OUT, or export ROM --all OUTDIR
int Export(const std::vector<std::string>& args) {
    if (args.size() != 4) throw UsageError{"export takes ROM INDEX OUT, or ROM --all OUTDIR"};
    const q2::MapCatalogue catalogue = Catalogue();
    std::set<std::string> images;
    if (args[2] == "--all") {
        const q2::RomImage rom = ReadRom(args[1]);
        for (int i = 0; i < int(catalogue.entries.size()); ++i) FittingEntry(catalogue, i, rom);
        const QString folder = QString::fromStdString(args[3]);
        if (!QDir().mkpath(folder)) throw Failure{"cannot make the folder " + args[3]};
        for (int i = 0; i < int(catalogue.entries.size()); ++i) {
            const std::string name = q2::tiled::MapFileStem(i, catalogue.names[size_t(i)]) + ".tmx";
            const std::string out = QDir(folder).filePath(QString::fromStdString(name)).toStdString();
            ExportMap(rom, catalogue, i, out, q2::tiled::Format::Tmx, images);
            std::cout << out << '\n';
        }
        return 0;
    }
    const int index = ParseIndex(args[2], catalogue);
    const std::optional<q2::tiled::Format> format = q2::tiled::FormatOf(args[3]);
    if (!format) throw UsageError{"the map file's name must end in .tmx, .tmj or .json: " + args[3]};
    const q2::RomImage rom = ReadRom(args[1]);
    FittingEntry(catalogue, index, rom);
    ExportMap(rom, catalogue, index, args[3], *format, images);
    return 0;
}

// import ROM INDEX IN [--dry-run]
int Import(const std::vector<std::string>& args) {
    std::vector<std::string> positional;
    bool dryRun = false, noBackup = false;
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--dry-run") dryRun = true;
        else if (args[i] == "--no-backup") noBackup = true;
        else positional.push_back(args[i]);
    }
    if (positional.size() != 3) throw UsageError{"import takes ROM INDEX IN [--dry-run] [--no-backup]"};
    const std::string& romPath = positional[0];
    const std::string& in = positional[2];
    const q2::MapCatalogue catalogue = Catalogue();
    const int index = ParseIndex(positional[1], catalogue);
    if (!q2::tiled::FormatOf(in)) throw UsageError{"the map file's name must end in .tmx, .tmj or .json: " + in};
    const q2::MapEntry& entry = catalogue.entries[size_t(index)];
    const q2::tiled::ReadResult map = q2::tiled::ReadMapFile(in, q2::MapRows(entry.IsSubMap));
    if (!map.ok) throw Failure{map.error};

    // The file as it is now, not as it was when the map was exported.
    q2::RomImage rom = ReadRom(romPath);
    FittingEntry(catalogue, index, rom);
    const std::string label = MapLabel(catalogue, index);
    if (map.index && *map.index != index) {
        const bool known = *map.index >= 0 && *map.index < int(catalogue.entries.size());
        std::cerr << "quill2-maptool: warning: " << in << " was exported from "
                  << (known ? MapLabel(catalogue, *map.index) : "map " + std::to_string(*map.index))
                  << ", not from " << label << "\n";
    }
    if (map.romTitle && *map.romTitle != q2::tiled::RomTitle(rom))
        std::cerr << "quill2-maptool: warning: " << in << " was exported from a ROM titled '" << *map.romTitle
                  << "', " << romPath << " is titled '" << q2::tiled::RomTitle(rom) << "'\n";

    const q2::RomImage before = rom;
    q2::EncodeMap(map.grid, entry.MapOffset, rom);
    int changed = 0;
    for (int64_t i = 0; i < q2::MapByteCount(entry.IsSubMap); ++i)
        changed += before[size_t(entry.MapOffset + i)] != rom[size_t(entry.MapOffset + i)];
    const std::string cells = std::to_string(changed) + (changed == 1 ? " cell" : " cells");
    if (dryRun) {
        std::cout << cells << " of " << label << " would change; nothing written (dry run)\n";
    } else if (changed == 0) {
        std::cout << "0 cells changed in " << label << "; " << romPath << " left as it was\n";
    } else {
        WriteRom(romPath, rom, noBackup);
        std::cout << cells << " changed in " << label << "\n";
    }
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
        if (command == "export") return Export(args);
        if (command == "import") return Import(args);
        throw UsageError{"unknown command '" + command + "'"};
    } catch (const UsageError& e) {
        std::cerr << "quill2-maptool: " << e.message << " (see quill2-maptool --help)\n";
        return 2;
    } catch (const Failure& e) {
        std::cerr << "quill2-maptool: " << e.message << '\n';
        return 1;
    }
}
