// SPDX-License-Identifier: MIT
#include "RomCompare.h"

#include "map/MapGrid.h"
#include "tiles/Tileset.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace q2::compare {

namespace {

class Differ {
public:
    Differ(std::span<const uint8_t> a, std::span<const uint8_t> b) : m_a(a), m_b(b) {}
    size_t Size() const { return std::max(m_a.size(), m_b.size()); }
    bool operator()(int64_t at) const {
        if (at < 0) return false;
        const size_t i = size_t(at);
        if (i >= m_a.size() || i >= m_b.size()) return i < Size();
        return m_a[i] != m_b[i];
    }
    // True when the bytes [at, at + n) are the same in both.
    bool Equal(size_t at, size_t n) const {
        return at + n <= m_a.size() && at + n <= m_b.size() && std::memcmp(&m_a[at], &m_b[at], n) == 0;
    }

private:
    std::span<const uint8_t> m_a, m_b;
};

} // namespace

std::vector<TileRange> TileRanges(const MapCatalogue& catalogue) {
    std::vector<TileRange> ranges;
    for (size_t i = 0; i < catalogue.entries.size(); ++i) {
        const MapEntry& e = catalogue.entries[i];
        auto same = [&e](const TileRange& r) { return r.first == e.TilesetFirst && r.last == e.TilesetLast; };
        auto found = std::find_if(ranges.begin(), ranges.end(), same);
        if (found == ranges.end()) found = ranges.insert(ranges.end(), {e.TilesetFirst, e.TilesetLast, {}});
        found->maps.push_back(int(i));
    }
    return ranges;
}

std::vector<bool> ChangedCells(std::span<const uint8_t> before, std::span<const uint8_t> after, const MapEntry& entry) {
    const Differ differs(before, after);
    std::vector<bool> cells(size_t(MapByteCount(entry.IsSubMap)));
    for (size_t i = 0; i < cells.size(); ++i) cells[i] = differs(int64_t(entry.MapOffset) + int64_t(i));
    return cells;
}

std::array<int, 256> ByteCounts(std::span<const uint8_t> rom, const MapEntry& entry) {
    std::array<int, 256> counts{};
    const int64_t n = MapByteCount(entry.IsSubMap);
    for (int64_t i = 0; i < n; ++i) ++counts[rom[size_t(entry.MapOffset + i)]];
    return counts;
}

RomDiff Compare(std::span<const uint8_t> before, std::span<const uint8_t> after, const MapCatalogue& catalogue,
                const std::vector<TileRange>& ranges) {
    const Differ differs(before, after);
    RomDiff diff;
    diff.same = before.size() == after.size() && differs.Equal(0, before.size());
    if (diff.same) return diff;

    // The bytes maps and tile ranges hold, as sorted half-open spans.
    std::vector<std::pair<int64_t, int64_t>> covered;
    for (size_t i = 0; i < catalogue.entries.size(); ++i) {
        const MapEntry& e = catalogue.entries[i];
        const int64_t bytes = MapByteCount(e.IsSubMap);
        covered.emplace_back(e.MapOffset, e.MapOffset + bytes);
        int cells = 0;
        for (int64_t b = 0; b < bytes; ++b) cells += differs(e.MapOffset + b);
        if (cells > 0) diff.maps.push_back({int(i), cells});
    }
    for (size_t r = 0; r < ranges.size(); ++r) {
        const int64_t first = ranges[r].first, last = ranges[r].last;
        covered.emplace_back(first, last + 1);
        int tiles = 0;
        for (int64_t tile = first; tile <= last; tile += kTileBytes) {
            bool changed = false;
            for (int64_t b = tile; b <= std::min(last, tile + kTileBytes - 1) && !changed; ++b) changed = differs(b);
            tiles += changed;
        }
        if (tiles > 0) diff.ranges.push_back({r, tiles});
    }
    std::sort(covered.begin(), covered.end());

    // The rest, a block at a time where the images agree.
    constexpr size_t kBlock = 64;
    auto span = covered.begin();
    int64_t lastChanged = -2;
    for (size_t block = 0; block < differs.Size(); block += kBlock) {
        const size_t end = std::min(differs.Size(), block + kBlock);
        if (differs.Equal(block, end - block)) continue;
        for (size_t i = block; i < end; ++i) {
            if (!differs(int64_t(i))) continue;
            while (span != covered.end() && span->second <= int64_t(i)) ++span;
            bool inside = false;
            for (auto s = span; s != covered.end() && s->first <= int64_t(i) && !inside; ++s)
                inside = int64_t(i) < s->second;
            if (inside) continue;
            ++diff.otherBytes;
            if (lastChanged != int64_t(i) - 1) ++diff.otherRuns;
            lastChanged = int64_t(i);
        }
    }
    return diff;
}

} // namespace q2::compare
