// SPDX-License-Identifier: MIT
#pragma once
// The main window: the map canvas, the tileset picker, the map list, the
// selection label and the buttons, with their event handlers.

#include "ui/PictureBox.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

#include <memory>

namespace q2 {

class modMain;
class frmHelp;
class frmAbout;
class frmMapView;

class frmMain : public QWidget {
public:
    explicit frmMain(modMain& program);
    ~frmMain() override;

    QGroupBox* fraMap;
    PictureBox* pbxMap;
    QGroupBox* fraTileset;
    PictureBox* pbxTileset;
    QGroupBox* fraChooseMap;
    QComboBox* cboMap;
    QPushButton* cmdSaveMap;
    QPushButton* cmdLoadMap;
    QPushButton* cmdAbout;
    QPushButton* cmdHelp;
    QPushButton* cmdLoadAnotherROM;
    QLabel* lblSelection;

    // The Help and About windows, made on first use and kept (null before).
    frmHelp* HelpWindow() const { return m_help.get(); }
    frmAbout* AboutWindow() const { return m_about.get(); }
    // The map view, made on first use (F6) and kept (null before).
    frmMapView* MapView() const { return m_mapView.get(); }
    void ShowMapView();

    // Binds the main window's keys on window, so that they work there too.
    void BindKeys(QWidget& window);

    // Map canvas handlers.
    void pbxMap_MouseDown(int button, int shift, float x, float y);
    void pbxMap_MouseMove(int button, int shift, float x, float y);
    void pbxMap_MouseUp(int button, int shift, float x, float y);
    void pbxMap_Paint();
    // Tileset picker handlers.
    void pbxTileset_MouseDown(int button, int shift, float x, float y);
    void pbxTileset_MouseMove(int button, int shift, float x, float y);
    void pbxTileset_MouseUp(int button, int shift, float x, float y);
    void pbxTileset_Paint();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void cmdHelp_Click();
    void cmdAbout_Click();
    // The red two-pixel frame around cells (c0, r0) to (c1, r1) of a picture box.
    static void DrawSelectionFrame(PictureBox& box, int c0, int r0, int c1, int r1);

    modMain& m_program;
    std::unique_ptr<frmHelp> m_help;
    std::unique_ptr<frmAbout> m_about;
    std::unique_ptr<frmMapView> m_mapView;
    bool m_watchingExposes = false;  // the window's exposes reach eventFilter
};

} // namespace q2
