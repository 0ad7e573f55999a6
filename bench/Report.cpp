// SPDX-License-Identifier: MIT
#include "Report.h"

#include <algorithm>
#include <cstdio>
#include <set>

namespace q2::bench {

namespace {

constexpr double kMicro = 1e3, kMilli = 1e6;

std::optional<double> Median(std::vector<double> values) {
    if (values.empty()) return std::nullopt;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::string Printf(const char* format, double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

// Three significant figures.
std::string Figures(double value) {
    if (value >= 100) return Printf("%.0f", value);
    if (value >= 10) return Printf("%.1f", value);
    return Printf("%.2f", value);
}

// What a ratio target's floor argument takes: one floor case, or several of
// which the fastest is the floor.
struct FloorCases {
    FloorCases(std::string one) : names{std::move(one)} {}
    FloorCases(std::vector<std::string> several) : names(std::move(several)) {}
    std::vector<std::string> names;
};

// The fastest of the floor cases that ran: its name and time.
std::optional<std::pair<std::string, double>> FastestFloor(const Results& results,
                                                            const std::vector<std::string>& floors) {
    std::optional<std::pair<std::string, double>> fastest;
    for (const std::string& floor : floors) {
        const std::optional<double> nanos = results.Nanos(floor);
        if (nanos && *nanos > 0 && (!fastest || *nanos < fastest->second)) fastest.emplace(floor, *nanos);
    }
    return fastest;
}

std::string Limit(const CaseTarget& target) {
    if (target.maxRatio > 0) return "≤ " + Printf("%g", target.maxRatio) + "×";
    if (target.maxNanos >= kMilli) return "< " + Printf("%g", target.maxNanos / kMilli) + " ms";
    if (target.maxNanos > 0) return "< " + Printf("%g", target.maxNanos / kMicro) + " µs";
    if (target.maxBytes > 0) return "< " + Printf("%g", target.maxBytes / 1e6) + " MB";
    return "";
}

} // namespace

const std::vector<CaseTarget>& SuiteTargets() {
    static const std::vector<CaseTarget> targets = [] {
        auto floorCase = [](std::string name) {
            CaseTarget target;
            target.name = std::move(name);
            target.isFloor = true;
            return target;
        };
        auto ratio = [](std::string name, FloorCases floors, double maxRatio) {
            CaseTarget target;
            target.name = std::move(name);
            target.floors = std::move(floors.names);
            target.maxRatio = maxRatio;
            return target;
        };
        auto time = [](std::string name, double maxNanos) {
            CaseTarget target;
            target.name = std::move(name);
            target.maxNanos = maxNanos;
            return target;
        };
        // A copy floor is the faster of memcpy and a plain loop: on some
        // machines glibc's memcpy copies these sizes many times slower than
        // the processor can, and a ratio to it would mean nothing there.
        auto copy = [](const std::string& what) {
            return std::vector<std::string>{"Floor/Memcpy/" + what, "Floor/CopyLoop/" + what};
        };
        const std::vector<std::string> tileset = copy("TilesetSurface");
        const std::vector<std::string> map32 = copy("MapSurface32Rows");
        const std::vector<std::string> map20 = copy("MapSurface20Rows");
        const std::vector<std::string> view8x = {"Floor/Memset/MapView8x", "Floor/FillLoop/MapView8x"};
        const std::string write = "Floor/Write/RomFile";
        const std::string writeSync = "Floor/WriteAndSync/RomFile";
        const std::string writeMemory = "Floor/Write/RomFileInMemory";
        const std::string readTmx = "Floor/Read/TmxFile32Rows";
        const std::string readPng = "Floor/Read/TilePng128";
        const std::vector<std::string> rom512 = copy("Rom512K");
        const std::string copyFile = "Floor/CopyFile/Rom512K";
        CaseTarget save = ratio("SaveMap/EncodeAndWrite", write, 3);
        save.waiver = "the save flushes the file to the disk (fsync), the floor does not; see the in-memory pair";
        // Cases that need a file system in memory, which not every machine has.
        auto optional = [](CaseTarget target) {
            target.optional = true;
            return target;
        };
        CaseTarget memory;
        memory.name = "PeakMemory/AllMaps";
        memory.maxBytes = 50e6;
        return std::vector<CaseTarget>{
            floorCase(tileset[0]),
            floorCase(tileset[1]),
            ratio("BuildTileset", tileset, 10),
            floorCase(map32[0]),
            floorCase(map32[1]),
            floorCase(map20[0]),
            floorCase(map20[1]),
            ratio("DecodeDrawMap/32Rows", map32, 5),
            ratio("DecodeDrawMap/20Rows", map20, 5),
            ratio("PaintEvent/SingleTile", map32, 3),
            ratio("PaintEvent/TilesetBlock16x16", map32, 0),
            ratio("PaintEvent/MapBlock32x32", map32, 8),
            ratio("PaintEvent/SingleTilePresented", map32, 0),
            time("MapPickRelease/32x32", 0),
            time("LoadMap/MainMap", 300 * kMicro),
            time("LoadMap/SubMap", 300 * kMicro),
            time("LoadMap/Alternating", 300 * kMicro),
            time("SaveMap/Encode", 0),
            floorCase(write),
            floorCase(writeSync),
            save,
            ratio("SaveMap/EncodeAndWrite", writeSync, 0),
            ratio("Backup/RomFile", writeSync, 0),
            time("Journal/Step16Cells", 1 * kMilli),
            optional(floorCase(writeMemory)),
            // A save reads the whole file before writing it (has another program
            // changed it?) and again after (did it land?); the floor only writes.
            optional(ratio("SaveMap/EncodeAndWriteInMemory", writeMemory, 5)),
            floorCase(readTmx),
            time("Import/Tmx32Rows", 1 * kMilli),
            ratio("Import/Tmx32Rows", readTmx, 0),
            floorCase(readPng),
            time("ImportTiles/Png128", 2 * kMilli),
            ratio("ImportTiles/Png128", readPng, 0),
            floorCase(rom512[0]),
            floorCase(rom512[1]),
            time("Diff/Rom512K", 1 * kMilli),
            ratio("Diff/Rom512K", rom512, 0),
            time("MakePatch/Bps/OneMap", 5 * kMilli),
            // In memory the three checksums cost many copies' time: shown only.
            ratio("ApplyPatch/Bps/OneMap", rom512, 0),
            floorCase(copyFile),
            ratio("ApplyPatch/Bps/OneMapFile", copyFile, 3),
            time("Startup/InProcess", 60 * kMilli),
            floorCase(view8x[0]),
            floorCase(view8x[1]),
            time("MapView/Stamp8x", 500 * kMicro),
            ratio("MapView/WholeRepaint8x", view8x, 3),
            ratio("MapView/ZoomTo8x", view8x, 0),
            time("MapView/Fill32x32", 200 * kMicro),
            time("Startup/NewProcess", 60 * kMilli),
            memory,
        };
    }();
    return targets;
}

void Results::Note(const std::string& name) {
    if (std::find(m_order.begin(), m_order.end(), name) == m_order.end()) m_order.push_back(name);
}

void Results::AddTime(const std::string& name, double nanos) {
    Note(name);
    m_times[name].push_back(nanos);
}

void Results::AddCounter(const std::string& name, const std::string& counter, double value) {
    Note(name);
    m_counters[name][counter].push_back(value);
}

void Results::AddError(const std::string& name, const std::string& message) {
    Note(name);
    m_errors.emplace(name, message);
}

std::optional<double> Results::Nanos(const std::string& name) const {
    const auto it = m_times.find(name);
    return it == m_times.end() ? std::nullopt : Median(it->second);
}

std::optional<double> Results::Counter(const std::string& name, const std::string& counter) const {
    const auto it = m_counters.find(name);
    if (it == m_counters.end()) return std::nullopt;
    const auto c = it->second.find(counter);
    return c == it->second.end() ? std::nullopt : Median(c->second);
}

const std::string* Results::Error(const std::string& name) const {
    const auto it = m_errors.find(name);
    return it == m_errors.end() ? nullptr : &it->second;
}

std::string FormatNanos(double nanos) {
    if (nanos >= kMilli) return Figures(nanos / kMilli) + " ms";
    if (nanos >= kMicro) return Figures(nanos / kMicro) + " µs";
    return Figures(nanos) + " ns";
}

std::string FormatBytes(double bytes) {
    if (bytes >= 1e6) return Figures(bytes / 1e6) + " MB";
    return Figures(bytes / 1e3) + " kB";
}

std::vector<Row> MakeRows(const Results& results, const std::vector<CaseTarget>& targets, bool checkTargets) {
    std::vector<Row> rows;
    std::set<std::string> listed;
    std::set<std::string> fastest;  // floor cases that won against another way of measuring the same
    for (const CaseTarget& target : targets)
        if (target.floors.size() > 1)
            if (const auto floor = FastestFloor(results, target.floors)) fastest.insert(floor->first);
    auto judge = [&](const CaseTarget& target) {
        Row row;
        row.name = target.name;
        row.target = target.isFloor ? "floor" : Limit(target);
        listed.insert(target.name);
        if (const std::string* error = results.Error(target.name)) {
            row.verdict = "ERROR: " + *error;
            row.failed = true;
            return row;
        }
        const std::optional<double> nanos = results.Nanos(target.name);
        const std::optional<double> bytes = results.Counter(target.name, kPeakBytesCounter);
        if (!nanos && !bytes) {
            row.verdict = "did not run";
            row.failed = true;
            return row;
        }
        row.result = target.maxBytes > 0 && bytes ? FormatBytes(*bytes) : nanos ? FormatNanos(*nanos) : "";

        std::optional<double> ratio;
        if (!target.floors.empty()) {
            const auto floor = FastestFloor(results, target.floors);
            row.floor = floor ? floor->first : target.floors.front();
            if (floor && nanos) {
                row.floorResult = FormatNanos(floor->second);
                ratio = *nanos / floor->second;
                row.ratio = Printf("%.2f", *ratio) + "×";
            } else {
                row.floorResult = "missing";
            }
        }

        bool held = true;
        bool judged = false;
        if (target.maxRatio > 0) {
            judged = true;
            held = ratio && *ratio <= target.maxRatio;
        } else if (target.maxNanos > 0) {
            judged = true;
            held = nanos && *nanos < target.maxNanos;
        } else if (target.maxBytes > 0) {
            judged = true;
            held = bytes && *bytes < target.maxBytes;
        }
        if (target.isFloor && checkTargets) {
            row.verdict = fastest.count(target.name) ? "fastest" : "";
        } else if (!checkTargets || !judged) {
            row.verdict = checkTargets ? "" : "ran";
        } else {
            row.verdict = held ? "ok" : target.waiver.empty() ? "MISSED" : "MISSED, accepted: " + target.waiver;
            row.failed = !held && target.waiver.empty();
        }
        return row;
    };
    for (const CaseTarget& target : targets) {
        if (target.optional && !results.Nanos(target.name) && !results.Error(target.name)) continue;
        rows.push_back(judge(target));
    }
    for (const std::string& name : results.Names()) {
        if (listed.count(name)) continue;
        CaseTarget unlisted;
        unlisted.name = name;
        rows.push_back(judge(unlisted));
    }
    return rows;
}

std::string FormatTable(const std::vector<Row>& rows) {
    std::string out = "| Case | Result | Floor | Floor time | Ratio | Target | |\n|---|--:|---|--:|--:|--:|---|\n";
    for (const Row& r : rows)
        out += "| " + r.name + " | " + r.result + " | " + r.floor + " | " + r.floorResult + " | " + r.ratio + " | " +
               r.target + " | " + r.verdict + " |\n";
    return out;
}

} // namespace q2::bench
