// SPDX-License-Identifier: MIT
#pragma once
// Copies of a ROM file kept before a program writes over it, in the user's
// state folder: $XDG_STATE_HOME/quill2-mapeditor/backups, by default
// ~/.local/state/quill2-mapeditor/backups. A copy is named after the file
// with the time it was made, in UTC:
//   game.gb.20260105T143000Z.bak, then game.gb.20260105T143000Z-1.bak, ...
// for further copies made within the same second. The newest kBackupsKept
// of each file name are kept.

#include <string>

namespace q2 {

constexpr int kBackupsKept = 20;

struct BackupResult {
    bool ok = false;
    std::string path;   // the copy made, when ok
    std::string error;  // otherwise: what failed, with the system's reason
};

// The folder backups go to. XDG_STATE_HOME counts only when it is an
// absolute path; otherwise the home folder's .local/state. Empty when no
// home folder is known either.
std::string BackupFolder();

// Copies the file at romPath, as it is on the disk now, into BackupFolder()
// (made, mode 0700, where missing) as a new file of mode 0600. The copy and
// the folder are flushed to the disk before this returns, so the ROM may be
// written over afterwards. Then removes the oldest copies of the same file
// name beyond kBackupsKept (never the new one; one that cannot be removed
// stays). Not ok when the file cannot be read or the copy not made in full;
// nothing is left behind then.
BackupResult BackupRomFile(const std::string& romPath);

} // namespace q2
