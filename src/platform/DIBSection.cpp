// SPDX-License-Identifier: MIT
#include "DIBSection.h"

#include <cstring>
#include <limits>

namespace q2 {

int32_t BytesPerScanLineFor(int32_t lWidth) {
    const int64_t bytes = (int64_t(lWidth) * 3 + 3) & ~int64_t(3);
    if (int64_t(lWidth) * 3 + 3 > std::numeric_limits<int32_t>::max()) return -1;
    return int32_t(bytes);
}

int32_t cDIBSection::BytesPerScanLine() const { return BytesPerScanLineFor(m_width); }

bool cDIBSection::Create(int32_t lWidth, int32_t lHeight) {
    ClearUp();
    m_width = lWidth;
    m_height = lHeight;
    if (lWidth <= 0 || lHeight <= 0) return false;
    const int32_t row = BytesPerScanLineFor(lWidth);
    if (row < 0 || int64_t(row) * lHeight > std::numeric_limits<int32_t>::max()) return false;

    QImage image(lWidth, lHeight, QImage::Format_RGB888);
    if (image.isNull()) return false;  // no memory
    // All zero is black. QImage::fill sets a 24-bit picture pixel by pixel,
    // several times slower than setting the bytes.
    std::memset(image.bits(), 0, size_t(image.sizeInBytes()));
    m_image = std::move(image);
    m_context.target = &m_image;
    return true;
}

void cDIBSection::PaintPicture(HDC lHDC, int32_t lDestLeft, int32_t lDestTop, int32_t lDestWidth,
                               int32_t lDestHeight, int32_t lSrcLeft, int32_t lSrcTop, uint32_t eRop) {
    if (lDestWidth < 0) lDestWidth = m_width;
    if (lDestHeight < 0) lDestHeight = m_height;
    BitBlt(lHDC, lDestLeft, lDestTop, lDestWidth, lDestHeight, hdc(), lSrcLeft, lSrcTop, eRop);
}

void cDIBSection::ClearUp() {
    m_image = QImage();
    m_context.target = nullptr;
}

} // namespace q2
