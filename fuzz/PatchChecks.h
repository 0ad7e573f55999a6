// SPDX-License-Identifier: MIT
#pragma once
// Patches read from arbitrary bytes and checked. Shared by the patch fuzz
// target and the test that replays what it found. The first byte of an input
// says what the rest is:
//  'a'  a patch (BPS or IPS) applied to PatchSource(), its checksums not
//       checked (the fuzzer cannot make them right): refused in one line
//       naming it, or a result no larger than the largest cartridge;
//  'l'  two images, the first two bytes giving the first one's length: a
//       patch of each format made from one to the other, applied to the
//       first with every check, gives the second.

#include "Patch.h"

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace q2::fuzz {

// Larger inputs are not tried; the seeds are well below.
constexpr size_t kMaxPatchInput = 64 * 1024;

inline std::vector<uint8_t> PatchSource() {
    std::vector<uint8_t> source(1024);
    for (size_t i = 0; i < source.size(); ++i) source[i] = uint8_t(i * 7 + i / 64);
    return source;
}

inline std::string CheckPatchInput(std::span<const uint8_t> input) {
    if (input.empty()) return "";
    const std::span<const uint8_t> rest = input.subspan(1);
    if (input[0] == 'a') {
        const patch::Applied applied = patch::Apply(rest, PatchSource(), {"p", "rom"}, false);
        if (!applied.ok()) {
            if (applied.error.rfind("p", 0) != 0) return "the refusal does not name the patch: " + applied.error;
            if (applied.error.find('\n') != std::string::npos) return "the refusal is not one line: " + applied.error;
        } else if (int64_t(applied.bytes.size()) > patch::kMaxResultBytes) {
            return "the result is larger than the largest cartridge";
        }
        return "";
    }
    if (input[0] == 'l' && rest.size() >= 2) {
        const size_t split = std::min<size_t>(rest.size() - 2, size_t(rest[0]) << 8 | rest[1]);
        const std::span<const uint8_t> from = rest.subspan(2, split), to = rest.subspan(2 + split);
        for (const patch::Made& made : {patch::MakeBps(from, to), patch::MakeIps(from, to)}) {
            if (!made.ok()) return "no patch was made: " + made.error;
            const patch::Applied applied = patch::Apply(made.bytes, from, {"p", "rom"});
            if (!applied.ok()) return "a patch made here is refused: " + applied.error;
            if (!std::equal(applied.bytes.begin(), applied.bytes.end(), to.begin(), to.end()))
                return "a patch made here gives another result";
        }
    }
    return "";
}

} // namespace q2::fuzz
