// SPDX-License-Identifier: MIT
#include "RomHeader.h"

#include "Rom.h"

namespace q2 {

namespace {
constexpr int kTitleLength = 16;  // 0x134 to 0x143
}

std::string RomTitle(std::span<const uint8_t> rom) {
    std::string title;
    for (size_t i = kTitleOffset; i < rom.size() && i < size_t(kTitleOffset + kTitleLength); ++i) {
        if (rom[i] < 0x20 || rom[i] > 0x7E) break;
        title += char(rom[i]);
    }
    return title;
}

} // namespace q2
