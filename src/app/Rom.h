// SPDX-License-Identifier: MIT
#pragma once
// The ROM file: reading it whole, and the size and title check.

#include "core/RomLayout.h"

#include <cstdint>
#include <string>
#include <vector>

namespace q2 {

constexpr int kTitleOffset = 308;                         // 0x134
constexpr char kExpectedTitle[] = "QUILLMOOR2";           // 10 characters

using RomImage = std::vector<uint8_t>;

enum class RomReadStatus {
    Ok,
    Missing,    // nothing at that path
    NotAFile,   // a directory or other non-regular file
    TooLarge,   // over kMaxRomFileSize; refused from its size alone
    Empty,      // a file of 0 bytes
    ReadError,  // could not be opened or read in full
};

struct RomReadResult {
    RomReadStatus status = RomReadStatus::ReadError;
    RomImage bytes;       // the whole file when status is Ok
    std::string message;  // for anything but Ok: what failed, with the system's reason
    bool ok() const { return status == RomReadStatus::Ok; }
};

// Reads the file at path whole.
RomReadResult ReadRomFile(const std::string& path);

// True for exactly 524,288 bytes with "QUILLMOOR2" at offsets 308 to 317.
bool IsExpectedRom(const RomImage& rom);

// Writes the image over the start of the file at path: created when missing,
// never truncated, so bytes beyond the image's length stay. The written bytes
// are read back and compared. False with error set (what failed and the
// system's reason) when anything fails.
bool WriteRomFile(const std::string& path, const RomImage& image, std::string& error);

// True when the file at path holds exactly bytes, no more and no fewer;
// false when it differs or cannot be read. Reads it a piece at a time.
bool RomFileHolds(const std::string& path, const RomImage& bytes);

} // namespace q2
