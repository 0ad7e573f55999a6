// SPDX-License-Identifier: MIT
#include "app/modMain.h"

#include "app/Backup.h"
#include "map/MapRender.h"
#include "platform/CommonDialog.h"
#include "platform/ToolkitServices.h"
#include "tiles/Tileset.h"
#include "ui/frmMain.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QProcess>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QUndoCommand>

#include <filesystem>

namespace q2 {

namespace {

void Tell(const std::string& text) { Toolkit().MessageBox(text, MsgButtons::OK, MsgIcon::Critical); }

bool AskYes(const std::string& text) {
    return Toolkit().MessageBox(text, MsgButtons::YesNo, MsgIcon::Exclamation) == MsgResult::Yes;
}

// One step of the map's history: the cells one stroke changed, with their
// tiles before and after. Pushed after the stroke has drawn them.
class MapStep : public QUndoCommand {
public:
    struct Cell {
        uint8_t x, y;
        uint8_t before[2], after[2];  // tileset column and row
    };
    MapStep(modMain& program, std::vector<Cell> cells) : m_program(program), m_cells(std::move(cells)) {}

    void undo() override { Put(0); }
    void redo() override {
        if (m_drawn) {  // pushed: the stroke has drawn it already
            m_drawn = false;
            return;
        }
        Put(1);
    }

private:
    void Put(int side) {
        for (const Cell& cell : m_cells) {
            const uint8_t* tile = side == 0 ? cell.before : cell.after;
            m_program.DrawMapCell(cell.x, cell.y, tile[0], tile[1]);
        }
        m_program.Form().pbxMap_Paint();
    }

    modMain& m_program;
    std::vector<MapStep::Cell> m_cells;
    bool m_drawn = true;
};

} // namespace

modMain::modMain() {
    History.setUndoLimit(kHistoryLimit);
    m_reloadTimer.setSingleShot(true);
    m_reloadTimer.setInterval(kReloadDelayMs);
    QObject::connect(&m_reloadTimer, &QTimer::timeout, [this] { CheckRomFile(); });
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
    WatchRomFile();
    m_form->setWindowTitle(
        QString::fromStdString(msg::kCaptionPrefix + fileTitle + (readOnly ? msg::kReadOnlyCaptionSuffix : "")));
    m_form->show();
    return true;
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
        Tell(msg::MapOutsideFile(Catalogue.names[size_t(index)], std::filesystem::path(RomPath).filename().string(),
                                 Rom.size()));
        return false;
    }
    if (askFirst && !ConfirmUnsavedMap()) return false;

    CurrentMap = index;
    BuildTileset(entry.TilesetFirst, entry.TilesetLast);
    DecodeMap(entry.MapOffset, entry.IsSubMap);
    DrawMap();
    m_form->cboMap->setCurrentIndex(index);
    Selection.Reset();
    History.clear();
    MapModified = false;
    m_form->lblSelection->setText("Selection: none");
    m_form->fraMap->setTitle("Map");
    m_form->pbxMap->Refresh();
    m_form->pbxTileset->Refresh();
    return true;
}

bool modMain::SaveMap() {
    MapModified = false;
    m_form->fraMap->setTitle("Map");
    auto notSaved = [this] {
        History.resetClean();  // no step is known to be what the file holds now
        SetMapModified();
        return false;
    };
    if (RomReadOnly) {
        Toolkit().MessageBox(msg::ReadOnlyNotSaved(RomPath), MsgButtons::OK, MsgIcon::Exclamation);
        return notSaved();
    }

    // The file as it is now. When another program has written to it since
    // the editor read it, this map goes into those bytes, not over them.
    const bool same = RomFileHolds(RomPath, RomOnDisk);  // read whole only when it is not
    RomReadResult onDisk = same ? RomReadResult{RomReadStatus::Ok, {}, {}} : q2::ReadRomFile(RomPath);
    const bool exists = onDisk.ok() || onDisk.status == RomReadStatus::Empty;
    const bool changed = !same && exists && onDisk.bytes != RomOnDisk;
    if (changed && !AskYes(msg::ChangedOnDisk(RomPath))) return notSaved();
    RomImage& image = changed ? onDisk.bytes : Rom;

    std::string error;
    const bool known = CurrentMap >= 0 && size_t(CurrentMap) < Catalogue.entries.size();
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
            History.setClean();
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
    if (m_stroke) m_stroke->placed = true;
    MapModified = true;
    if (m_form->fraMap->title() != "Map (modified)") m_form->fraMap->setTitle("Map (modified)");
}

void modMain::SyncModified() {
    if (!History.isClean()) {
        SetMapModified();
        return;
    }
    MapModified = false;
    if (m_form->fraMap->title() != "Map") m_form->fraMap->setTitle("Map");
}

// ---- History ----

void modMain::BeginStroke() {
    EndStroke();  // a release that never came
    m_stroke = Stroke{Grid, false};
}

void modMain::EndStroke() {
    if (!m_stroke) return;
    const Stroke stroke = std::move(*m_stroke);
    m_stroke.reset();
    if (!stroke.placed) return;
    // A placement that changed no cell (the same tile again, a left press
    // during a map pick) still marks the map modified: it is a step, with no cells.
    std::vector<MapStep::Cell> cells;
    if (stroke.before.Columns() == Grid.Columns() && stroke.before.Rows() == Grid.Rows()) {
        for (int y = 0; y < Grid.Rows(); ++y)
            for (int x = 0; x < Grid.Columns(); ++x) {
                const uint8_t was[2] = {stroke.before(x, y, 0), stroke.before(x, y, 1)};
                const uint8_t now[2] = {Grid(x, y, 0), Grid(x, y, 1)};
                if (was[0] != now[0] || was[1] != now[1])
                    cells.push_back({uint8_t(x), uint8_t(y), {was[0], was[1]}, {now[0], now[1]}});
            }
    }
    cells.shrink_to_fit();
    History.push(new MapStep(*this, std::move(cells)));
    SyncModified();
}

void modMain::Undo() {
    if (m_stroke || !History.canUndo()) return;
    History.undo();
    SyncModified();
    // Back where the file was: what another program wrote meanwhile shows now.
    if (!MapModified && m_watcher) m_reloadTimer.start();
}

void modMain::Redo() {
    if (m_stroke || !History.canRedo()) return;
    History.redo();
    SyncModified();
    if (!MapModified && m_watcher) m_reloadTimer.start();
}

// ---- The ROM file, watched for writes by other programs ----

void modMain::RedrawFromRom() {
    const MapEntry& entry = Catalogue.entries[size_t(CurrentMap)];
    BuildTileset(entry.TilesetFirst, entry.TilesetLast);
    DrawMap();
    m_form->pbxMap->Refresh();
    m_form->pbxTileset->Refresh();
}

void modMain::WatchRomFile() {
    if (!m_watcher) {
        m_watcher = std::make_unique<QFileSystemWatcher>();
        QObject::connect(m_watcher.get(), &QFileSystemWatcher::fileChanged, [this] { RomFileChanged(); });
        QObject::connect(m_watcher.get(), &QFileSystemWatcher::directoryChanged, [this] { RomFolderChanged(); });
    }
    const QStringList watched = m_watcher->files() + m_watcher->directories();
    if (!watched.isEmpty()) m_watcher->removePaths(watched);
    m_reloadTimer.stop();
    const QString path = QString::fromStdString(RomPath);
    m_watcher->addPath(path);
    m_watcher->addPath(QFileInfo(path).absolutePath());
}

void modMain::RomFileChanged() {
    // Replaced by renaming a new file over it, or deleted: the watch went
    // with the old file; a file there now is watched again.
    const QString path = QString::fromStdString(RomPath);
    if (!m_watcher->files().contains(path) && QFileInfo::exists(path)) m_watcher->addPath(path);
    m_reloadTimer.start();  // once the writer is done
}

void modMain::RomFolderChanged() {
    const QString path = QString::fromStdString(RomPath);
    if (m_watcher->files().contains(path) || !QFileInfo::exists(path)) return;
    m_watcher->addPath(path);  // made anew, or renamed into place
    m_reloadTimer.start();
}

void modMain::CheckRomFile() {
    if (RomPath.empty() || !m_watcher) return;
    // Not in the middle of a stroke or of a question: later.
    if (m_stroke || QApplication::activeModalWidget()) {
        m_reloadTimer.start();
        return;
    }
    // Watched afresh before the file is read, so no later write goes unseen,
    // whatever happened to the file the watch was on.
    const QString path = QString::fromStdString(RomPath);
    if (QFileInfo::exists(path)) {
        m_watcher->removePath(path);
        m_watcher->addPath(path);
    }
    // Unsaved edits are never dropped: the save asks about the changed file.
    if (MapModified || RomFileHolds(RomPath, RomOnDisk)) return;
    RomReadResult now = q2::ReadRomFile(RomPath);
    if (!now.ok() && now.status != RomReadStatus::Empty) return;  // gone or unreadable: nothing to show
    if (now.bytes == RomOnDisk) return;
    const MapEntry& entry = Catalogue.entries[size_t(CurrentMap)];
    if (!MapEntryFits(entry, now.bytes.size())) {
        Tell(msg::MapOutsideFile(Catalogue.names[size_t(CurrentMap)],
                                 std::filesystem::path(RomPath).filename().string(), now.bytes.size()));
        return;
    }
    Rom = now.bytes;
    RomOnDisk = std::move(now.bytes);
    const MapEntry& current = Catalogue.entries[size_t(CurrentMap)];
    DecodeMap(current.MapOffset, current.IsSubMap);
    RedrawFromRom();
}

// ---- Test-play ----

std::string modMain::TestPlayFolder() const { return m_playFolder ? m_playFolder->path().toStdString() : ""; }

bool modMain::WriteTestPlayCopy(const RomImage& image, std::string& path, std::string& error) {
    if (!m_playFolder || !QFileInfo(m_playFolder->path()).isDir()) {
        m_playFolder = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/quill2-mapeditor-XXXXXX");
        if (!m_playFolder->isValid()) {
            error = "No private folder could be made in " + QDir::tempPath().toStdString() + ": " +
                    m_playFolder->errorString().toStdString();
            m_playFolder.reset();
            return false;
        }
    }
    // A new file each time: the emulator may still hold the last one open.
    const QString name = QFileInfo(QString::fromStdString(RomPath)).completeBaseName();
    QTemporaryFile copy(m_playFolder->path() + '/' + (name.isEmpty() ? QString("rom") : name) + "-XXXXXX.gb");
    copy.setAutoRemove(false);  // the folder goes when the editor ends
    if (!copy.open()) {
        error = copy.errorString().toStdString();
        return false;
    }
    path = copy.fileName().toStdString();
    if (copy.write(reinterpret_cast<const char*>(image.data()), qint64(image.size())) != qint64(image.size()) ||
        !copy.flush()) {
        error = path + ": " + copy.errorString().toStdString();
        copy.remove();
        return false;
    }
    return true;
}

void modMain::TestPlay() {
    if (RomPath.empty() || CurrentMap < 0 || size_t(CurrentMap) >= Catalogue.entries.size()) return;
    EmulatorCommand emulator = FindEmulatorCommand(EmulatorFolders);
    if (emulator.command.empty() && !m_typedCommand.empty())
        emulator = {m_typedCommand, "the command entered in this run"};
    if (emulator.command.empty()) {
        const std::optional<std::string> typed = Toolkit().InputBox(msg::kTestPlayPrompt, "");
        if (!typed || typed->find_first_not_of(" \t\n") == std::string::npos) return;
        if (!RememberEmulatorCommand(*typed)) {
            m_typedCommand = *typed;
            Tell(msg::TestPlayNotStored(SettingsFilePath()));
        }
        emulator = {*typed, std::string(kTestPlayKey) + " in [" + kTestPlayGroup + "] of " + SettingsFilePath()};
    }
    const std::optional<std::vector<std::string>> words = SplitCommandWords(emulator.command);
    if (!words) {
        Tell(msg::TestPlayBadCommand(emulator.command, emulator.source));
        return;
    }

    // The image as a save would make it, without touching the file or the modified state.
    RomImage image = Rom;
    std::string file, error;
    if (!EncodeMap(Grid, Catalogue.entries[size_t(CurrentMap)].MapOffset, image)) {
        Tell(msg::TestPlayNoCopy("the map lies outside the ROM image"));
        return;
    }
    if (!WriteTestPlayCopy(image, file, error)) {
        Tell(msg::TestPlayNoCopy(error));
        return;
    }
    const std::vector<std::string> command = CommandForFile(*words, file);
    QProcess process;
    process.setProgram(QString::fromStdString(command.front()));
    QStringList arguments;
    for (size_t i = 1; i < command.size(); ++i) arguments << QString::fromStdString(command[i]);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    if (!process.startDetached())
        Tell(msg::TestPlayNotStarted(emulator.command, process.errorString().toStdString(), emulator.source));
}

} // namespace q2
