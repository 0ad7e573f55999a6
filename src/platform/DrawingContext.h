// SPDX-License-Identifier: MIT
#pragma once
// Drawing contexts: the small layer the editor draws through. A context
// targets one 24-bit QImage (owned elsewhere); a handle is a plain pointer to
// it and is null while there is nothing to draw on.

#include <QImage>
#include <cstdint>

namespace q2 {

struct DrawingContext {
    QImage* target = nullptr;
};
using HDC = DrawingContext*;

// A colour as the drawing calls take it: red in the low byte, then green, then blue.
using COLORREF = uint32_t;
constexpr COLORREF RGB(uint8_t r, uint8_t g, uint8_t b) {
    return uint32_t(r) | (uint32_t(g) << 8) | (uint32_t(b) << 16);
}
constexpr uint8_t GetRValue(COLORREF c) { return uint8_t(c); }
constexpr uint8_t GetGValue(COLORREF c) { return uint8_t(c >> 8); }
constexpr uint8_t GetBValue(COLORREF c) { return uint8_t(c >> 16); }

// Raster operation of a plain copy; the only one the drawing layer carries out.
constexpr uint32_t SRCCOPY = 0xCC0020;

// Sets one pixel; false (and nothing drawn) outside the image or on a null context.
bool SetPixel(HDC hdc, int x, int y, COLORREF colour);

// Copies the w x h block at (sx, sy) of src to (x, y) of dest, clipped to both
// images. Only SRCCOPY draws; any other raster code does nothing and returns
// false, as does a null or empty context. Source and destination may be the
// same image (the copy then behaves as if taken from a snapshot).
bool BitBlt(HDC dest, int x, int y, int w, int h, HDC src, int sx, int sy, uint32_t rop);

// A burst of block copies from one context to another with the two pictures
// looked up once: each Copy has exactly the effect of BitBlt(dest, x, y, w, h,
// src, sx, sy, rop), without BitBlt's cost of examining both pictures every
// time, which outweighs copying an 8 x 8 tile. Make one for a burst of copies
// (a whole map, a stamped block) and drop it: it stays valid only while
// neither picture is replaced, resized or written by anything else.
class BlockCopier {
public:
    BlockCopier(HDC dest, HDC src, uint32_t rop = SRCCOPY);
    BlockCopier(const BlockCopier&) = delete;
    BlockCopier& operator=(const BlockCopier&) = delete;

    bool Copy(int x, int y, int w, int h, int sx, int sy);

private:
    void TakeBits();  // at the first copy that writes anything

    QImage* m_to = nullptr;
    const QImage* m_from = nullptr;
    bool m_drawable = false;
    int m_toWidth = 0, m_toHeight = 0, m_fromWidth = 0, m_fromHeight = 0;
    qsizetype m_toStride = 0, m_fromStride = 0;
    uchar* m_toBits = nullptr;
    const uchar* m_fromBits = nullptr;
};

// Outline of the rectangle from (x0, y0) to (x1, y1), both corners included,
// one pixel wide, clipped to the image.
void DrawBox(HDC hdc, int x0, int y0, int x1, int y1, COLORREF colour);

} // namespace q2
