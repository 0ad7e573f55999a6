// SPDX-License-Identifier: MIT
#pragma once
// A picture box: a widget that shows a screen image of its own size. Its
// Paint handler draws into that image through hDC() and has it shown with
// Present(); paintEvent puts the image on the screen (unscaled, or without
// smoothing on high-DPI screens). A repaint the window system asks for
// (uncovering, restoring) runs the Paint handler first; the repaint that
// Present() asks for does not, since Paint has just drawn what it shows.
// Mouse events arrive as MouseDown / MouseMove / MouseUp (Button, Shift, X, Y)
// with Button 1 left, 2 right, 4 middle (in a move: the buttons held) and X, Y
// in the box's pixels.

#include "platform/DrawingContext.h"

#include <QImage>
#include <QWidget>

#include <functional>

namespace q2 {

// Button and Shift as the mouse handlers take them.
int ButtonValue(Qt::MouseButtons buttons);
int ShiftValue(Qt::KeyboardModifiers modifiers);

class PictureBox : public QWidget {
public:
    using MouseHandler = std::function<void(int button, int shift, float x, float y)>;

    explicit PictureBox(QWidget* parent = nullptr);

    MouseHandler MouseDown, MouseMove, MouseUp;
    std::function<void()> Paint;

    // Drawing context of the screen image.
    HDC hDC() { return &m_context; }
    // Sets the box's size in pixels; the screen image follows at once, also
    // while the box is hidden.
    void SetBoxSize(int width, int height);
    // Inner height in pixels.
    int ScaleHeight() const { return height(); }
    // Runs the Paint handler now and has the result shown.
    void Refresh();
    // Has the screen image shown again (after a Paint handler drew into it).
    void Present();
    // What the box shows.
    const QImage& ScreenImage() const { return m_screen; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QImage m_screen;
    DrawingContext m_context;
    bool m_presentPending = false;  // the next paintEvent only shows m_screen
    bool m_painting = false;        // paintEvent is running the Paint handler
};

} // namespace q2
