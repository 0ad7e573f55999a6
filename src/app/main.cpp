// SPDX-License-Identifier: MIT
// Quill2 MapEditor: a map editor for Quillmoor 2 cartridge images.
#include "app/Journal.h"
#include "app/TestPlay.h"
#include "app/modMain.h"
#include "ui/AppFont.h"
#include "ui/Emblem.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstring>

namespace {

// The settings file's path is filled in where it is now, as the editor will use it.
constexpr char kDescription[] =
    "Edits the maps of a Quillmoor 2 cartridge image (.gb). The open-file dialog\n"
    "at start-up asks for the image; rom-file, when given, is filled into it.\n"
    "\n"
    "Keys in the main window:\n"
    "  Ctrl+Z                 take back the last stamp (a click or a whole drag)\n"
    "  Ctrl+Shift+Z, Ctrl+Y   put it back again\n"
    "  Ctrl+S                 Save Map\n"
    "  Ctrl+Shift+S           Save ROM As: the whole image, with the map, into a\n"
    "                         new file; the editor goes on with that file\n"
    "  Ctrl+O                 Load another ROM\n"
    "  F1                     Help\n"
    "  F5                     Test-play: start an emulator on a copy of the ROM\n"
    "                         holding the map as shown, saved or not\n"
    "  Shift+F5               change the Test-play command\n"
    "  F6                     open the map view, or raise it\n"
    "\n"
    "The map view: a resizable window over the same map, zoomed 1x to 8x.\n"
    "  left click, drag       stamp the selection; right drag copies a block\n"
    "  Shift+left click       fill the connected area of the clicked tile\n"
    "  Ctrl+left click        replace the clicked tile everywhere on the map\n"
    "  Ctrl+wheel, Ctrl+=, Ctrl+-, Ctrl+0   zoom in, out, back to 1x\n"
    "  G, V, C, T             grid, Game Boy screen, unsaved cells, tile lens\n"
    "  Esc                    close it; the keys above work there too\n"
    "Its size, place, zoom and overlays are kept in [MapView] of the settings file.\n"
    "\n"
    "Test-play runs $QUILL2_EMULATOR, else Command in [TestPlay] of\n"
    "%1, else mgba-qt or mgba from\n"
    "PATH or /usr/games; %f in it stands for the copy's file name.\n"
    "\n"
    "The open ROM file is watched: when another program writes it and the map\n"
    "has no unsaved edits, the editor shows the new bytes at once.\n"
    "\n"
    "Every step of an unsaved map is kept in a journal in %2;\n"
    "after a crash the next start offers the edits back.";

void Describe(QCommandLineParser& parser) {
    parser.setApplicationDescription(QString::fromUtf8(kDescription)
                                         .arg(QString::fromStdString(q2::SettingsFilePath()),
                                              QString::fromStdString(q2::JournalFolder())));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument("rom-file", "A ROM file to fill into the open-file dialog.", "[rom-file]");
}

void Name() {
    QCoreApplication::setApplicationName("Quill2 MapEditor");
    QCoreApplication::setApplicationVersion(QUILL2_VERSION);
}

// --help and --version print and end without a window system.
bool OnlyText(int argc, char** argv) {
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i)
        for (const char* option : {"-h", "--help", "-?", "--help-all", "-v", "--version"})
            if (std::strcmp(argv[i], option) == 0) return true;
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (OnlyText(argc, argv)) {
        QCoreApplication app(argc, argv);
        Name();
        QCommandLineParser parser;
        Describe(parser);
        parser.process(app);  // prints, then ends the program
        return 0;
    }

    QApplication app(argc, argv);
    Name();
    QGuiApplication::setDesktopFileName("quill2-mapeditor");
    QCommandLineParser parser;
    Describe(parser);
    parser.process(app);  // an unknown option ends the program with a message
    q2::InstallApplicationFont();
    QApplication::setWindowIcon(q2::AppIcon());

    // A file handed over by the desktop (the entry's %f) starts in the dialog.
    const QStringList files = parser.positionalArguments();
    q2::modMain program;
    if (!program.Main(files.isEmpty() ? std::string() : files.first().toStdString())) {
        // No ROM chosen ends the program quietly; without its map list it cannot run at all.
        return program.Catalogue.entries.empty() ? 1 : 0;
    }
    return app.exec();
}
