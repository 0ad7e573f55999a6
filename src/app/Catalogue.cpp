// SPDX-License-Identifier: MIT
#include "Catalogue.h"

#include "app/Rom.h"
#include "map/MapGrid.h"
#include "tiles/Tileset.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

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

namespace {

std::string Reason(const char* what, const std::string& path) {
    return std::string(what) + " " + path + ": " + std::strerror(errno);
}

} // namespace

CatalogueResult LoadMapCatalogue() {
    CatalogueResult result;
    // The folder TMPDIR names, as it is: an unusable one is reported, not
    // silently replaced by another.
    const char* tmpdir = std::getenv("TMPDIR");
    const std::filesystem::path folder = tmpdir && *tmpdir ? tmpdir : "/tmp";
    std::string path = (folder / "quill2-mapnames-XXXXXX").string();

    // A fresh file of our own (created exclusively, readable by us alone),
    // read back through the same descriptor: nothing anyone else planted or
    // swapped in under another name can be read.
    int fd = mkstemp(path.data());
    if (fd < 0) {
        result.error = Reason("Cannot create the map catalogue file in", folder.string());
        return result;
    }
    auto fail = [&](const char* what) {
        result.error = Reason(what, path);
        ::close(fd);
        ::unlink(path.c_str());
        return result;
    };

    const std::string_view text = MAP_NAMES();
    for (size_t done = 0; done < text.size();) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return fail("Cannot write the map catalogue file");
        }
        done += size_t(n);
    }
    if (::lseek(fd, 0, SEEK_SET) != 0) return fail("Cannot rewind the map catalogue file");

    std::string readBack;
    char buffer[4096];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return fail("Cannot read the map catalogue file");
        if (n == 0) break;
        readBack.append(buffer, size_t(n));
    }
    ::close(fd);
    // A file that cannot be removed is private to us and harms nothing; the
    // catalogue itself is complete, so start-up goes on.
    ::unlink(path.c_str());
    if (readBack != text) {
        errno = EIO;
        result.error = Reason("The map catalogue file read back differs from what was written:", path);
        return result;
    }
    result.catalogue = ParseMapCatalogue(readBack);
    result.ok = true;
    return result;
}

} // namespace q2
