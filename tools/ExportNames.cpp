// SPDX-License-Identifier: MIT
#include "ExportNames.h"

#include <cctype>
#include <cstdio>

namespace q2::tiled {

std::string TilesetImageName(const MapEntry& entry) {
    char name[32];
    std::snprintf(name, sizeof name, "tiles-%05X-%05X.png", unsigned(entry.TilesetFirst), unsigned(entry.TilesetLast));
    return name;
}

std::string MapFileStem(int index, const std::string& displayName) {
    char number[16];
    std::snprintf(number, sizeof number, "%02d", index);
    std::string stem = number;
    bool gap = true;  // a '-' goes between words, never twice or at the end
    for (unsigned char c : displayName) {
        if (std::isalnum(c) && c < 0x80) {
            if (gap) stem += '-';
            stem += char(c);
            gap = false;
        } else {
            gap = true;
        }
        if (stem.size() >= 64) break;
    }
    return stem;
}

} // namespace q2::tiled
