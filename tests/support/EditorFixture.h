// SPDX-License-Identifier: MIT
#pragma once
// A started editor on a synthetic ROM file, and mouse events sent to its
// picture boxes exactly as the toolkit would deliver them.

#include "app/modMain.h"
#include "support/ScriptedToolkit.h"
#include "support/TestFiles.h"
#include "ui/frmMain.h"

#include <QImage>
#include <QKeySequence>
#include <gtest/gtest.h>

#include <functional>

namespace q2::test {

void Press(QWidget* box, Qt::MouseButton button, QPointF at, Qt::MouseButtons held = {},
           Qt::KeyboardModifiers modifiers = {});
void Move(QWidget* box, Qt::MouseButtons held, QPointF at);
void Release(QWidget* box, Qt::MouseButton button, QPointF at, Qt::MouseButtons held = {});
void Click(QWidget* box, Qt::MouseButton button, QPointF at, Qt::KeyboardModifiers modifiers = {});
// Centre of cell (column, row) of a picture box.
inline QPointF Cell(int column, int row) { return QPointF(8 * column + 3, 8 * row + 3); }

// Runs events until done() holds, for at most ms milliseconds; what done() says then.
bool WaitUntil(const std::function<bool()>& done, int ms = 5000);

class EditorTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the editor on the ROM file at path; the dialog answers with it.
    void Start(const std::string& path);
    frmMain& Form() { return program->Form(); }
    std::string Caption() { return Form().windowTitle().toStdString(); }
    std::string Label() { return Form().lblSelection->text().toStdString(); }
    std::string MapFrame() { return Form().fraMap->title().toStdString(); }
    // What each box shows in the window, once the repaints asked for have run;
    // taking it paints nothing.
    QImage MapScreen() { return Shown(Form().pbxMap); }
    QImage TilesetScreen() { return Shown(Form().pbxTileset); }
    // What the map view's canvas shows of the map.
    QImage ViewScreen();
    // A repaint of the whole window asked for by the window system, as when
    // it is restored from the taskbar.
    void WindowSystemRepaint();
    // Picks tileset tile (column, row) as the single selected tile.
    void PickTile(int column, int row);
    // Right-drags over the tileset from cell a to cell b, one cell at a time.
    void PickTilesetBlock(QPoint a, QPoint b);
    // Right-drags over the map from cell a to cell b and releases.
    void PickMapBlock(QPoint a, QPoint b);
    void ClickLoadMap(int index);
    // Tile (1, 1) stamped at cell (4, 4) of the first map, and image with
    // that stamp saved into it.
    void StampOneTile();
    static RomImage WithStamp(RomImage image);
    // Presses keys in the main window, as the user does with it active.
    void Key(const QKeySequence& keys);

    TempDir dir;
    // Backups and settings go to the test's folder, never to the user's.
    ScopedEnv stateHome{"XDG_STATE_HOME", dir.File("state")};
    ScopedEnv configHome{"XDG_CONFIG_HOME", dir.File("config")};
    RomImage rom = PatternRom();
    std::string romPath;
    ScriptedToolkit script;
    std::unique_ptr<modMain> program;

private:
    QImage Shown(QWidget* box);
};

} // namespace q2::test
