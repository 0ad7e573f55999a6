// SPDX-License-Identifier: MIT
// The map's own work: decoding tiles, decoding and drawing a map, encoding and
// writing it back, importing it from a Tiled map file and its tiles from a
// PNG, each beside the plain copy, write or read of the same bytes.

#include "BenchSupport.h"
#include "app/Backup.h"
#include "app/Journal.h"
#include "app/RomHeader.h"

#include "ExportNames.h"
#include "TiledMap.h"
#include "TilePng.h"
#include "map/MapGrid.h"
#include "tiles/Tileset.h"

#include <QFile>
#include <QImage>

#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace q2::bench {

namespace {

constexpr size_t kTilesetBytes = 128 * 128 * 3;
constexpr size_t kMapBytes32 = 256 * 256 * 3;
constexpr size_t kMapBytes20 = 256 * 160 * 3;
constexpr int kMainMap = 0;  // Overworld [1/4], 32 rows
constexpr int kSubMap = 4;   // Lantern Zone, 20 rows

void BuildTilesetCase(benchmark::State& state) {
    const MapCatalogue catalogue = ParseMapCatalogue(MAP_NAMES());
    const MapEntry& entry = catalogue.entries.at(kMainMap);
    const RomImage& rom = DemoRom();
    cDIBSection surface;
    for (auto _ : state) {
        BuildTileset(surface, rom, entry.TilesetFirst, entry.TilesetLast);
        benchmark::DoNotOptimize(surface.Image().constBits());
    }
}

// The load's DecodeMap (grid, canvas size, new map surface) and DrawMap, as
// the editor runs them.
void DecodeDrawCase(benchmark::State& state, int index) {
    Editor editor;
    if (!Ready(state, editor)) return;
    if (!editor.Program().LoadMap(int16_t(index))) {
        state.SkipWithError("the map did not load");
        return;
    }
    modMain& program = editor.Program();
    const MapEntry entry = program.Catalogue.entries.at(size_t(index));
    for (auto _ : state) {
        program.DecodeMap(entry.MapOffset, entry.IsSubMap);
        program.DrawMap();
        benchmark::DoNotOptimize(program.MapSurface.Image().constBits());
    }
}

// One write call of the whole image over an existing file, on the disk or
// in memory; with sync, the file is then flushed to the disk as a save does.
void WriteFloor(benchmark::State& state, bool inMemory, bool sync) {
    const std::string& folder = inMemory ? MemoryFolder() : WorkFolder();
    if (folder.empty()) {
        state.SkipWithError("no folder in memory (/dev/shm)");
        return;
    }
    const std::string path = folder + "/floor.gb";
    const RomImage& rom = DemoRom();
    for (auto _ : state) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        const ssize_t written = fd >= 0 ? ::write(fd, rom.data(), rom.size()) : -1;
        const bool synced = !sync || (fd >= 0 && ::fsync(fd) == 0);
        if (fd < 0 || written != ssize_t(rom.size()) || !synced || ::close(fd) != 0) {
            state.SkipWithError("cannot write the floor file");
            return;
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(rom.size()));
}

void EncodeCase(benchmark::State& state) {
    Editor editor;
    if (!Ready(state, editor)) return;
    modMain& program = editor.Program();
    const MapEntry& entry = program.Catalogue.entries.at(size_t(program.CurrentMap));
    for (auto _ : state) {
        if (!EncodeMap(program.Grid, entry.MapOffset, program.Rom)) {
            state.SkipWithError("the map does not fit the ROM image");
            return;
        }
        benchmark::DoNotOptimize(program.Rom.data());
    }
}

// The whole SaveMap: the file compared with what the editor last knew of it,
// the map encoded, then the ROM file written over, flushed and checked; the
// file on the disk, or a copy in memory. The first save of a run, which also
// backs the file up, is made before the timing (see Backup/RomFile).
void SaveCase(benchmark::State& state, bool inMemory) {
    Editor editor;
    if (!Ready(state, editor)) return;
    if (inMemory) {
        const std::string path = MemoryFolder().empty() ? std::string() : MemoryFolder() + "/demo.gb";
        if (path.empty() || !WriteRom(path)) {
            state.SkipWithError("no folder in memory (/dev/shm)");
            return;
        }
        editor.Program().RomPath = path;  // the same bytes, saved there instead
    }
    if (!editor.Program().SaveMap()) {
        state.SkipWithError("the map was not saved");
        return;
    }
    for (auto _ : state) {
        if (!editor.Program().SaveMap()) {
            state.SkipWithError("the map was not saved");
            return;
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(DemoRom().size()));
}

// The main map of the demo ROM as a Tiled map file in the work folder, as
// export writes it; empty when it cannot be written.
const std::string& TmxFile() {
    static const std::string path = [] {
        const MapEntry entry = ParseMapCatalogue(MAP_NAMES()).entries.at(kMainMap);
        MapGrid grid;
        DecodeMap(DemoRom(), entry.MapOffset, entry.IsSubMap, grid);
        const QByteArray tmx = tiled::WriteMap(tiled::Format::Tmx, grid, {kMainMap, "Overworld [1/4]", entry.MapOffset,
                                                                          RomTitle(DemoRom())},
                                               tiled::TilesetImageName(entry));
        const std::string file = WorkFolder() + "/map.tmx";
        QFile out(QString::fromStdString(file));
        return out.open(QIODevice::WriteOnly) && out.write(tmx) == tmx.size() && out.flush() ? file : std::string();
    }();
    return path;
}

// The floor of an import: the file read whole, with the reader import uses.
void ReadFloor(benchmark::State& state) {
    for (auto _ : state) {
        const RomReadResult file = ReadRomFile(TmxFile());
        if (!file.ok()) {
            state.SkipWithError("cannot read the map file");
            return;
        }
        benchmark::DoNotOptimize(file.bytes.data());
    }
}

// The import of a map: the file read, parsed and checked, the cells put into
// a ROM image in memory.
void ImportCase(benchmark::State& state) {
    const MapEntry entry = ParseMapCatalogue(MAP_NAMES()).entries.at(kMainMap);
    RomImage rom = DemoRom();
    for (auto _ : state) {
        const tiled::ReadResult map = tiled::ReadMapFile(TmxFile(), MapRows(entry.IsSubMap));
        if (!map.ok || !EncodeMap(map.grid, entry.MapOffset, rom)) {
            state.SkipWithError(("the map was not imported: " + map.error).c_str());
            return;
        }
        benchmark::DoNotOptimize(rom.data());
    }
}

// The main map's tileset picture in the work folder, as `tileset` writes it;
// empty when it cannot be written.
const std::string& TilePngFile() {
    static const std::string path = [] {
        const MapEntry entry = ParseMapCatalogue(MAP_NAMES()).entries.at(kMainMap);
        cDIBSection surface;
        BuildTileset(surface, DemoRom(), entry.TilesetFirst, entry.TilesetLast);
        const std::string file = WorkFolder() + "/tiles.png";
        return surface.Image().save(QString::fromStdString(file), "PNG") ? file : std::string();
    }();
    return path;
}

// The floor of a tile import: the PNG file read whole.
void ReadTilePngFloor(benchmark::State& state) {
    for (auto _ : state) {
        const RomReadResult file = ReadRomFile(TilePngFile());
        if (!file.ok()) {
            state.SkipWithError("cannot read the tile image");
            return;
        }
        benchmark::DoNotOptimize(file.bytes.data());
    }
}

// The import of a tileset picture: the file read, decoded and checked, its
// tiles put into a ROM image in memory.
void ImportTilesCase(benchmark::State& state) {
    const MapEntry entry = ParseMapCatalogue(MAP_NAMES()).entries.at(kMainMap);
    RomImage rom = DemoRom();
    for (auto _ : state) {
        const tilepng::Result png = tilepng::ReadTilePngFile(TilePngFile());
        if (!png.ok() || !PutTileset(png.tiles, rom, entry.TilesetFirst, entry.TilesetLast).ok()) {
            state.SkipWithError(("the tiles were not imported: " + png.error).c_str());
            return;
        }
        benchmark::DoNotOptimize(rom.data());
    }
}

// The backup made before the first write to a ROM file in a run: the file
// copied, flushed with its folder, and the oldest copies beyond 20 removed.
void BackupCase(benchmark::State& state) {
    for (auto _ : state) {
        const BackupResult backup = BackupRomFile(DemoRomPath());
        if (!backup.ok) {
            state.SkipWithError(backup.error.c_str());
            return;
        }
    }
}

// One finished step of the map's history appended to the edit journal and
// flushed to the disk (fdatasync): a 4 x 4 block stamped, 16 cells.
void JournalStepCase(benchmark::State& state) {
    const std::string path = WorkFolder() + "/bench.journal";
    JournalWriter journal;
    FileError error;
    if (!journal.Begin(path, JournalHeader{DemoRomPath(), 0, {}, 0}, error)) {
        state.SkipWithError(error.Text().c_str());
        return;
    }
    JournalStep step;
    for (uint8_t i = 0; i < 16; ++i) step.cells.push_back({uint8_t(i % 4), uint8_t(i / 4), {1, 2}, {3, 4}});
    for (auto _ : state) {
        if (!journal.Append(step, error)) {
            state.SkipWithError(error.Text().c_str());
            break;
        }
    }
    journal.Remove();
}

} // namespace

void RegisterCoreBenchmarks(bool smoke) {
    using benchmark::RegisterBenchmark;
    RegisterCopyFloors("TilesetSurface", kTilesetBytes, smoke);
    Tune(RegisterBenchmark("BuildTileset", BuildTilesetCase), smoke);
    RegisterCopyFloors("MapSurface32Rows", kMapBytes32, smoke);
    Tune(RegisterBenchmark("DecodeDrawMap/32Rows", DecodeDrawCase, kMainMap), smoke);
    RegisterCopyFloors("MapSurface20Rows", kMapBytes20, smoke);
    Tune(RegisterBenchmark("DecodeDrawMap/20Rows", DecodeDrawCase, kSubMap), smoke);
    Tune(RegisterBenchmark("SaveMap/Encode", EncodeCase), smoke);
    Tune(RegisterBenchmark("Floor/Write/RomFile", WriteFloor, false, false), smoke);
    Tune(RegisterBenchmark("Floor/WriteAndSync/RomFile", WriteFloor, false, true), smoke);
    Tune(RegisterBenchmark("SaveMap/EncodeAndWrite", SaveCase, false), smoke);
    Tune(RegisterBenchmark("Backup/RomFile", BackupCase), smoke);
    Tune(RegisterBenchmark("Journal/Step16Cells", JournalStepCase), smoke);
    if (!MemoryFolder().empty()) {  // a machine without /dev/shm goes without these two
        Tune(RegisterBenchmark("Floor/Write/RomFileInMemory", WriteFloor, true, false), smoke);
        Tune(RegisterBenchmark("SaveMap/EncodeAndWriteInMemory", SaveCase, true), smoke);
    }
    Tune(RegisterBenchmark("Floor/Read/TmxFile32Rows", ReadFloor), smoke);
    Tune(RegisterBenchmark("Import/Tmx32Rows", ImportCase), smoke);
    Tune(RegisterBenchmark("Floor/Read/TilePng128", ReadTilePngFloor), smoke);
    Tune(RegisterBenchmark("ImportTiles/Png128", ImportTilesCase), smoke);
}

} // namespace q2::bench
