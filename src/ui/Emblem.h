// SPDX-License-Identifier: MIT
#pragma once
// The program's emblem: a quill over a little tiled map, drawn only in the
// four greys of the game's tiles (black, RGB(120,120,120), RGB(176,176,176),
// white). Hand-drawn at 16 x 16 and 32 x 32 pixels.

#include <QIcon>
#include <QImage>

namespace q2 {

// The emblem as a size x size opaque picture (QImage::Format_RGB32). 16 and 32
// are drawn pixel for pixel; other sizes take the 32 x 32 picture (the 16 x 16
// one below 32), enlarged by a whole factor and centred on white, or shrunk
// without smoothing. A null image for a size below 1.
QImage DrawEmblem(int size);

// The window icon: the emblem at 16 x 16 and 32 x 32.
QIcon AppIcon();

} // namespace q2
