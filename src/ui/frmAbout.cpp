// SPDX-License-Identifier: MIT
#include "frmAbout.h"

#include "AppFont.h"
#include "Emblem.h"

#include <QLabel>
#include <QPixmap>
#include <QPushButton>

namespace q2 {

const char* const frmAbout::kCaption = "About Quill2 MapEditor";

const std::array<const char*, frmAbout::kCount> frmAbout::kTexts = {
    "Quillmoor 2 Map Editor",
    "By the Quill2 MapEditor developers",
    "- Credits -",
    "Tile and map format notes: the Quillmoor 2 community",
    "Thanks to everyone who charted the game's maps and tried out early versions of the editor.",
    "Version 1.0",
};

frmAbout::frmAbout(QWidget* parent) : FixedDialog("frmAbout", kCaption, QSize(312, 208), parent) {

    m_imgIcon = new QLabel(this);
    m_imgIcon->setObjectName(QStringLiteral("imgIcon"));
    m_imgIcon->setGeometry(8, 8, 32, 32);
    m_imgIcon->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_imgIcon->setPixmap(QPixmap::fromImage(DrawEmblem(32)));

    struct Layout {
        int index;
        QRect geometry;
        QFont font;
        Qt::Alignment alignment;
    };
    // In tab order; the version line comes after the button.
    const Layout labels[] = {
        {0, QRect(48, 8, 257, 17), TahomaFont(9, true), Qt::AlignLeft},
        {1, QRect(48, 26, 257, 17), TahomaFont(9), Qt::AlignLeft},
        {2, QRect(8, 72, 297, 17), TahomaFont(8.25, true), Qt::AlignHCenter},
        {3, QRect(8, 88, 297, 17), TahomaFont(), Qt::AlignLeft},
        {4, QRect(8, 144, 297, 33), TahomaFont(), Qt::AlignLeft},
        {5, QRect(48, 42, 257, 17), TahomaFont(), Qt::AlignLeft},
    };
    for (const Layout& l : labels) {
        if (l.index == 5) {
            m_cmdOK = new QPushButton(QStringLiteral("OK"), this);
            m_cmdOK->setObjectName(QStringLiteral("cmdOK"));
            m_cmdOK->setGeometry(224, 180, 81, 21);
            connect(m_cmdOK, &QPushButton::clicked, this, [this] { hide(); });
        }
        QLabel* label = MakeLabel(this, QStringLiteral("lblInfo_%1").arg(l.index),
                                  QString::fromUtf8(kTexts[std::size_t(l.index)]), l.geometry, l.alignment);
        label->setFont(l.font);
        m_lblInfo[std::size_t(l.index)] = label;
    }
}

} // namespace q2
