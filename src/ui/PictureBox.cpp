// SPDX-License-Identifier: MIT
#include "PictureBox.h"

#include <QMouseEvent>
#include <QPainter>

#include <cstring>

namespace q2 {

int ButtonValue(Qt::MouseButtons buttons) {
    return (buttons & Qt::LeftButton ? 1 : 0) | (buttons & Qt::RightButton ? 2 : 0) |
           (buttons & Qt::MiddleButton ? 4 : 0);
}

int ShiftValue(Qt::KeyboardModifiers modifiers) {
    return (modifiers & Qt::ShiftModifier ? 1 : 0) | (modifiers & Qt::ControlModifier ? 2 : 0) |
           (modifiers & Qt::AltModifier ? 4 : 0);
}

PictureBox::PictureBox(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::TabFocus);
    m_context.target = &m_screen;
}

void PictureBox::Refresh() {
    if (Paint) Paint();
    Present();
}

void PictureBox::Present() {
    if (m_painting) return;  // paintEvent shows the image next
    m_presentPending = true;
    update();
}

void PictureBox::SetBoxSize(int width, int height) {
    setFixedSize(width, height);
    if (m_screen.size() == QSize(width, height)) return;
    QImage screen(width, height, QImage::Format_RGB888);
    std::memset(screen.bits(), 0, size_t(screen.sizeInBytes()));  // black, faster than QImage::fill
    m_screen = std::move(screen);
}

void PictureBox::resizeEvent(QResizeEvent*) {
    if (m_screen.size() != size()) SetBoxSize(width(), height());
}

void PictureBox::paintEvent(QPaintEvent*) {
    if (!m_presentPending && Paint) {
        m_painting = true;
        Paint();
        m_painting = false;
    }
    m_presentPending = false;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    // Converted to the screen's 32-bit format here, in one pass: handed a
    // 24-bit picture, the painter converts it line by line on worker threads,
    // and the hand-overs cost several times the conversion.
    painter.drawImage(rect(), m_screen.convertToFormat(QImage::Format_RGB32));
}

void PictureBox::mousePressEvent(QMouseEvent* event) {
    if (MouseDown)
        MouseDown(ButtonValue(event->button()), ShiftValue(event->modifiers()), float(event->position().x()),
                  float(event->position().y()));
}

void PictureBox::mouseMoveEvent(QMouseEvent* event) {
    if (MouseMove)
        MouseMove(ButtonValue(event->buttons()), ShiftValue(event->modifiers()), float(event->position().x()),
                  float(event->position().y()));
}

void PictureBox::mouseReleaseEvent(QMouseEvent* event) {
    if (MouseUp)
        MouseUp(ButtonValue(event->button()), ShiftValue(event->modifiers()), float(event->position().x()),
                float(event->position().y()));
}

} // namespace q2
