// SPDX-License-Identifier: MIT
#pragma once
// Two ROM images side by side, in the catalogue's terms: which maps' cells
// and which tile ranges' tiles differ, and how many other bytes; and which
// tiles each map's cells name.

#include "app/Catalogue.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace q2::compare {

// A tile range of the catalogue and the maps (catalogue indices) that draw
// with it.
struct TileRange {
    int32_t first = 0, last = 0;
    std::vector<int> maps;
};

// The distinct tile ranges, in the order the catalogue first names them.
std::vector<TileRange> TileRanges(const MapCatalogue& catalogue);

struct MapChange {
    int index = 0;
    int cells = 0;  // > 0
};
struct RangeChange {
    size_t range = 0;  // into the ranges given
    int tiles = 0;     // > 0
};

struct RomDiff {
    bool same = false;  // the two images are equal, size and bytes
    std::vector<MapChange> maps;      // the maps with changed cells, in catalogue order
    std::vector<RangeChange> ranges;  // the ranges with changed tiles, in their order
    int64_t otherBytes = 0;           // changed bytes outside every map and range
    int64_t otherRuns = 0;            // runs of consecutive such bytes
};

// A byte differs when the images hold different values there, or only one
// of them reaches it.
RomDiff Compare(std::span<const uint8_t> before, std::span<const uint8_t> after, const MapCatalogue& catalogue,
                const std::vector<TileRange>& ranges);

// One flag per cell of the map entry describes, row by row: its byte differs.
std::vector<bool> ChangedCells(std::span<const uint8_t> before, std::span<const uint8_t> after, const MapEntry& entry);

// How many cells of the map hold each byte value; the map must lie in rom.
std::array<int, 256> ByteCounts(std::span<const uint8_t> rom, const MapEntry& entry);

} // namespace q2::compare
