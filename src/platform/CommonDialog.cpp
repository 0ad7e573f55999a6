// SPDX-License-Identifier: MIT
#include "CommonDialog.h"

#include "ToolkitServices.h"

#include <QFileInfo>
#include <QString>

namespace q2 {

int32_t cCommonDialog::OpenFileFlags(bool FileMustExist, bool MultiSelect, bool ReadOnly,
                                     bool HideReadOnly, int32_t flags) {
    uint32_t result = static_cast<uint32_t>(flags) &
                      ~static_cast<uint32_t>(OFN_ENABLEHOOK | OFN_ENABLETEMPLATE);
    if (FileMustExist) result |= OFN_FILEMUSTEXIST;
    if (MultiSelect) result |= OFN_ALLOWMULTISELECT;
    if (ReadOnly) result |= OFN_READONLY;
    if (HideReadOnly) result |= OFN_HIDEREADONLY;
    return static_cast<int32_t>(result);
}

std::optional<std::string> cCommonDialog::ConvertFilter(const std::string& sFilter) {
    if (sFilter.size() > kMaxFilter) return std::nullopt;
    std::string converted = sFilter;
    for (char& c : converted) {
        if (c == '|' || c == ':') c = '\0';
    }
    converted.append(2, '\0');
    return converted;
}

std::vector<std::pair<std::string, std::string>> cCommonDialog::FilterPairs(const std::string& sConverted) {
    std::vector<std::pair<std::string, std::string>> pairs;
    // Reads one item from pos and moves pos past its NUL (or past the end).
    auto next = [&sConverted](std::size_t& pos) {
        std::size_t end = sConverted.find('\0', pos);
        if (end == std::string::npos) end = sConverted.size();
        std::string item = sConverted.substr(pos, end - pos);
        pos = end + 1;
        return item;
    };
    std::size_t pos = 0;
    while (pos < sConverted.size()) {
        std::string description = next(pos);
        if (description.empty()) break;  // the closing NULs
        std::string pattern = pos <= sConverted.size() ? next(pos) : std::string();
        pairs.emplace_back(std::move(description), std::move(pattern));
    }
    return pairs;
}

std::string cCommonDialog::FilterPair(const std::string& sConverted, int32_t lIndex) {
    const auto pairs = FilterPairs(sConverted);
    if (lIndex < 1 || static_cast<std::size_t>(lIndex) > pairs.size()) return std::string();
    const auto& [description, pattern] = pairs[static_cast<std::size_t>(lIndex) - 1];
    std::string result = description;
    result += '\0';
    result += pattern;
    return result;
}

std::vector<std::string> cCommonDialog::QtNameFilters(const std::string& sConverted) {
    std::vector<std::string> filters;
    for (const auto& [description, pattern] : FilterPairs(sConverted)) {
        std::string patterns;
        std::size_t start = 0;
        while (start <= pattern.size()) {
            std::size_t end = pattern.find(';', start);
            if (end == std::string::npos) end = pattern.size();
            std::string one = pattern.substr(start, end - start);
            const auto first = one.find_first_not_of(" \t");
            const auto last = one.find_last_not_of(" \t");
            one = first == std::string::npos ? std::string() : one.substr(first, last - first + 1);
            // "*.*" stands for every file, also one without an extension.
            if (one == "*.*") one.resize(1);  // "*"
            if (!one.empty()) {
                if (!patterns.empty()) patterns += ' ';
                patterns += one;
            }
            start = end + 1;
        }
        if (patterns.empty()) patterns = "*";
        filters.push_back(description + " (" + patterns + ")");
    }
    return filters;
}

bool cCommonDialog::VBGetOpenFileName(std::string& Filename, InOut<std::string> FileTitle,
                                      bool FileMustExist, bool MultiSelect, InOut<bool> ReadOnly,
                                      bool HideReadOnly, InOut<std::string> Filter,
                                      InOut<int32_t> FilterIndex, const std::string& InitDir,
                                      const std::string& DlgTitle, const std::string& DefaultExt,
                                      QWidget* Owner, InOut<int32_t> flags) {
    const int32_t dialogFlags = OpenFileFlags(FileMustExist, MultiSelect, *ReadOnly, HideReadOnly, *flags);
    OpenFileRequest request;
    request.fileMustExist = FileMustExist;
    request.multiSelect = MultiSelect;
    request.readOnly = *ReadOnly;
    request.hideReadOnly = HideReadOnly;
    bool readOnlyAtClosing = false;
    const bool chosen = Show(false, request, dialogFlags, Filename, *FileTitle, *Filter, *FilterIndex, InitDir,
                             DlgTitle, DefaultExt, Owner, *flags, readOnlyAtClosing);
    if (chosen && readOnlyAtClosing) *ReadOnly = true;
    return chosen;
}

bool cCommonDialog::VBGetSaveFileName(std::string& Filename, InOut<std::string> FileTitle, bool OverwritePrompt,
                                      InOut<std::string> Filter, InOut<int32_t> FilterIndex,
                                      const std::string& InitDir, const std::string& DlgTitle,
                                      const std::string& DefaultExt, QWidget* Owner, InOut<int32_t> flags) {
    uint32_t dialogFlags = static_cast<uint32_t>(*flags) &
                           ~static_cast<uint32_t>(OFN_ENABLEHOOK | OFN_ENABLETEMPLATE | OFN_READONLY);
    if (OverwritePrompt) dialogFlags |= OFN_OVERWRITEPROMPT;
    OpenFileRequest request;
    request.fileMustExist = false;
    request.hideReadOnly = true;
    request.overwritePrompt = OverwritePrompt;
    bool readOnlyAtClosing = false;
    return Show(true, request, static_cast<int32_t>(dialogFlags), Filename, *FileTitle, *Filter, *FilterIndex,
                InitDir, DlgTitle, DefaultExt, Owner, *flags, readOnlyAtClosing);
}

bool cCommonDialog::Show(bool save, OpenFileRequest& request, int32_t dialogFlags, std::string& Filename,
                         std::string& FileTitle, std::string& Filter, int32_t& FilterIndex,
                         const std::string& InitDir, const std::string& DlgTitle, const std::string& DefaultExt,
                         QWidget* Owner, int32_t& flags, bool& readOnly) {
    m_apiReturn = 0;
    m_extendedError = 0;

    auto fail = [&](int32_t error) {
        m_extendedError = error;
        Filename.clear();
        FileTitle.clear();
        flags = 0;
        FilterIndex = -1;
        Filter.clear();
        return false;
    };

    const std::optional<std::string> converted = ConvertFilter(Filter);
    if (!converted) return fail(kErrFilterTooLong);
    if (Filename.size() > kMaxPath || FileTitle.size() > kMaxPath) return fail(kErrNameTooLong);

    request.title = DlgTitle;
    request.filters = QtNameFilters(*converted);
    request.selectedFilter =
        FilterIndex >= 1 && static_cast<std::size_t>(FilterIndex) <= request.filters.size() ? FilterIndex - 1 : 0;
    request.initialDir = InitDir;
    request.initialFile = Filename;
    request.defaultSuffix = DefaultExt;
    request.owner = Owner;

    const OpenFileResult result = save ? Toolkit().GetSaveFileName(request) : Toolkit().GetOpenFileName(request);
    m_apiReturn = result.accepted ? 1 : 0;
    if (!result.accepted) return fail(0);

    Filename = result.path;
    FileTitle = QFileInfo(QString::fromStdString(result.path)).fileName().toStdString();
    flags = (dialogFlags & ~OFN_READONLY) | (result.readOnly && !save ? OFN_READONLY : 0);
    FilterIndex = result.selectedFilter + 1;
    Filter = FilterPair(*converted, FilterIndex);
    readOnly = result.readOnly && !save;
    return true;
}

} // namespace q2
