// SPDX-License-Identifier: MIT
// Measurements that need a fresh process: start-up from nothing to the
// window shown, and the peak memory of an editor that has loaded every map.
// The parent starts this program again in a child mode and watches it.

#include "BenchSupport.h"
#include "Report.h"

#include "ui/AppFont.h"

#include <QApplication>

#include <cstdio>

namespace q2::bench {

namespace {

constexpr char kShown[] = "shown";
constexpr char kLoaded[] = "loaded";

// The editor's own start-up, as its main() runs it. Null when it ended
// without showing the window.
std::unique_ptr<modMain> StartEditor() {
    QApplication::setApplicationName("Quill2 MapEditor");
    InstallApplicationFont();
    auto program = std::make_unique<modMain>();
    if (!program->Main()) return nullptr;
    ProcessEvents();  // the first paint
    return program;
}

void StartupNewProcessCase(benchmark::State& state) {
    for (auto _ : state) {
        Stopwatch watch;
        Child child({"--child-startup", DemoRomPath()});
        const std::string line = child.ReadLine();
        state.SetIterationTime(watch.Seconds());
        if (line != kShown || child.Finish() < 0) {
            state.SkipWithError("the editor did not start in a new process");
            return;
        }
    }
}

void PeakMemoryCase(benchmark::State& state) {
    for (auto _ : state) {
        Stopwatch watch;
        Child child({"--child-all-maps", DemoRomPath()});
        const std::string line = child.ReadLine();
        const long long peak = child.Finish();
        state.SetIterationTime(watch.Seconds());
        if (line != kLoaded || peak < 0) {
            state.SkipWithError("the editor did not load every map");
            return;
        }
        state.counters[kPeakBytesCounter] = double(peak);
    }
}

} // namespace

int RunChild(int argc, char** argv, const std::string& romPath, bool allMaps) {
    QApplication app(argc, argv);
    BenchToolkit toolkit(romPath);
    ScopedToolkit scope(toolkit);
    auto program = StartEditor();
    if (!program) return 1;
    if (!allMaps) {
        std::printf("%s\n", kShown);
        std::fflush(stdout);
        return 0;
    }
    const size_t maps = program->Catalogue.entries.size();
    if (maps == 0) return 1;
    for (size_t i = 0; i < maps; ++i) {
        if (!program->LoadMap(int16_t(i))) return 1;
        ProcessEvents();
    }
    std::printf("%s\n", kLoaded);
    std::fflush(stdout);
    return 0;
}

void RegisterProcessBenchmarks(bool smoke) {
    using benchmark::RegisterBenchmark;
    Tune(RegisterBenchmark("Startup/NewProcess", StartupNewProcessCase), smoke)->UseManualTime();
    Tune(RegisterBenchmark("PeakMemory/AllMaps", PeakMemoryCase), smoke)->UseManualTime()->Iterations(1);
}

} // namespace q2::bench
