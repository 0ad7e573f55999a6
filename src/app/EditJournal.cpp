// SPDX-License-Identifier: MIT
#include "app/EditJournal.h"

#include <utility>

namespace q2 {

EditJournal::EditJournal(Wiring wiring)
    : m_wiring(std::move(wiring)), m_key(m_wiring.history.Steps.Add([this](const StepEvent& step) { Step(step); })) {}

EditJournal::~EditJournal() { m_wiring.history.Steps.Remove(m_key); }

void EditJournal::SetRom(const std::string& romPath) {
    m_writer.Close();
    m_path = JournalPathFor(romPath);
    m_broken = m_told = false;
}

void EditJournal::Remove() {
    m_writer.Remove();
    m_broken = m_told = false;
}

bool EditJournal::Continue() {
    FileError error;
    if (!m_path.empty() && m_writer.Continue(m_path, error)) return true;
    Fail(error);
    return false;
}

void EditJournal::Fail(const FileError& error) {
    m_writer.Close();  // what is there stays, for a restore up to it
    m_broken = true;
    if (!std::exchange(m_told, true)) m_wiring.failed(error);
}

void EditJournal::Step(const StepEvent& step) {
    if (m_replaying || m_path.empty() || m_broken) return;
    if (m_wiring.history.IsClean()) {  // back where the file is: nothing to keep
        Remove();
        return;
    }
    JournalStep record;
    record.kind = step.kind == StepEvent::Kind::Undone   ? JournalStep::Kind::Undone
                  : step.kind == StepEvent::Kind::Redone ? JournalStep::Kind::Redone
                                                         : JournalStep::Kind::Done;
    record.cells.reserve(step.cells.size());
    for (const CellChange& c : step.cells)
        record.cells.push_back({c.x, c.y, {c.before[0], c.before[1]}, {c.after[0], c.after[1]}});
    FileError error;
    const bool written = (m_writer.IsOpen() || m_writer.Begin(m_path, m_wiring.header(), error)) &&
                         m_writer.Append(record, error);
    if (!written) {
        m_writer.Remove();  // a journal without this step would restore another map
        Fail(error);
    }
}

} // namespace q2
