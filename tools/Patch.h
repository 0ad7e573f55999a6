// SPDX-License-Identifier: MIT
#pragma once
// Patches: what turns one ROM image into another, in the two formats players'
// patchers read. BPS ("BPS1", numbers of 7-bit groups, four kinds of action,
// then the CRC32 of the original, the result and the patch) and IPS ("PATCH",
// records of offset, size and bytes, "EOF", optionally the size to cut the
// result to). Readers trust no size in a patch: every read and write stays
// inside its buffer, and a result never grows past kMaxResultBytes.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace q2::patch {

enum class Format { Bps, Ips };

// The largest result a patch may make: the largest cartridge the program reads.
constexpr int64_t kMaxResultBytes = 8 * 1024 * 1024;
// IPS offsets are 3 bytes; its end marker "EOF" read as an offset.
constexpr int64_t kIpsLimit = 0x1000000;
constexpr int64_t kIpsEofOffset = 0x454F46;

// By the file name's extension, .bps or .ips (any case); nothing for another.
std::optional<Format> FormatOf(const std::string& path);

uint32_t Crc32(std::span<const uint8_t> bytes);

struct Made {
    std::vector<uint8_t> bytes;
    std::string error;  // why it cannot be made in this format (then bytes is empty)
    bool ok() const { return error.empty(); }
};

// A patch that turns source into target. BPS reads unchanged runs from the
// source, changed bytes from the patch, and runs of one repeated byte from
// what it has already written.
Made MakeBps(std::span<const uint8_t> source, std::span<const uint8_t> target);
// Refused when a change lies at or past 16 MiB, or target is that large.
Made MakeIps(std::span<const uint8_t> source, std::span<const uint8_t> target);

struct Applied {
    std::vector<uint8_t> bytes;  // the result
    std::string error;           // one line naming the patch (or the ROM) and what is wrong
    bool ok() const { return error.empty(); }
};

struct Names {
    std::string patch, rom;  // as messages name them
};

// Applies patch (BPS or IPS, told by its first bytes) to rom. A BPS patch is
// refused when its own checksum is wrong, when rom is not the ROM it was made
// for (both checksums named), and when the result is not the one it was made
// to give; checkChecksums false skips the three (for the fuzzer, which cannot
// make them right).
Applied Apply(std::span<const uint8_t> patch, std::span<const uint8_t> rom, const Names& names,
              bool checkChecksums = true);

} // namespace q2::patch
