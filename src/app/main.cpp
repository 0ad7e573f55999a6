// Quill2 MapEditor: a map editor for Quillmoor 2 cartridge images.
#include "app/modMain.h"
#include "ui/AppFont.h"
#include "ui/Emblem.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Quill2 MapEditor");
    q2::InstallApplicationFont();
    QApplication::setWindowIcon(q2::AppIcon());

    q2::modMain program;
    if (!program.Main()) return 0;  // no ROM chosen: end without a window
    return app.exec();
}
