// SPDX-License-Identifier: MIT
#include "app/Backup.h"

#include "app/Rom.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace q2 {

namespace {

constexpr char kSubfolder[] = "/quill2-mapeditor/backups";
constexpr char kSuffix[] = ".bak";
constexpr size_t kStampLength = 16;  // 20260105T143000Z

std::string Reason() { return std::strerror(errno); }

bool IsAbsolute(const char* path) { return path && path[0] == '/'; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Closes the descriptor it holds when it goes.
struct Descriptor {
    int fd = -1;
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
};

// Makes folder and every missing folder above it, mode 0700.
bool MakeFolders(const std::string& folder, std::string& error) {
    for (size_t end = folder.find('/', 1);; end = folder.find('/', end + 1)) {
        const std::string part = folder.substr(0, end);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            error = "Cannot make the backup folder " + folder + ": " + Reason();
            return false;
        }
        if (end == std::string::npos) return true;
    }
}

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

// Removes the oldest backups of name in the folder beyond kBackupsKept, never made.
void Prune(int folder, const std::string& name, const std::string& made) {
    const int listing = ::dup(folder);
    DIR* dir = listing >= 0 ? ::fdopendir(listing) : nullptr;
    if (!dir) {
        if (listing >= 0) ::close(listing);
        return;
    }
    std::vector<std::pair<std::pair<std::string, long>, std::string>> backups;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string file = entry->d_name;
        if (file == made) continue;
        if (auto key = BackupKey(file, name)) backups.emplace_back(std::move(*key), file);
    }
    ::closedir(dir);
    std::sort(backups.begin(), backups.end(), std::greater<>());  // newest first
    for (size_t i = kBackupsKept - 1; i < backups.size(); ++i) ::unlinkat(folder, backups[i].second.c_str(), 0);
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
    if (!MakeFolders(folder, result.error)) return result;
    Descriptor dir{::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (dir.fd < 0) {
        result.error = "Cannot open the backup folder " + folder + ": " + Reason();
        return result;
    }

    // Written under a hidden name first and given its own name only once it
    // is complete and on the disk, so that no backup is ever cut short.
    const std::string name = std::filesystem::path(romPath).filename().string();
    std::string temp = folder + "/." + name + ".XXXXXX";
    Descriptor file{::mkostemp(temp.data(), O_CLOEXEC)};  // mode 0600
    if (file.fd < 0) {
        result.error = "Cannot write a backup in " + folder + ": " + Reason();
        return result;
    }
    const std::string tempName = temp.substr(folder.size() + 1);
    auto fail = [&](const std::string& what) {
        result.error = what + ": " + Reason();
        ::unlinkat(dir.fd, tempName.c_str(), 0);
        return result;
    };
    for (size_t done = 0; done < source.bytes.size();) {
        const ssize_t n = ::write(file.fd, source.bytes.data() + done, source.bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return fail("Cannot write a backup in " + folder);
        }
        done += size_t(n);
    }
    if (::fsync(file.fd) != 0 || ::close(std::exchange(file.fd, -1)) != 0)
        return fail("Cannot write a backup in " + folder);

    char stamp[kStampLength + 1];
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    ::gmtime_r(&now, &utc);
    std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &utc);
    // A link never replaces a file: a name already taken (a backup made in
    // the same second) moves on to the next number.
    std::string made;
    for (int number = 0;; ++number) {
        made = name + "." + stamp + (number ? "-" + std::to_string(number) : std::string()) + kSuffix;
        if (::linkat(dir.fd, tempName.c_str(), dir.fd, made.c_str(), 0) == 0) break;
        if (errno != EEXIST || number == 999999) return fail("Cannot name the backup " + folder + "/" + made);
    }
    ::unlinkat(dir.fd, tempName.c_str(), 0);
    Prune(dir.fd, name, made);
    if (::fsync(dir.fd) != 0 && errno != EINVAL) {
        result.error = "Cannot write a backup in " + folder + ": " + Reason();
        ::unlinkat(dir.fd, made.c_str(), 0);
        return result;
    }
    result.ok = true;
    result.path = folder + "/" + made;
    return result;
}

} // namespace q2
