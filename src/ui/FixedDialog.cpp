// SPDX-License-Identifier: MIT
#include "FixedDialog.h"

#include "AppFont.h"

#include <QApplication>
#include <QLabel>
#include <QScreen>

namespace q2 {

FixedDialog::FixedDialog(const char* objectName, const char* caption, QSize clientSize, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QString::fromUtf8(objectName));
    setWindowTitle(QString::fromUtf8(caption));
    setFont(TahomaFont());
    setFixedSize(clientSize);
}

void FixedDialog::setVisible(bool visible) {
    if (visible && !isVisible()) {
        // The screen of the window it is shown over, else the main screen.
        QWidget* over = parentWidget() ? parentWidget() : QApplication::activeWindow();
        QScreen* screen = over ? over->screen() : QGuiApplication::primaryScreen();
        if (screen) {
            QRect frame = frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
    }
    QDialog::setVisible(visible);
}

QLabel* MakeLabel(QWidget* container, const QString& objectName, const QString& text, const QRect& geometry,
                  Qt::Alignment alignment) {
    auto* label = new QLabel(container);
    label->setObjectName(objectName);
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    label->setWordWrap(true);
    label->setAlignment(alignment | Qt::AlignTop);
    label->setGeometry(geometry);
    return label;
}

} // namespace q2
