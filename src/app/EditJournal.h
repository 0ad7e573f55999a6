// SPDX-License-Identifier: MIT
#pragma once
// The journal of the map being edited (Journal.h): begun at the first step
// away from the state the file holds, every step of the history appended as
// it ends, removed when the map is clean again (saved, loaded anew, undone or
// redone back). It stays when the editor ends any other way: that is what it
// is for.

#include "app/EditHistory.h"
#include "app/Journal.h"

#include <functional>
#include <string>

namespace q2 {

class EditJournal {
public:
    struct Wiring {
        EditHistory& history;
        // The header of a journal begun now: the ROM file, the map and the
        // hash of its bytes as the file holds them.
        std::function<JournalHeader()> header;
        // A step could not be written: said once, until the map is clean again.
        std::function<void(const FileError& error)> failed;
    };
    explicit EditJournal(Wiring wiring);
    ~EditJournal();
    EditJournal(const EditJournal&) = delete;
    EditJournal& operator=(const EditJournal&) = delete;

    // The ROM file whose journal this is from now on (its path as opened).
    void SetRom(const std::string& romPath);
    const std::string& Path() const { return m_path; }
    // The map is clean: its journal goes.
    void Remove();
    // Steps taken while this lives are not written (a journal being replayed).
    class Replaying {
    public:
        explicit Replaying(EditJournal& journal) : m_journal(journal) { m_journal.m_replaying = true; }
        ~Replaying() { m_journal.m_replaying = false; }
        Replaying(const Replaying&) = delete;
        Replaying& operator=(const Replaying&) = delete;

    private:
        EditJournal& m_journal;
    };
    // Goes on appending to the journal file there now (replayed).
    bool Continue();

private:
    void Step(const StepEvent& step);
    void Fail(const FileError& error);

    Wiring m_wiring;
    int m_key;
    std::string m_path;
    JournalWriter m_writer;
    bool m_replaying = false;
    // A step could not be written: the journal went, as one that lacks a
    // step would restore another map than the one edited. Nothing more is
    // written until the map is clean again.
    bool m_broken = false;
    bool m_told = false;  // a failure was said
};

} // namespace q2
