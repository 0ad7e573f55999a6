// SPDX-License-Identifier: MIT
// The import fuzz target's checks (fuzz/ImportChecks.h) on every input it
// has ever failed on (fuzz/regressions/import/), so that each stays fixed.
#include "../../fuzz/ImportChecks.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace q2;

TEST(ImportFuzzRegression, EveryInputTheFuzzerFailedOn) {
    const std::filesystem::path folder = QUILL2_FUZZ_REGRESSIONS "/import";
    ASSERT_TRUE(std::filesystem::is_directory(folder)) << folder;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (!entry.is_regular_file() || entry.path().extension() == ".md") continue;
        SCOPED_TRACE(entry.path().filename().string());
        const RomImage input = test::ReadFile(entry.path().string());
        EXPECT_NE(fuzz::ReaderFor(input), nullptr) << "the first byte names no reader";
        EXPECT_EQ(fuzz::CheckImportInput(input), "");
    }
}
