// SPDX-License-Identifier: MIT
#pragma once
// A PNG file's structure checked before any decoder sees it: every chunk
// inside the file with a sound checksum, a sound header, a palette where one
// is needed, and image data that inflates to exactly the image's own size,
// never past it. The PNG library trusts a chunk's length and inflates data to
// its end; these checks keep a file of a few bytes from costing gigabytes or
// seconds, and refuse palette indices past the palette, which the library
// would quietly read as its first colour.

#include <QByteArray>

#include <cstdint>
#include <string>

namespace q2::tilepng {

struct PngHeader {
    uint32_t width = 0, height = 0;
    int bitDepth = 0, colourType = 0, interlace = 0;
};

// Walks the chunks of the PNG file bytes (its signature already checked) up
// to IEND and checks them and the header. "" when sound, with header filled;
// otherwise what is wrong, as the end of a sentence about the file.
std::string CheckPngChunks(const QByteArray& bytes, PngHeader& header);

// Inflates the image data of bytes (checked by CheckPngChunks) a piece at a
// time, refusing it as soon as it runs past the size the header gives, and
// checks a palette image's indices against its palette. "" when sound.
std::string CheckPngImageData(const QByteArray& bytes, const PngHeader& header);

} // namespace q2::tilepng
