// SPDX-License-Identifier: MIT
#pragma once
// The watch on the ROM file for writes by other programs: the file and its
// folder watched (through renames over the file, deletes and remakes), a
// check at a delay after the last sign of a write, and the reload policy:
// the check waits while paused (a stroke) or while a question is open; it
// reads nothing while the map has unsaved edits or the file still holds the
// bytes the editor knows; otherwise it hands the new bytes on.

#include "app/Rom.h"

#include <QTimer>

#include <functional>
#include <memory>
#include <string>

class QFileSystemWatcher;

namespace q2 {

// A change to the ROM file is read this long after the last sign of it.
inline constexpr int kReloadDelayMs = 200;

class RomWatch {
public:
    struct Wiring {
        // The bytes the editor last read from or wrote to the file.
        const RomImage& known;
        // True while the map has unsaved edits: they are never read over (the save asks instead).
        std::function<bool()> unsavedEdits;
        // The file holds other bytes than known; the editor decides what it adopts.
        std::function<void(RomImage bytes)> changed;
    };
    explicit RomWatch(Wiring wiring);
    ~RomWatch();
    RomWatch(const RomWatch&) = delete;
    RomWatch& operator=(const RomWatch&) = delete;

    // Watches path and its folder from now on; a check due for the file
    // watched before is dropped.
    void Start(const std::string& path);
    // A check after the delay, as if the file had been written (after an
    // undo back to the state saved, what was written meanwhile shows).
    // Nothing before Start.
    void CheckSoon();
    // While paused (a stroke under way), a check that falls due waits.
    void Pause() { m_paused = true; }
    void Resume() { m_paused = false; }

private:
    void FileChanged();
    void FolderChanged();
    void Check();
    // The file watched again if it exists, so no later write goes unseen.
    void Rewatch();

    Wiring m_wiring;
    std::string m_path;
    std::unique_ptr<QFileSystemWatcher> m_watcher;
    QTimer m_timer;
    bool m_paused = false;
};

} // namespace q2
