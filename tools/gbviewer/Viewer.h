// SPDX-License-Identifier: MIT
#pragma once
// The map viewer program (viewer.s) as built: the first 16 KiB bank of its
// cartridge image, with the header makebin wrote.

#include <cstddef>
#include <span>

#include "app/ViewerTable.h"

namespace q2 {

namespace detail {
extern const unsigned char kViewerBytes[];
extern const std::size_t kViewerSize;
} // namespace detail

inline std::span<const unsigned char> ViewerBank() { return {detail::kViewerBytes, detail::kViewerSize}; }

// Its map table is described, and found in an image, by app/ViewerTable.h.

} // namespace q2
