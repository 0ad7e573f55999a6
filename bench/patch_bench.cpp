// SPDX-License-Identifier: MIT
// Sharing a hack: two 512 KiB images compared, a BPS patch made for a map's
// edit and applied, in memory beside a copy of the 512 KiB and, as the tool
// applies it, file to file beside a copy of the ROM file.

#include "BenchSupport.h"

#include "Patch.h"
#include "RomCompare.h"
#include "map/MapGrid.h"
#include "platform/File.h"

namespace q2::bench {

namespace {

constexpr size_t kRomBytes = 524288;
constexpr int kMainMap = 0;

// The demo ROM with every cell of the main map changed.
const RomImage& EditedRom() {
    static const RomImage rom = [] {
        RomImage edited = DemoRom();
        const MapEntry entry = ParseMapCatalogue(MAP_NAMES()).entries.at(kMainMap);
        for (int64_t i = 0; i < MapByteCount(entry.IsSubMap); ++i) edited[size_t(entry.MapOffset + i)] ^= 0x01;
        return edited;
    }();
    return rom;
}

const std::vector<uint8_t>& OneMapPatch() {
    static const std::vector<uint8_t> bytes = patch::MakeBps(DemoRom(), EditedRom()).bytes;
    return bytes;
}

void DiffCase(benchmark::State& state) {
    const MapCatalogue catalogue = ParseMapCatalogue(MAP_NAMES());
    const std::vector<compare::TileRange> ranges = compare::TileRanges(catalogue);
    for (auto _ : state) {
        const compare::RomDiff diff = compare::Compare(DemoRom(), EditedRom(), catalogue, ranges);
        if (diff.maps.size() != 1) {
            state.SkipWithError("the diff does not find the changed map");
            return;
        }
        benchmark::DoNotOptimize(diff.otherBytes);
    }
}

void MakeBpsCase(benchmark::State& state) {
    for (auto _ : state) {
        const patch::Made made = patch::MakeBps(DemoRom(), EditedRom());
        benchmark::DoNotOptimize(made.bytes.data());
    }
}

// The patch applied in memory, its three checksums checked.
void ApplyCase(benchmark::State& state) {
    for (auto _ : state) {
        const patch::Applied applied = patch::Apply(OneMapPatch(), DemoRom(), {"p.bps", "demo.gb"});
        if (!applied.ok()) {
            state.SkipWithError(applied.error.c_str());
            return;
        }
        benchmark::DoNotOptimize(applied.bytes.data());
    }
}

// The floor of apply-patch: the ROM file read whole and put in place as a
// new file, as a copy of it is made.
void CopyFileFloor(benchmark::State& state) {
    const std::string out = WorkFolder() + "/copy.gb";
    for (auto _ : state) {
        const ReadResult rom = ReadWholeFile(DemoRomPath(), patch::kMaxResultBytes);
        FileError error;
        if (!rom.ok() || !WriteNewFile(out, rom.bytes, error)) {
            state.SkipWithError("cannot copy the ROM file");
            return;
        }
    }
}

// apply-patch as the tool runs it: the patch and the ROM read, the patch
// applied and checked, the result put in place as a new file.
void ApplyFileCase(benchmark::State& state) {
    const std::string patchPath = WorkFolder() + "/map.bps", out = WorkFolder() + "/patched.gb";
    FileError error;
    if (!WriteNewFile(patchPath, OneMapPatch(), error)) {
        state.SkipWithError("cannot write the patch");
        return;
    }
    for (auto _ : state) {
        const ReadResult patchFile = ReadWholeFile(patchPath, 2 * patch::kMaxResultBytes);
        const ReadResult rom = ReadWholeFile(DemoRomPath(), patch::kMaxResultBytes);
        const patch::Applied applied = patch::Apply(patchFile.bytes, rom.bytes, {patchPath, DemoRomPath()});
        if (!applied.ok() || !WriteNewFile(out, applied.bytes, error)) {
            state.SkipWithError("the patch was not applied");
            return;
        }
    }
}

} // namespace

void RegisterPatchBenchmarks(bool smoke) {
    using benchmark::RegisterBenchmark;
    RegisterCopyFloors("Rom512K", kRomBytes, smoke);
    Tune(RegisterBenchmark("Diff/Rom512K", DiffCase), smoke);
    Tune(RegisterBenchmark("MakePatch/Bps/OneMap", MakeBpsCase), smoke);
    Tune(RegisterBenchmark("ApplyPatch/Bps/OneMap", ApplyCase), smoke);
    Tune(RegisterBenchmark("Floor/CopyFile/Rom512K", CopyFileFloor), smoke);
    Tune(RegisterBenchmark("ApplyPatch/Bps/OneMapFile", ApplyFileCase), smoke);
}

} // namespace q2::bench
