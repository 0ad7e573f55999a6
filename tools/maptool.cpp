// SPDX-License-Identifier: MIT
// quill2-maptool: the editor's catalogue, decoder and renderer on the command
// line, for scripting ROM work and for trying the program without a game.

#include "app/Backup.h"
#include "app/Catalogue.h"
#include "app/Rom.h"
#include "app/RomHeader.h"
#include "demo_rom.h"
#include "map/MapGrid.h"
#include "map/MapRender.h"
#include "Patch.h"
#include "RomCompare.h"
#include "platform/File.h"
#include "tiles/Tileset.h"
#include "ExportNames.h"
#include "TiledMap.h"
#include "TilePng.h"

#include <QBuffer>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QImage>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace {

// A command's words once its options are taken out.
struct Arguments {
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;  // those given: name without dashes, value ("" for a flag)
    bool Has(const std::string& name) const { return options.count(name) != 0; }
};

// One command: its forms (what follows its name, with a summary), its
// options, and what runs it. The help texts are made from these.
struct Option {
    const char* name;
    const char* valueName;  // empty for an option that takes no value
    const char* help;
};
struct Form {
    const char* synopsis;
    const char* summary;  // lines of at most 50 characters
};
struct Command {
    const char* name;
    std::vector<Form> forms;
    std::vector<Option> options;
    int (*run)(const Arguments&);
    std::vector<const char*> notes = {};
};

struct UsageError {
    std::string message;
    const Command* command = nullptr;  // the command it concerns, whose usage is shown with it
};
struct Failure {
    std::string message;
    int code = 1;  // the exit code
};

// The notes at the end of the help, each shown with the commands it concerns.
constexpr char kScaleNote[] = "N is a whole number from 1 to 16 (default 1); scaling keeps square pixels.\n";
constexpr char kTiledNote[] =
    "A Tiled map to import is 32 cells wide and 32 (20 for a sub-map) high, of\n"
    "8 x 8 tiles, with one tile layer and one tileset of 256 tiles in 16 columns,\n"
    "no empty, flipped or rotated cells; anything else is refused, ROM untouched.\n";
constexpr char kTileImageNote[] =
    "A tile image to import is a PNG of 128 x 128 pixels (or 128N x 128N in\n"
    "blocks of N x N, as tileset --scale N writes it) in the four shades of the\n"
    "tileset, fully opaque; anything else is refused, ROM untouched.\n";
constexpr char kBackupNote[] =
    "Before a ROM file is written over, a copy of it is kept in\n"
    "$XDG_STATE_HOME/quill2-mapeditor/backups (~/.local/state/... by default), the\n"
    "newest 20 per file name; when no copy can be made nothing is written, unless\n"
    "--no-backup is given.\n";
constexpr char kDiffNote[] =
    "diff exits 0 when the two ROMs are equal, 1 when they differ, 2 on an error.\n";
constexpr char kPatchNote[] =
    "A BPS patch carries the CRC32 of the ROM it was made for, of the result and\n"
    "of itself: apply-patch refuses it for another ROM, when it is damaged, and\n"
    "when the result is not the one it was made to give. An IPS patch carries no\n"
    "checksum and reaches only the first 16 MiB. Nothing is written on a refusal.\n";
constexpr char kUsageNote[] =
    "usage prints one block per tile range, in catalogue order: a header line\n"
    "(range, tile, byte, then the index of each map using the range), then a line\n"
    "per tile: the range, the tile number, the map byte naming it (the number XOR\n"
    "0x80) and each map's count of cells holding that byte.\n";
constexpr char kCommonNotes[] =
    "Options may come anywhere after the command; -- ends them, so that a file\n"
    "whose name starts with '-' can be named after it.\n"
    "Exit code 0 on success; otherwise a message on standard error and code 1\n"
    "(2 for wrong usage).\n";

const Option kScale{"scale", "N", "Enlarge the picture N times (1 to 16, default 1), keeping square pixels."};
const Option kNoBackup{"no-backup", "", "Write the ROM even when no backup of it can be made."};

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

// Refuses a command given another number of file names and numbers.
void ExpectCount(const Arguments& args, size_t count) {
    const size_t given = args.positional.size();
    if (given != count)
        throw UsageError{std::to_string(given) + (given == 1 ? " argument" : " arguments") + " given, " +
                         std::to_string(count) + " expected"};
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

// Every edit of a ROM file is written through here: a backup first, then the
// whole image over the start of the file, read back and compared. (demo-rom,
// which replaces a file whole, backs it up the same way and then puts a new
// file in its place, read back before it is renamed over the old one.)
void WriteRom(const std::string& path, const q2::RomImage& image, bool noBackup) {
    BackUp(path, noBackup);
    std::string error;
    if (!q2::WriteRomFile(path, image, error)) throw Failure{error};
}

int List(const Arguments& args) {
    ExpectCount(args, 0);
    const q2::MapCatalogue catalogue = Catalogue();
    for (size_t i = 0; i < catalogue.entries.size(); ++i) {
        const q2::MapEntry& e = catalogue.entries[i];
        std::cout << i << '\t' << (e.IsSubMap ? "NEWSUBMAP" : "NEWMAP") << '\t' << catalogue.names[i] << '\t'
                  << Hex(e.MapOffset) << '\t' << Hex(e.TilesetFirst) << '\t' << Hex(e.TilesetLast) << '\n';
    }
    return 0;
}

// A whole file written under a private name, read back and then put in
// place, so that a failed write leaves no half-written file.
void WriteNew(const std::string& path, std::span<const uint8_t> bytes) {
    q2::FileError error;
    if (!q2::WriteNewFile(path, bytes, error)) throw Failure{error.Text()};
}

void SaveFile(const std::string& path, const QByteArray& bytes) {
    WriteNew(path, std::span(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())));
}

QByteArray PngBytes(const QImage& image) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) throw Failure{"cannot encode the picture as PNG"};
    return png;
}

void SavePng(const QImage& image, int scale, const std::string& out) {
    QImage picture = scale == 1 ? image
                                : image.scaled(image.width() * scale, image.height() * scale,
                                               Qt::IgnoreAspectRatio, Qt::FastTransformation);
    SaveFile(out, PngBytes(picture));
}

// The map as the editor shows it; the entry must fit rom.
QImage MapPicture(const q2::RomImage& rom, const q2::MapEntry& entry) {
    q2::cDIBSection tileset;
    q2::BuildTileset(tileset, rom, entry.TilesetFirst, entry.TilesetLast);
    q2::MapGrid grid;
    q2::DecodeMap(rom, entry.MapOffset, entry.IsSubMap, grid);
    q2::cDIBSection map;
    map.Create(q2::kMapColumns * q2::kTileSize, grid.Rows() * q2::kTileSize);
    q2::DrawMap(grid, tileset, map);
    return map.Image().copy();
}

// render and tileset: ROM INDEX OUT.png [--scale N]
int Draw(const Arguments& args, bool wholeMap) {
    ExpectCount(args, 3);
    const int scale = args.Has("scale") ? ParseNumber(args.options.at("scale"), 1, 16, "scale") : 1;
    const std::vector<std::string>& positional = args.positional;
    const q2::MapCatalogue catalogue = Catalogue();
    const int index = ParseIndex(positional[1], catalogue);
    const q2::RomImage rom = ReadRom(positional[0]);
    const q2::MapEntry& entry = FittingEntry(catalogue, index, rom);

    if (wholeMap) {
        SavePng(MapPicture(rom, entry), scale, positional[2]);
    } else {
        q2::cDIBSection tileset;
        q2::BuildTileset(tileset, rom, entry.TilesetFirst, entry.TilesetLast);
        SavePng(tileset.Image(), scale, positional[2]);
    }
    return 0;
}

int Render(const Arguments& args) { return Draw(args, true); }
int Tileset(const Arguments& args) { return Draw(args, false); }

int DemoRom(const Arguments& args) {
    ExpectCount(args, 1);
    const std::string& path = args.positional[0];
    const q2::RomImage rom = q2::MakeDemoRom();
    BackUp(path, args.Has("no-backup"));  // a ROM already there is replaced whole
    WriteNew(path, rom);
    return 0;
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
        SaveFile(imagePath, PngBytes(tileset.Image()));
    }
    q2::MapGrid grid;
    q2::DecodeMap(rom, entry.MapOffset, entry.IsSubMap, grid);
    const q2::tiled::Origin origin{index, catalogue.names[size_t(index)], entry.MapOffset, q2::RomTitle(rom)};
    SaveFile(out, q2::tiled::WriteMap(format, grid, origin, imageName));
}

// export ROM INDEX OUT, or export ROM --all OUTDIR
int Export(const Arguments& args) {
    const bool all = args.Has("all");
    ExpectCount(args, all ? 2 : 3);
    const std::vector<std::string>& positional = args.positional;
    const q2::MapCatalogue catalogue = Catalogue();
    std::set<std::string> images;
    if (all) {
        const q2::RomImage rom = ReadRom(positional[0]);
        for (int i = 0; i < int(catalogue.entries.size()); ++i) FittingEntry(catalogue, i, rom);
        const QString folder = QString::fromStdString(positional[1]);
        if (!QDir().mkpath(folder)) throw Failure{"cannot make the folder " + positional[1]};
        for (int i = 0; i < int(catalogue.entries.size()); ++i) {
            const std::string name = q2::tiled::MapFileStem(i, catalogue.names[size_t(i)]) + ".tmx";
            const std::string out = QDir(folder).filePath(QString::fromStdString(name)).toStdString();
            ExportMap(rom, catalogue, i, out, q2::tiled::Format::Tmx, images);
            std::cout << out << '\n';
        }
        return 0;
    }
    const int index = ParseIndex(positional[1], catalogue);
    const std::optional<q2::tiled::Format> format = q2::tiled::FormatOf(positional[2]);
    if (!format) throw UsageError{"the map file's name must end in .tmx, .tmj or .json: " + positional[2]};
    const q2::RomImage rom = ReadRom(positional[0]);
    FittingEntry(catalogue, index, rom);
    ExportMap(rom, catalogue, index, positional[2], *format, images);
    return 0;
}

// import ROM INDEX IN [--dry-run] [--no-backup]
int Import(const Arguments& args) {
    ExpectCount(args, 3);
    const std::vector<std::string>& positional = args.positional;
    const bool dryRun = args.Has("dry-run"), noBackup = args.Has("no-backup");
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
    if (map.romTitle && *map.romTitle != q2::RomTitle(rom))
        std::cerr << "quill2-maptool: warning: " << in << " was exported from a ROM titled '" << *map.romTitle
                  << "', " << romPath << " is titled '" << q2::RomTitle(rom) << "'\n";

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

// import-tiles ROM INDEX IN.png [--dry-run] [--no-backup]
int ImportTiles(const Arguments& args) {
    ExpectCount(args, 3);
    const std::string& romPath = args.positional[0];
    const std::string& in = args.positional[2];
    const q2::MapCatalogue catalogue = Catalogue();
    const int index = ParseIndex(args.positional[1], catalogue);
    const q2::tilepng::Result png = q2::tilepng::ReadTilePngFile(in);
    if (!png.ok()) throw Failure{png.error};

    // The file as it is now, not as it was when the tiles were exported.
    q2::RomImage rom = ReadRom(romPath);
    const q2::MapEntry& entry = FittingEntry(catalogue, index, rom);
    const q2::TilesetPut put = q2::PutTileset(png.tiles, rom, entry.TilesetFirst, entry.TilesetLast);
    const std::string range = Hex(entry.TilesetFirst) + "-" + Hex(entry.TilesetLast);
    if (!put.ok()) {
        auto name = [](int colour) {
            const q2::COLORREF c = q2::kShades[colour];
            return q2::tilepng::ColourName(qRgb(q2::GetRValue(c), q2::GetGValue(c), q2::GetBValue(c)));
        };
        const int colour = q2::TilesetPixel(png.tiles, put.badX, put.badY);
        const std::string at = std::to_string(put.badX * png.scale) + ", " + std::to_string(put.badY * png.scale);
        throw Failure{in + ": pixel (" + at + ") is " + name(colour) + ", past the end of tiles " + range +
                      ", where it must stay " + name(put.shown) + " as the tileset shows it"};
    }

    std::string maps;
    int users = 0;
    for (size_t i = 0; i < catalogue.entries.size(); ++i) {
        const q2::MapEntry& other = catalogue.entries[i];
        if (other.TilesetFirst != entry.TilesetFirst || other.TilesetLast != entry.TilesetLast) continue;
        maps += (users++ ? ", " : "") + std::to_string(i);
    }
    const size_t changed = put.changed.size();
    const std::string line = std::to_string(changed) + (changed == 1 ? " tile" : " tiles") +
                             (args.Has("dry-run") ? " would change" : " changed") + " in tiles " + range +
                             ", used by " + (users == 1 ? "map " : "maps ") + maps;
    if (args.Has("dry-run")) {
        std::cout << line << "; nothing written (dry run)\n";
    } else if (changed == 0) {
        std::cout << line << "; " << romPath << " left as it was\n";
    } else {
        WriteRom(romPath, rom, args.Has("no-backup"));
        std::cout << line << "\n";
    }
    return 0;
}

std::string Plural(int64_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string Range(int32_t first, int32_t last) { return Hex(first) + "-" + Hex(last); }

// Each changed cell of the picture (the map at scale) framed in red, one
// pixel wide inside the cell.
void FrameCells(QImage& picture, const std::vector<bool>& changed, int scale) {
    const int side = q2::kTileSize * scale;
    const QRgb red = qRgb(255, 0, 0);
    for (size_t i = 0; i < changed.size(); ++i) {
        if (!changed[i]) continue;
        const int left = int(i % q2::kMapColumns) * side, top = int(i / q2::kMapColumns) * side;
        for (int d = 0; d < side; ++d) {
            picture.setPixel(left + d, top, red);
            picture.setPixel(left + d, top + side - 1, red);
            picture.setPixel(left, top + d, red);
            picture.setPixel(left + side - 1, top + d, red);
        }
    }
}

// diff OLD NEW [--map N -o OUT.png [--scale S]]: exit 0 when equal, 1 when
// they differ, 2 on any error, as cmp and diff do.
int DiffRoms(const Arguments& args) {
    ExpectCount(args, 2);
    const bool picture = args.Has("map") || args.Has("o");
    if (picture && !(args.Has("map") && args.Has("o"))) throw UsageError{"--map and -o go together"};
    if (args.Has("scale") && !picture) throw UsageError{"--scale goes with --map and -o"};
    const int scale = args.Has("scale") ? ParseNumber(args.options.at("scale"), 1, 16, "scale") : 1;
    try {
        const q2::MapCatalogue catalogue = Catalogue();
        const int index = picture ? ParseIndex(args.options.at("map"), catalogue) : -1;
        const q2::RomImage before = ReadRom(args.positional[0]), after = ReadRom(args.positional[1]);
        const std::vector<q2::compare::TileRange> ranges = q2::compare::TileRanges(catalogue);
        const q2::compare::RomDiff diff = q2::compare::Compare(before, after, catalogue, ranges);
        if (picture) {
            const q2::MapEntry& entry = FittingEntry(catalogue, index, after);
            const QImage map = MapPicture(after, entry);
            QImage framed = map.scaled(map.size() * scale).convertToFormat(QImage::Format_RGB32);
            FrameCells(framed, q2::compare::ChangedCells(before, after, entry), scale);
            SavePng(framed, 1, args.options.at("o"));
        }
        std::string text;
        for (const q2::compare::MapChange& m : diff.maps)
            text += std::to_string(m.index) + " " + catalogue.names[size_t(m.index)] + ": " +
                    Plural(m.cells, "cell", "cells") + " changed\n";
        for (const q2::compare::RangeChange& r : diff.ranges) {
            const q2::compare::TileRange& range = ranges[r.range];
            std::string maps;
            for (const int m : range.maps) maps += (maps.empty() ? "" : ", ") + std::to_string(m);
            text += "tiles " + Range(range.first, range.last) + ": " + Plural(r.tiles, "tile", "tiles") +
                    " changed, used by " + (range.maps.size() == 1 ? "map " : "maps ") + maps + "\n";
        }
        if (before.size() != after.size())
            text += "size: " + std::to_string(before.size()) + " bytes before, " + std::to_string(after.size()) +
                    " after\n";
        text += "other bytes: " + std::to_string(diff.otherBytes) + " changed in " +
                Plural(diff.otherRuns, "run", "runs") + "\n";
        std::cout << text;
        return diff.same ? 0 : 1;
    } catch (Failure& e) {
        e.code = 2;
        throw;
    }
}

// make-patch ORIGINAL MODIFIED OUT (.bps or .ips)
int MakePatch(const Arguments& args) {
    ExpectCount(args, 3);
    const std::string& out = args.positional[2];
    const std::optional<q2::patch::Format> format = q2::patch::FormatOf(out);
    if (!format) throw UsageError{"the patch's name must end in .bps or .ips: " + out};
    const q2::RomImage original = ReadRom(args.positional[0]), modified = ReadRom(args.positional[1]);
    const bool bps = *format == q2::patch::Format::Bps;
    const q2::patch::Made patch = bps ? q2::patch::MakeBps(original, modified) : q2::patch::MakeIps(original, modified);
    if (!patch.ok()) throw Failure{"no IPS patch for " + args.positional[1] + ": " + patch.error};
    WriteNew(out, patch.bytes);
    std::cout << out << ": " << (bps ? "BPS" : "IPS") << " patch of " << Plural(int64_t(patch.bytes.size()), "byte", "bytes")
              << "\n";
    return 0;
}

// apply-patch PATCH ROM OUT [--no-backup]
int ApplyPatch(const Arguments& args) {
    ExpectCount(args, 3);
    const std::string &patchPath = args.positional[0], &romPath = args.positional[1], &out = args.positional[2];
    // A patch holds at most a whole cartridge and its few headers.
    const q2::ReadResult patch = q2::ReadWholeFile(patchPath, 2 * q2::patch::kMaxResultBytes);
    if (!patch.ok()) throw Failure{patch.error.Text()};
    const q2::RomImage rom = ReadRom(romPath);
    const q2::patch::Applied result = q2::patch::Apply(patch.bytes, rom, {patchPath, romPath});
    if (!result.ok()) throw Failure{result.error};
    BackUp(out, args.Has("no-backup"));  // a ROM there, the original itself too, is kept first
    WriteNew(out, result.bytes);
    char crc[12];
    std::snprintf(crc, sizeof crc, "%08X", unsigned(q2::patch::Crc32(result.bytes)));
    std::cout << out << ": " << Plural(int64_t(result.bytes.size()), "byte", "bytes") << ", CRC32 " << crc << "\n";
    return 0;
}

// usage ROM [--unused]: tab-separated, one block per tile range.
int TileUsage(const Arguments& args) {
    ExpectCount(args, 1);
    const bool unusedOnly = args.Has("unused");
    const q2::MapCatalogue catalogue = Catalogue();
    const q2::RomImage rom = ReadRom(args.positional[0]);
    std::vector<std::array<int, 256>> counts;
    for (int i = 0; i < int(catalogue.entries.size()); ++i)
        counts.push_back(q2::compare::ByteCounts(rom, FittingEntry(catalogue, i, rom)));
    std::string text;
    for (const q2::compare::TileRange& range : q2::compare::TileRanges(catalogue)) {
        text += "range\ttile\tbyte";
        for (const int m : range.maps) text += "\t" + std::to_string(m);
        text += "\n";
        const std::string name = Range(range.first, range.last);
        for (int tile = 0; tile < q2::kTilesetTiles; ++tile) {
            const int byte = tile ^ 0x80;
            char hex[8];
            std::snprintf(hex, sizeof hex, "0x%02X", unsigned(byte));
            std::string line = name + "\t" + std::to_string(tile) + "\t" + hex;
            bool used = false;
            for (const int m : range.maps) {
                line += "\t" + std::to_string(counts[size_t(m)][size_t(byte)]);
                used = used || counts[size_t(m)][size_t(byte)] > 0;
            }
            if (!unusedOnly || !used) text += line + "\n";
        }
    }
    std::cout << text;
    return 0;
}

const std::vector<Command>& Commands() {
    static const std::vector<Command> commands = {
        {"list", {{"", "Print the map catalogue: index, kind, name,\n"
                       "map offset, tileset first and last (hexadecimal)."}},
         {}, List},
        {"render", {{"ROM INDEX OUT.png [--scale N]", "Draw map INDEX of ROM as the editor shows it\n"
                                                      "(256 x 256, or 256 x 160 for a sub-map, times N)."}},
         {kScale}, Render, {kScaleNote}},
        {"tileset", {{"ROM INDEX OUT.png [--scale N]", "Draw the 128 x 128 tileset of map INDEX."}}, {kScale}, Tileset, {kScaleNote}},
        {"demo-rom", {{"OUT.gb [--no-backup]", "Write a demo ROM image to try the editor with;\n"
                                         "it boots on a Game Boy and shows its maps."}}, {kNoBackup},
         DemoRom, {kBackupNote}},
        {"export",
         {{"ROM INDEX OUT", "Write map INDEX as a Tiled map: OUT.tmx (XML) or\n"
                            "OUT.tmj / OUT.json (JSON), with its tileset image\n"
                            "(tiles-FIRST-LAST.png) beside it."},
          {"ROM --all OUTDIR", "Write every map as OUTDIR/NN-Name.tmx, each\n"
                               "tileset image once; prints the map files."}},
         {{"all", "", "Write every map into the folder OUTDIR."}}, Export},
        {"import", {{"ROM INDEX IN [--dry-run] [--no-backup]", "Put the cells of Tiled map IN (.tmx, .tmj or\n"
                                                               ".json) into map INDEX of ROM and print how many\n"
                                                               "changed; only that map's bytes are written.\n"
                                                               "--dry-run: count them, write nothing."}},
         {{"dry-run", "", "Count the cells that would change, write nothing."}, kNoBackup}, Import,
         {kTiledNote, kBackupNote}},
        {"import-tiles",
         {{"ROM INDEX IN.png [--dry-run] [--no-backup]",
           "Put the tiles of image IN.png (as tileset writes\n"
           "it, at any --scale) into the tile range of map\n"
           "INDEX and print how many changed and which maps\n"
           "use them; only the changed tiles' bytes differ.\n"
           "--dry-run: count them, write nothing."}},
         {{"dry-run", "", "Count the tiles that would change, write nothing."}, kNoBackup}, ImportTiles,
         {kTileImageNote, kBackupNote}},
        {"diff",
         {{"OLD NEW [--map INDEX -o OUT.png [--scale N]]",
           "Print which maps' cells and which tile ranges'\n"
           "tiles differ between two ROMs, and how many\n"
           "other bytes; --map INDEX -o OUT.png draws NEW's\n"
           "map INDEX with each changed cell framed in red."}},
         {{"map", "INDEX", "Draw map INDEX of NEW, its changed cells framed."},
          {"o", "OUT.png", "Where the picture goes."},
          kScale},
         DiffRoms, {kDiffNote, kScaleNote}},
        {"make-patch",
         {{"ORIGINAL MODIFIED OUT", "Write a patch that turns ORIGINAL into MODIFIED:\n"
                                    "OUT.bps (BPS, with checksums) or OUT.ips (IPS)."}},
         {}, MakePatch, {kPatchNote}},
        {"apply-patch",
         {{"PATCH ROM OUT [--no-backup]", "Apply PATCH (.bps or .ips, told by its content)\n"
                                          "to ROM and write the result to OUT; a BPS patch\n"
                                          "made for another ROM is refused."}},
         {kNoBackup}, ApplyPatch, {kPatchNote, kBackupNote}},
        {"usage",
         {{"ROM [--unused]", "Print, tab-separated, for each tile range and\n"
                             "tile, how many cells of each map using the\n"
                             "range hold it; --unused: only unused tiles."}},
         {{"unused", "", "Only the tiles no map's cell holds."}}, TileUsage, {kUsageNote}},
    };
    return commands;
}

const Command* FindCommand(const std::string& name) {
    for (const Command& command : Commands())
        if (name == command.name) return &command;
    return nullptr;
}

std::string Synopsis(const Command& command, const Form& form) {
    return std::string(command.name) + (*form.synopsis ? " " : "") + form.synopsis;
}

// The summary's lines, each after indent spaces, the first after what is
// already on the line when that leaves room.
void PutSummary(std::string& text, std::string_view summary, size_t indent) {
    size_t column = text.size() - (text.rfind('\n') + 1);
    if (column > 0 && column >= indent) {
        text += '\n';
        column = 0;
    }
    text.append(indent - column, ' ');
    for (size_t start = 0; start < summary.size();) {
        const size_t end = std::min(summary.find('\n', start), summary.size());
        if (start > 0) text.append(indent, ' ');
        text.append(summary.substr(start, end - start)).append("\n");
        start = end + 1;
    }
}

std::string Usage() {
    std::string text = "Usage: quill2-maptool COMMAND [ARGUMENTS]\n\nCommands:\n";
    for (const Command& command : Commands())
        for (const Form& form : command.forms) {
            text += "  " + Synopsis(command, form);
            PutSummary(text, form.summary, 39);
        }
    text += "  --help                               Show this text; COMMAND --help shows one command's.\n"
            "  --version                            Show the version.\n\n";
    return text + kScaleNote + kTiledNote + kTileImageNote + kBackupNote + kDiffNote + kPatchNote + kUsageNote +
           kCommonNotes;
}

std::string CommandHelp(const Command& command) {
    std::string text;
    for (size_t i = 0; i < command.forms.size(); ++i)
        text += (i ? "   or: quill2-maptool " : "Usage: quill2-maptool ") + Synopsis(command, command.forms[i]) + "\n";
    for (const Form& form : command.forms) {
        text += "\n";
        PutSummary(text, form.summary, 0);
    }
    text += "\nOptions:\n";
    auto option = [&text](const std::string& names, const char* help) {
        text += "  " + names;
        PutSummary(text, help, 18);
    };
    for (const Option& o : command.options)
        option((o.name[1] ? "--" : "-") + std::string(o.name) + (*o.valueName ? " " : "") + o.valueName, o.help);
    option("-h, --help", "Show this text.");
    text += "\n";
    for (const char* note : command.notes) text += note;
    return text + kCommonNotes;
}

// The one line of a parser's refusal, the option named as it was given.
std::string ParseError(const QCommandLineParser& parser) {
    const QStringList unknown = parser.unknownOptionNames();
    if (!unknown.isEmpty()) {
        const QString name = unknown.first();
        return "unknown option '" + std::string(name.size() == 1 ? "-" : "--") + name.toLatin1().toStdString() + "'";
    }
    QString text = parser.errorText();
    if (text.endsWith('.')) text.chop(1);
    if (!text.isEmpty()) text[0] = text[0].toLower();
    return text.toLatin1().toStdString();
}

// words: the command's name, then what followed it.
int Run(const Command& command, const QStringList& words) {
    QCommandLineParser parser;
    const QCommandLineOption help(QStringList{"h", "help"});
    parser.addOption(help);
    for (const Option& o : command.options)
        parser.addOption(QCommandLineOption(QString::fromLatin1(o.name), QString(), QString::fromLatin1(o.valueName)));
    try {
        if (!parser.parse(words)) throw UsageError{ParseError(parser)};
        if (parser.isSet(help)) {
            std::cout << CommandHelp(command);
            return 0;
        }
        Arguments args;
        // Each byte of an argument was carried as one Latin-1 character, so a
        // file name comes back byte for byte, whatever its encoding.
        for (const QString& word : parser.positionalArguments())
            args.positional.push_back(word.toLatin1().toStdString());
        for (const Option& o : command.options)
            if (parser.isSet(QString::fromLatin1(o.name)))
                args.options[o.name] = parser.value(QString::fromLatin1(o.name)).toLatin1().toStdString();
        return command.run(args);
    } catch (UsageError& e) {
        if (!e.command) e.command = &command;
        throw;
    }
}

} // namespace

int main(int argc, char** argv) {
    QStringList words;
    for (int i = 0; i < argc; ++i) words << QString::fromLatin1(argv[i]);
    try {
        // Options before the command are the program's own; the command's
        // name and everything after it go to the command.
        QCommandLineParser parser;
        parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
        const QCommandLineOption help(QStringList{"h", "help"}), version("version");
        parser.addOption(help);
        parser.addOption(version);
        if (!parser.parse(words)) throw UsageError{ParseError(parser)};
        if (parser.isSet(version)) {
            std::cout << "quill2-maptool " QUILL2_VERSION "\n";
            return 0;
        }
        const QStringList rest = parser.positionalArguments();
        if (parser.isSet(help) || (rest.size() == 1 && rest[0] == "help")) {
            std::cout << Usage();
            return 0;
        }
        if (rest.isEmpty()) throw UsageError{"no command given"};
        if (rest[0] == "help") {  // help COMMAND
            const Command* command = FindCommand(rest[1].toLatin1().toStdString());
            if (!command || rest.size() > 2) throw UsageError{"help takes one command's name"};
            std::cout << CommandHelp(*command);
            return 0;
        }
        const Command* command = FindCommand(rest[0].toLatin1().toStdString());
        if (!command) throw UsageError{"unknown command '" + rest[0].toLatin1().toStdString() + "'"};
        return Run(*command, rest);
    } catch (const UsageError& e) {
        std::cerr << "quill2-maptool: ";
        if (!e.command) {
            std::cerr << e.message << " (see quill2-maptool --help)\n";
        } else {
            std::cerr << e.command->name << ": " << e.message << "; usage: ";
            for (size_t i = 0; i < e.command->forms.size(); ++i)
                std::cerr << (i ? " or " : "") << "quill2-maptool " << Synopsis(*e.command, e.command->forms[i]);
            std::cerr << '\n';
        }
        return 2;
    } catch (const Failure& e) {
        std::cerr << "quill2-maptool: " << e.message << '\n';
        return e.code;
    }
}
