// SPDX-License-Identifier: MIT
#include "frmHelp.h"

#include "AppFont.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

namespace q2 {

const char* const frmHelp::kCaption = "Quill2 MapEditor Help";

const std::array<const char*, frmHelp::kCount> frmHelp::kFrameCaptions = {
    "Loading a map",
    "Picking tiles",
    "Placing tiles",
};

const std::array<const char*, frmHelp::kCount> frmHelp::kHelpTexts = {
    "Once a ROM is loaded, a list with a selection of maps should show up in the bottom right "
    "of the window. To load a map, select the one you want and click Load Map.",
    "Select tiles to insert in your map using the Tileset box. Click on the tile you want to "
    "select. Or if you want to place multiple tiles at once, right-click and drag to select "
    "multiple tiles.",
    "Click on the map and drag to place tiles. You can also select multiple tiles as they are "
    "placed on the map! Just right-click and drag, then click to place however many times you "
    "want.",
};

frmHelp::frmHelp(QWidget* parent) : FixedDialog("frmHelp", kCaption, QSize(327, 252), parent) {

    // Created in tab order: the frames, their labels, then the button.
    for (int i = 0; i < kCount; ++i) {
        auto* frame = new QGroupBox(QString::fromUtf8(kFrameCaptions[std::size_t(i)]), this);
        frame->setObjectName(QStringLiteral("fraHelp_%1").arg(i));
        frame->setGeometry(8, 8 + 72 * i, 313, 65);
        m_fraHelp[std::size_t(i)] = frame;
    }
    for (int i = 0; i < kCount; ++i) {
        m_lblInfo[std::size_t(i)] =
            MakeLabel(m_fraHelp[std::size_t(i)], QStringLiteral("lblInfo_%1").arg(i),
                      QString::fromUtf8(kHelpTexts[std::size_t(i)]), QRect(8, 16, 297, 41));
    }
    m_cmdClose = new QPushButton(QStringLiteral("Close"), this);
    m_cmdClose->setObjectName(QStringLiteral("cmdClose"));
    m_cmdClose->setGeometry(264, 224, 57, 21);
    connect(m_cmdClose, &QPushButton::clicked, this, [this] { hide(); });
}

} // namespace q2
