// SPDX-License-Identifier: MIT
#pragma once
// The map viewer program (viewer.s) as built: the first 16 KiB bank of its
// cartridge image, with the header makebin wrote.

#include <cstddef>
#include <span>

namespace q2 {

namespace detail {
extern const unsigned char kViewerBytes[];
extern const std::size_t kViewerSize;
} // namespace detail

inline std::span<const unsigned char> ViewerBank() { return {detail::kViewerBytes, detail::kViewerSize}; }

// Where the program keeps its map table: "MAPS", the number of entries it
// has room for, the number in use, then the entries, 16 bytes each:
//   +0 map bank, +1 map address (2 bytes, low first), +3 map length (2),
//   +5 the largest view y, +6 tiles bank, +7 tiles address (2), +9 tiles length (2).
// An address below 0x4000 is read with bank 1 selected; 0x4000-0x7FFF in
// that bank.
constexpr std::size_t kViewerMapTable = 0x150;
constexpr std::size_t kViewerEntrySize = 16;

} // namespace q2
