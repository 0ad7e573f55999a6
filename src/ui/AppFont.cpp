// SPDX-License-Identifier: MIT
#include "AppFont.h"

#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QString>

namespace q2 {
namespace {

const char kFamily[] = "Tahoma";

// Where Debian's fonts-wine puts its Tahoma face. Its bold companion,
// tahomabd.ttf, is left out on purpose: it draws hardly heavier than the
// regular face, whereas the bold Qt derives from the regular one looks bold.
const char kFaceFile[] = "/usr/share/wine/fonts/tahoma.ttf";

} // namespace

QFont TahomaFont(qreal pointSize, bool bold) {
    QFont font(QString::fromLatin1(kFamily));
    font.setPointSizeF(pointSize);
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    return font;
}

bool TahomaResolves() {
    return QFontInfo(QFont(QString::fromLatin1(kFamily))).family().compare(
               QString::fromLatin1(kFamily), Qt::CaseInsensitive) == 0;
}

void InstallApplicationFont() {
    if (!TahomaResolves() && QFile::exists(QString::fromLatin1(kFaceFile))) {
        QFontDatabase::addApplicationFont(QString::fromLatin1(kFaceFile));
    }
    QApplication::setFont(TahomaFont());
}

} // namespace q2
