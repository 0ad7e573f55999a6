// SPDX-License-Identifier: MIT
// The Help and About windows: texts, layout, fonts, the emblem, and closing.

#include "ui/AppFont.h"
#include "ui/Emblem.h"
#include "ui/frmAbout.h"
#include "ui/frmHelp.h"

#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace q2 {
namespace {

void ExpectTahoma(const QWidget* widget, qreal pointSize, bool bold) {
    const QFontInfo info(widget->font());
    EXPECT_EQ(info.family(), "Tahoma") << widget->objectName().toStdString();
    EXPECT_DOUBLE_EQ(widget->font().pointSizeF(), pointSize) << widget->objectName().toStdString();
    EXPECT_EQ(info.bold(), bold) << widget->objectName().toStdString();
}

// The label's text, wrapped at its width, fits its height.
void ExpectTextFits(const QLabel* label) {
    const QRect needed = QFontMetrics(label->font())
                             .boundingRect(QRect(0, 0, label->width(), 1000), Qt::TextWordWrap, label->text());
    EXPECT_LE(needed.height(), label->height()) << label->objectName().toStdString();
    EXPECT_LE(needed.width(), label->width()) << label->objectName().toStdString();
}

void ExpectFixedDialog(const QDialog& dialog, QSize size) {
    EXPECT_EQ(dialog.size(), size);
    EXPECT_EQ(dialog.minimumSize(), size);
    EXPECT_EQ(dialog.maximumSize(), size);
    const Qt::WindowFlags flags = dialog.windowFlags();
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
}

// Dark pixels of text drawn in font: a measure of how heavy it looks.
int Ink(const QString& text, const QFont& font) {
    QImage image(400, 40, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QRect(0, 0, 400, 40), Qt::AlignLeft | Qt::AlignTop, text);
    painter.end();
    int ink = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) ink += 255 - qGray(image.pixel(x, y));
    return ink;
}

void ExpectLooksBold(const QLabel* label) {
    QFont regular = label->font();
    regular.setWeight(QFont::Normal);
    EXPECT_GT(Ink(label->text(), label->font()), Ink(label->text(), regular) * 6 / 5)
        << label->objectName().toStdString() << " does not look bold";
}

// Names of the window's widgets in the order Tab visits them.
std::vector<std::string> FocusChain(QWidget& window) {
    std::vector<std::string> names;
    for (QWidget* w = window.nextInFocusChain(); w && w != &window; w = w->nextInFocusChain()) {
        if (!w->objectName().isEmpty()) names.push_back(w->objectName().toStdString());
    }
    return names;
}

// Shows the dialog modally, clicks button once it shows; true when exec() ended.
bool ExecAndClick(QDialog& dialog, QPushButton* button) {
    bool ended = false;
    QTimer::singleShot(0, &dialog, [&] {
        EXPECT_TRUE(dialog.isVisible());
        button->click();
        if (dialog.isVisible()) dialog.done(QDialog::Rejected);  // so that a fault cannot block
        else ended = true;
    });
    dialog.exec();
    return ended && !dialog.isVisible();
}

void ExpectCentredOnScreen(QDialog& dialog) {
    dialog.show();
    const QPoint screenCentre = QGuiApplication::primaryScreen()->availableGeometry().center();
    const QPoint centre = dialog.frameGeometry().center();
    EXPECT_LE((centre - screenCentre).manhattanLength(), 2);
    dialog.hide();
}

TEST(AppFont, TahomaIsTheApplicationFont) {
    EXPECT_TRUE(TahomaResolves());
    EXPECT_EQ(QFontInfo(QApplication::font()).family(), "Tahoma");
    EXPECT_DOUBLE_EQ(QApplication::font().pointSizeF(), 8.25);
    EXPECT_FALSE(QFontInfo(QApplication::font()).bold());
}

TEST(frmHelp, LayoutTextsAndFonts) {
    frmHelp help;
    EXPECT_EQ(help.windowTitle(), "Quill2 MapEditor Help");
    ExpectFixedDialog(help, QSize(327, 252));
    ExpectTahoma(&help, 8.25, false);

    const char* const captions[] = {"Loading a map", "Picking tiles", "Placing tiles"};
    for (int i = 0; i < 3; ++i) {
        QGroupBox* frame = help.findChild<QGroupBox*>(QString("fraHelp_%1").arg(i));
        ASSERT_TRUE(frame);
        EXPECT_EQ(frame->title(), captions[i]);
        EXPECT_EQ(frame->geometry(), QRect(8, 8 + 72 * i, 313, 65));

        QLabel* label = frame->findChild<QLabel*>(QString("lblInfo_%1").arg(i));
        ASSERT_TRUE(label);
        EXPECT_EQ(label->geometry(), QRect(8, 16, 297, 41));
        EXPECT_EQ(label->text(), frmHelp::kHelpTexts[std::size_t(i)]);
        EXPECT_TRUE(label->wordWrap());
        ExpectTahoma(label, 8.25, false);
        ExpectTextFits(label);
    }
    EXPECT_EQ(help.lblInfo(0)->text(),
              "Once a ROM is loaded, a list with a selection of maps should show up in the bottom right of "
              "the window. To load a map, select the one you want and click Load Map.");
    EXPECT_EQ(help.cmdClose()->text(), "Close");
    EXPECT_EQ(help.cmdClose()->geometry(), QRect(264, 224, 57, 21));

    EXPECT_EQ(FocusChain(help), (std::vector<std::string>{"fraHelp_0", "fraHelp_1", "fraHelp_2", "lblInfo_0",
                                                           "lblInfo_1", "lblInfo_2", "cmdClose"}));
}

TEST(frmHelp, CloseHidesAndTheWindowCanBeShownAgain) {
    frmHelp help;
    ASSERT_TRUE(ExecAndClick(help, help.cmdClose()));
    ExpectCentredOnScreen(help);
    ASSERT_TRUE(ExecAndClick(help, help.cmdClose()));
    EXPECT_EQ(help.lblInfo(2)->text(), frmHelp::kHelpTexts[2]);
}

TEST(frmAbout, LayoutTextsAndFonts) {
    frmAbout about;
    EXPECT_EQ(about.windowTitle(), "About Quill2 MapEditor");
    ExpectFixedDialog(about, QSize(312, 208));

    struct Expected {
        QRect geometry;
        qreal pointSize;
        bool bold;
    };
    const Expected labels[6] = {
        {QRect(48, 8, 257, 17), 9, true},      {QRect(48, 26, 257, 17), 9, false},
        {QRect(8, 72, 297, 17), 8.25, true},   {QRect(8, 88, 297, 17), 8.25, false},
        {QRect(8, 144, 297, 33), 8.25, false}, {QRect(48, 42, 257, 17), 8.25, false},
    };
    for (int i = 0; i < 6; ++i) {
        QLabel* label = about.lblInfo(i);
        ASSERT_TRUE(label);
        EXPECT_EQ(label->objectName(), QString("lblInfo_%1").arg(i));
        EXPECT_EQ(label->geometry(), labels[i].geometry) << i;
        EXPECT_TRUE(label->wordWrap());
        EXPECT_FALSE(label->text().isEmpty());
        ExpectTahoma(label, labels[i].pointSize, labels[i].bold);
        ExpectTextFits(label);
    }
    ExpectLooksBold(about.lblInfo(0));
    ExpectLooksBold(about.lblInfo(2));
    EXPECT_EQ(about.lblInfo(0)->text(), "Quillmoor 2 Map Editor");
    EXPECT_EQ(about.lblInfo(2)->text(), "- Credits -");
    EXPECT_TRUE(about.lblInfo(2)->alignment() & Qt::AlignHCenter);
    EXPECT_EQ(about.lblInfo(5)->text(), "Version 1.0");
    EXPECT_EQ(about.cmdOK()->text(), "OK");
    EXPECT_EQ(about.cmdOK()->geometry(), QRect(224, 180, 81, 21));
    ExpectTahoma(about.cmdOK(), 8.25, false);

    EXPECT_EQ(about.imgIcon()->geometry(), QRect(8, 8, 32, 32));
    EXPECT_EQ(about.imgIcon()->pixmap().toImage().convertToFormat(QImage::Format_RGB32), DrawEmblem(32));

    EXPECT_EQ(FocusChain(about), (std::vector<std::string>{"imgIcon", "lblInfo_0", "lblInfo_1", "lblInfo_2",
                                                            "lblInfo_3", "lblInfo_4", "cmdOK", "lblInfo_5"}));
}

TEST(frmAbout, OKHidesAndTheWindowCanBeShownAgain) {
    frmAbout about;
    ASSERT_TRUE(ExecAndClick(about, about.cmdOK()));
    ExpectCentredOnScreen(about);
    ASSERT_TRUE(ExecAndClick(about, about.cmdOK()));
}

std::set<QRgb> Colours(const QImage& image) {
    std::set<QRgb> colours;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) colours.insert(image.pixel(x, y) | 0xFF000000u);
    return colours;
}

TEST(Emblem, UsesOnlyTheFourGreysAtEverySize) {
    const std::set<QRgb> greys = {qRgb(0, 0, 0), qRgb(120, 120, 120), qRgb(176, 176, 176), qRgb(255, 255, 255)};
    for (int size : {8, 16, 20, 32, 48, 64}) {
        const QImage image = DrawEmblem(size);
        ASSERT_EQ(image.size(), QSize(size, size));
        const std::set<QRgb> used = Colours(image);
        EXPECT_TRUE(std::includes(greys.begin(), greys.end(), used.begin(), used.end())) << size;
        if (size == 16 || size == 32) {
            EXPECT_EQ(used, greys) << size;
        }
    }
    EXPECT_TRUE(DrawEmblem(0).isNull());

    // Enlarged pixel for pixel.
    EXPECT_EQ(DrawEmblem(64), DrawEmblem(32).scaled(64, 64));
}

TEST(Emblem, IconHoldsBothDrawnSizes) {
    const QList<QSize> sizes = AppIcon().availableSizes();
    EXPECT_TRUE(sizes.contains(QSize(16, 16)));
    EXPECT_TRUE(sizes.contains(QSize(32, 32)));
    EXPECT_EQ(AppIcon().pixmap(16, 16).toImage().convertToFormat(QImage::Format_RGB32), DrawEmblem(16));
}

} // namespace
} // namespace q2
