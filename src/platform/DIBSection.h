// SPDX-License-Identifier: MIT
#pragma once
// cDIBSection: an off-screen 24-bit picture with its own drawing context.
// Pixels start black; (0, 0) is the top-left pixel.

#include "DrawingContext.h"

#include <QImage>
#include <cstdint>

namespace q2 {

class cDIBSection {
public:
    cDIBSection() = default;
    ~cDIBSection() { ClearUp(); }
    cDIBSection(const cDIBSection&) = delete;
    cDIBSection& operator=(const cDIBSection&) = delete;

    // Discards what the surface held and makes a new lWidth x lHeight picture.
    // False (surface empty) when the size is refused: not positive, a row or
    // the picture too large for 32-bit arithmetic, or no memory.
    bool Create(int32_t lWidth, int32_t lHeight);

    // Drawing context of the surface; null while the surface is empty.
    HDC hdc() { return m_image.isNull() ? nullptr : &m_context; }

    // Copies a lDestWidth x lDestHeight block taken at (lSrcLeft, lSrcTop) to
    // lHDC at (lDestLeft, lDestTop). A negative width or height stands for the
    // surface's own.
    void PaintPicture(HDC lHDC, int32_t lDestLeft = 0, int32_t lDestTop = 0,
                      int32_t lDestWidth = -1, int32_t lDestHeight = -1,
                      int32_t lSrcLeft = 0, int32_t lSrcTop = 0, uint32_t eRop = SRCCOPY);

    // Row length of a 24-bit bitmap of this width: width * 3 rounded up to 4.
    int32_t BytesPerScanLine() const;

    // Releases the picture; harmless on an empty surface.
    void ClearUp();

    // The size last asked of Create, also when it was refused.
    int32_t Width() const { return m_width; }
    int32_t Height() const { return m_height; }

    // The picture itself (null while empty), for presenting and for tests.
    const QImage& Image() const { return m_image; }
    QImage& Image() { return m_image; }

private:
    QImage m_image;
    DrawingContext m_context;
    int32_t m_width = 0;
    int32_t m_height = 0;
};

// Row length of a 24-bit bitmap lWidth pixels wide, or -1 when it does not fit
// a 32-bit signed value.
int32_t BytesPerScanLineFor(int32_t lWidth);

} // namespace q2
