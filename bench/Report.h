// SPDX-License-Identifier: MIT
#pragma once
// The benchmark report: every case with its time, the floor it is held
// against (a copy, a write or a read of the same bytes, measured in the same
// run), the ratio, and whether the case's target holds.

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace q2::bench {

// What a case must meet. A case with a floor is judged by its time over the
// floor's; one without by its own time, or by its peak memory.
struct CaseTarget {
    std::string name;
    // The floor cases: the fastest of them in the run is the floor (a copy is
    // measured both as memcpy and as a plain loop, whichever this machine
    // runs faster); empty: none.
    std::vector<std::string> floors;
    double maxRatio = 0;       // > 0: time / floor time must not exceed it
    double maxNanos = 0;       // > 0: the time must stay below it
    double maxBytes = 0;       // > 0: peak memory, must stay below it
    bool isFloor = false;      // a floor itself: shown, never judged
    std::string waiver;        // why a miss is accepted: shown, not counted as a failure
    bool optional = false;     // left out of the table when it did not run
};

// The cases of the suite in report order, floors first, each case after its floor.
const std::vector<CaseTarget>& SuiteTargets();

// Name of the counter that carries a case's peak resident memory, in bytes.
inline constexpr char kPeakBytesCounter[] = "peak_bytes";

// Measurements gathered from the runs of a benchmark program.
class Results {
public:
    // One run (one repetition) of a case: wall time per iteration.
    void AddTime(const std::string& name, double nanos);
    void AddCounter(const std::string& name, const std::string& counter, double value);
    void AddError(const std::string& name, const std::string& message);

    // Median over the runs of the case; nothing when it did not run.
    std::optional<double> Nanos(const std::string& name) const;
    std::optional<double> Counter(const std::string& name, const std::string& counter) const;
    const std::string* Error(const std::string& name) const;
    // Every case that reported something, in first-reported order.
    const std::vector<std::string>& Names() const { return m_order; }

private:
    void Note(const std::string& name);
    std::map<std::string, std::vector<double>> m_times;
    std::map<std::string, std::map<std::string, std::vector<double>>> m_counters;
    std::map<std::string, std::string> m_errors;
    std::vector<std::string> m_order;
};

struct Row {
    std::string name, result;
    std::string floor, floorResult;  // the floor case that was fastest, and its time
    std::string ratio, target, verdict;
    bool failed = false;  // a target missed, an error, or a case that did not run
};

// One row per target, then one per case that has no target. With checkTargets
// false the verdict only tells whether the case ran. Of floors measured
// several ways, the row of the fastest says so.
std::vector<Row> MakeRows(const Results& results, const std::vector<CaseTarget>& targets, bool checkTargets);

// The rows as a Markdown table.
std::string FormatTable(const std::vector<Row>& rows);

// "12.3 µs", "4.56 ms"; "38.2 MB" for memory.
std::string FormatNanos(double nanos);
std::string FormatBytes(double bytes);

} // namespace q2::bench
