// SPDX-License-Identifier: MIT
// The benchmark table: medians, ratios to the floor and the verdicts.

#include "Report.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace q2::bench {
namespace {

CaseTarget Target(std::string name, std::string floor, double maxRatio) {
    CaseTarget target;
    target.name = std::move(name);
    if (!floor.empty()) target.floors = {std::move(floor)};
    target.maxRatio = maxRatio;
    return target;
}

TEST(BenchReport, CaseTimeIsTheMedianOfItsRuns) {
    Results results;
    for (double t : {9.0, 1.0, 5.0}) results.AddTime("a", t);
    for (double t : {4.0, 2.0, 8.0, 100.0}) results.AddTime("b", t);
    EXPECT_EQ(results.Nanos("a"), 5.0);
    EXPECT_EQ(results.Nanos("b"), 6.0);
    EXPECT_FALSE(results.Nanos("c"));
}

TEST(BenchReport, RatioIsJudgedAgainstTheFloorOfTheSameRun) {
    Results results;
    results.AddTime("floor", 1000);
    results.AddTime("fast", 3000);   // exactly at the limit: holds
    results.AddTime("slow", 3100);
    CaseTarget floor;
    floor.name = "floor";
    floor.isFloor = true;
    const auto rows = MakeRows(results, {floor, Target("fast", "floor", 3), Target("slow", "floor", 3)}, true);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_FALSE(rows[0].failed);
    EXPECT_EQ(rows[0].target, "floor");
    EXPECT_EQ(rows[1].ratio, "3.00×");
    EXPECT_EQ(rows[1].target, "≤ 3×");
    EXPECT_EQ(rows[1].verdict, "ok");
    EXPECT_EQ(rows[2].ratio, "3.10×");
    EXPECT_EQ(rows[2].verdict, "MISSED");
    EXPECT_TRUE(rows[2].failed);
    EXPECT_EQ(rows[2].result, "3.10 µs");

    // An accepted miss still reads as missed, with its reason, but fails nothing.
    CaseTarget accepted = Target("slow", "floor", 3);
    accepted.waiver = "it syncs";
    const auto waived = MakeRows(results, {accepted}, true);
    EXPECT_EQ(waived[0].verdict, "MISSED, accepted: it syncs");
    EXPECT_FALSE(waived[0].failed);
}

// Fault caught: a copy floor taken from memcpy where a plain loop copies the
// same bytes faster (or the other way round), so that a ratio passes only
// because the floor is slow on this machine.
TEST(BenchReport, AFloorMeasuredTwoWaysIsTheFasterOfThem) {
    Results results;
    results.AddTime("Floor/Memcpy/S", 20000);
    results.AddTime("Floor/CopyLoop/S", 1200);
    results.AddTime("draw", 6000);
    CaseTarget memcpyFloor, loopFloor;
    memcpyFloor.name = "Floor/Memcpy/S";
    loopFloor.name = "Floor/CopyLoop/S";
    memcpyFloor.isFloor = loopFloor.isFloor = true;
    CaseTarget draw = Target("draw", "", 3);
    draw.floors = {"Floor/Memcpy/S", "Floor/CopyLoop/S"};
    auto rows = MakeRows(results, {memcpyFloor, loopFloor, draw}, true);
    EXPECT_EQ(rows[0].verdict, "");
    EXPECT_EQ(rows[1].verdict, "fastest");
    EXPECT_EQ(rows[2].floor, "Floor/CopyLoop/S");
    EXPECT_EQ(rows[2].ratio, "5.00×");
    EXPECT_EQ(rows[2].verdict, "MISSED");

    // Where memcpy is the faster, it is the floor; one way missing, the other stands.
    results.AddTime("Floor/Memcpy/S", 500);
    results.AddTime("Floor/Memcpy/S", 500);
    rows = MakeRows(results, {memcpyFloor, loopFloor, draw}, true);
    EXPECT_EQ(rows[0].verdict, "fastest");
    EXPECT_EQ(rows[2].floor, "Floor/Memcpy/S");
    draw.floors = {"Floor/Absent/S", "Floor/CopyLoop/S"};
    EXPECT_EQ(MakeRows(results, {draw}, true)[0].ratio, "5.00×");
}

TEST(BenchReport, MissingFloorsErrorsAndAbsentCasesFail) {
    Results results;
    results.AddTime("orphan", 10);
    results.AddError("broken", "the editor did not start");
    results.AddTime("extra", 2.5e6);
    const auto rows =
        MakeRows(results, {Target("orphan", "nofloor", 2), Target("broken", "", 0), Target("absent", "", 0)}, true);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].floorResult, "missing");
    EXPECT_TRUE(rows[0].failed);
    EXPECT_EQ(rows[1].verdict, "ERROR: the editor did not start");
    EXPECT_TRUE(rows[1].failed);
    EXPECT_EQ(rows[2].verdict, "did not run");
    EXPECT_TRUE(rows[2].failed);
    // An optional case that did not run is left out instead.
    CaseTarget optional = Target("absent", "", 0);
    optional.optional = true;
    EXPECT_TRUE(MakeRows(Results(), {optional}, true).empty());
    // A case the suite does not list is still shown, without a target.
    EXPECT_EQ(rows[3].name, "extra");
    EXPECT_EQ(rows[3].result, "2.50 ms");
    EXPECT_FALSE(rows[3].failed);
}

TEST(BenchReport, AbsoluteTimeAndMemoryLimitsAndSmokeRuns) {
    Results results;
    results.AddTime("load", 299e3);
    results.AddTime("start", 61e6);
    results.AddTime("memory", 5e8);
    results.AddCounter("memory", kPeakBytesCounter, 38.2e6);
    CaseTarget load, start, memory;
    load.name = "load";
    load.maxNanos = 300e3;
    start.name = "start";
    start.maxNanos = 60e6;
    memory.name = "memory";
    memory.maxBytes = 50e6;

    auto rows = MakeRows(results, {load, start, memory}, true);
    EXPECT_EQ(rows[0].verdict, "ok");
    EXPECT_EQ(rows[0].target, "< 300 µs");
    EXPECT_EQ(rows[1].target, "< 60 ms");
    EXPECT_EQ(rows[2].target, "< 50 MB");
    EXPECT_EQ(rows[1].verdict, "MISSED");
    EXPECT_EQ(rows[2].result, "38.2 MB");
    EXPECT_EQ(rows[2].verdict, "ok");

    // A smoke run only tells that each case ran.
    rows = MakeRows(results, {load, start, memory}, false);
    for (const Row& row : rows) {
        EXPECT_EQ(row.verdict, "ran");
        EXPECT_FALSE(row.failed);
    }
}

TEST(BenchReport, TableHasOneLinePerRow) {
    Row row;
    row.name = "BuildTileset";
    row.result = "12.0 µs";
    const std::string table = FormatTable({row, row});
    EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 4);
    EXPECT_NE(table.find("| BuildTileset | 12.0 µs |"), std::string::npos);
}

} // namespace
} // namespace q2::bench
