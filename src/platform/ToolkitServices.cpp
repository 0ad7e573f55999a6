// SPDX-License-Identifier: MIT
// The default toolkit services: QMessageBox and QFileDialogs, and the switch
// that lets tests put a scripted service in their place.

#include "ToolkitServices.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <QTreeView>

#include <cstdio>

namespace q2 {
namespace {

QString ToQt(const std::string& text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

// A message box that leaves no button clicked when it is closed from the
// title bar or with Escape, so that closing can be told apart from an answer.
class AppMessageBox : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->matches(QKeySequence::Cancel)) {
            reject();
            return;
        }
        QMessageBox::keyPressEvent(event);
    }
    void closeEvent(QCloseEvent* event) override {
        // QMessageBox would take closing a Yes/No box for No; here closing
        // is no answer at all and counts as Cancel.
        QDialog::closeEvent(event);
    }
};

// Position of the filter chosen at closing. With the details hidden, Qt names
// the chosen filter by its description only, which two filters may share, so
// the list of types is asked first.
int SelectedFilter(const QFileDialog& dialog, const QStringList& filters) {
    if (const auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))) {
        if (types->currentIndex() >= 0 && types->currentIndex() < filters.size()) return types->currentIndex();
    }
    const auto index = filters.indexOf(dialog.selectedNameFilter());
    return index >= 0 ? int(index) : 0;
}

// The details view's size, type and date columns as wide as what they show,
// again each time a folder has been read; the name takes the rest.
void SizeColumnsToContent(QFileDialog& dialog) {
    auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
    if (!view || !view->header()) return;
    QHeaderView* header = view->header();
    header->setStretchLastSection(false);
    for (int column = 0; column < header->count(); ++column)
        header->setSectionResizeMode(column, column == 0 ? QHeaderView::Stretch : QHeaderView::ResizeToContents);
}

class QtToolkit final : public ToolkitServices {
public:
    MsgResult MessageBox(const std::string& text, MsgButtons buttons, MsgIcon icon) override {
        const MsgResult closed = buttons == MsgButtons::OK ? MsgResult::OK : MsgResult::Cancel;
        if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
            // No windows can be shown: say it on the console rather than crash.
            std::fprintf(stderr, "%s: %s\n", kAppTitle, text.c_str());
            return closed;
        }

        AppMessageBox box;
        box.setWindowTitle(QString::fromUtf8(kAppTitle));
        box.setTextFormat(Qt::PlainText);
        box.setText(ToQt(text));
        switch (icon) {
        case MsgIcon::Critical: box.setIcon(QMessageBox::Critical); break;
        case MsgIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
        case MsgIcon::Question: box.setIcon(QMessageBox::Question); break;
        }

        QPushButton* ok = nullptr;
        QPushButton* yes = nullptr;
        QPushButton* no = nullptr;
        QPushButton* cancel = nullptr;
        switch (buttons) {
        case MsgButtons::OK:
            ok = box.addButton(QMessageBox::Ok);
            box.setDefaultButton(ok);
            break;
        case MsgButtons::YesNo:
            yes = box.addButton(QMessageBox::Yes);
            no = box.addButton(QMessageBox::No);
            box.setDefaultButton(yes);
            break;
        case MsgButtons::YesNoCancel:
            yes = box.addButton(QMessageBox::Yes);
            no = box.addButton(QMessageBox::No);
            cancel = box.addButton(QMessageBox::Cancel);
            box.setDefaultButton(yes);
            break;
        }

        box.exec();
        QAbstractButton* clicked = box.clickedButton();
        if (clicked && clicked == ok) return MsgResult::OK;
        if (clicked && clicked == yes) return MsgResult::Yes;
        if (clicked && clicked == no) return MsgResult::No;
        if (clicked && clicked == cancel) return MsgResult::Cancel;
        return closed;
    }

    OpenFileResult GetOpenFileName(const OpenFileRequest& request) override { return Run(request, false); }
    OpenFileResult GetSaveFileName(const OpenFileRequest& request) override { return Run(request, true); }

    std::optional<std::string> InputBox(const std::string& prompt, const std::string& text) override {
        if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return std::nullopt;
        QInputDialog box;
        box.setWindowTitle(QString::fromUtf8(kAppTitle));
        box.setInputMode(QInputDialog::TextInput);
        box.setLabelText(ToQt(prompt));
        box.setTextValue(ToQt(text));
        box.resize(420, box.sizeHint().height());
        if (box.exec() != QDialog::Accepted) return std::nullopt;
        return box.textValue().toStdString();
    }

private:
    OpenFileResult Run(const OpenFileRequest& request, bool save) {
        OpenFileResult result;
        if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return result;

        // Qt's own dialog rather than the desktop's, so that it behaves the
        // same everywhere and can carry the read-only choice. One file is
        // chosen: multiSelect has no counterpart here.
        QFileDialog dialog(request.owner);
        dialog.setOption(QFileDialog::DontUseNativeDialog, true);
        // Filters show their description only, never the patterns behind it.
        dialog.setOption(QFileDialog::HideNameFilterDetails, true);
        dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        dialog.setFileMode(request.fileMustExist && !save ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.overwritePrompt);
        SizeColumnsToContent(dialog);
        if (!request.title.empty()) dialog.setWindowTitle(ToQt(request.title));

        QStringList filters;
        for (const std::string& filter : request.filters) filters << ToQt(filter);
        if (!filters.isEmpty()) {
            dialog.setNameFilters(filters);
            const int chosen = request.selectedFilter >= 0 && request.selectedFilter < filters.size()
                                   ? request.selectedFilter
                                   : 0;
            dialog.selectNameFilter(filters.at(chosen));
        }
        if (!request.initialDir.empty()) dialog.setDirectory(ToQt(request.initialDir));
        if (!request.initialFile.empty()) dialog.selectFile(ToQt(request.initialFile));

        std::string suffix = request.defaultSuffix;
        while (!suffix.empty() && suffix.front() == '.') suffix.erase(suffix.begin());
        if (!suffix.empty()) dialog.setDefaultSuffix(ToQt(suffix));

        QCheckBox* readOnlyBox = nullptr;
        if (!request.hideReadOnly && !save) {
            if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
                readOnlyBox = new QCheckBox(QFileDialog::tr("Open as &read-only"), &dialog);
                readOnlyBox->setObjectName(QStringLiteral("chkReadOnly"));
                readOnlyBox->setChecked(request.readOnly);
                grid->addWidget(readOnlyBox, grid->rowCount(), 0, 1, grid->columnCount());
            }
        }

        if (dialog.exec() != QDialog::Accepted) return result;
        const QStringList chosen = dialog.selectedFiles();
        if (chosen.isEmpty()) return result;

        result.accepted = true;
        result.path = chosen.first().toStdString();
        result.selectedFilter = SelectedFilter(dialog, filters);
        result.readOnly = readOnlyBox ? readOnlyBox->isChecked() : request.readOnly;
        return result;
    }
};

ToolkitServices* g_current = nullptr;

} // namespace

ToolkitServices& Toolkit() {
    static QtToolkit defaultServices;
    return g_current ? *g_current : defaultServices;
}

ScopedToolkit::ScopedToolkit(ToolkitServices& services) : m_previous(g_current) {
    g_current = &services;
}

ScopedToolkit::~ScopedToolkit() { g_current = m_previous; }

} // namespace q2
