// SPDX-License-Identifier: MIT
// The file layer on POSIX: descriptors, pread/pwrite, fsync, exclusive
// temporary files and links. Every system call here goes through Retry.
#include "platform/File.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace q2 {

namespace {

// Calls call again for as long as a signal interrupts it.
template <typename Call>
auto Retry(Call call) {
    for (;;) {
        const auto result = call();
        if (result < 0 && errno == EINTR) continue;
        return result;
    }
}

// Closes the descriptor it holds when it goes.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    ~Descriptor() { Close(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    // Closes now; false when the system reports a failure (a delayed write error).
    bool Close() { return m_fd < 0 || ::close(std::exchange(m_fd, -1)) == 0; }

private:
    int m_fd;
};

FileError SystemError(const std::string& action, const std::string& path) {
    return FileError{path, std::strerror(errno), action};
}

FileError Plain(const std::string& path, const std::string& reason) { return FileError{path, reason, {}}; }

int Open(const std::string& path, int flags, mode_t mode = 0) {
    return Retry([&] { return ::open(path.c_str(), flags | O_CLOEXEC, mode); });
}

// Reads size bytes at offset into data. The number read, short when the file
// ends first; -1 with errno set when reading fails.
ssize_t ReadAt(int fd, uint8_t* data, size_t size, off_t offset) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = Retry([&] { return ::pread(fd, data + done, size - done, offset + off_t(done)); });
        if (n < 0) return -1;
        if (n == 0) break;
        done += size_t(n);
    }
    return ssize_t(done);
}

// Writes bytes whole at offset (or at the end, for a descriptor opened to
// append, when offset is negative). False with errno set when it fails.
bool WriteAll(int fd, std::span<const uint8_t> bytes, off_t offset) {
    for (size_t done = 0; done < bytes.size();) {
        const uint8_t* data = bytes.data() + done;
        const size_t size = bytes.size() - done;
        const ssize_t n = Retry(
            [&] { return offset < 0 ? ::write(fd, data, size) : ::pwrite(fd, data, size, offset + off_t(done)); });
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        done += size_t(n);
    }
    return true;
}

// Flushes fd to the disk. Devices and file systems that cannot (a link to
// /dev/zero, a read-only mount) count as flushed; the read-back judges them.
bool Flush(int fd) { return ::fsync(fd) == 0 || errno == EINVAL || errno == EROFS; }

// Compares the file with bytes a piece at a time, so that a check of a whole
// image never holds a second copy of it.
constexpr size_t kPiece = 64 * 1024;
enum class Compared { Same, Differs, ReadFailed };
Compared CompareFile(int fd, std::span<const uint8_t> bytes) {
    std::vector<uint8_t> piece(std::min(kPiece, bytes.size()));
    for (size_t done = 0; done < bytes.size(); done += piece.size()) {
        const size_t size = std::min(piece.size(), bytes.size() - done);
        const ssize_t n = ReadAt(fd, piece.data(), size, off_t(done));
        if (n < 0) return Compared::ReadFailed;
        if (size_t(n) != size || std::memcmp(piece.data(), bytes.data() + done, size) != 0) return Compared::Differs;
    }
    return Compared::Same;
}

// Flushes, reads back and compares what was just written to fd.
bool Verify(int fd, std::span<const uint8_t> bytes, const std::string& path, FileError& error) {
    if (!Flush(fd)) {
        error = SystemError("Cannot write", path);
        return false;
    }
    switch (CompareFile(fd, bytes)) {
    case Compared::Same: return true;
    case Compared::Differs: error = Plain(path, "the bytes read back differ from those written"); return false;
    case Compared::ReadFailed: error = SystemError("Cannot read back", path); return false;
    }
    return false;
}

// A new private file (mode 0600, made exclusively) named prefix and six
// random characters; its path is returned in path.
int MakePrivateFile(const std::string& prefix, std::string& path) {
    path = prefix + "XXXXXX";
    return Retry([&] { return ::mkostemp(path.data(), O_CLOEXEC); });
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

mode_t NewFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

ReadResult Refused(ReadStatus status, FileError error) {
    ReadResult result;
    result.status = status;
    result.error = std::move(error);
    return result;
}

} // namespace

ReadResult ReadWholeFile(const std::string& path, int64_t limit) {
    if (path.empty()) return Refused(ReadStatus::Missing, Plain(path, "no file named"));
    struct stat st {};
    if (Retry([&] { return ::stat(path.c_str(), &st); }) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) return Refused(ReadStatus::Missing, SystemError("", path));
        return Refused(ReadStatus::Failed, SystemError("Cannot open", path));
    }
    auto notAFile = [&] { return Refused(ReadStatus::NotAFile, Plain(path, "not a file")); };
    auto tooLarge = [&] {
        ReadResult result = Refused(ReadStatus::TooLarge, Plain(path, "larger than " + std::to_string(limit) + " bytes"));
        result.size = st.st_size;
        return result;
    };
    if (!S_ISREG(st.st_mode)) return notAFile();
    if (st.st_size > limit) return tooLarge();

    // Non-blocking, so that a pipe put in the file's place after the check
    // above cannot hang the open; the checks below refuse it.
    Descriptor fd(Open(path, O_RDONLY | O_NONBLOCK));
    if (!fd.valid()) {
        if (errno == ENOENT) return Refused(ReadStatus::Missing, SystemError("", path));
        return Refused(ReadStatus::Failed, SystemError("Cannot open", path));
    }
    // Take the size again from the open file: it may have changed since the
    // path was looked at.
    if (::fstat(fd.get(), &st) != 0) return Refused(ReadStatus::Failed, SystemError("Cannot read", path));
    if (!S_ISREG(st.st_mode)) return notAFile();
    if (st.st_size > limit) return tooLarge();
    if (const int flags = ::fcntl(fd.get(), F_GETFL); flags >= 0) ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK);

    ReadResult result;
    result.bytes.resize(size_t(st.st_size));
    const ssize_t done = ReadAt(fd.get(), result.bytes.data(), result.bytes.size(), 0);
    if (done < 0) return Refused(ReadStatus::Failed, SystemError("Cannot read", path));
    if (size_t(done) != result.bytes.size())  // the file shrank while it was read
        return Refused(ReadStatus::Failed, FileError{path, "the file changed while it was read", "Cannot read"});
    result.status = ReadStatus::Ok;
    return result;
}

bool FileHolds(const std::string& path, std::span<const uint8_t> bytes) {
    const Descriptor fd(Open(path, O_RDONLY | O_NONBLOCK));
    struct stat st {};
    return fd.valid() && ::fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode) && uint64_t(st.st_size) == bytes.size() &&
           CompareFile(fd.get(), bytes) == Compared::Same;
}

bool WriteInPlace(const std::string& path, std::span<const uint8_t> bytes, FileError& error) {
    Descriptor fd(Open(path, O_RDWR | O_CREAT, 0644));
    if (!fd.valid()) {
        error = SystemError("Cannot open", path);
        return false;
    }
    if (!WriteAll(fd.get(), bytes, 0)) {
        error = SystemError("Cannot write", path);
        return false;
    }
    if (!Verify(fd.get(), bytes, path, error)) return false;
    if (!fd.Close()) {
        error = SystemError("Cannot write", path);
        return false;
    }
    return true;
}

bool WriteNewFile(const std::string& path, std::span<const uint8_t> bytes, FileError& error) {
    // A link is followed, so that the file it names is replaced and the link stays.
    std::string target = path;
    struct stat st {};
    const bool exists = ::stat(path.c_str(), &st) == 0;
    if (exists) {
        if (S_ISDIR(st.st_mode)) {
            error = Plain(path, "is a folder; nothing was written");
            return false;
        }
        // A device or a pipe (/dev/stdout, /dev/null, a reader waiting on a
        // fifo) takes the bytes as they come: nothing to replace, nothing to
        // read back.
        if (!S_ISREG(st.st_mode)) {
            // Not waiting on a fifo that nobody reads.
            const Descriptor stream(Open(path, O_WRONLY | O_NONBLOCK));
            if (stream.valid()) ::fcntl(stream.get(), F_SETFL, ::fcntl(stream.get(), F_GETFL) & ~O_NONBLOCK);
            if (!stream.valid() || !WriteAll(stream.get(), bytes, -1)) {
                error = SystemError("Cannot write", path);
                return false;
            }
            return true;
        }
        if (char* real = ::realpath(path.c_str(), nullptr)) {
            target = real;
            std::free(real);
        }
    }
    const std::string folder = FolderOf(target);
    std::string temp;
    Descriptor fd(MakePrivateFile(folder + "/." + NameOf(target) + ".", temp));
    if (!fd.valid()) {
        error = SystemError("Cannot write", path);
        return false;
    }
    auto fail = [&](FileError what) {
        error = std::move(what);
        fd.Close();
        ::unlink(temp.c_str());
        return false;
    };
    if (!WriteAll(fd.get(), bytes, 0)) return fail(SystemError("Cannot write", path));
    if (!Verify(fd.get(), bytes, path, error)) return fail(error);
    if (::fchmod(fd.get(), exists ? st.st_mode & 07777 : NewFileMode()) != 0)
        return fail(SystemError("Cannot write", path));
    if (!fd.Close()) return fail(SystemError("Cannot write", path));
    if (Retry([&] { return ::rename(temp.c_str(), target.c_str()); }) != 0) return fail(SystemError("Cannot write", path));
    // The new name on the disk too; a folder that cannot be flushed keeps the file all the same.
    if (const Descriptor dir(Open(folder, O_RDONLY | O_DIRECTORY)); dir.valid()) ::fsync(dir.get());
    return true;
}

std::optional<std::vector<uint8_t>> ReadBackThroughPrivateFile(const std::string& folder, const std::string& prefix,
                                                               std::span<const uint8_t> bytes, FileError& error) {
    std::string path;
    Descriptor fd(MakePrivateFile(folder + "/" + prefix, path));
    if (!fd.valid()) {
        error = SystemError("Cannot create a file in", folder);
        return std::nullopt;
    }
    // A file that cannot be removed is private to us and harms nothing.
    struct Remove {
        const std::string& path;
        ~Remove() { ::unlink(path.c_str()); }
    } remove{path};
    if (!WriteAll(fd.get(), bytes, 0)) {
        error = SystemError("Cannot write", path);
        return std::nullopt;
    }
    std::vector<uint8_t> back(bytes.size() + 1);  // one more, to see a file that grew
    const ssize_t n = ReadAt(fd.get(), back.data(), back.size(), 0);
    if (n < 0) {
        error = SystemError("Cannot read", path);
        return std::nullopt;
    }
    back.resize(size_t(n));
    return back;
}

bool MakeFolders(const std::string& folder, FileError& error) {
    for (size_t end = folder.find('/', 1);; end = folder.find('/', end + 1)) {
        const std::string part = folder.substr(0, end);
        if (Retry([&] { return ::mkdir(part.c_str(), 0700); }) != 0 && errno != EEXIST) {
            error = SystemError("Cannot make the folder", folder);
            return false;
        }
        if (end == std::string::npos) return true;
    }
}

std::vector<std::string> ListFolder(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
    return names;
}

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0 || errno == ENOENT; }

bool RenameFile(const std::string& from, const std::string& to, FileError& error) {
    if (Retry([&] { return ::rename(from.c_str(), to.c_str()); }) == 0) return true;
    error = SystemError("Cannot rename " + from + " to", to);
    return false;
}

namespace detail {

std::optional<std::string> KeepCopy(const std::string& folder, std::span<const uint8_t> bytes,
                                    std::string (*names)(const void*, int), const void* context, FileError& error) {
    if (!MakeFolders(folder, error)) return std::nullopt;
    const Descriptor dir(Open(folder, O_RDONLY | O_DIRECTORY));
    if (!dir.valid()) {
        error = SystemError("Cannot open the folder", folder);
        return std::nullopt;
    }
    // Written under a hidden name first and given its own name only once it
    // is complete and on the disk, so that no copy is ever cut short.
    std::string temp;
    Descriptor file(MakePrivateFile(folder + "/." + names(context, 0) + ".", temp));
    if (!file.valid()) {
        error = SystemError("Cannot write a copy in", folder);
        return std::nullopt;
    }
    const std::string tempName = NameOf(temp);
    auto fail = [&](const std::string& action, const std::string& path) {
        error = SystemError(action, path);
        ::unlinkat(dir.get(), tempName.c_str(), 0);
        return std::nullopt;
    };
    if (!WriteAll(file.get(), bytes, 0) || ::fsync(file.get()) != 0 || !file.Close())
        return fail("Cannot write a copy in", folder);

    // A link never replaces a file: a name already taken moves on to the next.
    std::string made;
    for (int number = 0;; ++number) {
        made = names(context, number);
        if (::linkat(dir.get(), tempName.c_str(), dir.get(), made.c_str(), 0) == 0) break;
        if (errno != EEXIST || number == 999999) return fail("Cannot name the copy", folder + "/" + made);
    }
    ::unlinkat(dir.get(), tempName.c_str(), 0);
    if (::fsync(dir.get()) != 0 && errno != EINVAL) {
        error = SystemError("Cannot write a copy in", folder);
        ::unlinkat(dir.get(), made.c_str(), 0);
        return std::nullopt;
    }
    return made;
}

} // namespace detail

AppendFile::~AppendFile() { Close(); }

bool AppendFile::Open(const std::string& path, FileError& error) {
    Close();
    m_fd = q2::Open(path, O_WRONLY | O_APPEND | O_CREAT, 0600);
    if (m_fd < 0) {
        error = SystemError("Cannot open", path);
        return false;
    }
    m_path = path;
    return true;
}

bool AppendFile::Append(std::span<const uint8_t> bytes, FileError& error) {
    if (m_fd < 0) {
        errno = EBADF;
        error = SystemError("Cannot append to", m_path);
        return false;
    }
    if (!WriteAll(m_fd, bytes, -1) || ::fdatasync(m_fd) != 0) {
        error = SystemError("Cannot append to", m_path);
        return false;
    }
    return true;
}

void AppendFile::Close() {
    if (m_fd >= 0) ::close(std::exchange(m_fd, -1));
}

QuietStandardError::QuietStandardError() {
    std::fflush(stderr);
    m_saved = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);
    const int nowhere = Open("/dev/null", O_WRONLY);
    if (m_saved >= 0 && nowhere >= 0) ::dup2(nowhere, STDERR_FILENO);
    if (nowhere >= 0) ::close(nowhere);
}

QuietStandardError::~QuietStandardError() {
    if (m_saved >= 0) {
        std::fflush(stderr);
        ::dup2(m_saved, STDERR_FILENO);
        ::close(m_saved);
    }
}

} // namespace q2
