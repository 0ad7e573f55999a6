// SPDX-License-Identifier: MIT
#include "Tileset.h"

#include <array>
#include <cstring>

namespace q2 {

bool IsBitSet(int32_t value, int16_t bit) {
    if (bit < 0 || bit > 31) return false;
    if (bit == 31) return value < 0;
    return (value & (int32_t(1) << bit)) != 0;
}

int64_t TilesetBytesRead(int32_t first, int32_t last) {
    if (last < first) return 0;
    int64_t length = int64_t(last) - first + 1;
    return length + (length & 1);
}

namespace {

// Four pixels of one tile row from a nibble of each bit plane, as RGB bytes:
// index (hi nibble << 4) | lo nibble.
using Quad = std::array<uint8_t, 12>;

std::array<Quad, 256> MakeQuadTable() {
    std::array<Quad, 256> table{};
    for (int index = 0; index < 256; ++index) {
        const int lo = index & 0x0F, hi = index >> 4;
        for (int p = 0; p < 4; ++p) {
            const int bit = 3 - p;  // the nibble's top bit is its leftmost pixel
            const int colour = (IsBitSet(lo, int16_t(bit)) ? 1 : 0) + (IsBitSet(hi, int16_t(bit)) ? 2 : 0);
            table[index][p * 3 + 0] = GetRValue(kShades[colour]);
            table[index][p * 3 + 1] = GetGValue(kShades[colour]);
            table[index][p * 3 + 2] = GetBValue(kShades[colour]);
        }
    }
    return table;
}

const std::array<Quad, 256> kQuads = MakeQuadTable();

} // namespace

void BuildTileset(cDIBSection& surface, std::span<const uint8_t> rom, int32_t first, int32_t last) {
    surface.Create(kTilesetPixels, kTilesetPixels);
    QImage& image = surface.Image();
    if (image.isNull()) return;
    uchar* const bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    const int64_t size = int64_t(rom.size());

    // One pixel row of a tile per step: bytes i and i + 1 of the range.
    int tx = 0, ty = 0, r = 0;
    for (int64_t i = first; i <= last && ty < kTilesetPixels; i += 2) {
        if (i >= 0 && i + 1 < size) {
            const uint8_t lo = rom[size_t(i)], hi = rom[size_t(i + 1)];
            uchar* row = bits + (ty + r) * stride + tx * 3;
            std::memcpy(row, kQuads[((hi >> 4) << 4) | (lo >> 4)].data(), 12);
            std::memcpy(row + 12, kQuads[((hi & 0x0F) << 4) | (lo & 0x0F)].data(), 12);
        }
        if (++r == kTileSize) {
            r = 0;
            tx += kTileSize;
            if (tx == kTilesetPixels) {
                tx = 0;
                ty += kTileSize;
            }
        }
    }
}

} // namespace q2
