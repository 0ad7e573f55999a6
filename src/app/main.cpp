// SPDX-License-Identifier: MIT
// Quill2 MapEditor: a map editor for Quillmoor 2 cartridge images.
#include "app/modMain.h"
#include "ui/AppFont.h"
#include "ui/Emblem.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Quill2 MapEditor");
    QGuiApplication::setDesktopFileName("quill2-mapeditor");
    q2::InstallApplicationFont();
    QApplication::setWindowIcon(q2::AppIcon());

    // A file handed over by the desktop (the entry's %f) starts in the dialog.
    const QStringList args = QApplication::arguments();
    q2::modMain program;
    if (!program.Main(args.size() > 1 ? args.at(1).toStdString() : std::string())) {
        // No ROM chosen ends the program quietly; without its map list it cannot run at all.
        return program.Catalogue.entries.empty() ? 1 : 0;
    }
    return app.exec();
}
