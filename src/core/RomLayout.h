// SPDX-License-Identifier: MIT
#pragma once
// The sizes of a cartridge image and the one bounds check every reader of
// the image uses; below the map, the tiles and the ROM file alike.

#include <cstddef>
#include <cstdint>

namespace q2 {

constexpr int64_t kExpectedRomSize = 524288;          // 512 KiB
constexpr int64_t kMaxRomFileSize = 8 * 1024 * 1024;  // the largest cartridge

// True when the byte range [offset, offset + length) lies inside an image of romSize bytes.
constexpr bool RangeInside(int64_t offset, int64_t length, size_t romSize) {
    return offset >= 0 && length >= 0 && offset <= int64_t(romSize) && length <= int64_t(romSize) - offset;
}

} // namespace q2
