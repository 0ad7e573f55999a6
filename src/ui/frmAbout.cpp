#include "frmAbout.h"

#include "AppFont.h"
#include "Emblem.h"

#include <QApplication>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>

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

frmAbout::frmAbout(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QString::fromUtf8(kCaption));
    setFont(TahomaFont());
    setFixedSize(312, 208);

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
        auto* label = new QLabel(this);
        label->setObjectName(QStringLiteral("lblInfo_%1").arg(l.index));
        label->setTextFormat(Qt::PlainText);
        label->setText(QString::fromUtf8(kTexts[std::size_t(l.index)]));
        label->setWordWrap(true);
        label->setAlignment(l.alignment | Qt::AlignTop);
        label->setFont(l.font);
        label->setGeometry(l.geometry);
        m_lblInfo[std::size_t(l.index)] = label;
    }
}

void frmAbout::setVisible(bool visible) {
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

} // namespace q2
