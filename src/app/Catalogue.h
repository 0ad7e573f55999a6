// SPDX-License-Identifier: MIT
#pragma once
// The map catalogue: the fixed list of maps the editor can open, built from
// the catalogue text carried inside the program.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace q2 {

struct MapEntry {
    int32_t MapOffset = 0;     // first byte of the map data
    int32_t TilesetFirst = 0;  // first byte of the tile graphics
    int32_t TilesetLast = 0;   // last byte of the tile graphics, inclusive
    bool IsSubMap = false;     // 20 map rows instead of 32
};

// True when the entry's map bytes and the tile bytes it reads all lie in an
// image of romSize bytes; an entry that does not fit is never loaded.
bool MapEntryFits(const MapEntry& entry, size_t romSize);

struct MapCatalogue {
    std::vector<MapEntry> entries;
    std::vector<std::string> names;  // display names, one per entry, same order
};

struct CatalogueResult {
    bool ok = false;
    std::string error;  // what went wrong, with the system's reason
    MapCatalogue catalogue;
};

// The built-in catalogue text, byte for byte (CR LF line ends, none after the last line).
std::string_view MAP_NAMES();

// Writes the built-in text to a private temporary file of its own, reads it
// back line by line through the same open file, and deletes it. The folder is
// the system's temporary folder (TMPDIR, else /tmp).
CatalogueResult LoadMapCatalogue();

// Parses catalogue text: five lines an entry (kind, name, three hexadecimal
// offsets); CR LF or LF line ends.
MapCatalogue ParseMapCatalogue(std::string_view text);

// Value of a hexadecimal number written without prefix; reading stops at the
// first character that is not a hexadecimal digit. Kept as a 32-bit signed value.
int32_t ParseHexOffset(std::string_view line);

} // namespace q2
