// SPDX-License-Identifier: MIT
#pragma once
// The program's font: Tahoma 8.25 pt, regular, for every window.

#include <QFont>

namespace q2 {

// Tahoma at the given size, regular (400) or bold (700).
QFont TahomaFont(qreal pointSize = 8.25, bool bold = false);

// Makes Tahoma available when the system does not provide it (Debian's
// fonts-wine keeps its faces where fontconfig does not look) and makes it the
// application font. Call once a QApplication exists.
void InstallApplicationFont();

// True when a font asked for as "Tahoma" is really drawn with Tahoma.
bool TahomaResolves();

} // namespace q2
