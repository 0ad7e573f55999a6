// SPDX-License-Identifier: MIT
#include "Catalogue.h"

#include "core/RomLayout.h"
#include "map/MapGrid.h"
#include "platform/File.h"
#include "tiles/Tileset.h"

#include <cstdlib>
#include <optional>
#include <span>
#include <vector>

namespace q2 {

namespace detail {
extern const unsigned char kMapNamesBytes[];
extern const std::size_t kMapNamesSize;
} // namespace detail

std::string_view MAP_NAMES() {
    return {reinterpret_cast<const char*>(detail::kMapNamesBytes), detail::kMapNamesSize};
}

bool MapEntryFits(const MapEntry& entry, size_t romSize) {
    return RangeInside(entry.MapOffset, MapByteCount(entry.IsSubMap), romSize) &&
           RangeInside(entry.TilesetFirst, TilesetBytesRead(entry.TilesetFirst, entry.TilesetLast), romSize);
}

int32_t ParseHexOffset(std::string_view line) {
    uint32_t value = 0;
    for (char c : line) {
        int digit;
        if (c >= '0' && c <= '9') digit = c - '0';
        else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        else break;
        value = (value << 4) | uint32_t(digit);
    }
    return int32_t(value);
}

MapCatalogue ParseMapCatalogue(std::string_view text) {
    size_t pos = 0;
    auto atEnd = [&] { return pos >= text.size(); };
    auto readLine = [&]() -> std::string_view {
        if (atEnd()) return {};
        size_t end = text.find('\n', pos);
        std::string_view line = text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
        pos = end == std::string_view::npos ? text.size() : end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        return line;
    };

    MapCatalogue catalogue;
    // The end is only tested before an entry's kind line; a text cut short
    // inside an entry leaves that entry's missing lines empty (offsets 0).
    while (!atEnd()) {
        MapEntry entry;
        entry.IsSubMap = readLine() == "NEWSUBMAP";
        catalogue.names.emplace_back(readLine());
        entry.MapOffset = ParseHexOffset(readLine());
        entry.TilesetFirst = ParseHexOffset(readLine());
        entry.TilesetLast = ParseHexOffset(readLine());
        catalogue.entries.push_back(entry);
    }
    return catalogue;
}

CatalogueResult LoadMapCatalogue() {
    CatalogueResult result;
    // The folder TMPDIR names, as it is: an unusable one is reported, not
    // silently replaced by another.
    const char* tmpdir = std::getenv("TMPDIR");
    const std::string folder = tmpdir && *tmpdir ? tmpdir : "/tmp";

    // A fresh file of our own, read back through the same descriptor: nothing
    // anyone else planted or swapped in under another name can be read.
    const std::string_view text = MAP_NAMES();
    FileError error;
    const std::optional<std::vector<uint8_t>> back = ReadBackThroughPrivateFile(
        folder, "quill2-mapnames-", std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()), error);
    if (!back) {
        result.error = "The map catalogue cannot be loaded: " + error.Text();
        return result;
    }
    const std::string_view readBack(reinterpret_cast<const char*>(back->data()), back->size());
    if (readBack != text) {
        result.error = "The map catalogue file read back differs from what was written (in " + folder + ")";
        return result;
    }
    result.catalogue = ParseMapCatalogue(readBack);
    result.ok = true;
    return result;
}

} // namespace q2
