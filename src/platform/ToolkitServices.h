// SPDX-License-Identifier: MIT
#pragma once
// Message boxes and the file dialogs go through one replaceable service,
// so that the program's questions can be answered by a script in tests.

#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace q2 {

constexpr char kAppTitle[] = "Quill2 MapEditor";

enum class MsgButtons { OK, YesNo, YesNoCancel };  // the first button is the default
enum class MsgIcon { Critical, Exclamation, Question };
enum class MsgResult { OK, Yes, No, Cancel };        // closing the box counts as Cancel

struct OpenFileRequest {
    std::string title;                 // title-bar text; empty: the dialog's own
    std::vector<std::string> filters;  // Qt name filters, e.g. "GameBoy ROMs (*.gb)"
    int selectedFilter = 0;            // zero-based position in filters
    std::string initialDir;            // empty: the dialog's own choice
    std::string initialFile;           // shown in the file-name box at opening
    bool fileMustExist = true;
    bool multiSelect = false;
    bool readOnly = false;             // the read-only choice starts ticked
    bool hideReadOnly = false;
    std::string defaultSuffix;         // added to a typed name without one
    QWidget* owner = nullptr;
    bool overwritePrompt = true;       // save dialog: the dialog asks before a file is replaced
};

struct OpenFileResult {
    bool accepted = false;   // false: cancelled
    std::string path;        // full path of the chosen file
    int selectedFilter = 0;  // zero-based position of the filter chosen at closing
    bool readOnly = false;   // the read-only choice at closing
};

class ToolkitServices {
public:
    virtual ~ToolkitServices() = default;
    // A modal message box titled "Quill2 MapEditor"; returns the button pressed.
    virtual MsgResult MessageBox(const std::string& text, MsgButtons buttons, MsgIcon icon) = 0;
    // The modal open-file dialog.
    virtual OpenFileResult GetOpenFileName(const OpenFileRequest& request) = 0;
    // The modal save-file dialog, for a file that need not exist; fileMustExist,
    // multiSelect and the read-only choice do not apply. A service without one
    // answers as if cancelled.
    virtual OpenFileResult GetSaveFileName(const OpenFileRequest& request) {
        (void)request;
        return {};
    }
    // A modal box titled "Quill2 MapEditor" asking for one line of text, which
    // starts as text. The line entered, or nothing when cancelled. A service
    // without such a box answers as if cancelled.
    virtual std::optional<std::string> InputBox(const std::string& prompt, const std::string& text) {
        (void)prompt, (void)text;
        return std::nullopt;
    }
};

// The service in force: QMessageBox and QFileDialog unless replaced.
ToolkitServices& Toolkit();

// Puts another service in force for its lifetime (tests), then restores the previous one.
class ScopedToolkit {
public:
    explicit ScopedToolkit(ToolkitServices& services);
    ~ScopedToolkit();
    ScopedToolkit(const ScopedToolkit&) = delete;
    ScopedToolkit& operator=(const ScopedToolkit&) = delete;

private:
    ToolkitServices* m_previous;
};

} // namespace q2
