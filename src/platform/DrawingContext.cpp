#include "DrawingContext.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace q2 {

namespace {

bool Drawable(HDC hdc) {
    return hdc && hdc->target && !hdc->target->isNull() &&
           hdc->target->format() == QImage::Format_RGB888;
}

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
    if (rop != SRCCOPY || !Drawable(dest) || !Drawable(src)) return false;
    QImage& to = *dest->target;
    const QImage& from = *src->target;

    // Clip the block to the source, then to the destination (in 64 bits, so
    // no caller's numbers can overflow the arithmetic).
    int64_t left = 0, top = 0, right = w, bottom = h;  // block-relative
    left = std::max<int64_t>({left, -int64_t(sx), -int64_t(x)});
    top = std::max<int64_t>({top, -int64_t(sy), -int64_t(y)});
    right = std::min<int64_t>({right, int64_t(from.width()) - sx, int64_t(to.width()) - x});
    bottom = std::min<int64_t>({bottom, int64_t(from.height()) - sy, int64_t(to.height()) - y});
    if (left >= right || top >= bottom) return true;

    const size_t rowBytes = size_t(right - left) * 3;
    const int rows = int(bottom - top);
    if (&to == &from) {
        // Same picture: copy through a snapshot of the source rows.
        std::vector<uchar> buffer(rowBytes * rows);
        for (int r = 0; r < rows; ++r)
            std::memcpy(buffer.data() + r * rowBytes,
                        from.constScanLine(int(sy + top + r)) + (sx + left) * 3, rowBytes);
        for (int r = 0; r < rows; ++r)
            std::memcpy(to.scanLine(int(y + top + r)) + (x + left) * 3, buffer.data() + r * rowBytes, rowBytes);
        return true;
    }
    for (int r = 0; r < rows; ++r)
        std::memcpy(to.scanLine(int(y + top + r)) + (x + left) * 3,
                    from.constScanLine(int(sy + top + r)) + (sx + left) * 3, rowBytes);
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
