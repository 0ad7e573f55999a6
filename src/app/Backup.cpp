// SPDX-License-Identifier: MIT
#include "app/Backup.h"

#include "app/Rom.h"
#include "platform/File.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <optional>
#include <pwd.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace q2 {

namespace {

constexpr char kSubfolder[] = "/quill2-mapeditor/backups";
constexpr char kSuffix[] = ".bak";
constexpr size_t kStampLength = 16;  // 20260105T143000Z

bool IsAbsolute(const char* path) { return path && path[0] == '/'; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Where a backup of name stands among the others: its time stamp, then its
// number within that second. Nothing for files that are not backups of name.
std::optional<std::pair<std::string, long>> BackupKey(const std::string& entry, const std::string& name) {
    const size_t suffix = sizeof kSuffix - 1;
    if (entry.size() < name.size() + 1 + kStampLength + suffix || entry.compare(0, name.size(), name) != 0 ||
        entry[name.size()] != '.' || !entry.ends_with(kSuffix))
        return std::nullopt;
    const std::string rest = entry.substr(name.size() + 1, entry.size() - name.size() - 1 - suffix);
    const std::string stamp = rest.substr(0, kStampLength);
    for (size_t i = 0; i < kStampLength; ++i) {
        const bool ok = i == 8 ? stamp[i] == 'T' : i == 15 ? stamp[i] == 'Z' : IsDigit(stamp[i]);
        if (!ok) return std::nullopt;
    }
    const std::string number = rest.substr(kStampLength);
    if (number.empty()) return std::make_pair(stamp, 0L);
    if (number.size() < 2 || number.size() > 7 || number[0] != '-' ||
        !std::all_of(number.begin() + 1, number.end(), IsDigit))
        return std::nullopt;
    return std::make_pair(stamp, std::stol(number.substr(1)));
}

// Removes the oldest backups of name in folder beyond kBackupsKept, never made.
void Prune(const std::string& folder, const std::string& name, const std::string& made) {
    std::vector<std::pair<std::pair<std::string, long>, std::string>> backups;
    for (const std::string& file : ListFolder(folder)) {
        if (file == made) continue;
        if (auto key = BackupKey(file, name)) backups.emplace_back(std::move(*key), file);
    }
    std::sort(backups.begin(), backups.end(), std::greater<>());  // newest first
    for (size_t i = kBackupsKept - 1; i < backups.size(); ++i) RemoveFile(folder + "/" + backups[i].second);
}

} // namespace

std::string BackupFolder() {
    if (const char* state = std::getenv("XDG_STATE_HOME"); IsAbsolute(state)) return state + std::string(kSubfolder);
    const char* home = std::getenv("HOME");
    if (!IsAbsolute(home)) {
        const passwd* user = ::getpwuid(::getuid());
        home = user ? user->pw_dir : nullptr;
    }
    if (!IsAbsolute(home)) return std::string();
    return home + std::string("/.local/state") + kSubfolder;
}

BackupResult BackupRomFile(const std::string& romPath) {
    BackupResult result;
    const std::string folder = BackupFolder();
    if (folder.empty()) {
        result.error = "No home folder is known to keep backups in.";
        return result;
    }
    const RomReadResult source = ReadRomFile(romPath);
    if (!source.ok() && source.status != RomReadStatus::Empty) {
        result.error = source.message;
        return result;
    }
    char stamp[kStampLength + 1];
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    ::gmtime_r(&now, &utc);
    std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &utc);
    // Further copies made within the same second take the next number.
    const std::string name = std::filesystem::path(romPath).filename().string();
    auto names = [&](int number) {
        return name + "." + stamp + (number ? "-" + std::to_string(number) : std::string()) + kSuffix;
    };
    FileError error;
    const std::optional<std::string> made = KeepCopy(folder, source.bytes, names, error);
    if (!made) {
        // The step that failed, in the words of a backup: "Cannot make the backup folder ...".
        for (const auto& [copy, backup] : {std::pair{"the folder", "the backup folder"}, {"a copy", "a backup"},
                                           {"the copy", "the backup"}})
            if (const size_t at = error.action.find(copy); at != std::string::npos)
                error.action.replace(at, std::strlen(copy), backup);
        result.error = error.Text();
        return result;
    }
    Prune(folder, name, *made);
    result.ok = true;
    result.path = folder + "/" + *made;
    return result;
}

} // namespace q2
