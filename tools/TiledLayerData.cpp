// SPDX-License-Identifier: MIT
#include "TiledLayerData.h"

#include "map/MapGrid.h"

#include <QString>

#include <zlib.h>
#include <zstd.h>

namespace q2::tiled {

[[noreturn]] void Refuse(std::string message) { throw Refusal{std::move(message)}; }

std::string Shown(QStringView text, qsizetype limit) {
    QString shown = text.left(limit).toString();
    for (QChar& c : shown)
        if (!c.isPrint()) c = u'?';
    return shown.toStdString() + (text.size() > limit ? "..." : "");
}

std::string Quoted(const std::string& name) { return "'" + Shown(QString::fromStdString(name)) + "'"; }

std::string Cell(size_t i) {
    return "cell (" + std::to_string(i % kMapColumns) + ", " + std::to_string(i / kMapColumns) + ")";
}

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::vector<uint32_t> ParseCsv(const QByteArray& text, size_t cells, const std::string& where) {
    std::vector<uint32_t> gids;
    size_t count = 0;
    qsizetype pos = 0;
    const qsizetype end = text.size();
    while (pos < end) {
        qsizetype next = text.indexOf(',', pos);
        if (next < 0) next = end;
        qsizetype a = pos, b = next;
        while (a < b && IsSpace(text[a])) ++a;
        while (b > a && IsSpace(text[b - 1])) --b;
        if (a == b && next == end && count > 0) break;  // a comma after the last gid
        uint64_t value = 0;
        bool ok = a < b && b - a <= 10;
        for (qsizetype i = a; ok && i < b; ++i) {
            ok = text[i] >= '0' && text[i] <= '9';
            value = value * 10 + uint64_t(text[i] - '0');
        }
        if (!ok || value > 0xFFFFFFFFu)
            Refuse(where + ", " + Cell(count) + ": '" + Shown(QString::fromUtf8(text.mid(a, b - a))) +
                   "' is not a gid");
        if (count < cells) gids.push_back(uint32_t(value));
        ++count;
        if (count > cells) Refuse(where + ": data holds more than " + std::to_string(cells) + " cells");
        pos = next + 1;
    }
    if (count != cells)
        Refuse(where + ": data holds " + std::to_string(count) + " cells, expected " + std::to_string(cells));
    return gids;
}

// Inflates zlib or gzip data (told apart by their headers) into at most want + 1 bytes.
QByteArray Inflate(const QByteArray& in, size_t want, const std::string& where) {
    QByteArray out(qsizetype(want + 1), '\0');
    z_stream z{};
    if (inflateInit2(&z, 32 + MAX_WBITS) != Z_OK) Refuse(where + ": cannot start zlib");
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    z.avail_in = uInt(in.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = uInt(out.size());
    const int status = inflate(&z, Z_FINISH);
    const size_t produced = z.total_out;
    const std::string reason = z.msg ? std::string(" (") + z.msg + ")" : std::string();
    inflateEnd(&z);
    if (status == Z_STREAM_END || produced > want) {
        out.truncate(qsizetype(produced));
        return out;
    }
    Refuse(where + ": compressed data is damaged or cut short" + reason);
}

QByteArray Unzstd(const QByteArray& in, size_t want, const std::string& where) {
    QByteArray out(qsizetype(want + 1), '\0');
    ZSTD_DCtx* context = ZSTD_createDCtx();
    if (!context) Refuse(where + ": cannot start zstd");
    ZSTD_inBuffer input{in.data(), size_t(in.size()), 0};
    ZSTD_outBuffer output{out.data(), size_t(out.size()), 0};
    size_t status = 1;
    while (output.pos < output.size) {
        const size_t read = input.pos, written = output.pos;
        status = ZSTD_decompressStream(context, &output, &input);
        if (ZSTD_isError(status) || input.pos == input.size) break;
        if (input.pos == read && output.pos == written) break;  // no progress: stop rather than spin
    }
    ZSTD_freeDCtx(context);
    if (output.pos > want || (!ZSTD_isError(status) && status == 0 && input.pos == input.size)) {
        out.truncate(qsizetype(output.pos));
        return out;
    }
    Refuse(where + ": compressed data is damaged or cut short" +
           (ZSTD_isError(status) ? std::string(" (") + ZSTD_getErrorName(status) + ")" : std::string()));
}

std::vector<uint32_t> DecodeBase64(const QByteArray& base64, const std::string& compression, size_t cells,
                                   const std::string& where) {
    if (!compression.empty() && compression != "zlib" && compression != "gzip" && compression != "zstd")
        Refuse(where + ": unknown compression " + Quoted(compression) + " (zlib, gzip and zstd are read)");
    QByteArray text = base64;
    text.removeIf([](char c) { return IsSpace(c); });
    auto decoded = QByteArray::fromBase64Encoding(text, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded) Refuse(where + ": data is not valid base64");
    const size_t want = cells * 4;
    QByteArray bytes;
    if (compression.empty()) bytes = std::move(decoded.decoded);
    else if (compression == "zstd") bytes = Unzstd(*decoded, want, where);
    else bytes = Inflate(*decoded, want, where);
    if (size_t(bytes.size()) != want)
        Refuse(where + ": data decodes to " + (size_t(bytes.size()) > want ? "more than " + std::to_string(want)
                                                                             : std::to_string(bytes.size())) +
               " bytes, expected " + std::to_string(want) + " (" + std::to_string(cells) + " cells of 4 bytes)");
    std::vector<uint32_t> gids(cells);
    const auto* b = reinterpret_cast<const uint8_t*>(bytes.constData());
    for (size_t i = 0; i < cells; ++i, b += 4)
        gids[i] = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
    return gids;
}

} // namespace

std::vector<uint32_t> DecodeLayerData(const std::string& encoding, const std::string& compression,
                                      const QByteArray& text, size_t cells, const std::string& where) {
    if (encoding == "csv") return ParseCsv(text, cells, where);
    if (encoding == "base64") return DecodeBase64(text, compression, cells, where);
    if (encoding.empty()) return ParseCsv(QByteArray(), cells, where);  // no tile elements at all
    Refuse(where + ": unknown data encoding " + Quoted(encoding) + " (csv and base64 are read)");
}

} // namespace q2::tiled
