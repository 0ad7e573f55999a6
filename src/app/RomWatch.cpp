// SPDX-License-Identifier: MIT
#include "app/RomWatch.h"

#include <QApplication>
#include <QFileInfo>
#include <QFileSystemWatcher>

namespace q2 {

RomWatch::RomWatch(Wiring wiring) : m_wiring(std::move(wiring)) {
    m_timer.setSingleShot(true);
    m_timer.setInterval(kReloadDelayMs);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { Check(); });
}

RomWatch::~RomWatch() = default;

void RomWatch::Start(const std::string& path) {
    if (!m_watcher) {
        m_watcher = std::make_unique<QFileSystemWatcher>();
        QObject::connect(m_watcher.get(), &QFileSystemWatcher::fileChanged, [this] { FileChanged(); });
        QObject::connect(m_watcher.get(), &QFileSystemWatcher::directoryChanged, [this] { FolderChanged(); });
    }
    const QStringList watched = m_watcher->files() + m_watcher->directories();
    if (!watched.isEmpty()) m_watcher->removePaths(watched);
    m_timer.stop();
    m_path = path;
    const QString file = QString::fromStdString(path);
    m_watcher->addPath(file);
    m_watcher->addPath(QFileInfo(file).absolutePath());
}

void RomWatch::CheckSoon() {
    if (m_watcher) m_timer.start();
}

void RomWatch::FileChanged() {
    // Replaced by renaming a new file over it, or deleted: the watch went
    // with the old file; a file there now is watched again.
    const QString file = QString::fromStdString(m_path);
    if (!m_watcher->files().contains(file) && QFileInfo::exists(file)) m_watcher->addPath(file);
    m_timer.start();  // once the writer is done
}

void RomWatch::FolderChanged() {
    const QString file = QString::fromStdString(m_path);
    if (m_watcher->files().contains(file) || !QFileInfo::exists(file)) return;
    m_watcher->addPath(file);  // made anew, or renamed into place
    m_timer.start();
}

void RomWatch::Rewatch() {
    const QString file = QString::fromStdString(m_path);
    if (!QFileInfo::exists(file)) return;
    m_watcher->removePath(file);
    m_watcher->addPath(file);
}

void RomWatch::Check() {
    if (m_path.empty() || !m_watcher) return;
    // Not in the middle of a stroke or of a question: later.
    if (m_paused || QApplication::activeModalWidget()) {
        m_timer.start();
        return;
    }
    // Watched afresh before the file is read, whatever happened to the file
    // the watch was on.
    Rewatch();
    // Unsaved edits are never dropped: the save asks about the changed file.
    if (m_wiring.unsavedEdits() || RomFileHolds(m_path, m_wiring.known)) return;
    RomReadResult now = ReadRomFile(m_path);
    if (!now.ok() && now.status != RomReadStatus::Empty) return;  // gone or unreadable: nothing to show
    if (now.bytes == m_wiring.known) return;
    m_wiring.changed(std::move(now.bytes));
}

} // namespace q2
