// SPDX-License-Identifier: MIT
#pragma once
// The map grid and the layout of map data in the ROM image: one byte per
// cell, row-major, 32 cells to a row, no header.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace q2 {

constexpr int kMapColumns = 32;
constexpr int kMainMapRows = 32;
constexpr int kSubMapRows = 20;

inline int MapRows(bool isSubMap) { return isSubMap ? kSubMapRows : kMainMapRows; }
inline int64_t MapByteCount(bool isSubMap) { return int64_t(MapRows(isSubMap)) * kMapColumns; }

// One map byte b: column plane b AND 0x0F, row plane (b >> 4) XOR 8.
constexpr uint8_t DecodeColumn(uint8_t b) { return b & 0x0F; }
constexpr uint8_t DecodeRow(uint8_t b) { return uint8_t((b >> 4) ^ 8); }
// Inverse of the two above for column and row in 0 to 15.
constexpr uint8_t EncodeCell(uint8_t column, uint8_t row) {
    return uint8_t((((row + 8) & 0x0F) << 4) | (column & 0x0F));
}

// Cells indexed (x, y, plane): plane 0 the tileset column, plane 1 the tileset row.
class MapGrid {
public:
    MapGrid() = default;
    MapGrid(int columns, int rows) : m_columns(columns), m_rows(rows), m_cells(size_t(columns) * rows * 2) {}

    int Columns() const { return m_columns; }
    int Rows() const { return m_rows; }
    int UpperX() const { return m_columns - 1; }
    int UpperY() const { return m_rows - 1; }
    bool Empty() const { return m_cells.empty(); }
    bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < m_columns && y < m_rows; }

    uint8_t& operator()(int x, int y, int plane) { return m_cells[Index(x, y, plane)]; }
    uint8_t operator()(int x, int y, int plane) const { return m_cells[Index(x, y, plane)]; }

    bool operator==(const MapGrid&) const = default;

private:
    size_t Index(int x, int y, int plane) const { return (size_t(y) * m_columns + x) * 2 + plane; }
    int m_columns = 0;
    int m_rows = 0;
    std::vector<uint8_t> m_cells;
};

// Fills grid (made anew, 32 x rows) from rom at mapOffset. False, grid
// untouched, when the map's bytes do not all lie in rom.
bool DecodeMap(std::span<const uint8_t> rom, int32_t mapOffset, bool isSubMap, MapGrid& grid);

// Writes the grid's cells into rom from mapOffset on, in the layout DecodeMap
// reads. False, rom untouched, when the bytes do not all lie in rom.
bool EncodeMap(const MapGrid& grid, int32_t mapOffset, std::span<uint8_t> rom);

} // namespace q2
