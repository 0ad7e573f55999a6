// SPDX-License-Identifier: MIT
// The open-file dialog call: its pure helpers, its in/out arguments through a
// scripted dialog, and the real Qt message box and file dialog, driven from a
// timer while they run modally.

#include "platform/CommonDialog.h"
#include "platform/ToolkitServices.h"
#include "support/ScriptedToolkit.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QRegularExpression>

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <functional>

using namespace std::string_literals;

namespace q2 {
namespace {

const std::string kEditorFilter = "GameBoy ROMs (*.gb)|*.gb|All Files (*.*)|*.*";

TEST(FilterConversion, BarsAndColonsBecomeNulsWithTwoMoreAtTheEnd) {
    EXPECT_EQ(cCommonDialog::ConvertFilter(kEditorFilter), "GameBoy ROMs (*.gb)\0*.gb\0All Files (*.*)\0*.*\0\0"s);
    EXPECT_EQ(cCommonDialog::ConvertFilter("Maps: big|*.map"), "Maps\0 big\0*.map\0\0"s);
    EXPECT_TRUE(cCommonDialog::ConvertFilter(std::string(32766, 'a')));
    EXPECT_FALSE(cCommonDialog::ConvertFilter(std::string(32767, 'a')));
}

TEST(FilterPair, PicksPairsByNumberFromOne) {
    const std::string converted = *cCommonDialog::ConvertFilter(kEditorFilter);
    EXPECT_EQ(cCommonDialog::FilterPair(converted, 1), "GameBoy ROMs (*.gb)\0*.gb"s);
    EXPECT_EQ(cCommonDialog::FilterPair(converted, 2), "All Files (*.*)\0*.*"s);
    // The closing NULs are no pair of their own.
    EXPECT_EQ(cCommonDialog::FilterPair(converted, 3), "");
    EXPECT_EQ(cCommonDialog::FilterPair(converted, 0), "");
    EXPECT_EQ(cCommonDialog::FilterPair("", 1), "");
    // A description without a pattern pairs with an empty one.
    EXPECT_EQ(cCommonDialog::FilterPair(*cCommonDialog::ConvertFilter("A|*.a|B"), 2), "B\0"s);
}

// The patterns of a Qt name filter: the words in its last brackets.
QStringList QtPatterns(const std::string& nameFilter) {
    static const QRegularExpression format(QStringLiteral("^(.*)\\(([^()]*)\\)$"));
    const auto match = format.match(QString::fromStdString(nameFilter));
    if (!match.hasMatch()) return {};
    return match.captured(2).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

TEST(QtNameFilters, MatchTheSameFilesAsTheirPatterns) {
    // "*.*" takes every file, also one without a dot; the default filter
    // has a space before its pattern.
    const auto filters = cCommonDialog::QtNameFilters(
        *cCommonDialog::ConvertFilter(kEditorFilter + "|Images|*.gb; *.gbc|All (*.*)| *.*"));
    ASSERT_EQ(filters.size(), 4u);
    EXPECT_TRUE(QDir::match(QtPatterns(filters[0]), "game.gb"));
    EXPECT_FALSE(QDir::match(QtPatterns(filters[0]), "game.gbc"));
    EXPECT_TRUE(QDir::match(QtPatterns(filters[1]), "README"));
    EXPECT_TRUE(QDir::match(QtPatterns(filters[2]), "a.gbc"));
    EXPECT_TRUE(QDir::match(QtPatterns(filters[2]), "a.gb"));
    EXPECT_TRUE(QDir::match(QtPatterns(filters[3]), "README"));
}

TEST(OpenFileFlags, CombineTheChoicesAndDropHookAndTemplateBits) {
    EXPECT_EQ(cCommonDialog::OpenFileFlags(true, true, true, true, 0), 0x1205);
    EXPECT_EQ(cCommonDialog::OpenFileFlags(false, false, false, false, 0x20 | 0x40 | 0x8), 0x8);
    EXPECT_EQ(cCommonDialog::OpenFileFlags(false, false, false, false, -1), int32_t(0xFFFFFF9F));
}

// The editor's own call, with its arguments in variables that come back.
struct EditorCall {
    std::string Filename, FileTitle;
    bool ReadOnly = false;
    std::string Filter = kEditorFilter;
    int32_t FilterIndex = 1;
    int32_t flags = 0;
    cCommonDialog dialog;

    bool Run() {
        return dialog.VBGetOpenFileName(Filename, FileTitle, true, false, ReadOnly, false, Filter,
                                        FilterIndex, "", "Select a Quillmoor 2 ROM...", "", nullptr, flags);
    }
};

TEST(VBGetOpenFileName, CancelResetsTheOutputs) {
    ScriptedToolkit script;
    script.CancelOpenFile();
    EditorCall call;
    call.Filename = "start.gb";
    call.FileTitle = "start";
    call.flags = 0x8;
    EXPECT_FALSE(call.Run());

    EXPECT_EQ(call.Filename, "");
    EXPECT_EQ(call.FileTitle, "");
    EXPECT_EQ(call.flags, 0);
    EXPECT_EQ(call.FilterIndex, -1);
    EXPECT_EQ(call.Filter, "");
    EXPECT_EQ(call.dialog.ExtendedError(), 0);

    ASSERT_EQ(script.OpenFileRequests().size(), 1u);
    const OpenFileRequest& request = script.OpenFileRequests()[0];
    EXPECT_EQ(request.title, "Select a Quillmoor 2 ROM...");
    EXPECT_EQ(request.filters.size(), 2u);
    EXPECT_EQ(request.selectedFilter, 0);
    EXPECT_EQ(request.initialFile, "start.gb");
    EXPECT_TRUE(request.fileMustExist);
}

TEST(VBGetOpenFileName, ChosenFileComesBackWithItsFilterPair) {
    ScriptedToolkit script;
    script.AnswerOpenFile("/roms/My Game.gb", 1);
    EditorCall call;
    EXPECT_TRUE(call.Run());

    EXPECT_EQ(call.Filename, "/roms/My Game.gb");
    EXPECT_EQ(call.FileTitle, "My Game.gb");
    EXPECT_EQ(call.FilterIndex, 2);
    EXPECT_EQ(call.Filter, "All Files (*.*)\0*.*"s);
    EXPECT_EQ(call.flags, 0x1000);
    EXPECT_FALSE(call.ReadOnly);
    EXPECT_EQ(call.dialog.APIReturn(), 1);
}

TEST(VBGetOpenFileName, ReadOnlyIsOnlyEverSet) {
    ScriptedToolkit script;
    script.AnswerOpenFile("/roms/a.gb", std::nullopt, true).AnswerOpenFile("/roms/a.gb", std::nullopt, false);

    EditorCall ticked;
    EXPECT_TRUE(ticked.Run());
    EXPECT_TRUE(ticked.ReadOnly);
    EXPECT_EQ(ticked.flags, 0x1001);

    // Going in ticked, cleared by the user: the flags say so, ReadOnly stays.
    EditorCall cleared;
    cleared.ReadOnly = true;
    EXPECT_TRUE(cleared.Run());
    EXPECT_TRUE(script.OpenFileRequests().back().readOnly);
    EXPECT_TRUE(cleared.ReadOnly);
    EXPECT_EQ(cleared.flags, 0x1000);
}

TEST(VBGetOpenFileName, OverlongArgumentsAreRefusedBeforeAnyDialog) {
    ScriptedToolkit script;  // no dialog expected

    EditorCall longName;
    longName.Filename = std::string(261, 'a');
    EXPECT_FALSE(longName.Run());
    EXPECT_EQ(longName.dialog.ExtendedError(), cCommonDialog::kErrNameTooLong);
    EXPECT_EQ(longName.Filename, "");
    EXPECT_EQ(longName.FilterIndex, -1);

    EditorCall longFilter;
    longFilter.Filter = std::string(32767, 'a');
    EXPECT_FALSE(longFilter.Run());
    EXPECT_EQ(longFilter.dialog.ExtendedError(), cCommonDialog::kErrFilterTooLong);
    EXPECT_EQ(longFilter.Filter, "");

    EXPECT_TRUE(script.OpenFileRequests().empty());
}

TEST(VBGetOpenFileName, LeftOutArgumentsTakeTheirDefaults) {
    ScriptedToolkit script;
    script.AnswerOpenFile("/x/y.bin");
    std::string name;
    cCommonDialog dialog;
    EXPECT_TRUE(dialog.VBGetOpenFileName(name));
    EXPECT_EQ(name, "/x/y.bin");

    const OpenFileRequest& request = script.OpenFileRequests().at(0);
    EXPECT_TRUE(request.fileMustExist);
    EXPECT_TRUE(request.title.empty());
    ASSERT_EQ(request.filters.size(), 1u);
    EXPECT_TRUE(QDir::match(QtPatterns(request.filters[0]), "y.bin"));
}

TEST(ScriptedToolkit, ReportsUnexpectedAndUnusedSteps) {
    EXPECT_NONFATAL_FAILURE(
        {
            ScriptedToolkit script;
            EXPECT_EQ(Toolkit().MessageBox("Surprise", MsgButtons::OK, MsgIcon::Critical), MsgResult::Cancel);
        },
        "Unexpected message box \"Surprise\"");
    EXPECT_NONFATAL_FAILURE(
        {
            ScriptedToolkit script;
            script.AnswerMessage(MsgResult::Yes, "Save it?");
        },
        "never came");
}

// Runs check on the modal widget once it shows; check must close it.
void WhenModalShows(std::function<void(QWidget*)> check) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, check] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            check(modal);
        }
    });
    timer->start();
}

MsgResult ShowBox(MsgButtons buttons, MsgIcon icon, std::function<void(QMessageBox*)> act) {
    WhenModalShows([act](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (!box) {
            ADD_FAILURE() << "The modal window is no message box";
            modal->close();
            return;
        }
        act(box);
        // A box that ignored what act did would block the test for good.
        QTimer::singleShot(1000, box, [box] {
            ADD_FAILURE() << "The message box is still open";
            box->done(QMessageBox::Abort);
        });
    });
    return Toolkit().MessageBox("Line one\nLine <b>two</b>", buttons, icon);
}

TEST(QtMessageBox, ShowsTheTextWithTitleButtonsAndDefault) {
    struct Case {
        MsgButtons buttons;
        MsgIcon icon;
        QMessageBox::StandardButtons shown;
        QMessageBox::Icon shownIcon;
        QMessageBox::StandardButton click;
        MsgResult result;
    };
    const Case cases[] = {
        {MsgButtons::YesNoCancel, MsgIcon::Question, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
         QMessageBox::Question, QMessageBox::No, MsgResult::No},
        {MsgButtons::YesNo, MsgIcon::Exclamation, QMessageBox::Yes | QMessageBox::No, QMessageBox::Warning,
         QMessageBox::Yes, MsgResult::Yes},
        {MsgButtons::OK, MsgIcon::Critical, QMessageBox::Ok, QMessageBox::Critical, QMessageBox::Ok, MsgResult::OK},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ShowBox(c.buttons, c.icon,
                          [&c](QMessageBox* box) {
                              EXPECT_EQ(box->windowTitle(), "Quill2 MapEditor");
                              EXPECT_EQ(box->text(), "Line one\nLine <b>two</b>");
                              EXPECT_EQ(box->textFormat(), Qt::PlainText);
                              EXPECT_EQ(box->icon(), c.shownIcon);
                              EXPECT_EQ(box->standardButtons(), c.shown);
                              // The first button, Yes or OK, is the default.
                              EXPECT_EQ(box->defaultButton(), box->button(c.shown & QMessageBox::Yes
                                                                              ? QMessageBox::Yes
                                                                              : QMessageBox::Ok));
                              box->button(c.click)->click();
                          }),
                  c.result);
    }
}

TEST(QtMessageBox, ClosingCountsAsCancelExceptForOK) {
    auto close = [](QMessageBox* box) { box->close(); };
    auto escape = [](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); };
    EXPECT_EQ(ShowBox(MsgButtons::YesNo, MsgIcon::Exclamation, close), MsgResult::Cancel);
    EXPECT_EQ(ShowBox(MsgButtons::YesNo, MsgIcon::Exclamation, escape), MsgResult::Cancel);
    EXPECT_EQ(ShowBox(MsgButtons::YesNoCancel, MsgIcon::Question, close), MsgResult::Cancel);
    EXPECT_EQ(ShowBox(MsgButtons::OK, MsgIcon::Critical, escape), MsgResult::OK);
}

TEST(QtFileDialog, OpensAsRequestedAndReturnsTheChoice) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString other = dir.filePath("notes");
    for (const QString& path : {dir.filePath("game.gb"), other}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }

    OpenFileRequest request;
    request.title = "Select a Quillmoor 2 ROM...";
    request.filters = cCommonDialog::QtNameFilters(*cCommonDialog::ConvertFilter(kEditorFilter));
    request.initialDir = dir.path().toStdString();
    request.initialFile = "game.gb";
    request.readOnly = true;

    WhenModalShows([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        if (!dialog) {
            ADD_FAILURE() << "The modal window is no file dialog";
            modal->close();
            return;
        }
        EXPECT_EQ(dialog->windowTitle(), "Select a Quillmoor 2 ROM...");
        EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
        EXPECT_EQ(dialog->directory().absolutePath(), QDir(dir.path()).absolutePath());
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
        auto* readOnly = dialog->findChild<QCheckBox*>("chkReadOnly");
        EXPECT_TRUE(name && types && readOnly);
        if (name && types && readOnly) {
            EXPECT_EQ(name->text(), "game.gb");
            // Only the descriptions show, as the caller wrote them.
            EXPECT_EQ(types->count(), 2);
            EXPECT_EQ(types->itemText(0), "GameBoy ROMs (*.gb)");
            EXPECT_EQ(types->itemText(1), "All Files (*.*)");
            EXPECT_EQ(types->currentIndex(), 0);
            EXPECT_TRUE(readOnly->isChecked());
            dialog->selectNameFilter(QString::fromStdString(request.filters[1]));
            readOnly->setChecked(false);
        }
        dialog->selectFile("notes");
        static_cast<QDialog*>(dialog)->accept();
        if (dialog->isVisible()) dialog->reject();
    });
    const OpenFileResult result = Toolkit().GetOpenFileName(request);
    EXPECT_TRUE(result.accepted);
    EXPECT_EQ(QString::fromStdString(result.path), other);
    EXPECT_EQ(result.selectedFilter, 1);
    EXPECT_FALSE(result.readOnly);
}

} // namespace
} // namespace q2
