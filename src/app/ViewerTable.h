// SPDX-License-Identifier: MIT
#pragma once
// The map table of the demo cartridge's map viewer (tools/gbviewer), as the
// editor finds it in an image: in bank 0 at kViewerMapTable, "MAPS", the
// number of entries it has room for, the number in use, then the entries,
// kViewerEntrySize bytes each:
//   +0 map bank, +1 map address (2 bytes, low first), +3 map length (2),
//   +5 the largest view y, +6 tiles bank, +7 tiles address (2), +9 tiles
//   length (2), +11 flags: bit 0, the map the viewer shows first.
// An address below 0x4000 is read with bank 1 selected; 0x4000-0x7FFF in
// that bank. Images made before the flags existed hold 0 there and start
// on the first entry.

#include "app/Rom.h"

#include <cstdint>

namespace q2 {

inline constexpr size_t kViewerMapTable = 0x150;
inline constexpr size_t kViewerEntrySize = 16;
inline constexpr size_t kViewerFlags = 11;
inline constexpr uint8_t kViewerStartFlag = 0x01;

// Where the viewer reads ROM offset from: a bank and an address.
struct ViewerPlace {
    uint8_t bank;
    uint16_t address;
};
ViewerPlace ViewerPlaceOf(int64_t offset);

// Makes the viewer's entry for the map at mapOffset the one it shows first.
// False, image untouched, when the image carries no such table (checked by its
// mark and its sizes, all within bank 0) or no entry in use holds that map.
bool SetViewerStartMap(RomImage& image, int32_t mapOffset);

} // namespace q2
