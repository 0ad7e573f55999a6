// SPDX-License-Identifier: MIT
// quill2-bench: the editor's benchmarks, each case beside its floor measured
// in the same run, closed by a table of ratios and targets.
//
//   quill2-bench [--smoke] [--benchmark_* flags]
//
// --smoke runs every case once and checks only that it ran. Exit code 1 when
// a case failed or a target was missed.

#include "BenchSupport.h"
#include "Report.h"

#include "ui/AppFont.h"

#include <QApplication>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <thread>

namespace q2::bench {
namespace {

// The console output as usual, and every run gathered for the table. With
// aggregates only on display, a case's median aggregate stands for it.
class TableReporter : public benchmark::ConsoleReporter {
public:
    TableReporter() : benchmark::ConsoleReporter(OO_None) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const std::string& name = run.run_name.function_name;
            if (run.error_occurred) {
                m_results.AddError(name, run.error_message);
                continue;
            }
            Collected& c = m_collected[name];
            if (run.run_type == Run::RT_Iteration) {
                c.times.push_back(Nanos(run));
                if (auto it = run.counters.find(kPeakBytesCounter); it != run.counters.end())
                    c.peaks.push_back(it->second.value);
            } else if (run.aggregate_name == "median") {
                c.medianTime = Nanos(run);
                if (auto it = run.counters.find(kPeakBytesCounter); it != run.counters.end())
                    c.medianPeak = it->second.value;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    Results TakeResults() {
        for (const auto& [name, c] : m_collected) {
            if (!c.times.empty()) {
                for (double t : c.times) m_results.AddTime(name, t);
                for (double p : c.peaks) m_results.AddCounter(name, kPeakBytesCounter, p);
            } else if (c.medianTime) {
                m_results.AddTime(name, *c.medianTime);
                if (c.medianPeak) m_results.AddCounter(name, kPeakBytesCounter, *c.medianPeak);
            }
        }
        return std::move(m_results);
    }

private:
    struct Collected {
        std::vector<double> times, peaks;
        std::optional<double> medianTime, medianPeak;
    };
    static double Nanos(const Run& run) {
        return run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit) * 1e9;
    }
    std::map<std::string, Collected> m_collected;
    Results m_results;
};

std::string CpuModel() {
    std::ifstream in("/proc/cpuinfo");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("model name", 0) == 0) {
            const size_t colon = line.find(':');
            if (colon != std::string::npos) return line.substr(line.find_first_not_of(" \t", colon + 1));
        }
    }
    return "unknown processor";
}

bool TakeFlag(int& argc, char** argv, const char* flag) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], flag) == 0) {
            for (int j = i; j + 1 <= argc; ++j) argv[j] = argv[j + 1];
            --argc;
            return true;
        }
    }
    return false;
}

} // namespace
} // namespace q2::bench

int main(int argc, char** argv) {
    using namespace q2::bench;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (argc == 3 && std::strcmp(argv[1], "--child-startup") == 0) return RunChild(argc, argv, argv[2], false);
    if (argc == 3 && std::strcmp(argv[1], "--child-all-maps") == 0) return RunChild(argc, argv, argv[2], true);

    const bool smoke = TakeFlag(argc, argv, "--smoke");
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    const std::string filter = benchmark::GetBenchmarkFilter();
    const bool filtered = !filter.empty() && filter != "." && filter != "all";
    // A chosen case still needs its floor for the ratio: floors always run.
    if (filtered && filter[0] != '-') benchmark::SetBenchmarkFilter("(" + filter + ")|^Floor/");

    // The saves back the ROM up before their first write: into the run's folder.
    setenv("XDG_STATE_HOME", (WorkFolder() + "/state").c_str(), 1);
    QApplication app(argc, argv);
    QApplication::setApplicationName("Quill2 MapEditor");
    q2::InstallApplicationFont();
    BenchToolkit toolkit(DemoRomPath());
    q2::ScopedToolkit scope(toolkit);

    RegisterCoreBenchmarks(smoke);
    RegisterWindowBenchmarks(smoke);
    RegisterProcessBenchmarks(smoke);
    RegisterPatchBenchmarks(smoke);

    TableReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const Results results = reporter.TakeResults();
    RemoveWorkFolders();

    std::vector<CaseTarget> targets;
    for (const CaseTarget& target : SuiteTargets())
        if (!filtered || results.Nanos(target.name) || results.Error(target.name)) targets.push_back(target);
    const std::vector<Row> rows = MakeRows(results, targets, !smoke);

    std::cout << "\nMachine: " << CpuModel() << ", " << std::thread::hardware_concurrency() << " cores, Qt "
              << qVersion() << "\n";
    if (smoke) std::cout << "Smoke run: every case once; the targets are not judged.\n";
    std::cout << "\n" << FormatTable(rows);
    int failed = 0, accepted = 0;
    for (const Row& row : rows) {
        failed += row.failed ? 1 : 0;
        accepted += !row.failed && row.verdict.rfind("MISSED", 0) == 0 ? 1 : 0;
    }
    if (failed)
        std::cout << "\n" << failed << (failed == 1 ? " case" : " cases") << " failed or missed the target.\n";
    else if (!smoke)
        std::cout << "\nEvery target holds" << (accepted ? ", but for the accepted misses above" : "") << ".\n";
    return failed ? 1 : 0;
}
