// SPDX-License-Identifier: MIT
#pragma once
// The edit journal: every finished step of the map's history, appended to a
// file and on the disk as the step ends, so that edits not yet saved outlive
// a crash, a kill or a power cut and can be offered back at the next start.
//
// One journal per ROM file, in the state folder:
//   $XDG_STATE_HOME/quill2-mapeditor/NAME.HASH.journal
// (by default ~/.local/state/quill2-mapeditor), NAME the ROM file's name and
// HASH 16 hexadecimal digits of the SHA-256 of its absolute path. Journals
// given up go to the discarded folder beside them, which keeps the newest
// kJournalsKept.
//
// The file is a row of records, each
//   type (1 byte), payload length (4 bytes, little-endian), payload,
//   CRC-32 of type, length and payload (4 bytes, little-endian).
// The first record is the header ('H'): the format's mark "QUILL2-JOURNAL",
// version 1 (1 byte), the map index (2 bytes), the SHA-256 of the map's bytes
// in the file when the journal began (32 bytes), the time it began (8 bytes,
// seconds since 1970, UTC), then the ROM file's absolute path (the rest). Every
// further record is a step ('S'): its kind (1 byte: 1 done, 2 undone, 3 redone)
// and 6 bytes for each cell it changed: x, y, then the tileset column and row
// before and after the step.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/File.h"

namespace q2 {

class MapGrid;

inline constexpr int kJournalsKept = 20;

using MapHash = std::array<uint8_t, 32>;
// The SHA-256 of a map's bytes.
MapHash HashMapBytes(std::span<const uint8_t> bytes);

struct JournalCell {
    uint8_t x, y;
    uint8_t before[2], after[2];  // tileset column and row
    bool operator==(const JournalCell&) const = default;
};

struct JournalStep {
    enum class Kind : uint8_t { Done = 1, Undone = 2, Redone = 3 };
    Kind kind = Kind::Done;
    std::vector<JournalCell> cells;
    bool operator==(const JournalStep&) const = default;
};

struct JournalHeader {
    std::string romPath;  // absolute
    int mapIndex = 0;
    MapHash mapHash{};
    int64_t time = 0;     // seconds since 1970, UTC
};

struct Journal {
    JournalHeader header;
    std::vector<JournalStep> steps;
};

// The journal in bytes, as the file holds it. Each is one record.
std::vector<uint8_t> EncodeJournalHeader(const JournalHeader& header);
std::vector<uint8_t> EncodeJournalStep(const JournalStep& step);

// Reads a journal from bytes. Every length is checked against the bytes
// left before it is used and every record against its CRC; nothing is read
// past the end. Nothing, with reason set, for anything else than a whole
// journal: another kind of file, a record cut short or damaged, a cell off
// a 32 x 32 map.
std::optional<Journal> ParseJournal(std::span<const uint8_t> bytes, std::string& reason);

// The grid after the journal's steps on base: a done or redone step puts its
// cells' after tiles, an undone one their before tiles. Cells outside base
// are left out.
MapGrid ReplayJournal(const Journal& journal, const MapGrid& base);

// The state folder the journals go to; empty when no home folder is known.
std::string JournalFolder();
// The journal of the ROM file at romPath (made absolute); empty as above.
std::string JournalPathFor(const std::string& romPath);

enum class JournalReadStatus { Ok, Missing, Refused };
struct JournalReadResult {
    JournalReadStatus status = JournalReadStatus::Missing;
    Journal journal;     // when Ok
    std::string reason;  // when Refused: why, in words
};
// Reads the journal file at path whole (at most a limit far above any
// real journal) and parses it.
JournalReadResult ReadJournal(const std::string& path);

// Moves the journal at path into the discarded folder beside it, as
// NAME.journal.YYYYMMDDTHHMMSSZ (a number added where that is taken), then
// removes the oldest there beyond kJournalsKept. False with error set when
// the copy could not be made; the journal then stays where it was.
bool DiscardJournal(const std::string& path, FileError& error);

// Appends the steps of one map's edits to its journal.
class JournalWriter {
public:
    // Begins a journal at path with header. A file already there is moved
    // aside into the discarded folder first, so that nothing is written into
    // a journal this writer did not begin.
    bool Begin(const std::string& path, const JournalHeader& header, FileError& error);
    // Goes on with the journal at path, as read and replayed, from its end.
    bool Continue(const std::string& path, FileError& error) { return m_file.Open(path, error); }
    // Appends step; on the disk when this returns true.
    bool Append(const JournalStep& step, FileError& error);
    // Closes the journal and removes its file.
    void Remove();
    // Closes the journal; its file stays.
    void Close() { m_file.Close(); }
    bool IsOpen() const { return m_file.IsOpen(); }
    const std::string& Path() const { return m_file.Path(); }

private:
    AppendFile m_file;
};

} // namespace q2
