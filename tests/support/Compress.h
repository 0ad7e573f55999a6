// SPDX-License-Identifier: MIT
#pragma once
// Layer data compressed as Tiled writes it, for test and fuzz inputs:
// "zlib", "gzip" or "zstd"; any other name leaves the bytes as they are.

#include <zlib.h>
#include <zstd.h>

#include <string>

namespace q2::test {

inline std::string Compressed(const std::string& raw, const std::string& compression) {
    if (compression == "zstd") {
        std::string out(ZSTD_compressBound(raw.size()), '\0');
        out.resize(ZSTD_compress(out.data(), out.size(), raw.data(), raw.size(), 3));
        return out;
    }
    if (compression != "zlib" && compression != "gzip") return raw;
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, compression == "gzip" ? 16 + MAX_WBITS : MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, uLong(raw.size())), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(raw.data()));
    z.avail_in = uInt(raw.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

} // namespace q2::test
