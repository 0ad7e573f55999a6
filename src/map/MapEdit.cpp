// SPDX-License-Identifier: MIT
#include "MapEdit.h"

namespace q2 {

namespace {

// The remainder of a / b from 0 to b - 1, for negative a too.
int FloorMod(int a, int b) {
    const int r = a % b;
    return r < 0 ? r + b : r;
}

} // namespace

std::vector<CellEdit> FillEdits(const MapGrid& grid, int x0, int y0, const MapGrid& pattern) {
    std::vector<CellEdit> edits;
    if (pattern.Empty() || !grid.Contains(x0, y0)) return edits;
    const int columns = grid.Columns(), rows = grid.Rows();
    // Each cell's map byte, and whether it is queued already (marked when queued).
    std::vector<uint8_t> bytes(size_t(columns) * rows), seen(bytes.size(), 0);
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x) bytes[size_t(y) * columns + x] = CellByte(grid, x, y);
    const uint8_t target = bytes[size_t(y0) * columns + x0];
    std::vector<int> queue;
    queue.reserve(bytes.size());
    edits.reserve(bytes.size());
    queue.push_back(y0 * columns + x0);
    seen[size_t(queue.back())] = 1;
    for (size_t next = 0; next < queue.size(); ++next) {
        const int x = queue[next] % columns, y = queue[next] / columns;
        const int i = FloorMod(x - x0, pattern.Columns()), j = FloorMod(y - y0, pattern.Rows());
        const uint8_t column = pattern(i, j, 0), row = pattern(i, j, 1);
        if (grid(x, y, 0) != column || grid(x, y, 1) != row)
            edits.push_back({int16_t(x), int16_t(y), column, row});
        const int around[4][2] = {{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}};
        for (const auto& [nx, ny] : around) {
            if (!grid.Contains(nx, ny)) continue;
            const size_t at = size_t(ny) * columns + nx;
            if (seen[at] || bytes[at] != target) continue;
            seen[at] = 1;
            queue.push_back(int(at));
        }
    }
    return edits;
}

std::vector<CellEdit> ReplaceEdits(const MapGrid& grid, int x0, int y0, uint8_t column, uint8_t row) {
    std::vector<CellEdit> edits;
    if (!grid.Contains(x0, y0)) return edits;
    const uint8_t target = CellByte(grid, x0, y0);
    for (int y = 0; y < grid.Rows(); ++y)
        for (int x = 0; x < grid.Columns(); ++x)
            if (CellByte(grid, x, y) == target && (grid(x, y, 0) != column || grid(x, y, 1) != row))
                edits.push_back({int16_t(x), int16_t(y), column, row});
    return edits;
}

int CountByte(const MapGrid& grid, uint8_t b) {
    int count = 0;
    for (int y = 0; y < grid.Rows(); ++y)
        for (int x = 0; x < grid.Columns(); ++x) count += CellByte(grid, x, y) == b;
    return count;
}

} // namespace q2
