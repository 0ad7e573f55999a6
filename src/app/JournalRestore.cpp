// SPDX-License-Identifier: MIT
#include "app/JournalRestore.h"

#include "app/modMain.h"
#include "platform/File.h"
#include "platform/ToolkitServices.h"

#include <QDateTime>
#include <QFileInfo>

#include <ctime>
#include <vector>

namespace q2 {

namespace {

std::string AbsolutePath(const std::string& path) {
    return QFileInfo(QString::fromStdString(path)).absoluteFilePath().toStdString();
}

int CellsChanged(const MapGrid& a, const MapGrid& b) {
    int cells = 0;
    for (int y = 0; y < std::min(a.Rows(), b.Rows()); ++y)
        for (int x = 0; x < std::min(a.Columns(), b.Columns()); ++x)
            cells += a(x, y, 0) != b(x, y, 0) || a(x, y, 1) != b(x, y, 1);
    return cells;
}

void Tell(const std::string& text) { Toolkit().MessageBox(text, MsgButtons::OK, MsgIcon::Critical); }

// One step of cells, as a stroke that drew them.
void PushStep(const JournalRestoreWiring& editor, const std::vector<JournalCell>& cells, bool before) {
    editor.history.BeginStroke();
    MapCellPainter painter = editor.painter();
    for (const JournalCell& cell : cells) {
        const uint8_t* tile = before ? cell.before : cell.after;
        if (editor.grid.Contains(cell.x, cell.y)) painter.Draw(cell.x, cell.y, tile[0], tile[1]);
    }
    editor.history.Placed();
    editor.history.EndStroke();
}

// The journal's steps put into the history of map index, just loaded from the file.
void ReplaySteps(const JournalRestoreWiring& editor, const Journal& journal, const MapGrid& model, int16_t index) {
    {
        EditJournal::Replaying replaying(editor.journal);
        for (const JournalStep& step : journal.steps) {
            const bool undone = step.kind == JournalStep::Kind::Undone;
            const bool retraced = undone                                     ? editor.history.Undo()
                                  : step.kind == JournalStep::Kind::Redone ? editor.history.Redo()
                                                                           : false;
            if (!retraced) PushStep(editor, step.cells, undone);  // done, or beyond what the history holds
        }
        const MapGrid& grid = editor.grid;
        if (grid != model) {  // the history could not retrace them: one step to where they ended
            editor.load(index);
            std::vector<JournalCell> cells;
            for (int y = 0; y < grid.Rows(); ++y)
                for (int x = 0; x < grid.Columns(); ++x)
                    if (grid(x, y, 0) != model(x, y, 0) || grid(x, y, 1) != model(x, y, 1))
                        cells.push_back({uint8_t(x), uint8_t(y), {}, {model(x, y, 0), model(x, y, 1)}});
            PushStep(editor, cells, false);
        }
    }
    editor.shown();
}

} // namespace

std::span<const uint8_t> MapBytes(const RomImage& image, const MapEntry& entry) {
    const int64_t length = MapByteCount(entry.IsSubMap);
    if (!RangeInside(entry.MapOffset, length, image.size())) return {};
    return std::span<const uint8_t>(image).subspan(size_t(entry.MapOffset), size_t(length));
}

JournalHeader JournalHeaderFor(const std::string& romPath, int16_t map, const RomImage& onDisk,
                               const MapCatalogue& catalogue) {
    JournalHeader header;
    header.romPath = AbsolutePath(romPath);
    header.mapIndex = map;
    header.mapHash = HashMapBytes(MapBytes(onDisk, catalogue.entries[size_t(map)]));
    header.time = int64_t(std::time(nullptr));
    return header;
}

JournalCheck CheckJournal(const std::string& journalPath, const std::string& romPath, const RomImage& rom,
                          const MapCatalogue& catalogue) {
    JournalCheck check;
    JournalReadResult read = ReadJournal(journalPath);
    if (read.status == JournalReadStatus::Missing) return check;
    const JournalHeader& header = read.journal.header;
    if (read.status == JournalReadStatus::Ok && header.romPath != AbsolutePath(romPath)) {
        read.status = JournalReadStatus::Refused;
        read.reason = "it belongs to another file, " + header.romPath;
    } else if (read.status == JournalReadStatus::Ok && size_t(header.mapIndex) >= catalogue.entries.size()) {
        read.status = JournalReadStatus::Refused;
        read.reason = "it names map " + std::to_string(header.mapIndex) + ", which is not in the list of maps";
    }
    if (read.status == JournalReadStatus::Refused) {
        check.verdict = JournalCheck::Verdict::Refused;
        check.reason = std::move(read.reason);
        return check;
    }
    if (read.journal.steps.empty()) {
        check.verdict = JournalCheck::Verdict::Empty;
        return check;
    }
    check.index = int16_t(header.mapIndex);
    const MapEntry& entry = catalogue.entries[size_t(check.index)];
    const std::span<const uint8_t> bytes = MapBytes(rom, entry);
    MapGrid base;
    if (bytes.empty() || !MapEntryFits(entry, rom.size()) || HashMapBytes(bytes) != header.mapHash ||
        !q2::DecodeMap(rom, entry.MapOffset, entry.IsSubMap, base)) {
        check.verdict = JournalCheck::Verdict::Stale;
        return check;
    }
    check.verdict = JournalCheck::Verdict::Offered;
    check.model = ReplayJournal(read.journal, base);
    check.cells = CellsChanged(base, check.model);
    check.when = QDateTime::fromSecsSinceEpoch(header.time).toString("yyyy-MM-dd HH:mm:ss").toStdString();
    check.journal = std::move(read.journal);
    return check;
}

void OfferJournal(const JournalRestoreWiring& editor) {
    const std::string path = editor.journal.Path();
    if (path.empty()) return;
    const JournalCheck check = CheckJournal(path, editor.romPath, editor.rom, editor.catalogue);
    switch (check.verdict) {
    case JournalCheck::Verdict::None:
        return;
    case JournalCheck::Verdict::Refused:
        Tell(msg::JournalRefused(path, check.reason));
        return;
    case JournalCheck::Verdict::Empty:
        RemoveFile(path);
        return;
    case JournalCheck::Verdict::Stale:
        Tell(msg::JournalStale(editor.catalogue.names[size_t(check.index)], path));
        return;
    case JournalCheck::Verdict::Offered:
        break;
    }
    const std::string& name = editor.catalogue.names[size_t(check.index)];
    if (Toolkit().MessageBox(msg::RestoreQuestion(name, check.when, check.cells), MsgButtons::YesNo,
                             MsgIcon::Question) != MsgResult::Yes) {
        FileError error;
        if (!DiscardJournal(path, error)) Tell(msg::JournalNotSetAside(error.Text()));
        return;
    }
    if (!editor.load(check.index)) return;
    ReplaySteps(editor, check.journal, check.model, check.index);
    if (editor.journal.Continue() && editor.history.IsClean()) editor.journal.Remove();
}

} // namespace q2
