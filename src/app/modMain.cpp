// SPDX-License-Identifier: MIT
#include "app/modMain.h"

#include "app/Backup.h"
#include "app/JournalRestore.h"
#include "app/ViewerTable.h"
#include "map/MapRender.h"
#include "platform/CommonDialog.h"
#include "platform/ToolkitServices.h"
#include "tiles/Tileset.h"
#include "ui/frmMain.h"

#include <QFileInfo>

#include <filesystem>
#include <span>

namespace q2 {

namespace {

void Tell(const std::string& text) { Toolkit().MessageBox(text, MsgButtons::OK, MsgIcon::Critical); }

bool AskYes(const std::string& text) {
    return Toolkit().MessageBox(text, MsgButtons::YesNo, MsgIcon::Exclamation) == MsgResult::Yes;
}

// The cells of the map of entry that differ between two images (none when
// either does not hold the map).
int CellsChanged(const RomImage& a, const RomImage& b, const MapEntry& entry) {
    const std::span<const uint8_t> x = MapBytes(a, entry), y = MapBytes(b, entry);
    if (x.empty() || y.empty()) return 0;
    int cells = 0;
    for (size_t i = 0; i < x.size(); ++i) cells += x[i] != y[i];
    return cells;
}

} // namespace

modMain::modMain()
    : m_watch({RomOnDisk, [this] { return MapModified; }, [this](RomImage bytes) { AdoptRomFile(std::move(bytes)); }}),
      m_journal({History, [this] { return JournalHeaderFor(RomPath, CurrentMap, RomOnDisk, Catalogue); },
                 [](const FileError& error) { Tell(msg::JournalNotWritten(error.Text())); }}) {
    History.Steps.Add([this](const StepEvent& step) { StepTaken(step); });
}

modMain::~modMain() = default;

bool modMain::Main(const std::string& romFile) {
    // The main window exists, hidden, before anything else happens.
    m_form = std::make_unique<frmMain>(*this);

    CatalogueResult catalogue = LoadMapCatalogue();
    if (!catalogue.ok) {
        Tell("The list of maps could not be prepared, so the editor cannot start.\n" + catalogue.error);
        return false;
    }
    Catalogue = std::move(catalogue.catalogue);
    for (const std::string& name : Catalogue.names) m_form->cboMap->addItem(QString::fromStdString(name));
    m_form->cboMap->setCurrentIndex(-1);  // no map is loaded yet

    // A name too long for the dialog would make it refuse to open at all.
    return OpenRom(romFile.size() <= cCommonDialog::kMaxPath ? romFile : std::string());
}

bool modMain::OpenRom(std::string fileName) {
    if (!ConfirmUnsavedMap()) return false;

    std::string fileTitle, filter = msg::kRomFilter;
    bool readOnly = false;
    int32_t filterIndex = 1, flags = 0;
    cCommonDialog dialog;
    if (!dialog.VBGetOpenFileName(fileName, fileTitle, true, false, readOnly, false, filter, filterIndex, "",
                                  msg::kOpenDialogTitle, "", nullptr, flags))
        return false;

    RomImage previousRom = Rom, previousOnDisk = RomOnDisk;
    std::string previousPath = RomPath;
    if (!ReadRomFile(fileName)) return false;

    auto putBack = [&] {
        Rom = std::move(previousRom);
        RomOnDisk = std::move(previousOnDisk);
        RomPath = std::move(previousPath);
    };
    if (!IsExpectedRom() &&
        Toolkit().MessageBox(msg::kTitleWarning, MsgButtons::YesNo, MsgIcon::Exclamation) != MsgResult::Yes) {
        putBack();
        return false;
    }
    // The unsaved-changes question was settled before the dialog.
    if (!LoadMap(0, false)) {
        putBack();
        return false;
    }
    RomReadOnly = readOnly;
    m_watch.Start(RomPath);
    ShowCaption();
    m_form->show();
    m_journal.SetRom(RomPath);
    OfferJournal({RomPath, Rom, Catalogue, History, Grid, m_journal, [this](int16_t i) { return LoadMap(i, false); },
                  [this] { return CellPainter(); }, [this] { m_form->pbxMap_Paint(); MapChanged.Tell(); }});
    return true;
}

void modMain::ShowCaption() {
    const std::string title = QFileInfo(QString::fromStdString(RomPath)).fileName().toStdString();
    m_form->setWindowTitle(
        QString::fromStdString(msg::kCaptionPrefix + title + (RomReadOnly ? msg::kReadOnlyCaptionSuffix : "")));
}

bool modMain::ReadRomFile(const std::string& path) {
    RomReadResult result = q2::ReadRomFile(path);
    switch (result.status) {
    case RomReadStatus::Ok:
    case RomReadStatus::Empty:  // read; the title check and the load deal with it
        break;
    case RomReadStatus::Missing:
    case RomReadStatus::NotAFile:
        Tell(msg::kNonExistentRom);
        return false;
    case RomReadStatus::TooLarge:
        Tell("This file is too large to be a Game Boy ROM:\n" + path);
        return false;
    case RomReadStatus::ReadError:
        Tell("The ROM file could not be read.\n" + result.message);
        return false;
    }
    Rom = std::move(result.bytes);
    RomOnDisk = Rom;
    RomPath = path;
    return true;
}

bool modMain::IsExpectedRom() const { return q2::IsExpectedRom(Rom); }

bool modMain::ConfirmUnsavedMap() {
    if (!MapModified) return true;
    switch (Toolkit().MessageBox(msg::kSaveQuestion, MsgButtons::YesNoCancel, MsgIcon::Question)) {
    case MsgResult::Yes:
        return SaveMap();  // a failed save keeps the map: stop
    case MsgResult::No:
        return true;
    default:
        return false;
    }
}

bool modMain::LoadMap(int16_t index, bool askFirst) {
    if (index < 0 || size_t(index) >= Catalogue.entries.size()) return false;
    const MapEntry& entry = Catalogue.entries[size_t(index)];
    if (!MapEntryFits(entry, Rom.size())) {
        Tell(OutsideMessage(index, Rom.size()));
        return false;
    }
    if (askFirst && !ConfirmUnsavedMap()) return false;
    // Edits given up: the file as it is now, which may hold what another
    // program wrote while they kept its reload back.
    if (MapModified && !RomPath.empty() && !RomFileHolds(RomPath, RomOnDisk)) {
        RomReadResult now = q2::ReadRomFile(RomPath);
        if (now.ok() || now.status == RomReadStatus::Empty) {
            Rom = now.bytes;
            RomOnDisk = std::move(now.bytes);
        }
        if (!MapEntryFits(entry, Rom.size())) {
            Tell(OutsideMessage(index, Rom.size()));
            return false;
        }
    }

    m_journal.Remove();  // saved, or given up
    CurrentMap = index;
    BuildTileset(entry.TilesetFirst, entry.TilesetLast);
    DecodeMap(entry.MapOffset, entry.IsSubMap);
    DrawMap();
    m_form->cboMap->setCurrentIndex(index);
    Selection.Reset();
    History.Clear();
    MapModified = false;
    m_form->lblSelection->setText("Selection: none");
    m_form->fraMap->setTitle("Map");
    m_form->pbxMap->Refresh();
    m_form->pbxTileset->Refresh();
    MapChanged.Tell();
    return true;
}

bool modMain::SaveMap() {
    MapModified = false;
    m_form->fraMap->setTitle("Map");
    auto notSaved = [this] {
        History.ResetClean();  // no step is known to be what the file holds now
        SetMapModified();
        return false;
    };
    if (RomReadOnly) {
        Toolkit().MessageBox(msg::ReadOnlyNotSaved(RomPath), MsgButtons::OK, MsgIcon::Exclamation);
        return notSaved();
    }

    const bool known = CurrentMap >= 0 && size_t(CurrentMap) < Catalogue.entries.size();
    // The file as it is now. When another program has written to it since
    // the editor read it, this map goes into those bytes, not over them.
    const bool same = RomFileHolds(RomPath, RomOnDisk);  // read whole only when it is not
    RomReadResult onDisk = same ? RomReadResult{RomReadStatus::Ok, {}, {}} : q2::ReadRomFile(RomPath);
    const bool exists = onDisk.ok() || onDisk.status == RomReadStatus::Empty;
    const bool changed = !same && exists && onDisk.bytes != RomOnDisk;
    const int overwritten =
        changed && known ? CellsChanged(onDisk.bytes, RomOnDisk, Catalogue.entries[size_t(CurrentMap)]) : 0;
    if (changed && !AskYes(msg::ChangedOnDisk(RomPath, overwritten))) return notSaved();
    RomImage& image = changed ? onDisk.bytes : Rom;

    std::string error;
    if (onDisk.status == RomReadStatus::TooLarge || onDisk.status == RomReadStatus::ReadError) {
        error = onDisk.message;  // nothing to compare with: better not to write
    } else if (!known || !EncodeMap(Grid, Catalogue.entries[size_t(CurrentMap)].MapOffset, image)) {
        error = "the map lies outside the ROM image";
    } else {
        if (changed) {  // the other program's bytes, shown from now on
            Rom = std::move(onDisk.bytes);
            RedrawFromRom();
        }
        // A file that is gone has nothing to back up and is made anew.
        if (exists && !BackUpBeforeFirstWrite()) return notSaved();
        if (WriteRomFile(RomPath, Rom, error)) {
            RomOnDisk = Rom;
            History.SetClean();
            m_journal.Remove();
            MapChanged.Tell();  // nothing unsaved now
            return true;
        }
        // Part of the image may have reached the file: that part is the
        // editor's own, not another program's.
        RomReadResult after = q2::ReadRomFile(RomPath);
        if (after.ok() || after.status == RomReadStatus::Empty) RomOnDisk = std::move(after.bytes);
    }
    notSaved();
    Tell("The map was not saved.\n" + error);
    return false;
}

bool modMain::BackUpBeforeFirstWrite() {
    if (m_backedUp.count(RomPath)) return true;
    const BackupResult backup = BackupRomFile(RomPath);
    if (!backup.ok && !AskYes(msg::BackupFailed(RomPath, backup.error))) return false;
    m_backedUp.insert(RomPath);
    return true;
}

void modMain::BuildTileset(int32_t first, int32_t last) { q2::BuildTileset(TilesetSurface, Rom, first, last); }

void modMain::DecodeMap(int32_t mapOffset, bool isSubMap) {
    const int rows = MapRows(isSubMap);
    m_form->pbxMap->SetBoxSize(kMapColumns * kTileSize, rows * kTileSize);
    MapSurface.Create(kMapColumns * kTileSize, rows * kTileSize);
    if (!q2::DecodeMap(Rom, mapOffset, isSubMap, Grid)) Grid = MapGrid(kMapColumns, rows);
}

void modMain::DrawMap() { q2::DrawMap(Grid, TilesetSurface, MapSurface); }

void modMain::DrawMapCell(int16_t x, int16_t y, int16_t column, int16_t row) {
    q2::DrawMapCell(Grid, TilesetSurface, MapSurface, x, y, column, row);
}

void modMain::SetMapModified() {
    History.Placed();
    MapModified = true;
    if (m_form->fraMap->title() != "Map (modified)") m_form->fraMap->setTitle("Map (modified)");
    MapChanged.Tell();
}

void modMain::SyncModified() {
    MapModified = !History.IsClean();
    const QString title = MapModified ? "Map (modified)" : "Map";
    if (m_form->fraMap->title() != title) m_form->fraMap->setTitle(title);
}

// ---- History ----

void modMain::BeginStroke() {
    History.BeginStroke();
    m_watch.Pause();
}

void modMain::EndStroke() {
    History.EndStroke();
    m_watch.Resume();
}

void modMain::StepTaken(const StepEvent& step) {
    if (step.kind != StepEvent::Kind::Done) {  // a stroke has drawn its own cells
        MapCellPainter painter = CellPainter();
        for (const CellChange& cell : step.cells) {
            const uint8_t* tile = step.kind == StepEvent::Kind::Undone ? cell.before : cell.after;
            painter.Draw(cell.x, cell.y, tile[0], tile[1]);
        }
        m_form->pbxMap_Paint();
        MapChanged.Tell();
    }
    SyncModified();
    // Back where the file was: what another program wrote meanwhile shows now.
    if (step.kind != StepEvent::Kind::Done && !MapModified) m_watch.CheckSoon();
}

// ---- The ROM file, watched for writes by other programs ----

void modMain::RedrawFromRom() {
    const MapEntry& entry = Catalogue.entries[size_t(CurrentMap)];
    BuildTileset(entry.TilesetFirst, entry.TilesetLast);
    DrawMap();
    m_form->pbxMap->Refresh();
    m_form->pbxTileset->Refresh();
    MapChanged.Tell();
}

std::string modMain::OutsideMessage(int16_t index, size_t size) const {
    return msg::MapOutsideFile(Catalogue.names[size_t(index)], std::filesystem::path(RomPath).filename().string(),
                               size);
}

void modMain::AdoptRomFile(RomImage bytes) {
    const MapEntry& entry = Catalogue.entries[size_t(CurrentMap)];
    if (!MapEntryFits(entry, bytes.size())) {
        Tell(OutsideMessage(CurrentMap, bytes.size()));
        return;
    }
    Rom = bytes;
    RomOnDisk = std::move(bytes);
    DecodeMap(entry.MapOffset, entry.IsSubMap);
    RedrawFromRom();
}

// ---- Save ROM As ----

bool modMain::SaveRomAs() {
    if (RomPath.empty() || CurrentMap < 0 || size_t(CurrentMap) >= Catalogue.entries.size()) return false;
    const QFileInfo current(QString::fromStdString(RomPath));
    std::string path = current.fileName().toStdString(), filter = msg::kRomFilter;
    int32_t filterIndex = 1;
    cCommonDialog dialog;
    if (!dialog.VBGetSaveFileName(path, std::string(), false, filter, filterIndex, current.absolutePath().toStdString(),
                                  msg::kSaveAsTitle, "gb", m_form.get()))
        return false;
    RomImage image = Rom;
    if (!EncodeMap(Grid, Catalogue.entries[size_t(CurrentMap)].MapOffset, image)) {
        Tell("The ROM was not saved.\nThe map lies outside the ROM image.");
        return false;
    }
    if (QFileInfo::exists(QString::fromStdString(path))) {
        if (!AskYes(msg::ReplaceQuestion(path))) return false;
        const BackupResult backup = BackupRomFile(path);
        if (!backup.ok && !AskYes(msg::BackupFailed(path, backup.error))) return false;
    }
    FileError error;
    if (!WriteNewFile(path, image, error)) {
        Tell("The ROM was not saved.\n" + error.Text());
        return false;
    }
    m_journal.Remove();  // the edits are in a file now
    m_backedUp.insert(path);  // backed up, or new: a further save needs no copy
    Rom = image;
    RomOnDisk = std::move(image);
    RomPath = path;
    RomReadOnly = false;
    History.SetClean();
    SyncModified();
    m_watch.Start(RomPath);
    m_journal.SetRom(RomPath);
    ShowCaption();
    return true;
}

// ---- Test-play ----

void modMain::TestPlay(std::optional<std::string> typed) {
    if (RomPath.empty() || CurrentMap < 0 || size_t(CurrentMap) >= Catalogue.entries.size()) return;
    EmulatorCommand emulator = typed ? EmulatorCommand{*typed, msg::kTypedCommandSource} : Player.Command();
    if (emulator.command.empty()) {
        typed = Toolkit().InputBox(msg::kTestPlayPrompt, "");
        if (!typed || typed->find_first_not_of(" \t\n") == std::string::npos) return;
        emulator = {*typed, msg::kTypedCommandSource};
    }
    const std::optional<std::string> failed =
        Player.Play(emulator, Rom, Grid, Catalogue.entries[size_t(CurrentMap)].MapOffset, RomPath);
    if (failed) {
        Tell(*failed);
        return;
    }
    // Stored only now that it has started: a mistyped command is never kept.
    if (typed && !Player.Remember(*typed)) Tell(msg::TestPlayNotStored(SettingsFilePath()));
}

void modMain::ChangeTestPlayCommand() {
    if (RomPath.empty()) return;
    const EmulatorCommand current = Player.Command();
    const std::optional<std::string> typed =
        Toolkit().InputBox(msg::TestPlayChangePrompt(current.source), current.command);
    if (!typed || typed->find_first_not_of(" \t\n") == std::string::npos) return;
    TestPlay(typed);
}

} // namespace q2
