// SPDX-License-Identifier: MIT
#include "Patch.h"

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

namespace q2::patch {

namespace {

constexpr char kBpsMagic[] = "BPS1";
constexpr char kIpsMagic[] = "PATCH";
constexpr size_t kBpsFooter = 12;  // three CRC32s
constexpr int kMaxNumberGroups = 9;
constexpr size_t kIpsMaxRecord = 0xFFFF;
// Merging unchanged bytes into a record is no larger than a new record's
// offset and size, 5 bytes, when there are at most this many of them.
constexpr size_t kIpsMergeGap = 5;
// Runs of one byte this long or longer are copied from the result itself.
constexpr size_t kBpsRepeatRun = 12;

enum Action : uint64_t { SourceRead = 0, TargetRead = 1, SourceCopy = 2, TargetCopy = 3 };

std::string HexCrc(uint32_t crc) {
    char text[12];
    std::snprintf(text, sizeof text, "%08X", unsigned(crc));
    return text;
}

void PutNumber(std::vector<uint8_t>& out, uint64_t value) {
    for (;;) {
        const uint8_t low = value & 0x7F;
        value >>= 7;
        if (value == 0) {
            out.push_back(0x80 | low);
            return;
        }
        out.push_back(low);
        --value;
    }
}

void PutSigned(std::vector<uint8_t>& out, int64_t value) {
    PutNumber(out, (uint64_t(value < 0 ? -value : value) << 1) | (value < 0 ? 1 : 0));
}

void PutLe32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(uint8_t(value >> shift));
}

uint32_t Le32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

// A malformed patch: why, in words.
struct Malformed {
    std::string what;
};

// Reads the numbers and bytes of a BPS patch's body, never past end.
class BpsReader {
public:
    BpsReader(std::span<const uint8_t> bytes, size_t start, size_t end) : m_bytes(bytes), m_at(start), m_end(end) {}
    bool AtEnd() const { return m_at >= m_end; }
    size_t Offset() const { return m_at; }

    uint64_t Number() {
        uint64_t value = 0, shift = 1;
        for (int group = 0; group < kMaxNumberGroups; ++group) {
            if (m_at >= m_end) throw Malformed{"it is cut short in a number at byte " + std::to_string(m_at)};
            const uint8_t x = m_bytes[m_at++];
            value += (x & 0x7F) * shift;
            if (x & 0x80) return value;
            shift <<= 7;
            value += shift;
        }
        throw Malformed{"a number at byte " + std::to_string(m_at) + " never ends"};
    }

    std::span<const uint8_t> Bytes(uint64_t count) {
        if (count > m_end - m_at) throw Malformed{"it is cut short: " + std::to_string(count) +
                                                  " bytes said at byte " + std::to_string(m_at) + ", " +
                                                  std::to_string(m_end - m_at) + " there"};
        const std::span<const uint8_t> bytes = m_bytes.subspan(m_at, size_t(count));
        m_at += size_t(count);
        return bytes;
    }

private:
    std::span<const uint8_t> m_bytes;
    size_t m_at, m_end;
};

// Moves a copy's relative offset by the signed number the patch gives; the
// result must start a copy of length bytes inside [0, limit).
int64_t MoveOffset(int64_t offset, uint64_t delta, uint64_t length, uint64_t limit, const char* what) {
    const uint64_t distance = delta >> 1;
    const int64_t moved = distance > uint64_t(kMaxResultBytes) * 2 ? -1
                          : (delta & 1) ? offset - int64_t(distance)
                                        : offset + int64_t(distance);
    if (moved < 0 || uint64_t(moved) >= limit || length > limit - uint64_t(moved))
        throw Malformed{std::string("a copy reaches outside ") + what};
    return moved;
}

Applied ApplyBps(std::span<const uint8_t> patch, std::span<const uint8_t> rom, const Names& names, bool checksums) {
    const std::string at = names.patch + ": ";
    if (patch.size() < std::strlen(kBpsMagic) + 3 + kBpsFooter) return {{}, at + "the BPS patch is cut short"};
    const size_t end = patch.size() - kBpsFooter;
    const uint32_t sourceCrc = Le32(&patch[end]), targetCrc = Le32(&patch[end + 4]), patchCrc = Le32(&patch[end + 8]);
    if (checksums && Crc32(patch.first(patch.size() - 4)) != patchCrc)
        return {{}, at + "the patch is damaged: its CRC32 is " + HexCrc(Crc32(patch.first(patch.size() - 4))) +
                        ", it says " + HexCrc(patchCrc)};
    try {
        BpsReader in(patch, std::strlen(kBpsMagic), end);
        const uint64_t sourceSize = in.Number(), targetSize = in.Number();
        if (targetSize > uint64_t(kMaxResultBytes))
            return {{}, at + "its result would be " + std::to_string(targetSize) +
                            " bytes, more than the 8 MiB of the largest cartridge"};
        if (checksums) {
            const uint32_t romCrc = Crc32(rom);
            if (sourceSize != rom.size())
                return {{}, names.patch + " was made for a ROM of " + std::to_string(sourceSize) +
                                " bytes with CRC32 " + HexCrc(sourceCrc) + "; " + names.rom + " has " +
                                std::to_string(rom.size()) + " bytes, CRC32 " + HexCrc(romCrc)};
            if (romCrc != sourceCrc)
                return {{}, names.patch + " was made for a ROM with CRC32 " + HexCrc(sourceCrc) + "; " + names.rom +
                                " has " + HexCrc(romCrc)};
        }
        in.Bytes(in.Number());  // metadata, not used

        std::vector<uint8_t> target(static_cast<size_t>(targetSize));
        uint64_t out = 0;
        int64_t sourceOffset = 0, targetOffset = 0;
        while (!in.AtEnd()) {
            const uint64_t action = in.Number();
            const uint64_t length = (action >> 2) + 1;
            if (length > targetSize - out)
                throw Malformed{"an action at byte " + std::to_string(in.Offset()) + " writes past the end of the " +
                                std::to_string(targetSize) + "-byte result"};
            uint8_t* to = target.data() + out;
            switch (action & 3) {
            case SourceRead:
                if (out + length > rom.size()) throw Malformed{"it reads past the end of " + names.rom};
                std::memcpy(to, rom.data() + out, size_t(length));
                break;
            case TargetRead: {
                const std::span<const uint8_t> bytes = in.Bytes(length);
                std::memcpy(to, bytes.data(), bytes.size());
                break;
            }
            case SourceCopy:
                sourceOffset = MoveOffset(sourceOffset, in.Number(), length, rom.size(), "the ROM");
                std::memcpy(to, rom.data() + sourceOffset, size_t(length));
                sourceOffset += int64_t(length);
                break;
            case TargetCopy:
                // Byte by byte from what is already written: a copy may
                // overlap its own output, repeating it.
                targetOffset = MoveOffset(targetOffset, in.Number(), 1, out, "what is written");
                for (uint64_t i = 0; i < length; ++i) to[i] = target[size_t(targetOffset) + i];
                targetOffset += int64_t(length);
                break;
            }
            out += length;
        }
        if (out != targetSize)
            throw Malformed{"it ends after " + std::to_string(out) + " of the " + std::to_string(targetSize) +
                            " bytes of its result"};
        if (checksums && Crc32(target) != targetCrc)
            return {{}, at + "the result's CRC32 is " + HexCrc(Crc32(target)) + ", the patch says " +
                            HexCrc(targetCrc) + "; nothing written"};
        return {std::move(target), ""};
    } catch (const Malformed& e) {
        return {{}, at + "malformed BPS patch: " + e.what};
    }
}

Applied ApplyIps(std::span<const uint8_t> patch, std::span<const uint8_t> rom, const Names& names) {
    const std::string at = names.patch + ": malformed IPS patch: ";
    std::vector<uint8_t> result(rom.begin(), rom.end());
    size_t pos = std::strlen(kIpsMagic);
    auto need = [&](size_t count) {
        if (patch.size() - pos < count)
            throw Malformed{"it is cut short at byte " + std::to_string(patch.size()) + " (no end marker EOF)"};
    };
    auto grow = [&](uint64_t end) {
        if (end > uint64_t(kMaxResultBytes))
            throw Malformed{"its result would be " + std::to_string(end) +
                            " bytes, more than the 8 MiB of the largest cartridge"};
        if (end > result.size()) result.resize(size_t(end), 0);
    };
    auto big = [&](int count) {
        uint32_t value = 0;
        for (int i = 0; i < count; ++i) value = value << 8 | patch[pos++];
        return value;
    };
    try {
        for (;;) {
            need(3);
            if (std::memcmp(&patch[pos], "EOF", 3) == 0) {
                pos += 3;
                break;
            }
            const uint32_t offset = big(3);
            need(2);
            const uint32_t size = big(2);
            if (size > 0) {
                need(size);
                grow(uint64_t(offset) + size);
                std::memcpy(result.data() + offset, &patch[pos], size);
                pos += size;
            } else {  // a run: its length, then the byte repeated
                need(3);
                const uint32_t count = big(2);
                grow(uint64_t(offset) + count);
                std::memset(result.data() + offset, patch[pos++], count);
            }
        }
        if (patch.size() - pos == 3) {  // the size to cut the result to
            const uint32_t size = big(3);
            grow(size);
            result.resize(size);
        } else if (pos != patch.size()) {
            throw Malformed{std::to_string(patch.size() - pos) + " bytes follow its end marker"};
        }
    } catch (const Malformed& e) {
        return {{}, at + e.what};
    }
    return {std::move(result), ""};
}

} // namespace

std::optional<Format> FormatOf(const std::string& path) {
    if (path.size() < 4) return std::nullopt;
    std::string extension = path.substr(path.size() - 4);
    std::transform(extension.begin(), extension.end(), extension.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    if (extension == ".bps") return Format::Bps;
    if (extension == ".ips") return Format::Ips;
    return std::nullopt;
}

uint32_t Crc32(std::span<const uint8_t> bytes) {
    uLong crc = crc32(0, nullptr, 0);
    for (size_t at = 0; at < bytes.size();) {  // zlib takes at most 4 GiB at a time
        const uInt piece = uInt(std::min<size_t>(bytes.size() - at, 1u << 30));
        crc = crc32(crc, bytes.data() + at, piece);
        at += piece;
    }
    return uint32_t(crc);
}

Made MakeBps(std::span<const uint8_t> source, std::span<const uint8_t> target) {
    std::vector<uint8_t> out(kBpsMagic, kBpsMagic + std::strlen(kBpsMagic));
    PutNumber(out, source.size());
    PutNumber(out, target.size());
    PutNumber(out, 0);  // no metadata
    auto action = [&out](Action kind, size_t length) { PutNumber(out, (uint64_t(length - 1) << 2) | kind); };

    const size_t n = target.size();
    size_t literal = 0;  // the first byte not yet in the patch
    auto flush = [&](size_t end) {
        if (end > literal) {
            action(TargetRead, end - literal);
            out.insert(out.end(), target.begin() + ptrdiff_t(literal), target.begin() + ptrdiff_t(end));
        }
        literal = end;
    };
    int64_t targetOffset = 0;  // the decoder's relative offset into the result
    for (size_t i = 0; i < n;) {
        size_t same = 0;
        while (i + same < n && i + same < source.size() && source[i + same] == target[i + same]) ++same;
        // A short unchanged run costs less as bytes of the patch than as an
        // action of its own between two others.
        if (same >= 3 || (same > 0 && i + same == n)) {
            flush(i);
            action(SourceRead, same);
            i += same;
            literal = i;
            continue;
        }
        size_t repeat = 1;
        while (i + repeat < n && target[i + repeat] == target[i]) ++repeat;
        if (repeat >= kBpsRepeatRun) {
            flush(i + 1);  // its first byte as it is, the rest copied from it
            action(TargetCopy, repeat - 1);
            PutSigned(out, int64_t(i) - targetOffset);
            targetOffset = int64_t(i + repeat - 1);
            i += repeat;
            literal = i;
            continue;
        }
        i += std::max<size_t>(1, same);
    }
    flush(n);
    PutLe32(out, Crc32(source));
    PutLe32(out, Crc32(target));
    PutLe32(out, Crc32(out));
    return {std::move(out), ""};
}

Made MakeIps(std::span<const uint8_t> source, std::span<const uint8_t> target) {
    if (int64_t(target.size()) >= kIpsLimit)
        return {{}, "the modified ROM is " + std::to_string(target.size()) +
                        " bytes; an IPS patch reaches only the first 16 MiB"};
    std::vector<uint8_t> out(kIpsMagic, kIpsMagic + std::strlen(kIpsMagic));
    auto put = [&out](uint32_t value, int bytes) {
        for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8) out.push_back(uint8_t(value >> shift));
    };
    const size_t n = target.size();
    auto changed = [&](size_t i) { return i >= source.size() || source[i] != target[i]; };
    for (size_t i = 0; i < n;) {
        if (!changed(i)) {
            ++i;
            continue;
        }
        size_t end = i + 1;
        while (end < n) {
            size_t gap = 0;
            while (end + gap < n && !changed(end + gap) && gap <= kIpsMergeGap) ++gap;
            if (end + gap >= n || gap > kIpsMergeGap) break;
            end += gap + 1;
        }
        for (size_t start = i; start < end;) {
            if (start == size_t(kIpsEofOffset)) --start;  // that offset would read as the end marker
            const size_t length = std::min(end - start, kIpsMaxRecord);
            put(uint32_t(start), 3);
            put(uint32_t(length), 2);
            out.insert(out.end(), target.begin() + ptrdiff_t(start), target.begin() + ptrdiff_t(start + length));
            start += length;
        }
        i = end;
    }
    out.insert(out.end(), {'E', 'O', 'F'});
    if (target.size() < source.size()) put(uint32_t(target.size()), 3);
    return {std::move(out), ""};
}

Applied Apply(std::span<const uint8_t> patch, std::span<const uint8_t> rom, const Names& names, bool checkChecksums) {
    auto starts = [&patch](const char* magic) {
        const size_t length = std::strlen(magic);
        return patch.size() >= length && std::memcmp(patch.data(), magic, length) == 0;
    };
    if (starts(kBpsMagic)) return ApplyBps(patch, rom, names, checkChecksums);
    if (starts(kIpsMagic)) return ApplyIps(patch, rom, names);
    return {{}, names.patch + ": not a BPS or IPS patch (it starts neither with BPS1 nor with PATCH)"};
}

} // namespace q2::patch
