// SPDX-License-Identifier: MIT
#include "ui/frmMain.h"

#include "app/modMain.h"
#include "ui/Emblem.h"
#include "ui/frmAbout.h"
#include "ui/frmHelp.h"
#include "ui/frmMapView.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QShortcut>
#include <QWindow>

#include <cmath>

namespace q2 {

namespace {

// Layout in pixels at 96 dpi (15 twips to the pixel).
constexpr QSize kClientSize(440, 296);
constexpr QRect kFraMap(8, 8, 273, 281);
constexpr QRect kPbxMap(8, 16, 256, 256);
constexpr QRect kFraTileset(288, 8, 145, 153);
constexpr QRect kPbxTileset(8, 16, 128, 128);
constexpr QRect kFraChooseMap(288, 168, 145, 68);
constexpr QRect kCboMap(8, 16, 129, 21);
constexpr QRect kCmdSaveMap(360, 208, 65, 21);
constexpr QRect kCmdLoadMap(296, 208, 65, 21);
constexpr QRect kCmdAbout(376, 268, 57, 21);
constexpr QRect kCmdHelp(320, 268, 57, 21);
constexpr QRect kCmdLoadAnotherROM(320, 248, 113, 21);
// Moved up from row 244 and one text line high, so that "Load another ROM"
// (from row 248) does not cover its text.
constexpr QRect kLblSelection(288, 233, 145, 15);

constexpr char kStoredCaption[] = "Quill2 MapEditor - {FILE}";
constexpr COLORREF kFrameColour = RGB(255, 0, 0);

// Keys of the editing loop.
const QKeySequence kUndoKeys[] = {QKeySequence(Qt::CTRL | Qt::Key_Z)};
const QKeySequence kRedoKeys[] = {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)};
const QKeySequence kTestPlayKeys[] = {QKeySequence(Qt::Key_F5)};
// Keys for the buttons and for what has no button.
const QKeySequence kSaveKeys[] = {QKeySequence(Qt::CTRL | Qt::Key_S)};
const QKeySequence kSaveAsKeys[] = {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)};
const QKeySequence kOpenKeys[] = {QKeySequence(Qt::CTRL | Qt::Key_O)};
const QKeySequence kHelpKeys[] = {QKeySequence(Qt::Key_F1)};
const QKeySequence kTestPlayCommandKeys[] = {QKeySequence(Qt::SHIFT | Qt::Key_F5)};
const QKeySequence kMapViewKeys[] = {QKeySequence(Qt::Key_F6)};

constexpr int kCanvasWidth = 256;
constexpr int kPickerSize = 128;

} // namespace

int NearestPixel(float position) { return int(std::nearbyint(position)); }

frmMain::frmMain(modMain& program) : m_program(program) {
    setObjectName("frmMain");
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(kClientSize);
    setWindowTitle(kStoredCaption);
    setWindowIcon(AppIcon());

    auto place = [](QWidget* w, const char* name, const QRect& r) {
        w->setObjectName(name);
        w->setGeometry(r);
        return w;
    };
    fraMap = new QGroupBox("Map", this);
    place(fraMap, "fraMap", kFraMap);
    pbxMap = new PictureBox(fraMap);
    place(pbxMap, "pbxMap", kPbxMap);
    pbxMap->SetBoxSize(kPbxMap.width(), kPbxMap.height());
    fraTileset = new QGroupBox("Tileset", this);
    place(fraTileset, "fraTileset", kFraTileset);
    pbxTileset = new PictureBox(fraTileset);
    place(pbxTileset, "pbxTileset", kPbxTileset);
    pbxTileset->SetBoxSize(kPbxTileset.width(), kPbxTileset.height());
    fraChooseMap = new QGroupBox("Choose Map", this);
    place(fraChooseMap, "fraChooseMap", kFraChooseMap);
    cboMap = new QComboBox(fraChooseMap);
    place(cboMap, "cboMap", kCboMap);
    cboMap->setEditable(false);
    cmdSaveMap = new QPushButton("Save Map", this);
    place(cmdSaveMap, "cmdSaveMap", kCmdSaveMap);
    cmdLoadMap = new QPushButton("Load Map", this);
    place(cmdLoadMap, "cmdLoadMap", kCmdLoadMap);
    cmdAbout = new QPushButton("About", this);
    place(cmdAbout, "cmdAbout", kCmdAbout);
    cmdHelp = new QPushButton("Help", this);
    place(cmdHelp, "cmdHelp", kCmdHelp);
    cmdLoadAnotherROM = new QPushButton("Load another ROM", this);
    place(cmdLoadAnotherROM, "cmdLoadAnotherROM", kCmdLoadAnotherROM);
    lblSelection = new QLabel("Selection: None", this);
    place(lblSelection, "lblSelection", kLblSelection);
    lblSelection->setWordWrap(true);

    // "Load Map" and "Save Map" lie over the "Choose Map" frame.
    cmdLoadMap->raise();
    cmdSaveMap->raise();
    QWidget* order[] = {pbxMap, pbxTileset, cboMap, cmdSaveMap, cmdLoadMap, cmdAbout, cmdHelp, cmdLoadAnotherROM};
    for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);

    pbxMap->MouseDown = [this](int b, int s, float x, float y) { pbxMap_MouseDown(b, s, x, y); };
    pbxMap->MouseMove = [this](int b, int s, float x, float y) { pbxMap_MouseMove(b, s, x, y); };
    pbxMap->MouseUp = [this](int b, int s, float x, float y) { pbxMap_MouseUp(b, s, x, y); };
    pbxMap->Paint = [this] { pbxMap_Paint(); };
    pbxTileset->MouseDown = [this](int b, int s, float x, float y) { pbxTileset_MouseDown(b, s, x, y); };
    pbxTileset->MouseMove = [this](int b, int s, float x, float y) { pbxTileset_MouseMove(b, s, x, y); };
    pbxTileset->MouseUp = [this](int b, int s, float x, float y) { pbxTileset_MouseUp(b, s, x, y); };
    pbxTileset->Paint = [this] { pbxTileset_Paint(); };

    connect(cmdLoadMap, &QPushButton::clicked, this, [this] { m_program.LoadMap(int16_t(cboMap->currentIndex())); });
    connect(cmdSaveMap, &QPushButton::clicked, this, [this] { m_program.SaveMap(); });
    connect(cmdLoadAnotherROM, &QPushButton::clicked, this, [this] { m_program.OpenRom(); });
    connect(cmdHelp, &QPushButton::clicked, this, [this] { cmdHelp_Click(); });
    connect(cmdAbout, &QPushButton::clicked, this, [this] { cmdAbout_Click(); });

    BindKeys(*this);
}

frmMain::~frmMain() = default;

void frmMain::BindKeys(QWidget& window) {
    auto bind = [this, &window](const auto& keys, auto handler) {
        for (const QKeySequence& key : keys)
            connect(new QShortcut(key, &window), &QShortcut::activated, this, handler);
    };
    bind(kUndoKeys, [this] { m_program.Undo(); });
    bind(kRedoKeys, [this] { m_program.Redo(); });
    bind(kTestPlayKeys, [this] { m_program.TestPlay(); });
    bind(kSaveKeys, [this] { m_program.SaveMap(); });
    bind(kSaveAsKeys, [this] { m_program.SaveRomAs(); });
    bind(kOpenKeys, [this] { m_program.OpenRom(); });
    bind(kHelpKeys, [this] { cmdHelp_Click(); });
    bind(kTestPlayCommandKeys, [this] { m_program.ChangeTestPlayCommand(); });
    bind(kMapViewKeys, [this] { ShowMapView(); });
}

void frmMain::ShowMapView() {
    if (!m_mapView) m_mapView = std::make_unique<frmMapView>(m_program);
    m_mapView->ShowAndRaise();
}

void frmMain::cmdHelp_Click() {
    if (!m_help) m_help = std::make_unique<frmHelp>();
    m_help->exec();
}

void frmMain::cmdAbout_Click() {
    if (!m_about) m_about = std::make_unique<frmAbout>();
    m_about->exec();
}

void frmMain::closeEvent(QCloseEvent* event) {
    if (!m_program.ConfirmUnsavedMap()) {
        event->ignore();
        return;
    }
    m_program.EditsGivenUp();  // saved, unmodified, or given up at the user's word
    event->accept();
    if (m_mapView) m_mapView->close();
    QCoreApplication::quit();
}

// A window that is mapped again, uncovered or restored is often shown from
// the toolkit's own copy of its pixels, with no paint event for the picture
// boxes; the map canvas's Paint handler must still run, so that a finished
// map pick's frame goes as it does in any other repaint. The window's expose
// says when. (The picker's frame follows the selection, so a repaint of its
// own changes nothing.)
void frmMain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (QWindow* window = windowHandle(); window && !m_watchingExposes) {
        window->installEventFilter(this);
        m_watchingExposes = true;
    }
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Expose && watched == windowHandle() && windowHandle()->isExposed())
        pbxMap->Refresh();
    return QWidget::eventFilter(watched, event);
}

void frmMain::DrawSelectionFrame(PictureBox& box, int c0, int r0, int c1, int r1) {
    DrawBox(box.hDC(), 8 * c0 - 2, 8 * r0 - 2, 8 * c1 + 9, 8 * r1 + 9, kFrameColour);
    DrawBox(box.hDC(), 8 * c0 - 1, 8 * r0 - 1, 8 * c1 + 8, 8 * r1 + 8, kFrameColour);
}

// ---- Map canvas ----

void frmMain::pbxMap_MouseDown(int button, int shift, float x, float y) {
    if (button == 1) m_program.BeginStroke();  // one step of the history, to the release
    pbxMap_MouseMove(button, shift, x, y);
}

void frmMain::pbxMap_MouseMove(int button, int, float x, float y) {
    if (button != 1 && button != 2) return;
    if (x < 0 || x > kCanvasWidth - 1 || y < 0 || y > pbxMap->ScaleHeight() - 1) return;
    const int16_t column = CellOf(x), row = CellOf(y);
    SelectionState& s = m_program.Selection;

    if (button == 1) {
        if (s.NothingSelected) return;
        if (s.SingleTileSelected) {
            m_program.DrawMapCell(column, row, s.SingleTileColumn, s.SingleTileRow);
        } else if (s.MapPicking) {
            // A left press while the right button is still picking places nothing.
        } else if (s.MapBlockTaken) {
            MapCellPainter painter = m_program.CellPainter();  // DrawMapCell for each cell
            for (int i = 0; i <= s.MapExtentColumns; ++i)
                for (int j = 0; j <= s.MapExtentRows; ++j)
                    painter.Draw(int16_t(column + i), int16_t(row + j), s.MapBlock(i, j, 0), s.MapBlock(i, j, 1));
        } else {
            MapCellPainter painter = m_program.CellPainter();
            for (int i = 0; i <= s.TilesetExtentColumns; ++i)
                for (int j = 0; j <= s.TilesetExtentRows; ++j)
                    painter.Draw(int16_t(column + i), int16_t(row + j), int16_t(s.TilesetAnchorColumn + i),
                                 int16_t(s.TilesetAnchorRow + j));
        }
        pbxMap_Paint();
        m_program.SetMapModified();
        return;
    }

    if (s.MapPicking) {
        GrowExtent(column, s.MapAnchorColumn, s.MapExtentColumns);
        GrowExtent(row, s.MapAnchorRow, s.MapExtentRows);
    } else {
        s.SingleTileSelected = false;
        s.TilesetDragging = false;
        s.NothingSelected = false;
        s.MapBlockTaken = false;
        s.MapPicking = true;
        s.MapExtentColumns = 0;
        s.MapExtentRows = 0;
        s.MapAnchorColumn = column;
        s.MapAnchorRow = row;
    }
    pbxTileset_Paint();
    pbxMap_Paint();
}

void frmMain::pbxMap_MouseUp(int button, int, float, float) {
    if (button == 1) m_program.EndStroke();
    SelectionState& s = m_program.Selection;
    if (button != 2 || !s.MapPicking) return;
    s.MapPicking = false;
    s.MapBlockTaken = true;
    s.SingleTileSelected = false;
    s.MapBlock = MapGrid(s.MapExtentColumns + 1, s.MapExtentRows + 1);
    const MapGrid& grid = m_program.Grid;
    for (int i = 0; i <= s.MapExtentColumns; ++i)
        for (int j = 0; j <= s.MapExtentRows; ++j) {
            const int gx = s.MapAnchorColumn + i, gy = s.MapAnchorRow + j;
            if (!grid.Contains(gx, gy)) continue;  // the pick always lies inside; never read outside
            s.MapBlock(i, j, 0) = grid(gx, gy, 0);
            s.MapBlock(i, j, 1) = grid(gx, gy, 1);
        }
    lblSelection->setText(QString::fromStdString(SelectionSizeText(s.MapExtentColumns + 1, s.MapExtentRows + 1)));
}

void frmMain::pbxMap_Paint() {
    m_program.MapSurface.PaintPicture(pbxMap->hDC(), 0, 0, -1, -1, 0, 0, SRCCOPY);
    const SelectionState& s = m_program.Selection;
    if (s.MapPicking && !s.NothingSelected)
        DrawSelectionFrame(*pbxMap, s.MapAnchorColumn, s.MapAnchorRow, s.MapAnchorColumn + s.MapExtentColumns,
                           s.MapAnchorRow + s.MapExtentRows);
    pbxMap->Present();
}

// ---- Tileset picker ----

void frmMain::pbxTileset_MouseDown(int button, int shift, float x, float y) {
    pbxTileset_MouseMove(button, shift, x, y);
}

void frmMain::pbxTileset_MouseMove(int button, int, float x, float y) {
    if (x < 0 || x > kPickerSize - 1 || y < 0 || y > kPickerSize - 1) return;
    const int16_t column = CellOf(x), row = CellOf(y);
    SelectionState& s = m_program.Selection;

    if (button == 1) {
        s.SingleTileSelected = true;
        s.MapPicking = false;
        s.MapBlockTaken = false;
        s.TilesetDragging = false;
        s.NothingSelected = false;
        s.SingleTileColumn = column;
        s.SingleTileRow = row;
    } else if (button == 2) {
        s.SingleTileSelected = false;
        if (s.TilesetDragging) {
            GrowExtent(column, s.TilesetAnchorColumn, s.TilesetExtentColumns);
            GrowExtent(row, s.TilesetAnchorRow, s.TilesetExtentRows);
        } else {
            s.MapPicking = false;
            s.MapBlockTaken = false;
            s.TilesetDragging = true;
            s.NothingSelected = false;
            s.TilesetExtentColumns = 0;
            s.TilesetExtentRows = 0;
            s.TilesetAnchorColumn = column;
            s.TilesetAnchorRow = row;
        }
    } else {
        return;
    }
    pbxTileset_Paint();
    pbxMap_Paint();
}

void frmMain::pbxTileset_MouseUp(int, int, float, float) {
    SelectionState& s = m_program.Selection;
    s.TilesetDragging = false;
    if (s.SingleTileSelected)
        lblSelection->setText("Selection: one tile");
    else if (s.IsTilesetBlock())
        lblSelection->setText(
            QString::fromStdString(SelectionSizeText(s.TilesetExtentColumns + 1, s.TilesetExtentRows + 1)));
}

void frmMain::pbxTileset_Paint() {
    m_program.TilesetSurface.PaintPicture(pbxTileset->hDC(), 0, 0, -1, -1, 0, 0, SRCCOPY);
    const SelectionState& s = m_program.Selection;
    if (s.SingleTileSelected && !s.MapBlockTaken && !s.MapPicking && !s.NothingSelected)
        DrawSelectionFrame(*pbxTileset, s.SingleTileColumn, s.SingleTileRow, s.SingleTileColumn, s.SingleTileRow);
    else if (s.IsTilesetBlock())
        DrawSelectionFrame(*pbxTileset, s.TilesetAnchorColumn, s.TilesetAnchorRow,
                           s.TilesetAnchorColumn + s.TilesetExtentColumns, s.TilesetAnchorRow + s.TilesetExtentRows);
    pbxTileset->Present();
}

} // namespace q2
