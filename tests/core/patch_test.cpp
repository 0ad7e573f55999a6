// SPDX-License-Identifier: MIT
// Patches made and applied, and the tool's commands for sharing a hack.
#include "../../fuzz/PatchChecks.h"
#include "Patch.h"
#include "support/Command.h"
#include "support/TestFiles.h"

#include <QImage>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

using namespace q2;

namespace {

RomImage With(RomImage rom, size_t at, const std::vector<uint8_t>& bytes) {
    if (rom.size() < at + bytes.size()) rom.resize(at + bytes.size());
    std::copy(bytes.begin(), bytes.end(), rom.begin() + ptrdiff_t(at));
    return rom;
}

// Every byte of [at, at + count) changed.
RomImage Changed(RomImage rom, size_t at, size_t count) {
    for (size_t i = at; i < at + count; ++i) rom[i] ^= 0x5A;
    return rom;
}

void PutNumber(std::vector<uint8_t>& out, uint64_t n) {
    for (;; --n) {
        out.push_back(n & 0x7F);
        if ((n >>= 7) == 0) {
            out.back() |= 0x80;
            return;
        }
    }
}

void PutLe32(std::vector<uint8_t>& out, uint32_t n) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(uint8_t(n >> shift));
}

// A BPS patch for source with the actions (and numbers) given, its own
// checksum right; the result's checksum is that of an empty file.
std::vector<uint8_t> Bps(const RomImage& source, uint64_t targetSize, const std::vector<uint64_t>& numbers,
                         const std::vector<uint8_t>& tail = {}) {
    std::vector<uint8_t> patch = {'B', 'P', 'S', '1'};
    PutNumber(patch, source.size());
    PutNumber(patch, targetSize);
    PutNumber(patch, 0);
    for (const uint64_t n : numbers) PutNumber(patch, n);
    patch.insert(patch.end(), tail.begin(), tail.end());
    PutLe32(patch, patch::Crc32(source));
    PutLe32(patch, 0);
    PutLe32(patch, patch::Crc32(patch));
    return patch;
}

template <size_t N>
std::vector<uint8_t> Bytes(const char (&text)[N]) {
    return {text, text + N - 1};
}

} // namespace

// apply(make(A, B), A) = B in both formats, and BPS patches as small as map
// edits need. Faults caught: a run or record lost or misplaced, an IPS
// record at the offset that reads as "EOF", a size change dropped.
TEST(Patch, AppliedToTheOriginalGivesTheModified) {
    const RomImage a = test::PatternRom();
    RomImage big = a;
    big.resize(0x460000, 0x11);
    const struct {
        const char* what;
        RomImage from, to;
        size_t maxBps = 0;  // 0: no bound
    } cases[] = {
        {"the same", a, a, 30},
        {"one cell", Changed(a, 0x37005, 1), a, 40},
        {"a whole map", a, Changed(a, 0x37000, 1024), 1229},
        {"every map and tile range", a, Changed(Changed(Changed(a, 0x37000, 4096), 0x3B000, 0x1000), 0x34800, 0x1000)},
        {"a run of one byte", a, With(a, 0x40000, std::vector<uint8_t>(3000, 0xEE)), 60},
        {"grown", a, With(a, a.size(), {1, 2, 3})},
        {"cut", a, RomImage(a.begin(), a.begin() + 1000)},
        {"from nothing", {}, a},
        {"a change at IPS's EOF offset", big, Changed(big, 0x454F46, 3)},
        {"a record split onto it", big, Changed(big, 0x454F46 - 0xFFFF, 0x10002)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const patch::Made bps = patch::MakeBps(c.from, c.to), ips = patch::MakeIps(c.from, c.to);
        ASSERT_TRUE(bps.ok() && ips.ok()) << bps.error << ips.error;
        for (const auto* made : {&bps, &ips}) {
            const patch::Applied applied = patch::Apply(made->bytes, c.from, {"p", "rom"});
            EXPECT_EQ(applied.error, "");
            EXPECT_TRUE(applied.bytes == c.to);
        }
        if (c.maxBps) {
            EXPECT_LT(bps.bytes.size(), c.maxBps);
        }
    }
    EXPECT_FALSE(patch::MakeIps({}, RomImage(0x1000000, 0)).ok());  // past 16 MiB
}

// Each malformed or mismatched patch is refused in one line naming it, and
// nothing is read or written outside the buffers (the sanitizer build
// watches). Faults caught: a size trusted, a copy past either end, a number
// read forever, a wrong base or a damaged patch applied.
TEST(Patch, RefusesEachMalformedOrMismatchedPatch) {
    const RomImage rom(64, 7);
    std::vector<uint8_t> good = patch::MakeBps(rom, Changed(rom, 3, 2)).bytes;
    std::vector<uint8_t> damaged = good;
    damaged[6] ^= 1;
    const std::vector<uint8_t> wrongResult = Bps(rom, 64, {(63ull << 2) | 0});  // the ROM whole, said to be empty
    const std::string bps = "p: malformed BPS patch: ", ips = "p: malformed IPS patch: ";
    const struct {
        std::vector<uint8_t> patch;
        std::string error;  // its beginning
    } cases[] = {
        {Bytes("BPS1"), "p: the BPS patch is cut short"},
        {damaged, "p: the patch is damaged: its CRC32 is "},
        {patch::MakeBps(RomImage(64, 8), rom).bytes, "p was made for a ROM with CRC32 "},
        {patch::MakeBps(RomImage(65, 7), rom).bytes, "p was made for a ROM of 65 bytes with CRC32 "},
        {wrongResult, "p: the result's CRC32 is "},
        {Bps(rom, 9 << 20, {}), "p: its result would be 9437184 bytes"},
        {Bps(rom, 4, {(4ull << 2) | 1}, {1, 2, 3, 4}), bps + "an action at byte 8 writes past the end"},
        {Bps(rom, 80, {(79ull << 2) | 0}), bps + "it reads past the end of rom"},
        {Bps(rom, 8, {(7ull << 2) | 2, 60 << 1}), bps + "a copy reaches outside the ROM"},
        {Bps(rom, 8, {(7ull << 2) | 2, (1 << 1) | 1}), bps + "a copy reaches outside the ROM"},
        {Bps(rom, 8, {(7ull << 2) | 3, 0}), bps + "a copy reaches outside what is written"},
        {Bps(rom, 8, {(7ull << 2) | 1}, {1, 2}), bps + "it is cut short: 8 bytes said"},
        {Bps(rom, 8, {}, std::vector<uint8_t>(12, 0)), bps + "a number at byte "},
        {Bps(rom, 8, {(3ull << 2) | 0}), bps + "it ends after 4 of the 8 bytes"},
        {Bytes("PATCH"), ips + "it is cut short"},
        {Bytes("PATCH\x01\x02\x03\x00\x09xy"), ips + "it is cut short"},
        {Bytes("PATCH\x7F\xFF\xFF\x00\x02xyEOF"), ips + "its result would be 8388609 bytes"},
        {Bytes("PATCH\x00\x00\x01\x00\x00\xFF\xFFzEOF"), ""},  // a run of 65535 bytes, fine
        {Bytes("PATCHEOF\x01"), ips + "1 bytes follow its end marker"},
        {Bytes("NOTAPATCH"), "p: not a BPS or IPS patch"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        const patch::Applied applied = patch::Apply(c.patch, rom, {"p", "rom"});
        EXPECT_EQ(applied.error.substr(0, c.error.size()), c.error) << applied.error;
        EXPECT_EQ(applied.error.find('\n'), std::string::npos);
        EXPECT_EQ(applied.ok(), c.error.empty());
    }
}

// The commands end to end. Faults caught: a diff that misses a map, a range
// or the bytes between, exit codes other than cmp's, a picture that frames
// other cells, a wrong base written over, a usage line out of place.
TEST(Patch, ToolComparesPatchesAndCountsTiles) {
    test::TempDir dir;
    const std::string a = dir.File("a.gb"), b = dir.File("b.gb"), png = dir.File("d.png");
    const RomImage before = test::PatternRom();
    RomImage after = Changed(Changed(Changed(before, 0x3B000 + 33, 2), 0x38800 + 16 * 5, 1), 0x100, 3);
    after[0x200] ^= 1;
    test::WriteFile(a, before);
    test::WriteFile(b, after);

    test::CommandRun run = test::MapTool("diff " + a + " " + b + " --map 4 -o " + png + " --scale 2");
    EXPECT_EQ(run.code, 1) << run.err;
    EXPECT_EQ(run.out, "4 Lantern Zone: 2 cells changed\n"
                       "tiles 38800-397FF: 1 tile changed, used by maps 4, 11\n"
                       "other bytes: 4 changed in 2 runs\n");
    const QImage picture(QString::fromStdString(png));
    ASSERT_EQ(picture.size(), QSize(512, 320));
    for (int y = 0; y < 320; ++y)
        for (int x = 0; x < 512; ++x) {
            const int cell = (y / 16) * 32 + x / 16, inCell = std::min({x % 16, y % 16, 15 - x % 16, 15 - y % 16});
            const bool frame = (cell == 33 || cell == 34) && inCell == 0;
            ASSERT_EQ(picture.pixel(x, y) == qRgb(255, 0, 0), frame) << x << "," << y;
        }
    EXPECT_EQ(test::MapTool("diff " + a + " " + a).code, 0);

    // A patch made for a.gb refused on b.gb, both checksums named, nothing written.
    ASSERT_EQ(test::MapTool("make-patch " + a + " " + b + " " + dir.File("p.bps")).code, 0);
    run = test::MapTool("apply-patch " + dir.File("p.bps") + " " + b + " " + dir.File("c.gb"));
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.find("p.bps was made for a ROM with CRC32 "), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(dir.File("c.gb")));

    // Tile 0x13 of the overworld's range is named by byte 0x93.
    std::string counts;
    for (const int map : {0x37000, 0x37400, 0x37800, 0x37C00})
        counts += "\t" + std::to_string(std::count(after.begin() + map, after.begin() + map + 1024, 0x93));
    run = test::MapTool("usage " + b);
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.out.rfind("range\ttile\tbyte\t0\t1\t2\t3\n34800-357FF\t0\t0x80\t", 0), 0u) << run.out.substr(0, 80);
    EXPECT_NE(run.out.find("\n34800-357FF\t19\t0x93" + counts + "\n"), std::string::npos);
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 10 * 257);
    run = test::MapTool("usage " + b + " --unused");
    for (size_t at = 0; at < run.out.size(); at = run.out.find('\n', at) + 1) {
        const std::string line = run.out.substr(at, run.out.find('\n', at) - at);
        if (line.rfind("range", 0) == 0) continue;
        const size_t counted = line.find('\t', line.find('\t', line.find('\t') + 1) + 1);
        EXPECT_EQ(line.find_first_not_of("\t0", counted), std::string::npos) << line;
    }
}

// The patch fuzz target's checks on every input it has failed on.
TEST(Patch, EveryInputTheFuzzerFailedOn) {
    const std::filesystem::path folder = QUILL2_FUZZ_REGRESSIONS "/patch";
    if (!std::filesystem::is_directory(folder)) GTEST_SKIP() << "none kept";
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        SCOPED_TRACE(entry.path().filename().string());
        EXPECT_EQ(fuzz::CheckPatchInput(test::ReadFile(entry.path().string())), "");
    }
}
