// SPDX-License-Identifier: MIT
#pragma once
// The layer data of a Tiled map, the part of the map reader that turns the
// text inside a layer's data element into gids: CSV, or base64 of 4-byte
// little-endian gids, plain or compressed with zlib, gzip or zstd. Every
// decoder stops one cell or one byte past what the layer can hold, so a
// file that unpacks to far more than a map is refused without unpacking it.
//
// This is the map reader's own header: a refusal is thrown as Refusal, and
// ReadMap in TiledMap.cpp turns it into the one-line error of its result.

#include <QByteArray>
#include <QStringView>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace q2::tiled {

// A refusal on the way through a file; ReadMap turns it into its result.
struct Refusal {
    std::string message;
};

[[noreturn]] void Refuse(std::string message);

// Text taken from a file as a message shows it: on one line, cut short.
std::string Shown(QStringView text, qsizetype limit = 40);

// A name from a file in quotes, as Shown shows it.
std::string Quoted(const std::string& name);

// Cell i of the layer data, in reading order.
std::string Cell(size_t i);

// The gids of a layer of exactly cells cells whose data is text in the given
// encoding ("csv", "base64" or none at all) and compression (none, "zlib",
// "gzip" or "zstd"). where names the file and layer in messages.
std::vector<uint32_t> DecodeLayerData(const std::string& encoding, const std::string& compression,
                                      const QByteArray& text, size_t cells, const std::string& where);

} // namespace q2::tiled
