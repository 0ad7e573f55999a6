// SPDX-License-Identifier: MIT
#pragma once
// The cartridge header of a ROM image, as far as the program shows it: the
// title that exported maps record, so that an import into a ROM of another
// title can be warned about.

#include <cstdint>
#include <span>
#include <string>

namespace q2 {

// The cartridge title: the printable characters from offset 0x134 on, up to
// 16, ending at the first that is not. Empty for an image too short to hold one.
std::string RomTitle(std::span<const uint8_t> rom);

} // namespace q2
