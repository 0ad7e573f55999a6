// SPDX-License-Identifier: MIT
#pragma once
// A small fixed-size dialog in the program's font: title bar with a close
// button only, centred on the screen each time it is shown.

#include <QDialog>

class QLabel;

namespace q2 {

class FixedDialog : public QDialog {
public:
    FixedDialog(const char* objectName, const char* caption, QSize clientSize, QWidget* parent);
    void setVisible(bool visible) override;
};

// A plain-text label that wraps at word boundaries, placed in its container.
QLabel* MakeLabel(QWidget* container, const QString& objectName, const QString& text, const QRect& geometry,
                  Qt::Alignment alignment = Qt::AlignLeft);

} // namespace q2
