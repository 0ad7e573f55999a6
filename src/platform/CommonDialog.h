// SPDX-License-Identifier: MIT
#pragma once
// cCommonDialog: the open-file and save-file dialogs behind one call each,
// VBGetOpenFileName and VBGetSaveFileName, which take all of the dialog's
// settings and hand back the chosen file.
// The dialog itself is the toolkit service's (ToolkitServices.h).
//
// Texts are UTF-8. A filter is a list of description and pattern items
// separated by '|' (a ':' separates items too), e.g.
// "GameBoy ROMs (*.gb)|*.gb|All Files (*.*)|*.*"; pair 1 is the first
// description with its pattern.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

class QWidget;

namespace q2 {

struct OpenFileRequest;

// An argument that is read going in and written coming back. Binds to the
// caller's variable; anything else (a literal, a default) is held as a
// private copy whose new value is dropped, as for a left-out argument.
template <typename T>
class InOut {
public:
    InOut(T& variable) : m_target(&variable) {}
    template <typename U,
              typename = std::enable_if_t<std::is_constructible_v<T, U&&> &&
                                          !std::is_same_v<std::remove_cvref_t<U>, InOut>>>
    InOut(U&& value) : m_copy(std::forward<U>(value)), m_target(&m_copy) {}
    InOut(const InOut&) = delete;
    InOut& operator=(const InOut&) = delete;

    T& operator*() const { return *m_target; }
    T* operator->() const { return m_target; }

private:
    T m_copy{};
    T* m_target;
};

// Dialog flags, with the values the open-file dialog has always used.
constexpr int32_t OFN_READONLY = 0x1;
constexpr int32_t OFN_OVERWRITEPROMPT = 0x2;
constexpr int32_t OFN_HIDEREADONLY = 0x4;
constexpr int32_t OFN_ENABLEHOOK = 0x20;
constexpr int32_t OFN_ENABLETEMPLATE = 0x40;
constexpr int32_t OFN_ALLOWMULTISELECT = 0x200;
constexpr int32_t OFN_FILEMUSTEXIST = 0x1000;

class cCommonDialog {
public:
    // Longest Filename or FileTitle accepted going in, in bytes.
    static constexpr std::size_t kMaxPath = 260;
    // Longest filter accepted, in bytes.
    static constexpr std::size_t kMaxFilter = 32766;
    // ExtendedError after a call refused before the dialog opened, with the
    // values the system dialog library uses for the like failures.
    static constexpr int32_t kErrNameTooLong = 0x3003;   // Filename or FileTitle over kMaxPath
    static constexpr int32_t kErrFilterTooLong = 0x0002; // Filter over kMaxFilter

    // What the dialog call returned last: 1 when a file was chosen, 0 otherwise.
    int32_t APIReturn() const { return m_apiReturn; }
    // Why the last call returned 0: 0 when the user cancelled, otherwise one
    // of the kErr codes above.
    int32_t ExtendedError() const { return m_extendedError; }

    // Shows the modal open-file dialog; true when the user chose a file.
    //   Filename     in: shown in the file-name box; out: full path, "" when false.
    //   FileTitle    in: checked for length only; out: file name without folder, "" when false.
    //   ReadOnly     in: the read-only choice starts ticked; out: set true when the
    //                dialog came back read-only, otherwise left as it was.
    //   Filter       in: description|pattern pairs; out: the pair chosen at closing
    //                as description, NUL, pattern; "" when false.
    //   FilterIndex  in: number (from 1) of the pair selected at opening; out: number
    //                of the pair chosen at closing, -1 when false.
    //   InitDir, DlgTitle, DefaultExt: folder, title, added extension; "" for the
    //                dialog's own choice.
    //   Owner        owner window; nullptr for none.
    //   flags        in: further flags (0x20 and 0x40 are taken out); out: the
    //                dialog's flags at closing, 0 when false.
    // Filename or FileTitle over kMaxPath bytes, or a Filter over kMaxFilter,
    // make the call return false with the outputs as for a cancel, before any
    // dialog opens.
    bool VBGetOpenFileName(std::string& Filename,
                           InOut<std::string> FileTitle = std::string(),
                           bool FileMustExist = true,
                           bool MultiSelect = false,
                           InOut<bool> ReadOnly = false,
                           bool HideReadOnly = false,
                           InOut<std::string> Filter = std::string("All (*.*)| *.*"),
                           InOut<int32_t> FilterIndex = 1,
                           const std::string& InitDir = std::string(),
                           const std::string& DlgTitle = std::string(),
                           const std::string& DefaultExt = std::string(),
                           QWidget* Owner = nullptr,
                           InOut<int32_t> flags = 0);

    // Shows the modal save-file dialog; true when the user chose a file name.
    // The arguments are VBGetOpenFileName's, with one more:
    //   OverwritePrompt  the dialog asks before a file that exists is chosen;
    //                false leaves asking to the caller.
    // The file need not exist; there is no read-only choice.
    bool VBGetSaveFileName(std::string& Filename,
                           InOut<std::string> FileTitle = std::string(),
                           bool OverwritePrompt = true,
                           InOut<std::string> Filter = std::string("All (*.*)| *.*"),
                           InOut<int32_t> FilterIndex = 1,
                           const std::string& InitDir = std::string(),
                           const std::string& DlgTitle = std::string(),
                           const std::string& DefaultExt = std::string(),
                           QWidget* Owner = nullptr,
                           InOut<int32_t> flags = 0);

    // The dialog's flags for these arguments.
    static int32_t OpenFileFlags(bool FileMustExist, bool MultiSelect, bool ReadOnly,
                                 bool HideReadOnly, int32_t flags);

    // The filter with every '|' and ':' turned into NUL and two NULs appended;
    // nullopt when sFilter is longer than kMaxFilter.
    static std::optional<std::string> ConvertFilter(const std::string& sFilter);

    // The (description, pattern) pairs of a converted filter. The list ends
    // at an empty description; a description without a pattern gets "".
    static std::vector<std::pair<std::string, std::string>> FilterPairs(const std::string& sConverted);

    // Pair number lIndex (from 1) of a converted filter as description, NUL,
    // pattern; "" when there is no such pair.
    static std::string FilterPair(const std::string& sConverted, int32_t lIndex);

    // One name filter for the toolkit's dialog per pair: the description
    // followed by the patterns in brackets, e.g. "GameBoy ROMs (*.gb) (*.gb)".
    // ';' between patterns becomes a space and "*.*" becomes "*", which
    // matches every file, also one without a dot.
    static std::vector<std::string> QtNameFilters(const std::string& sConverted);

private:
    // The part both dialogs share: the checks, the request and the outputs.
    bool Show(bool save, OpenFileRequest& request, int32_t dialogFlags, std::string& Filename,
              std::string& FileTitle, std::string& Filter, int32_t& FilterIndex, const std::string& InitDir,
              const std::string& DlgTitle, const std::string& DefaultExt, QWidget* Owner, int32_t& flags,
              bool& readOnly);

    int32_t m_apiReturn = 0;
    int32_t m_extendedError = 0;
};

} // namespace q2
