// SPDX-License-Identifier: MIT
#pragma once
// The map view: a second, resizable window over the current map, drawn
// zoomed (1x to 8x, nearest neighbour) from the same map surface the main
// window shows. Its mouse does what the map canvas does, and more: Shift+click
// fills an area, Ctrl+click replaces a tile everywhere. Overlays show a grid,
// the Game Boy screen around the pointer, the unsaved cells and every cell
// holding the tile under the pointer.

#include <QImage>
#include <QRect>
#include <QWidget>

#include <cstdint>
#include <vector>

class QLabel;
class QScrollArea;
class QStatusBar;

namespace q2 {

class modMain;

// The zoomed map inside the view's scroll area; its events go to the view.
class MapCanvas : public QWidget {
public:
    explicit MapCanvas(class frmMapView& view);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    frmMapView& m_view;
};

class frmMapView : public QWidget {
public:
    static constexpr int kMinZoom = 1, kMaxZoom = 8;

    explicit frmMapView(modMain& program);
    ~frmMapView() override;

    // Shows the view (the first time as the settings file keeps it) or raises it.
    void ShowAndRaise();
    // Takes in what changed since the last call: the map surface's pixels,
    // the map's size, the unsaved cells, the map pick's frame, the caption;
    // and repaints only the parts of the view that show a change. Called
    // whenever the editor says the map changed.
    void MapChanged();

    int Zoom() const { return m_zoom; }
    // Zooms to zoom, keeping the map point at viewport point at still in place.
    void ZoomAround(int zoom, QPoint at);
    // Zooms to zoom, keeping the cell at the top left of the view there.
    void ZoomKeepingTopLeft(int zoom);

    // The overlays, as the keys G, V, C and T toggle them.
    enum Overlay { Grid, Screen, Unsaved, Lens, OverlayCount };
    bool Shows(Overlay overlay) const { return m_overlays[overlay]; }
    void Toggle(Overlay overlay);

    // The Game Boy screen's rectangle for the pointer at map pixel (x, y) of
    // a map rows cells high, in map pixels.
    static QRect ScreenAt(int x, int y, int rows);

    QWidget* Canvas() const;
    QScrollArea* ScrollArea() const { return m_scroll; }
    QString StatusText() const;
    // Writes geometry, zoom and overlays into the settings file.
    void SaveSettings() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    friend class MapCanvas;
    void Paint(QPainter& painter, const QRect& area);
    void MousePress(QMouseEvent* event);
    void MouseMove(QMouseEvent* event);
    void MouseRelease(QMouseEvent* event);
    void Wheel(QWheelEvent* event);
    void PointerLeft();

    // Fill (Shift) or replace (Ctrl) at map cell (x, y), as one step.
    void ApplyAreaTool(bool fill, int x, int y);
    void LoadSettings();
    void ResizeCanvas();
    void UpdateCaption();
    void UpdateCaptionLater();
    void UpdateStatus();
    // The pointer is over map pixel p (or over no map point when p is null);
    // repaints the overlays that follow it.
    void PointerAt(QPoint p);
    // Canvas rectangle of map cells (x, y) to (x + w - 1, y + h - 1).
    QRect Cells(int x, int y, int w = 1, int h = 1) const;
    // The map pick's frame in the canvas, as a region; empty when there is none.
    QRegion PickFrame() const;
    int Rows() const { return m_seen.height() / 8; }
    int Columns() const { return m_seen.width() / 8; }
    // Writes the zoomed map's pixels of canvas rectangle r (inside the map) as
    // 32-bit pixels to bits, stride bytes from row to row.
    void DrawZoomed(uchar* bits, qsizetype stride, const QRect& r) const;
    bool Hovering() const { return m_pointer.x() >= 0; }
    // The map byte of the cell under the pointer; -1 when there is none.
    int HoveredByte() const;

    modMain& m_program;
    QScrollArea* m_scroll;
    MapCanvas* m_canvas;
    QStatusBar* m_bar;
    QLabel* m_status;
    int m_zoom = 2;
    bool m_overlays[OverlayCount] = {};
    bool m_restored = false;       // the settings were read
    bool m_captionPending = false;
    int m_wheel = 0;               // Ctrl+wheel turns not yet zoomed by
    enum class Press { None, Canvas, AreaTool } m_press = Press::None;

    QImage m_seen;    // the map surface as last taken in (its own 24-bit format)
    mutable std::vector<QRgb> m_row;  // one map row zoomed, for DrawZoomed
    std::vector<uint8_t> m_unsavedCells;  // per cell: differs from the file's bytes
    QRegion m_frame;                      // the pick frame as last drawn
    QPoint m_pointer{-1, -1};             // map pixel under the pointer; x < 0: none
    QPoint m_lastPointer{0, 0};           // where the screen rectangle follows
    int m_lensByte = -1;                  // the map byte the lens tints
    int m_listening = -1;                 // the key of the view's MapChanged listener
};

} // namespace q2
