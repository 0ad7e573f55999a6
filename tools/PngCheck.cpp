// SPDX-License-Identifier: MIT
#include "PngCheck.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <span>
#include <vector>

namespace q2::tilepng {

namespace {

constexpr size_t kSignatureBytes = 8;
constexpr uint32_t kMaxChunkLength = 0x7FFFFFFF;  // the format's own limit

uint32_t Big32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

struct Chunk {
    std::string type;
    std::span<const uint8_t> data;
};

// The chunks of bytes from the signature to IEND, each checked to lie in the
// file with its checksum right; error set at the first that does not.
std::vector<Chunk> Chunks(const QByteArray& file, std::string& error) {
    const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(file.constData()), size_t(file.size()));
    std::vector<Chunk> chunks;
    for (size_t at = kSignatureBytes;;) {
        const size_t left = bytes.size() - at;
        if (left < 12) {
            error = "the PNG file is cut short (it has no end chunk)";
            return chunks;
        }
        const uint32_t length = Big32(&bytes[at]);
        const std::span<const uint8_t> type = bytes.subspan(at + 4, 4);
        if (!std::all_of(type.begin(), type.end(), [](uint8_t c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; })) {
            error = "the PNG file is damaged: a chunk's type is not four letters";
            return chunks;
        }
        Chunk chunk{std::string(type.begin(), type.end()), {}};
        if (length > kMaxChunkLength || length > left - 12) {
            error = "the PNG file is cut short or damaged: its " + chunk.type + " chunk says it holds " +
                    std::to_string(length) + " bytes, past the end of the file";
            return chunks;
        }
        chunk.data = bytes.subspan(at + 8, length);
        const uint32_t crc = uint32_t(crc32(crc32(0, type.data(), 4), chunk.data.data(), uInt(length)));
        if (crc != Big32(&bytes[at + 8 + length])) {
            error = "the PNG file is damaged: the checksum of its " + chunk.type + " chunk is wrong";
            return chunks;
        }
        chunks.push_back(chunk);
        if (chunk.type == "IEND") return chunks;
        at += 12 + size_t(length);
    }
}

int Channels(int colourType) {
    switch (colourType) {
    case 0: case 3: return 1;
    case 2: return 3;
    case 4: return 2;
    case 6: return 4;
    default: return 0;
    }
}

bool DepthAllowed(int colourType, int depth) {
    switch (colourType) {
    case 0: return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    case 3: return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    case 2: case 4: case 6: return depth == 8 || depth == 16;
    default: return false;
    }
}

// One pass of the image data: its size in pixels and where its pixels lie.
struct Pass {
    uint32_t x0, y0, dx, dy;
    uint64_t width, height;
};

std::vector<Pass> Passes(const PngHeader& h) {
    static constexpr std::array<std::array<uint32_t, 4>, 7> adam7 = {
        {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4}, {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}}};
    if (!h.interlace) return {{0, 0, 1, 1, h.width, h.height}};
    std::vector<Pass> passes;
    for (const auto& [x0, y0, dx, dy] : adam7) {
        const uint64_t w = h.width > x0 ? (h.width - x0 + dx - 1) / dx : 0;
        const uint64_t ht = h.height > y0 ? (h.height - y0 + dy - 1) / dy : 0;
        if (w && ht) passes.push_back({x0, y0, dx, dy, w, ht});
    }
    return passes;
}

uint64_t RowBytes(const Pass& pass, int bitsPerPixel) { return 1 + (pass.width * uint64_t(bitsPerPixel) + 7) / 8; }

uint8_t Paeth(int a, int b, int c) {
    const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return uint8_t(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

// Reads the inflated rows pass by pass as they come: checks each row's filter
// type and, for a palette image, undoes the filter and checks the indices.
class RowReader {
public:
    RowReader(const PngHeader& header, int paletteEntries)
        : m_passes(Passes(header)), m_bits(Channels(header.colourType) * header.bitDepth),
          m_step(std::max(1, m_bits / 8)), m_palette(header.colourType == 3 ? paletteEntries : 0) {
        StartPass();
    }

    // The bytes a sound image's data inflates to.
    uint64_t Expected() const {
        uint64_t total = 0;
        for (const Pass& pass : m_passes) total += pass.height * RowBytes(pass, m_bits);
        return total;
    }

    // "" while sound.
    std::string Take(const uint8_t* data, size_t size) {
        while (size > 0 && m_pass < m_passes.size()) {
            const size_t n = std::min(size, m_row.size() - m_filled);
            std::copy(data, data + n, m_row.begin() + ptrdiff_t(m_filled));
            m_filled += n;
            data += n;
            size -= n;
            if (m_filled < m_row.size()) break;
            if (std::string error = EndRow(); !error.empty()) return error;
        }
        return "";
    }

    // The first pixel past the palette, in reading order of the image.
    std::string BadIndex() const {
        if (m_badY < 0) return "";
        return "pixel (" + std::to_string(m_badX) + ", " + std::to_string(m_badY) + ") is palette index " +
               std::to_string(m_badIndex) + ", past the " + std::to_string(m_palette) +
               (m_palette == 1 ? " colour" : " colours") + " of its palette";
    }

private:
    void StartPass() {
        m_rowInPass = 0;
        m_filled = 0;
        if (m_pass >= m_passes.size()) return;
        const size_t bytes = size_t(RowBytes(m_passes[m_pass], m_bits));
        m_row.assign(bytes, 0);
        m_prior.assign(bytes, 0);
    }

    std::string EndRow() {
        const uint8_t filter = m_row[0];
        if (filter > 4) return "the PNG data cannot be read (a row has the unknown filter type " + std::to_string(filter) + ")";
        if (m_palette > 0) CheckIndices(filter);
        m_filled = 0;
        if (++m_rowInPass == m_passes[m_pass].height) {
            ++m_pass;
            StartPass();
        }
        return "";
    }

    void CheckIndices(uint8_t filter) {
        uint8_t* x = m_row.data() + 1;
        const uint8_t* up = m_prior.data() + 1;
        const size_t n = m_row.size() - 1;
        for (size_t i = 0; i < n; ++i) {
            const int a = i >= size_t(m_step) ? x[i - m_step] : 0, b = up[i], c = i >= size_t(m_step) ? up[i - m_step] : 0;
            switch (filter) {
            case 1: x[i] = uint8_t(x[i] + a); break;
            case 2: x[i] = uint8_t(x[i] + b); break;
            case 3: x[i] = uint8_t(x[i] + (a + b) / 2); break;
            case 4: x[i] = uint8_t(x[i] + Paeth(a, b, c)); break;
            default: break;
            }
        }
        const Pass& pass = m_passes[m_pass];
        const int mask = (1 << m_bits) - 1;
        for (uint64_t i = 0; i < pass.width; ++i) {
            const uint64_t bit = i * uint64_t(m_bits);
            const int index = (x[bit / 8] >> (8 - m_bits - int(bit % 8))) & mask;
            if (index < m_palette) continue;
            const int64_t px = int64_t(pass.x0 + i * pass.dx), py = int64_t(pass.y0 + m_rowInPass * pass.dy);
            if (m_badY < 0 || py < m_badY || (py == m_badY && px < m_badX)) {
                m_badX = px;
                m_badY = py;
                m_badIndex = index;
            }
            break;  // later pixels of this row come after it
        }
        std::swap(m_row, m_prior);
        m_row.assign(m_prior.size(), 0);
    }

    std::vector<Pass> m_passes;
    int m_bits, m_step, m_palette;
    size_t m_pass = 0;
    uint64_t m_rowInPass = 0;
    std::vector<uint8_t> m_row, m_prior;
    size_t m_filled = 0;
    int64_t m_badX = -1, m_badY = -1;
    int m_badIndex = 0;
};

} // namespace

std::string CheckPngChunks(const QByteArray& bytes, PngHeader& header) {
    std::string error;
    const std::vector<Chunk> chunks = Chunks(bytes, error);
    if (!error.empty()) return error;
    if (chunks.front().type != "IHDR" || chunks.front().data.size() != 13)
        return "the PNG file is damaged: it does not begin with its header (IHDR chunk)";
    const uint8_t* h = chunks.front().data.data();
    header = {Big32(h), Big32(h + 4), h[8], h[9], h[12]};
    if (!DepthAllowed(header.colourType, header.bitDepth))
        return "the PNG header is invalid: bit depth " + std::to_string(header.bitDepth) + " with colour type " +
               std::to_string(header.colourType);
    if (h[10] != 0 || h[11] != 0 || h[12] > 1)
        return "the PNG header is invalid: an unknown compression, filter or interlace method";
    bool palette = false, data = false;
    for (const Chunk& chunk : chunks) {
        if (chunk.type == "PLTE" && !data) {
            if (chunk.data.empty() || chunk.data.size() % 3 != 0 || chunk.data.size() > 256 * 3)
                return "its palette (PLTE chunk) is " + std::to_string(chunk.data.size()) +
                       " bytes, not 1 to 256 colours of 3 bytes";
            palette = true;
        }
        if (chunk.type == "IDAT") {
            if (header.colourType == 3 && !palette) return "the image has no palette (PLTE chunk) before its pixels";
            data = true;
        }
    }
    if (!data) return "the PNG file has no image data (IDAT chunk)";
    return "";
}

std::string CheckPngImageData(const QByteArray& bytes, const PngHeader& header) {
    std::string error;
    const std::vector<Chunk> chunks = Chunks(bytes, error);
    int paletteEntries = 0;
    for (const Chunk& chunk : chunks) {
        if (chunk.type == "IDAT") break;
        if (chunk.type == "PLTE") paletteEntries = int(chunk.data.size() / 3);
    }
    RowReader rows(header, paletteEntries);
    const uint64_t expected = rows.Expected();

    z_stream z{};
    if (inflateInit(&z) != Z_OK) return "not enough memory to read the image";
    std::vector<uint8_t> out(64 * 1024);
    uint64_t total = 0;
    int status = Z_OK;
    for (const Chunk& chunk : chunks) {
        if (chunk.type != "IDAT") continue;
        z.next_in = const_cast<Bytef*>(chunk.data.data());
        z.avail_in = uInt(chunk.data.size());
        while (z.avail_in > 0 && status == Z_OK) {
            // At most one byte past the expected size is ever inflated.
            z.next_out = out.data();
            z.avail_out = uInt(std::min<uint64_t>(out.size(), expected - std::min(total, expected) + 1));
            status = inflate(&z, Z_NO_FLUSH);
            const size_t made = size_t(z.next_out - out.data());
            total += made;
            if (total > expected) {
                error = "its image data inflates past the " + std::to_string(expected) +
                        " bytes of a " + std::to_string(header.width) + " x " + std::to_string(header.height) +
                        " image; refused before it is unpacked further";
                break;
            }
            if (status == Z_BUF_ERROR && made == 0) status = Z_OK;  // this chunk is used up
            if (status != Z_OK && status != Z_STREAM_END) {
                error = "the PNG data cannot be read (its image data is damaged)";
                break;
            }
            error = rows.Take(out.data(), made);
            if (!error.empty()) break;
        }
        if (!error.empty() || status == Z_STREAM_END) break;
    }
    inflateEnd(&z);
    if (!error.empty()) return error;
    if (total < expected)
        return "the PNG data cannot be read (its image data ends after " + std::to_string(total) + " of " +
               std::to_string(expected) + " bytes)";
    return rows.BadIndex();
}

} // namespace q2::tilepng
