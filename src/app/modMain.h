// SPDX-License-Identifier: MIT
#pragma once
// The editor's logic: start-up, the ROM image, the current map and the
// selection, and the procedures that load, draw and save maps; Main creates
// the main window. It wires the map's history (EditHistory), the watch on
// the ROM file (RomWatch) and Test-play (TestPlayer) to these and to the window.

#include "app/Catalogue.h"
#include "app/EditHistory.h"
#include "app/EditJournal.h"
#include "app/Rom.h"
#include "app/RomWatch.h"
#include "app/TestPlay.h"
#include "map/MapGrid.h"
#include "map/MapRender.h"
#include "platform/DIBSection.h"
#include "ui/Selection.h"

#include <memory>
#include <optional>
#include <set>
#include <string>

namespace q2 {

class frmMain;

// The program's own messages.
namespace msg {
inline constexpr char kTitleWarning[] =
    "This may not be a Quillmoor 2 ROM.\nAre you sure you want to load it?\n"
    "The editor may crash, corrupt the ROM or behave unexpectedly.";
inline constexpr char kNonExistentRom[] = "Non-existent ROM file!";
inline constexpr char kSaveQuestion[] = "The map hasn't been saved. Save it?";
inline constexpr char kOpenDialogTitle[] = "Select a Quillmoor 2 ROM...";
inline constexpr char kRomFilter[] = "GameBoy ROMs (*.gb)|*.gb|All Files (*.*)|*.*";
inline constexpr char kCaptionPrefix[] = "Quill2 MapEditor - ";
inline constexpr char kReadOnlyCaptionSuffix[] = " [read-only]";

// Saving: the ROM file was opened read-only.
inline std::string ReadOnlyNotSaved(const std::string& path) {
    return "The file " + path + " was opened read-only, so nothing was written.\n"
           "To save into it, load it again with \"Open as read-only\" unticked.";
}
// Saving: another program wrote to the ROM file after the editor read it,
// changing cells of this map's cells (maybe none).
inline std::string ChangedOnDisk(const std::string& path, int cells) {
    const std::string changed =
        cells == 0 ? "The other program changed none of this map's cells."
                   : "The other program changed " + std::to_string(cells) + (cells == 1 ? " cell" : " cells") +
                         " of this map; Yes writes your map over " + (cells == 1 ? "it." : "them.");
    return "The file " + path + " was changed by another program since the editor read it.\n\n"
           "Write this map into the file as it is now? " + changed +
           " Everything else in the file stays as the other program left it.";
}
// Saving: the copy of the ROM file kept before its first write could not be made.
inline std::string BackupFailed(const std::string& path, const std::string& reason) {
    return "No backup of " + path + " could be made before saving:\n" + reason +
           "\n\nSave the map without a backup?";
}
// Opening: a journal of unsaved edits to this ROM file was found.
inline std::string RestoreQuestion(const std::string& map, const std::string& when, int cells) {
    return "Unsaved changes to \"" + map + "\" from " + when + " were found (" + std::to_string(cells) +
           (cells == 1 ? " cell" : " cells") + " changed). Restore them?";
}
inline std::string JournalStale(const std::string& map, const std::string& journal) {
    return "Unsaved changes to \"" + map + "\" were found in " + journal +
           ", but another program has changed that map in the ROM file since, so nothing was restored.\n"
           "The journal is kept.";
}
inline std::string JournalRefused(const std::string& journal, const std::string& reason) {
    return "The journal of unsaved changes " + journal + " cannot be used: " + reason +
           ".\nNothing was restored; the journal is kept.";
}
inline std::string JournalNotSetAside(const std::string& reason) {
    return "The journal of unsaved changes could not be set aside, so it will be offered again:\n" + reason;
}
// Editing: a step could not be added to the journal.
inline std::string JournalNotWritten(const std::string& reason) {
    return "Unsaved changes can no longer be kept in the journal:\n" + reason +
           "\n\nThey are kept while the editor runs; save the map to keep them for good.";
}
// Save ROM As.
inline constexpr char kSaveAsTitle[] = "Save ROM As...";
inline std::string ReplaceQuestion(const std::string& path) {
    return "The file " + path + " exists. Replace it?\nA backup of it is kept first.";
}
// Loading: the map's bytes do not all lie in the file.
inline std::string MapOutsideFile(const std::string& map, const std::string& file, size_t size) {
    return "The map \"" + map + "\" lies outside the file " + file + " (" + std::to_string(size) +
           " bytes), so it cannot be loaded.";
}
} // namespace msg

class modMain {
public:
    modMain();
    ~modMain();
    modMain(const modMain&) = delete;
    modMain& operator=(const modMain&) = delete;

    // Start-up: the hidden main window, the catalogue, the first ROM. True when
    // the window is shown and the program runs on its events; false when the
    // program ends (no acceptable ROM, or no catalogue).
    // romFile, when given (a file handed over by the desktop), is put in the
    // dialog's file-name box, so that confirming the dialog opens it.
    bool Main(const std::string& romFile = std::string());

    // Lets the user choose a ROM and makes it current with its first map loaded.
    bool OpenRom() { return OpenRom(std::string()); }
    // Reads path whole into the ROM image. False, with the user told and the
    // image and path untouched, when the file cannot be read.
    bool ReadRomFile(const std::string& path);
    bool IsExpectedRom() const;
    // True: go on (nothing unsaved, saved, or changes given up); false: stop.
    bool ConfirmUnsavedMap();

    // Makes catalogue entry index the current map. False when nothing was
    // loaded: cancelled, no such entry, or an entry outside the ROM image.
    bool LoadMap(int16_t index) { return LoadMap(index, true); }
    // Writes the map into the ROM image and the ROM file. False, with the user
    // told and the map still marked modified, when it was not saved: the file
    // was opened read-only, the user chose not to write into a file another
    // program has changed or not to save without a backup, or the write failed.
    bool SaveMap();
    // Writes the whole image with the current map into a new file chosen in a
    // save dialog (replacing one asks first and backs it up) and goes on with
    // that file: its caption and watch, not read-only, the map clean. False,
    // with the user told where it failed, when nothing was written.
    bool SaveRomAs();

    // The steps of a load and of painting.
    void BuildTileset(int32_t first, int32_t last);
    void DecodeMap(int32_t mapOffset, bool isSubMap);
    void DrawMap();
    void DrawMapCell(int16_t x, int16_t y, int16_t column, int16_t row);
    // DrawMapCell for the cells of one stamp of a block, drawn in one burst.
    MapCellPainter CellPainter() { return MapCellPainter(Grid, TilesetSurface, MapSurface); }

    // Marks the map modified and says so in the map frame's caption. The
    // window calls it after each placement: MapChanged is told.
    void SetMapModified();

    // A left-button press-to-release on the map: every placement between
    // BeginStroke and EndStroke becomes one step of the history. While it
    // lasts, a change to the ROM file waits.
    void BeginStroke();
    void EndStroke();
    // Takes back the last step, or puts back the last one taken back. Nothing
    // while a stroke is under way.
    void Undo() { History.Undo(); }
    void Redo() { History.Redo(); }

    // The ROM image with the current map in it, written to a new private file
    // and handed to the emulator, which runs on its own.
    void TestPlay() { TestPlay(std::nullopt); }
    // Asks for the Test-play command, showing the one in force and where it
    // comes from, and plays with it; it is stored once it has started.
    void ChangeTestPlayCommand();

    // The window closes with the user's word: unsaved edits are given up and
    // their journal goes.
    void EditsGivenUp() { m_journal.Remove(); }

    frmMain& Form() { return *m_form; }

    // State shared by the procedures and the main window's handlers.
    RomImage Rom;
    std::string RomPath;
    // The ROM file's bytes as the editor last read them from it or wrote them
    // to it. Rom differs where a save has put a map that is not in the file yet.
    RomImage RomOnDisk;
    // "Open as read-only" was ticked for this ROM: saving writes nothing.
    bool RomReadOnly = false;
    MapCatalogue Catalogue;
    MapGrid Grid;
    int16_t CurrentMap = 0;
    bool MapModified = false;
    cDIBSection MapSurface;
    cDIBSection TilesetSurface;
    SelectionState Selection;
    // The map's steps since it was loaded; clean where the file holds the map.
    // A journal or another view of the map listens to it.
    EditHistory History{Grid};
    // Test-play's private folder, and where it looks for an emulator.
    TestPlayer Player;
    // Told after the map's picture may have changed: a placement, a step
    // undone or redone, a map loaded or read again from the file. The main
    // window repaints its own canvas; another view of the map listens here.
    Listeners<> MapChanged;

private:
    bool LoadMap(int16_t index, bool askFirst);
    bool OpenRom(std::string fileName);
    // typed: a command the user has just entered, stored once it has started.
    void TestPlay(std::optional<std::string> typed);
    // The caption for the ROM file at RomPath.
    void ShowCaption();
    // Backs the ROM file up before the first write to it in this run. False
    // when that failed and the user chose not to save without a backup.
    bool BackUpBeforeFirstWrite();
    // MapModified and the caption as the history says.
    void SyncModified();
    // A step done, undone or redone: drawn, and the modified state follows.
    void StepTaken(const StepEvent& step);
    // Rebuilds the tiles of the current map from Rom and draws the grid with them.
    void RedrawFromRom();
    // Another program wrote bytes into the ROM file: shown when the current
    // map lies in them, said otherwise.
    void AdoptRomFile(RomImage bytes);
    // The message when the current map does not lie in size bytes of the file.
    std::string OutsideMessage(int16_t index, size_t size) const;

    std::unique_ptr<frmMain> m_form;
    // ROM paths backed up in this run, or saved without a backup at the user's word.
    std::set<std::string> m_backedUp;
    RomWatch m_watch;
    EditJournal m_journal;
};

} // namespace q2
