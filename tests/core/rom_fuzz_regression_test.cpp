// SPDX-License-Identifier: MIT
// The fuzz target's checks (fuzz/RomChecks.h) on its seed inputs, on images
// whose own bytes name hostile map offsets, and on every input the fuzzer has
// ever failed on (fuzz/regressions/), so that each stays fixed.
#include "../../fuzz/RomChecks.h"
#include "demo_rom.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>

using namespace q2;

namespace {

RomImage Resized(RomImage image, size_t size) {
    image.resize(size, 0);
    return image;
}

void PutInt32(RomImage& image, size_t at, int32_t value) {
    for (int i = 0; i < 4; ++i) image[at + size_t(i)] = uint8_t(uint32_t(value) >> (8 * i));
}

} // namespace

TEST(RomFuzzRegression, SeedSizes) {
    const RomImage demo = MakeDemoRom();
    for (size_t size : {0, 1, 308, 318, 524287, 524288, 524289}) {
        SCOPED_TRACE(size);
        EXPECT_EQ(fuzz::CheckRomImage(Resized(demo, size)), "");
    }
}

// Bytes 0 to 12 give one extra map (offset, first, last, sub-map bit);
// bytes 13 to 16 place another just around the image's end.
TEST(RomFuzzRegression, HostileOffsetsFromTheImagesOwnBytes) {
    const struct {
        int32_t map, first, last;
    } cases[] = {
        {INT32_MIN, INT32_MIN, INT32_MAX},  // a range of 4 GiB: stops at the surface's end
        {INT32_MAX, INT32_MAX, INT32_MIN},  // last before first: no tiles
        {-1, -2, 4093},                     // starts before the image
        {0x7FC00, 0x7F001, 0x80000},        // odd length, ending a byte past a 512 KiB image
        {0x7FD80, 0x7F000, 0x7FFFF},        // a sub-map and tiles that end exactly at the image's end
    };
    const RomImage base = test::PatternRom();
    for (const auto& c : cases) {
        for (bool sub : {false, true}) {
            SCOPED_TRACE(::testing::Message() << c.map << " " << c.first << " " << c.last << " sub " << sub);
            RomImage image = base;
            PutInt32(image, 0, c.map);
            PutInt32(image, 4, c.first);
            PutInt32(image, 8, c.last);
            image[12] = sub;
            for (uint8_t around : {0x00, 0x01, 0xFF, 0x80, 0x7F}) {
                image[13] = uint8_t(sub ? 1 : 0);
                image[14] = image[15] = image[16] = around;  // -128 to 127 bytes from the end
                EXPECT_EQ(fuzz::CheckRomImage(image), "");
                EXPECT_EQ(fuzz::CheckRomImage(Resized(image, 20)), "");
            }
        }
    }
}

TEST(RomFuzzRegression, EveryInputTheFuzzerFailedOn) {
    const std::filesystem::path folder = QUILL2_FUZZ_REGRESSIONS;
    ASSERT_TRUE(std::filesystem::is_directory(folder)) << folder;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (!entry.is_regular_file() || entry.path().extension() == ".md") continue;
        SCOPED_TRACE(entry.path().filename().string());
        EXPECT_EQ(fuzz::CheckRomImage(test::ReadFile(entry.path().string())), "");
    }
}
