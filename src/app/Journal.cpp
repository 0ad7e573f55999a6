// SPDX-License-Identifier: MIT
#include "app/Journal.h"

#include "app/Backup.h"
#include "map/MapGrid.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <ctime>
#include <filesystem>

namespace q2 {

namespace {

constexpr char kMark[] = "QUILL2-JOURNAL";
constexpr size_t kMarkLength = sizeof kMark - 1;
constexpr uint8_t kVersion = 1;
constexpr uint8_t kHeaderType = 'H';
constexpr uint8_t kStepType = 'S';
constexpr size_t kRecordOverhead = 1 + 4 + 4;  // type, length, CRC
constexpr size_t kCellSize = 6;
constexpr char kSuffix[] = ".journal";
constexpr char kDiscarded[] = "discarded";
// Far above any journal: a step per cell of the largest map, a million times.
constexpr int64_t kReadLimit = int64_t(1) << 30;

uint32_t Crc32(std::span<const uint8_t> bytes) {
    static const auto table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    uint32_t crc = 0xFFFFFFFFu;
    for (uint8_t b : bytes) crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

void PutLittle(std::vector<uint8_t>& out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(uint8_t(value >> (8 * i)));
}

uint64_t GetLittle(std::span<const uint8_t> in, size_t at, int bytes) {
    uint64_t value = 0;
    for (int i = 0; i < bytes; ++i) value |= uint64_t(in[at + size_t(i)]) << (8 * i);
    return value;
}

std::vector<uint8_t> Record(uint8_t type, const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> record;
    record.reserve(payload.size() + kRecordOverhead);
    record.push_back(type);
    PutLittle(record, payload.size(), 4);
    record.insert(record.end(), payload.begin(), payload.end());
    PutLittle(record, Crc32(record), 4);
    return record;
}

std::string Hex(std::span<const uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (uint8_t b : bytes) text += {kDigits[b >> 4], kDigits[b & 15]};
    return text;
}

std::string UtcStamp() {
    char stamp[17];
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    ::gmtime_r(&now, &utc);
    std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &utc);
    return stamp;
}

} // namespace

MapHash HashMapBytes(std::span<const uint8_t> bytes) {
    const QByteArray sum = QCryptographicHash::hash(
        QByteArrayView(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())),
        QCryptographicHash::Sha256);
    MapHash hash{};
    std::copy_n(reinterpret_cast<const uint8_t*>(sum.constData()), hash.size(), hash.begin());
    return hash;
}

std::vector<uint8_t> EncodeJournalHeader(const JournalHeader& header) {
    std::vector<uint8_t> payload(kMark, kMark + kMarkLength);
    payload.push_back(kVersion);
    PutLittle(payload, uint16_t(header.mapIndex), 2);
    payload.insert(payload.end(), header.mapHash.begin(), header.mapHash.end());
    PutLittle(payload, uint64_t(header.time), 8);
    payload.insert(payload.end(), header.romPath.begin(), header.romPath.end());
    return Record(kHeaderType, payload);
}

std::vector<uint8_t> EncodeJournalStep(const JournalStep& step) {
    std::vector<uint8_t> payload;
    payload.reserve(1 + step.cells.size() * kCellSize);
    payload.push_back(uint8_t(step.kind));
    for (const JournalCell& c : step.cells)
        payload.insert(payload.end(), {c.x, c.y, c.before[0], c.before[1], c.after[0], c.after[1]});
    return Record(kStepType, payload);
}

std::optional<Journal> ParseJournal(std::span<const uint8_t> bytes, std::string& reason) {
    Journal journal;
    size_t at = 0;
    for (size_t number = 0; at < bytes.size(); ++number) {
        const size_t left = bytes.size() - at;
        if (left < kRecordOverhead) {
            reason = number == 0 ? "it is not an edit journal" : "its last record is cut short";
            return std::nullopt;
        }
        const uint8_t type = bytes[at];
        const uint64_t length = GetLittle(bytes, at + 1, 4);
        if (number == 0 && (type != kHeaderType || left < 5 + kMarkLength ||
                            !std::equal(kMark, kMark + kMarkLength, bytes.begin() + 5))) {
            reason = "it is not an edit journal";
            return std::nullopt;
        }
        if (length > left - kRecordOverhead) {
            reason = "record " + std::to_string(number + 1) + " is cut short";
            return std::nullopt;
        }
        const std::span<const uint8_t> record = bytes.subspan(at, 5 + size_t(length));
        const std::span<const uint8_t> payload = record.subspan(5);
        if (Crc32(record) != GetLittle(bytes, at + 5 + size_t(length), 4)) {
            reason = "record " + std::to_string(number + 1) + " is damaged";
            return std::nullopt;
        }
        at += size_t(length) + kRecordOverhead;

        if (number == 0) {
            constexpr size_t kFixed = kMarkLength + 1 + 2 + 32 + 8;
            if (payload.size() < kFixed) {
                reason = "its header is cut short";
                return std::nullopt;
            }
            if (payload[kMarkLength] != kVersion) {
                reason = "it was written in a format of another version (" + std::to_string(payload[kMarkLength]) + ")";
                return std::nullopt;
            }
            JournalHeader& h = journal.header;
            h.mapIndex = int(GetLittle(payload, kMarkLength + 1, 2));
            std::copy_n(payload.begin() + kMarkLength + 3, h.mapHash.size(), h.mapHash.begin());
            h.time = int64_t(GetLittle(payload, kMarkLength + 35, 8));
            h.romPath.assign(payload.begin() + kFixed, payload.end());
            continue;
        }
        const uint8_t kind = payload.empty() ? 0 : payload[0];
        if (type != kStepType || kind < 1 || kind > 3 || (payload.size() - 1) % kCellSize != 0) {
            reason = "record " + std::to_string(number + 1) + " is not a step";
            return std::nullopt;
        }
        JournalStep step{JournalStep::Kind(kind), {}};
        step.cells.reserve((payload.size() - 1) / kCellSize);
        for (size_t c = 1; c < payload.size(); c += kCellSize) {
            const JournalCell cell{payload[c], payload[c + 1], {payload[c + 2], payload[c + 3]},
                                   {payload[c + 4], payload[c + 5]}};
            if (cell.x >= kMapColumns || cell.y >= kMainMapRows) {
                reason = "record " + std::to_string(number + 1) + " names a cell off the map";
                return std::nullopt;
            }
            step.cells.push_back(cell);
        }
        journal.steps.push_back(std::move(step));
    }
    if (bytes.empty()) {
        reason = "it is empty";
        return std::nullopt;
    }
    return journal;
}

MapGrid ReplayJournal(const Journal& journal, const MapGrid& base) {
    MapGrid grid = base;
    for (const JournalStep& step : journal.steps)
        for (const JournalCell& cell : step.cells) {
            if (!grid.Contains(cell.x, cell.y)) continue;
            const uint8_t* tile = step.kind == JournalStep::Kind::Undone ? cell.before : cell.after;
            grid(cell.x, cell.y, 0) = tile[0];
            grid(cell.x, cell.y, 1) = tile[1];
        }
    return grid;
}

std::string JournalFolder() {
    const std::string backups = BackupFolder();  // the same state folder, the same rule
    return backups.empty() ? backups : std::filesystem::path(backups).parent_path().string();
}

std::string JournalPathFor(const std::string& romPath) {
    const std::string folder = JournalFolder();
    if (folder.empty()) return folder;
    const QString absolute = QFileInfo(QString::fromStdString(romPath)).absoluteFilePath();
    const QByteArray utf8 = absolute.toUtf8();
    const MapHash sum = HashMapBytes({reinterpret_cast<const uint8_t*>(utf8.constData()), size_t(utf8.size())});
    std::string name = QFileInfo(absolute).fileName().toStdString();
    if (name.size() > 120) name.resize(120);  // with the rest, well within a file name's 255 bytes
    return folder + "/" + name + "." + Hex(std::span(sum).first(8)) + kSuffix;
}

JournalReadResult ReadJournal(const std::string& path) {
    JournalReadResult result;
    ReadResult file = ReadWholeFile(path, kReadLimit);
    switch (file.status) {
    case ReadStatus::Missing:
        return result;
    case ReadStatus::Ok:
        break;
    case ReadStatus::TooLarge:
        result.status = JournalReadStatus::Refused;
        result.reason = "it is too large to be an edit journal";
        return result;
    default:
        result.status = JournalReadStatus::Refused;
        result.reason = file.error.reason;
        return result;
    }
    std::optional<Journal> journal = ParseJournal(file.bytes, result.reason);
    if (!journal) {
        result.status = JournalReadStatus::Refused;
        return result;
    }
    result.status = JournalReadStatus::Ok;
    result.journal = std::move(*journal);
    return result;
}

bool DiscardJournal(const std::string& path, FileError& error) {
    ReadResult file = ReadWholeFile(path, kReadLimit);
    if (file.status == ReadStatus::Missing) return true;
    if (!file.ok()) {
        error = file.error;
        return false;
    }
    const std::filesystem::path journal(path);
    const std::string folder = (journal.parent_path() / kDiscarded).string();
    const std::string name = journal.filename().string() + "." + UtcStamp();
    const std::optional<std::string> kept = KeepCopy(
        folder, file.bytes, [&](int n) { return n ? name + "-" + std::to_string(n) : name; }, error);
    if (!kept) return false;
    RemoveFile(path);

    // The oldest copies of this journal beyond kJournalsKept go, never the one
    // just made; the stamps sort by time.
    const std::string prefix = journal.filename().string() + ".";
    std::vector<std::string> copies;
    for (std::string& entry : ListFolder(folder))
        if (entry.starts_with(prefix) && entry.size() > prefix.size() && entry != *kept)
            copies.push_back(std::move(entry));
    const auto newestFirst = [&](const std::string& a, const std::string& b) {
        // "…Z" sorts before "…Z-1": a later copy of the same second has a longer name.
        return a.size() != b.size() && a.compare(0, prefix.size() + 16, b, 0, prefix.size() + 16) == 0
                   ? a.size() > b.size()
                   : a > b;
    };
    std::sort(copies.begin(), copies.end(), newestFirst);
    for (size_t i = kJournalsKept - 1; i < copies.size(); ++i) RemoveFile(folder + "/" + copies[i]);
    return true;
}

bool JournalWriter::Begin(const std::string& path, const JournalHeader& header, FileError& error) {
    Remove();
    if (!DiscardJournal(path, error)) return false;
    if (!MakeFolders(std::filesystem::path(path).parent_path().string(), error)) return false;
    if (!m_file.Open(path, error)) return false;
    if (m_file.Append(EncodeJournalHeader(header), error)) return true;
    Remove();
    return false;
}

bool JournalWriter::Append(const JournalStep& step, FileError& error) {
    return m_file.Append(EncodeJournalStep(step), error);
}

void JournalWriter::Remove() {
    if (!m_file.IsOpen()) return;
    const std::string path = m_file.Path();
    m_file.Close();
    RemoveFile(path);
}

} // namespace q2
