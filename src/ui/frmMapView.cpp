// SPDX-License-Identifier: MIT
#include "ui/frmMapView.h"

#include "app/TestPlay.h"
#include "app/modMain.h"
#include "map/MapEdit.h"
#include "ui/Emblem.h"
#include "ui/frmMain.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPaintEngine>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QShortcut>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace q2 {

namespace {

constexpr char kCaptionPrefix[] = "Map view - ";
constexpr char kModifiedSuffix[] = " (modified)";

// Settings: group and keys.
constexpr char kGroup[] = "MapView";
constexpr char kGeometryKey[] = "Geometry";
constexpr char kZoomKey[] = "Zoom";
constexpr const char* kOverlayKeys[frmMapView::OverlayCount] = {"Grid", "Screen", "Unsaved", "Lens"};
constexpr Qt::Key kOverlayLetters[frmMapView::OverlayCount] = {Qt::Key_G, Qt::Key_V, Qt::Key_C, Qt::Key_T};
constexpr int kFirstZoom = 2;
// More changed parts than this are repainted as the rectangle around them.
constexpr size_t kMaxRepaintParts = 32;

// Overlay colours: none is one of the four shades (greys) or the pick's red.
const QColor kGridColour(0, 200, 255);
const QColor kScreenColour(255, 230, 0);
const QColor kUnsavedColour(255, 0, 255);
const QColor kLensColour(0, 120, 255, 110);  // a tint: the tile shows through
const QColor kFrameColour(255, 0, 0);

// The Game Boy screen, in map pixels, and how the demo viewer centres it.
constexpr int kScreenWidth = 160, kScreenHeight = 144;

int FloorDiv(int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

// "8A"
QString Hex(uint8_t byte) { return QString("%1").arg(byte, 2, 16, QChar('0')).toUpper(); }

QString SettingsFile() { return QString::fromStdString(SettingsFilePath()); }

// The one-pixel outline of r, on r's own edge pixels.
void Outline(QPainter& painter, const QRect& r, const QColor& colour) {
    painter.fillRect(r.left(), r.top(), r.width(), 1, colour);
    painter.fillRect(r.left(), r.bottom(), r.width(), 1, colour);
    painter.fillRect(r.left(), r.top(), 1, r.height(), colour);
    painter.fillRect(r.right(), r.top(), 1, r.height(), colour);
}

// One pixel row of a cell in two 24-bit pictures holds the same: compared in
// three words, which the compiler keeps inline.
bool SameCellRow(const uchar* a, const uchar* b) {
    uint64_t x[3], y[3];
    std::memcpy(x, a, sizeof x);
    std::memcpy(y, b, sizeof y);
    return x[0] == y[0] && x[1] == y[1] && x[2] == y[2];
}

// Writes count pixels of a 24-bit row, each Z times, as 32-bit pixels.
template <int Z>
void ExpandPixels(const uchar* from, int count, QRgb* to) {
    for (int i = 0; i < count; ++i, from += 3, to += Z) {
        const QRgb colour = qRgb(from[0], from[1], from[2]);
        for (int k = 0; k < Z; ++k) to[k] = colour;
    }
}
using PixelExpander = void (*)(const uchar*, int, QRgb*);
constexpr PixelExpander kExpanders[] = {nullptr,          ExpandPixels<1>, ExpandPixels<2>,
                                        ExpandPixels<3>, ExpandPixels<4>, ExpandPixels<5>,
                                        ExpandPixels<6>, ExpandPixels<7>, ExpandPixels<8>};
static_assert(std::size(kExpanders) == frmMapView::kMaxZoom + 1);

QRegion OutlineRegion(const QRect& r, int width = 1) {
    return QRegion(r).subtracted(QRegion(r.adjusted(width, width, -width, -width)));
}

} // namespace

// ---- The canvas: hands its events to the view ----

MapCanvas::MapCanvas(frmMapView& view) : m_view(view) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);  // the status bar follows the pointer
}

void MapCanvas::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    m_view.Paint(painter, event->rect());
}
void MapCanvas::mousePressEvent(QMouseEvent* event) { m_view.MousePress(event); }
void MapCanvas::mouseMoveEvent(QMouseEvent* event) { m_view.MouseMove(event); }
void MapCanvas::mouseReleaseEvent(QMouseEvent* event) { m_view.MouseRelease(event); }
void MapCanvas::wheelEvent(QWheelEvent* event) { m_view.Wheel(event); }
void MapCanvas::leaveEvent(QEvent*) { m_view.PointerLeft(); }

// ---- The window ----

frmMapView::frmMapView(modMain& program) : m_program(program) {
    setObjectName("frmMapView");
    setWindowIcon(AppIcon());
    setAttribute(Qt::WA_QuitOnClose, false);  // the main window ends the program

    m_canvas = new MapCanvas(*this);
    m_canvas->setObjectName("mapCanvas");
    m_scroll = new QScrollArea;
    m_scroll->setFrameShape(QFrame::NoFrame);  // the map starts at the client area's top left
    m_scroll->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_scroll->setWidget(m_canvas);
    m_bar = new QStatusBar;
    m_status = new QLabel;
    m_status->setObjectName("lblStatus");
    m_bar->addWidget(m_status, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_scroll, 1);
    layout->addWidget(m_bar);

    // The main window's keys (undo, redo, ...) work here too.
    m_program.Form().BindKeys(*this);
    auto bind = [this](QKeySequence key, auto handler) {
        connect(new QShortcut(key, this), &QShortcut::activated, this, handler);
    };
    for (int overlay = 0; overlay < OverlayCount; ++overlay)
        bind(QKeySequence(kOverlayLetters[overlay]), [this, overlay] { Toggle(Overlay(overlay)); });
    for (QKeySequence key : {QKeySequence(Qt::CTRL | Qt::Key_Equal), QKeySequence(Qt::CTRL | Qt::Key_Plus)})
        bind(key, [this] { ZoomKeepingTopLeft(m_zoom + 1); });
    bind(QKeySequence(Qt::CTRL | Qt::Key_Minus), [this] { ZoomKeepingTopLeft(m_zoom - 1); });
    bind(QKeySequence(Qt::CTRL | Qt::Key_0), [this] { ZoomKeepingTopLeft(1); });
    bind(QKeySequence(Qt::Key_Escape), [this] { close(); });

    m_listening = m_program.MapChanged.Add([this] { MapChanged(); });
}

frmMapView::~frmMapView() {
    m_program.MapChanged.Remove(m_listening);
    if (isVisible()) SaveSettings();  // the editor ends with the view open
}

QWidget* frmMapView::Canvas() const { return m_canvas; }

void frmMapView::ShowAndRaise() {
    if (!m_restored) LoadSettings();
    m_seen = QImage();  // hidden, it took nothing in: all of it afresh
    UpdateCaption();
    show();
    MapChanged();
    raise();
    activateWindow();
}

void frmMapView::closeEvent(QCloseEvent* event) {
    SaveSettings();
    event->accept();
}

void frmMapView::LoadSettings() {
    m_restored = true;
    QSettings settings(SettingsFile(), QSettings::IniFormat);
    settings.beginGroup(kGroup);
    m_zoom = std::clamp(settings.value(kZoomKey, kFirstZoom).toInt(), kMinZoom, kMaxZoom);
    for (int overlay = 0; overlay < OverlayCount; ++overlay)
        m_overlays[overlay] = settings.value(kOverlayKeys[overlay], false).toBool();
    const QByteArray geometry = settings.value(kGeometryKey).toByteArray();
    if (!geometry.isEmpty() && restoreGeometry(geometry)) return;
    // The first time: the whole map at 2x, where the screen has room for it.
    const QSize map = m_program.MapSurface.Image().size() * m_zoom;
    QSize wanted(map.width(), map.height() + m_bar->sizeHint().height());
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        wanted = wanted.boundedTo(screen->availableGeometry().size() - QSize(16, 48));
    resize(wanted);
}

void frmMapView::SaveSettings() const {
    QSettings settings(SettingsFile(), QSettings::IniFormat);
    settings.beginGroup(kGroup);
    settings.setValue(kGeometryKey, saveGeometry());
    settings.setValue(kZoomKey, m_zoom);
    for (int overlay = 0; overlay < OverlayCount; ++overlay)
        settings.setValue(kOverlayKeys[overlay], m_overlays[overlay]);
}

// ---- Taking in changes ----

void frmMapView::MapChanged() {
    if (!isVisible()) return;  // ShowAndRaise takes it all in
    const QImage& surface = m_program.MapSurface.Image();
    // What to repaint: a few rectangles one by one, many as the one that holds them.
    std::vector<QRect> parts;
    QRect bounds;
    auto repaint = [&](const QRect& r) {
        bounds |= r;
        if (parts.size() <= kMaxRepaintParts) parts.push_back(r);
    };
    if (surface.size() != m_seen.size() || surface.format() != m_seen.format()) {
        m_seen = surface.copy();
        m_unsavedCells.assign(size_t(Columns()) * Rows(), 0);
        m_frame = QRegion();
        ResizeCanvas();
        repaint(m_canvas->rect());
    } else {
        // Row by row: only the cells whose pixels differ are taken in and redrawn.
        const size_t cellBytes = 8 * 3;
        const int columns = Columns();
        std::vector<uint8_t> changed(size_t(columns) * Rows());
        int count = 0, left = columns, top = Rows(), right = -1, bottom = -1;
        for (int y = 0; y < m_seen.height(); ++y) {
            const uchar* now = surface.constScanLine(y);
            uchar* seen = m_seen.scanLine(y);
            if (std::memcmp(now, seen, size_t(m_seen.width()) * 3) == 0) continue;
            for (int cx = 0; cx < columns; ++cx) {
                const size_t at = cx * cellBytes;
                if (SameCellRow(now + at, seen + at)) continue;
                std::memcpy(seen + at, now + at, cellBytes);
                uint8_t& cell = changed[size_t(y / 8) * columns + cx];
                if (cell) continue;
                cell = 1;
                ++count;
                left = std::min(left, cx), right = std::max(right, cx);
                top = std::min(top, y / 8), bottom = std::max(bottom, y / 8);
            }
        }
        if (count > int(kMaxRepaintParts)) {
            repaint(Cells(left, top, right - left + 1, bottom - top + 1));
        } else if (count > 0) {
            for (int cy = top; cy <= bottom; ++cy)
                for (int cx = left; cx <= right; ++cx)
                    if (changed[size_t(cy) * columns + cx]) repaint(Cells(cx, cy));
        }
    }

    // The cells whose bytes differ from the file's, as last read or written.
    const MapGrid& grid = m_program.Grid;
    const int current = m_program.CurrentMap;
    if (grid.Columns() == Columns() && grid.Rows() == Rows() && current >= 0 &&
        size_t(current) < m_program.Catalogue.entries.size()) {
        const int64_t offset = m_program.Catalogue.entries[size_t(current)].MapOffset;
        const RomImage& disk = m_program.RomOnDisk;
        for (int y = 0; y < Rows(); ++y)
            for (int x = 0; x < Columns(); ++x) {
                const int64_t at = offset + int64_t(y) * Columns() + x;
                const uint8_t unsaved = at < 0 || at >= int64_t(disk.size()) || disk[size_t(at)] != CellByte(grid, x, y);
                uint8_t& was = m_unsavedCells[size_t(y) * Columns() + x];
                if (was == unsaved) continue;
                was = unsaved;
                if (m_overlays[Unsaved]) repaint(Cells(x, y));
            }
    }

    const QRegion frame = PickFrame();
    if (frame != m_frame) {
        for (const QRegion& r : {m_frame, frame})
            for (const QRect& part : r) repaint(part);
        m_frame = frame;
    }
    if (m_overlays[Lens] && HoveredByte() != m_lensByte) {
        m_lensByte = HoveredByte();
        repaint(m_canvas->rect());
    }
    if (parts.size() <= kMaxRepaintParts) {
        for (const QRect& r : parts) m_canvas->update(r);
    } else {
        m_canvas->update(bounds);
    }
    UpdateStatus();
    UpdateCaptionLater();
}

// The caption reads the modified state once the handler that changed the map
// has set it, after the repaint that called MapChanged.
void frmMapView::UpdateCaptionLater() {
    if (m_captionPending) return;
    m_captionPending = true;
    QTimer::singleShot(0, this, [this] {
        m_captionPending = false;
        UpdateCaption();
    });
}

void frmMapView::UpdateCaption() {
    const size_t current = size_t(m_program.CurrentMap);
    const std::string name = current < m_program.Catalogue.names.size() ? m_program.Catalogue.names[current] : "";
    const QString caption = QString::fromStdString(kCaptionPrefix + name + (m_program.MapModified ? kModifiedSuffix : ""));
    if (windowTitle() != caption) setWindowTitle(caption);
}

void frmMapView::ResizeCanvas() { m_canvas->setFixedSize(m_seen.size() * m_zoom); }

void frmMapView::DrawZoomed(uchar* bits, qsizetype stride, const QRect& r) const {
    // Each map row is zoomed once into m_row, whole map pixels, and copied
    // from there to as many screen rows as it covers.
    const int z = m_zoom, first = r.left() / z, count = r.right() / z - first + 1;
    m_row.resize(size_t(count) * z);
    const QRgb* from = m_row.data() + (r.left() - first * z);
    const size_t rowBytes = size_t(r.width()) * sizeof(QRgb);
    for (int y = r.top(); y <= r.bottom(); ++y, bits += stride) {
        if (y == r.top() || y % z == 0) kExpanders[z](m_seen.constScanLine(y / z) + 3 * first, count, m_row.data());
        std::memcpy(bits, from, rowBytes);
    }
}

QRect frmMapView::Cells(int x, int y, int w, int h) const {
    const int side = 8 * m_zoom;
    return QRect(x * side, y * side, w * side, h * side);
}

QRegion frmMapView::PickFrame() const {
    const SelectionState& s = m_program.Selection;
    if (!s.MapPicking || s.NothingSelected) return QRegion();
    const QRect block = Cells(s.MapAnchorColumn, s.MapAnchorRow, s.MapExtentColumns + 1, s.MapExtentRows + 1);
    return OutlineRegion(block.adjusted(-2, -2, 2, 2), 2);  // two pixels wide, just outside the block
}

int frmMapView::HoveredByte() const {
    const int x = m_pointer.x() / 8, y = m_pointer.y() / 8;
    return Hovering() && m_program.Grid.Contains(x, y) ? CellByte(m_program.Grid, x, y) : -1;
}

QRect frmMapView::ScreenAt(int x, int y, int rows) {
    const int left = std::clamp(FloorDiv(x - kScreenWidth / 2, 8) * 8, 0, kMapColumns * 8 - kScreenWidth);
    const int top = std::clamp(FloorDiv(y - kScreenHeight / 2, 8) * 8, 0, std::max(0, rows * 8 - kScreenHeight));
    return QRect(left, top, kScreenWidth, kScreenHeight);
}

// ---- Drawing ----

void frmMapView::Paint(QPainter& painter, const QRect& area) {
    if (m_seen.isNull()) {
        painter.fillRect(area, palette().window());
        return;
    }
    const int z = m_zoom, side = 8 * z;
    const int c0 = std::max(0, area.left() / side), c1 = std::min(Columns() - 1, area.right() / side);
    const int r0 = std::max(0, area.top() / side), r1 = std::min(Rows() - 1, area.bottom() / side);
    const QRect map = area & QRect(QPoint(0, 0), m_seen.size() * z);
    // Straight into the window's picture where it is one of 32-bit pixels at
    // one pixel per point, as on most screens; through a picture of its own elsewhere.
    QPaintEngine* engine = painter.paintEngine();
    const QTransform toDevice = painter.deviceTransform();
    auto* image = engine->paintDevice()->devType() == QInternal::Image ? static_cast<QImage*>(engine->paintDevice())
                                                                       : nullptr;
    const bool direct = image && toDevice.type() <= QTransform::TxTranslate && image->devicePixelRatio() == 1 &&
                        (image->format() == QImage::Format_RGB32 ||
                         image->format() == QImage::Format_ARGB32_Premultiplied) &&
                        toDevice.dx() == std::floor(toDevice.dx()) && toDevice.dy() == std::floor(toDevice.dy());
    if (direct) {
        const QPoint offset(int(toDevice.dx()), int(toDevice.dy()));
        const QRegion clip = engine->systemClip().isEmpty() ? QRegion(map.translated(offset)) : engine->systemClip();
        for (const QRect& part : clip) {
            const QRect r = (part & image->rect()).translated(-offset) & map;
            if (r.isEmpty()) continue;
            const QPoint at = r.topLeft() + offset;
            DrawZoomed(image->scanLine(at.y()) + at.x() * 4, image->bytesPerLine(), r);
        }
    } else if (!map.isEmpty()) {
        QImage part(map.size(), QImage::Format_RGB32);
        DrawZoomed(part.bits(), part.bytesPerLine(), map);
        painter.drawImage(map.topLeft(), part);
    }

    const MapGrid& grid = m_program.Grid;
    const bool gridFits = grid.Columns() == Columns() && grid.Rows() == Rows();
    if (m_overlays[Lens] && Hovering() && gridFits && m_lensByte >= 0)
        for (int y = r0; y <= r1; ++y)
            for (int x = c0; x <= c1; ++x)
                if (CellByte(grid, x, y) == m_lensByte) painter.fillRect(Cells(x, y), kLensColour);
    if (m_overlays[Grid] && z >= 2) {
        for (int x = c0; x <= c1; ++x) painter.fillRect(x * side, area.top(), 1, area.height(), kGridColour);
        for (int y = r0; y <= r1; ++y) painter.fillRect(area.left(), y * side, area.width(), 1, kGridColour);
    }
    if (m_overlays[Unsaved])
        for (int y = r0; y <= r1; ++y)
            for (int x = c0; x <= c1; ++x)
                if (m_unsavedCells[size_t(y) * Columns() + x]) Outline(painter, Cells(x, y), kUnsavedColour);
    if (m_overlays[Screen]) {
        const QRect screen = ScreenAt(m_lastPointer.x(), m_lastPointer.y(), Rows());
        Outline(painter, QRect(screen.topLeft() * z, screen.size() * z), kScreenColour);
    }
    for (const QRect& r : m_frame) painter.fillRect(r, kFrameColour);
}

// ---- The mouse ----

void frmMapView::MousePress(QMouseEvent* event) {
    const QPointF p = event->position() / m_zoom;
    const int button = ButtonValue(event->button()), shift = ShiftValue(event->modifiers());
    if (button == 1 && (shift & 3)) {
        m_press = Press::AreaTool;
        const int x = int(std::floor(p.x())) / 8, y = int(std::floor(p.y())) / 8;
        if (p.x() >= 0 && p.y() >= 0 && x < Columns() && y < Rows()) ApplyAreaTool(shift & 1, x, y);
        return;
    }
    if (button == 1) m_press = Press::Canvas;
    m_program.Form().pbxMap_MouseDown(button, shift, float(std::floor(p.x())), float(std::floor(p.y())));
    if (button == 2) MapChanged();  // the pick's frame
}

void frmMapView::MouseMove(QMouseEvent* event) {
    const QPointF p = event->position() / m_zoom;
    const QPoint pixel(int(std::floor(p.x())), int(std::floor(p.y())));
    PointerAt(m_canvas->rect().contains(event->position().toPoint()) ? pixel : QPoint(-1, -1));
    int buttons = ButtonValue(event->buttons());
    if (m_press == Press::AreaTool) buttons &= ~1;  // a fill's drag stamps nothing
    if (buttons == 0) return;
    m_program.Form().pbxMap_MouseMove(buttons, ShiftValue(event->modifiers()), float(pixel.x()), float(pixel.y()));
    if (buttons == 2) MapChanged();  // the pick's frame
}

void frmMapView::MouseRelease(QMouseEvent* event) {
    const int button = ButtonValue(event->button());
    const bool tool = button == 1 && m_press == Press::AreaTool;
    if (button == 1) m_press = Press::None;
    if (tool) return;  // the fill or replace was one step, done at the press
    const QPointF p = event->position() / m_zoom;
    m_program.Form().pbxMap_MouseUp(button, ShiftValue(event->modifiers()), float(std::floor(p.x())),
                                    float(std::floor(p.y())));
}

void frmMapView::ApplyAreaTool(bool fill, int x, int y) {
    const MapGrid pattern = StampPattern(m_program.Selection);
    if (pattern.Empty()) return;
    const MapGrid& grid = m_program.Grid;
    const std::vector<CellEdit> edits =
        fill ? FillEdits(grid, x, y, pattern) : ReplaceEdits(grid, x, y, pattern(0, 0, 0), pattern(0, 0, 1));
    m_program.BeginStroke();
    {
        MapCellPainter painter = m_program.CellPainter();
        for (const CellEdit& edit : edits) painter.Draw(edit.x, edit.y, edit.column, edit.row);
    }
    m_program.Form().pbxMap_Paint();
    m_program.SetMapModified();  // the view repaints when told
    m_program.EndStroke();
}

void frmMapView::Wheel(QWheelEvent* event) {
    if (!(event->modifiers() & Qt::ControlModifier)) {
        event->ignore();  // the scroll area scrolls
        return;
    }
    event->accept();
    m_wheel += event->angleDelta().y();
    const QPoint at = m_canvas->mapTo(m_scroll->viewport(), event->position().toPoint());
    for (; m_wheel >= QWheelEvent::DefaultDeltasPerStep; m_wheel -= QWheelEvent::DefaultDeltasPerStep)
        ZoomAround(m_zoom + 1, at);
    for (; m_wheel <= -QWheelEvent::DefaultDeltasPerStep; m_wheel += QWheelEvent::DefaultDeltasPerStep)
        ZoomAround(m_zoom - 1, at);
}

void frmMapView::PointerLeft() { PointerAt(QPoint(-1, -1)); }

void frmMapView::PointerAt(QPoint p) {
    if (p == m_pointer) return;
    const bool sameCell =
        Hovering() && p.x() >= 0 && p.x() / 8 == m_pointer.x() / 8 && p.y() / 8 == m_pointer.y() / 8;
    m_pointer = p;
    if (!Hovering()) {
        if (m_overlays[Lens] && m_lensByte >= 0) m_canvas->update();
        m_lensByte = -1;
        UpdateStatus();
        return;
    }
    if (m_overlays[Screen]) {
        const QRect was = ScreenAt(m_lastPointer.x(), m_lastPointer.y(), Rows());
        const QRect now = ScreenAt(p.x(), p.y(), Rows());
        if (was != now) {
            m_canvas->update(OutlineRegion(QRect(was.topLeft() * m_zoom, was.size() * m_zoom)));
            m_canvas->update(OutlineRegion(QRect(now.topLeft() * m_zoom, now.size() * m_zoom)));
        }
    }
    m_lastPointer = p;
    if (sameCell) return;
    if (m_overlays[Lens] && HoveredByte() != m_lensByte) {
        m_lensByte = HoveredByte();
        m_canvas->update();
    }
    UpdateStatus();
}

// ---- Zoom, overlays, status ----

void frmMapView::ZoomAround(int zoom, QPoint at) {
    zoom = std::clamp(zoom, kMinZoom, kMaxZoom);
    if (zoom == m_zoom) return;
    QScrollBar* h = m_scroll->horizontalScrollBar();
    QScrollBar* v = m_scroll->verticalScrollBar();
    const QPoint content(h->value() + at.x(), v->value() + at.y());
    const int was = m_zoom;
    m_zoom = zoom;
    m_frame = PickFrame();
    ResizeCanvas();
    h->setValue(content.x() * zoom / was - at.x());
    v->setValue(content.y() * zoom / was - at.y());
    m_canvas->update();
    UpdateStatus();
}

void frmMapView::ZoomKeepingTopLeft(int zoom) {
    zoom = std::clamp(zoom, kMinZoom, kMaxZoom);
    if (zoom == m_zoom) return;
    QScrollBar* h = m_scroll->horizontalScrollBar();
    QScrollBar* v = m_scroll->verticalScrollBar();
    const int side = 8 * m_zoom;
    const QPoint cell(h->value() / side, v->value() / side);
    m_zoom = zoom;
    m_frame = PickFrame();
    ResizeCanvas();
    h->setValue(cell.x() * 8 * zoom);
    v->setValue(cell.y() * 8 * zoom);
    m_canvas->update();
    UpdateStatus();
}

void frmMapView::Toggle(Overlay overlay) {
    m_overlays[overlay] = !m_overlays[overlay];
    if (overlay == Lens) m_lensByte = HoveredByte();
    m_canvas->update();
    UpdateStatus();
}

QString frmMapView::StatusText() const {
    QString text;
    const MapGrid& grid = m_program.Grid;
    const int x = m_pointer.x() / 8, y = m_pointer.y() / 8;
    const bool over = Hovering() && grid.Contains(x, y);
    if (over) {
        const uint8_t byte = CellByte(grid, x, y);
        text = QString("%1, %2  |  byte 0x%3, tile %4  |  ")
                   .arg(x)
                   .arg(y)
                   .arg(Hex(byte))
                   .arg(grid(x, y, 1) * 16 + grid(x, y, 0));
    }
    text += QString("%1x").arg(m_zoom);
    if (over && m_overlays[Lens]) {
        // Every map of the image in memory; the current one as it is now, saved or not.
        const uint8_t byte = CellByte(grid, x, y);
        const int here = CountByte(grid, byte);
        int all = here;
        const RomImage& rom = m_program.Rom;
        for (size_t i = 0; i < m_program.Catalogue.entries.size(); ++i) {
            const MapEntry& entry = m_program.Catalogue.entries[i];
            if (int(i) == m_program.CurrentMap || !MapEntryFits(entry, rom.size())) continue;
            const auto first = rom.begin() + entry.MapOffset;
            all += int(std::count(first, first + MapByteCount(entry.IsSubMap), byte));
        }
        text += QString("  |  tile 0x%1: %2 cells here, %3 in all maps")
                    .arg(Hex(byte))
                    .arg(here)
                    .arg(all);
    }
    return text;
}

void frmMapView::UpdateStatus() {
    const QString text = StatusText();
    if (m_status->text() != text) m_status->setText(text);
}

} // namespace q2
