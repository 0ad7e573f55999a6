// SPDX-License-Identifier: MIT
#pragma once
// The names of the files an export writes: a map file for each catalogue
// entry, and one tileset image for each tile range, shared by every map
// that draws from that range.

#include "app/Catalogue.h"

#include <string>

namespace q2::tiled {

// File name of a tileset image, the same for every entry with this tile range.
std::string TilesetImageName(const MapEntry& entry);

// A file name (without extension) for catalogue entry index, made from its
// display name with letters, digits and '-' only, after the index: safe on
// every file system and unique within the catalogue.
std::string MapFileStem(int index, const std::string& displayName);

} // namespace q2::tiled
