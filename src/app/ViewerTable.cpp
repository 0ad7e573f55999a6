// SPDX-License-Identifier: MIT
#include "app/ViewerTable.h"

#include <string_view>

namespace q2 {

namespace {
constexpr size_t kBankSize = 0x4000;
}

ViewerPlace ViewerPlaceOf(int64_t offset) {
    if (offset < int64_t(kBankSize)) return {1, uint16_t(offset)};
    return {uint8_t(offset >> 14), uint16_t(0x4000 | (offset & 0x3FFF))};
}

bool SetViewerStartMap(RomImage& image, int32_t mapOffset) {
    const size_t table = kViewerMapTable, first = table + 6;
    if (image.size() < kBankSize || std::string_view(reinterpret_cast<const char*>(&image[table]), 4) != "MAPS")
        return false;
    const size_t room = image[table + 4], count = image[table + 5];
    if (count > room || first + room * kViewerEntrySize > kBankSize) return false;
    const ViewerPlace place = ViewerPlaceOf(mapOffset);
    size_t found = count;
    for (size_t i = 0; i < count && found == count; ++i) {
        const uint8_t* entry = &image[first + i * kViewerEntrySize];
        if (entry[0] == place.bank && (entry[1] | entry[2] << 8) == place.address) found = i;
    }
    if (found == count) return false;
    for (size_t i = 0; i < count; ++i) {
        uint8_t& flags = image[first + i * kViewerEntrySize + kViewerFlags];
        flags = uint8_t(i == found ? flags | kViewerStartFlag : flags & ~kViewerStartFlag);
    }
    return true;
}

} // namespace q2
