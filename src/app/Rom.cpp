// SPDX-License-Identifier: MIT
#include "Rom.h"

#include "platform/File.h"

#include <cstring>

namespace q2 {

namespace {

RomReadResult Failure(RomReadStatus status, std::string message) {
    RomReadResult result;
    result.status = status;
    result.message = std::move(message);
    return result;
}

} // namespace

RomReadResult ReadRomFile(const std::string& path) {
    ReadResult file = ReadWholeFile(path, kMaxRomFileSize);
    switch (file.status) {
    case ReadStatus::Ok: break;
    case ReadStatus::Missing: return Failure(RomReadStatus::Missing, "Non-existent ROM file: " + path);
    case ReadStatus::NotAFile: return Failure(RomReadStatus::NotAFile, path + " is not a file");
    case ReadStatus::TooLarge:
        return Failure(RomReadStatus::TooLarge,
                       path + " is " + std::to_string(file.size) + " bytes, larger than any cartridge (8 MiB)");
    case ReadStatus::Failed: return Failure(RomReadStatus::ReadError, file.error.Text());
    }
    if (file.bytes.empty()) return Failure(RomReadStatus::Empty, path + " is empty");
    RomReadResult result;
    result.status = RomReadStatus::Ok;
    result.bytes = std::move(file.bytes);
    return result;
}

bool WriteRomFile(const std::string& path, const RomImage& image, std::string& error) {
    FileError failure;
    if (WriteInPlace(path, image, failure)) return true;
    error = failure.Text();
    return false;
}

bool RomFileHolds(const std::string& path, const RomImage& bytes) { return FileHolds(path, bytes); }

bool IsExpectedRom(const RomImage& rom) {
    if (int64_t(rom.size()) != kExpectedRomSize) return false;
    return std::memcmp(rom.data() + kTitleOffset, kExpectedTitle, 10) == 0;
}

} // namespace q2
