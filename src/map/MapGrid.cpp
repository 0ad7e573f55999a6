// SPDX-License-Identifier: MIT
#include "MapGrid.h"

#include "core/RomLayout.h"

namespace q2 {

bool DecodeMap(std::span<const uint8_t> rom, int32_t mapOffset, bool isSubMap, MapGrid& grid) {
    if (!RangeInside(mapOffset, MapByteCount(isSubMap), rom.size())) return false;
    MapGrid decoded(kMapColumns, MapRows(isSubMap));
    const uint8_t* b = rom.data() + mapOffset;
    for (int y = 0; y < decoded.Rows(); ++y)
        for (int x = 0; x < kMapColumns; ++x, ++b) {
            decoded(x, y, 0) = DecodeColumn(*b);
            decoded(x, y, 1) = DecodeRow(*b);
        }
    grid = std::move(decoded);
    return true;
}

bool EncodeMap(const MapGrid& grid, int32_t mapOffset, std::span<uint8_t> rom) {
    if (grid.Empty() || !RangeInside(mapOffset, int64_t(grid.Rows()) * grid.Columns(), rom.size()))
        return false;
    uint8_t* b = rom.data() + mapOffset;
    for (int y = 0; y < grid.Rows(); ++y)
        for (int x = 0; x < grid.Columns(); ++x, ++b) *b = EncodeCell(grid(x, y, 0), grid(x, y, 1));
    return true;
}

} // namespace q2
