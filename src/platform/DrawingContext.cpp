// SPDX-License-Identifier: MIT
#include "DrawingContext.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace q2 {

namespace {

// A null picture has no format, so the format test covers it.
bool Drawable(HDC hdc) { return hdc && hdc->target && hdc->target->format() == QImage::Format_RGB888; }

// An 8 x 8 tile, the block most copies move, and the bytes of one of its rows.
constexpr int kTileSize = 8;
constexpr size_t kTileRowBytes = kTileSize * 3;

inline void Put(QImage& image, int x, int y, COLORREF colour) {
    uchar* p = image.scanLine(y) + x * 3;
    p[0] = GetRValue(colour);
    p[1] = GetGValue(colour);
    p[2] = GetBValue(colour);
}

} // namespace

bool SetPixel(HDC hdc, int x, int y, COLORREF colour) {
    if (!Drawable(hdc)) return false;
    QImage& image = *hdc->target;
    if (x < 0 || y < 0 || x >= image.width() || y >= image.height()) return false;
    Put(image, x, y, colour);
    return true;
}

bool BitBlt(HDC dest, int x, int y, int w, int h, HDC src, int sx, int sy, uint32_t rop) {
    return BlockCopier(dest, src, rop).Copy(x, y, w, h, sx, sy);
}

BlockCopier::BlockCopier(HDC dest, HDC src, uint32_t rop) {
    if (rop != SRCCOPY || !Drawable(dest) || !Drawable(src)) return;
    m_drawable = true;
    m_to = dest->target;
    m_from = src->target;
    m_toWidth = m_to->width();
    m_toHeight = m_to->height();
    m_fromWidth = m_from->width();
    m_fromHeight = m_from->height();
    m_toStride = m_to->bytesPerLine();
    m_fromStride = m_from->bytesPerLine();
}

void BlockCopier::TakeBits() {
    if (m_toBits) return;
    // bits() first: it gives the target pixels of its own when they are
    // shared with a copy of the picture, and when source and target are one
    // picture, it settles the buffer that constBits() then reads.
    m_toBits = m_to->bits();
    m_fromBits = m_from->constBits();
}

bool BlockCopier::Copy(int x, int y, int w, int h, int sx, int sy) {
    if (!m_drawable) return false;

    // The usual copy, a whole tile inside both pictures: no clipping to
    // work out, eight fixed-size row copies.
    if (w == kTileSize && h == kTileSize && m_to != m_from && x >= 0 && y >= 0 && sx >= 0 && sy >= 0 &&
        x <= m_toWidth - kTileSize && y <= m_toHeight - kTileSize && sx <= m_fromWidth - kTileSize &&
        sy <= m_fromHeight - kTileSize) {
        TakeBits();
        const qsizetype toStride = m_toStride, fromStride = m_fromStride;
        uchar* toRow = m_toBits + y * toStride + x * 3;
        const uchar* fromRow = m_fromBits + sy * fromStride + sx * 3;
        for (int r = 0; r < kTileSize; ++r, toRow += toStride, fromRow += fromStride)
            std::memcpy(toRow, fromRow, kTileRowBytes);
        return true;
    }

    // Clip the block to the source, then to the destination (in 64 bits, so
    // no caller's numbers can overflow the arithmetic).
    int64_t left = 0, top = 0, right = w, bottom = h;  // block-relative
    left = std::max<int64_t>({left, -int64_t(sx), -int64_t(x)});
    top = std::max<int64_t>({top, -int64_t(sy), -int64_t(y)});
    right = std::min<int64_t>({right, int64_t(m_fromWidth) - sx, int64_t(m_toWidth) - x});
    bottom = std::min<int64_t>({bottom, int64_t(m_fromHeight) - sy, int64_t(m_toHeight) - y});
    if (left >= right || top >= bottom) return true;

    TakeBits();
    const size_t rowBytes = size_t(right - left) * 3;
    const int rows = int(bottom - top);
    const qsizetype toStride = m_toStride, fromStride = m_fromStride;
    uchar* toRow = m_toBits + (y + top) * toStride + (x + left) * 3;
    const uchar* fromRow = m_fromBits + (sy + top) * fromStride + (sx + left) * 3;
    if (m_to == m_from) {
        // Same picture: copy through a snapshot of the source rows.
        std::vector<uchar> buffer(rowBytes * rows);
        for (int r = 0; r < rows; ++r) std::memcpy(buffer.data() + r * rowBytes, fromRow + r * fromStride, rowBytes);
        for (int r = 0; r < rows; ++r) std::memcpy(toRow + r * toStride, buffer.data() + r * rowBytes, rowBytes);
        return true;
    }
    for (int r = 0; r < rows; ++r, toRow += toStride, fromRow += fromStride) std::memcpy(toRow, fromRow, rowBytes);
    return true;
}

void DrawBox(HDC hdc, int x0, int y0, int x1, int y1, COLORREF colour) {
    if (!Drawable(hdc)) return;
    QImage& image = *hdc->target;
    if (x0 > x1) std::swap(x0, x1);
    if (y0 > y1) std::swap(y0, y1);
    const int w = image.width(), h = image.height();
    auto hline = [&](int y) {
        if (y < 0 || y >= h) return;
        for (int x = std::max(x0, 0); x <= std::min(x1, w - 1); ++x) Put(image, x, y, colour);
    };
    auto vline = [&](int x) {
        if (x < 0 || x >= w) return;
        for (int y = std::max(y0, 0); y <= std::min(y1, h - 1); ++y) Put(image, x, y, colour);
    };
    hline(y0);
    hline(y1);
    vline(x0);
    vline(x1);
}

} // namespace q2
