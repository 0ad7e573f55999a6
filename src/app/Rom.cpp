// SPDX-License-Identifier: MIT
#include "Rom.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace q2 {

namespace {

RomReadResult Failure(RomReadStatus status, std::string message) {
    RomReadResult result;
    result.status = status;
    result.message = std::move(message);
    return result;
}

std::string SystemReason(const std::string& path) { return path + ": " + std::strerror(errno); }

// Reads size bytes at offset into data. The number read, short when the file
// ends first; -1 with errno set when reading fails.
ssize_t ReadAt(int fd, uint8_t* data, size_t size, off_t offset) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, data + done, size - done, offset + off_t(done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        done += size_t(n);
    }
    return ssize_t(done);
}

// Compares the file with bytes a piece at a time, so that saving, which
// reads the whole file twice, never holds a second copy of it.
constexpr size_t kPiece = 64 * 1024;
enum class Compared { Same, Differs, ReadFailed };
Compared CompareFile(int fd, const std::vector<uint8_t>& bytes) {
    std::vector<uint8_t> piece(std::min(kPiece, bytes.size()));
    for (size_t done = 0; done < bytes.size(); done += piece.size()) {
        const size_t size = std::min(piece.size(), bytes.size() - done);
        const ssize_t n = ReadAt(fd, piece.data(), size, off_t(done));
        if (n < 0) return Compared::ReadFailed;
        if (size_t(n) != size || std::memcmp(piece.data(), bytes.data() + done, size) != 0) return Compared::Differs;
    }
    return Compared::Same;
}

} // namespace

RomReadResult ReadRomFile(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) {
        if (path.empty() || errno == ENOENT || errno == ENOTDIR)
            return Failure(RomReadStatus::Missing, "Non-existent ROM file: " + path);
        return Failure(RomReadStatus::ReadError, "Cannot open " + SystemReason(path));
    }
    if (!S_ISREG(st.st_mode))
        return Failure(RomReadStatus::NotAFile, path + " is not a file");
    if (st.st_size > kMaxRomFileSize)
        return Failure(RomReadStatus::TooLarge,
                       path + " is " + std::to_string(st.st_size) +
                           " bytes, larger than any cartridge (8 MiB)");

    // Non-blocking, so that a pipe put in the file's place after the check
    // above cannot hang the open; the checks below refuse it.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT) return Failure(RomReadStatus::Missing, "Non-existent ROM file: " + path);
        return Failure(RomReadStatus::ReadError, "Cannot open " + SystemReason(path));
    }
    // Take the size again from the open file: it may have changed since the
    // path was looked at.
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxRomFileSize) {
        const int saved = errno;
        ::close(fd);
        errno = saved;
        if (!S_ISREG(st.st_mode)) return Failure(RomReadStatus::NotAFile, path + " is not a file");
        if (st.st_size > kMaxRomFileSize)
            return Failure(RomReadStatus::TooLarge, path + " is larger than any cartridge (8 MiB)");
        return Failure(RomReadStatus::ReadError, "Cannot read " + SystemReason(path));
    }

    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);

    RomReadResult result;
    result.bytes.resize(size_t(st.st_size));
    const ssize_t done = ReadAt(fd, result.bytes.data(), result.bytes.size(), 0);
    if (done < 0) {
        const std::string message = "Cannot read " + SystemReason(path);
        ::close(fd);
        return Failure(RomReadStatus::ReadError, message);
    }
    ::close(fd);
    if (size_t(done) != result.bytes.size())  // the file shrank while being read
        return Failure(RomReadStatus::ReadError, "Cannot read " + path + ": the file changed while it was read");
    if (result.bytes.empty()) return Failure(RomReadStatus::Empty, path + " is empty");
    result.status = RomReadStatus::Ok;
    return result;
}

bool WriteRomFile(const std::string& path, const RomImage& image, std::string& error) {
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = "Cannot open " + SystemReason(path);
        return false;
    }
    auto fail = [&](const std::string& what) {
        error = what;
        ::close(fd);
        return false;
    };
    for (size_t done = 0; done < image.size();) {
        ssize_t n = ::pwrite(fd, image.data() + done, image.size() - done, off_t(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return fail("Cannot write " + SystemReason(path));
        }
        done += size_t(n);
    }
    if (::fsync(fd) != 0 && errno != EINVAL && errno != EROFS)
        return fail("Cannot write " + SystemReason(path));

    // Read back what landed in the file.
    switch (CompareFile(fd, image)) {
    case Compared::Same: break;
    case Compared::Differs: return fail(path + ": the bytes read back differ from those written");
    case Compared::ReadFailed: return fail("Cannot read back " + SystemReason(path));
    }
    if (::close(fd) != 0) {
        error = "Cannot write " + SystemReason(path);
        return false;
    }
    return true;
}

bool RomFileHolds(const std::string& path, const RomImage& bytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st {};
    const bool same = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && uint64_t(st.st_size) == bytes.size() &&
                      CompareFile(fd, bytes) == Compared::Same;
    ::close(fd);
    return same;
}

bool IsExpectedRom(const RomImage& rom) {
    if (int64_t(rom.size()) != kExpectedRomSize) return false;
    return std::memcmp(rom.data() + kTitleOffset, kExpectedTitle, 10) == 0;
}

bool RangeInside(int64_t offset, int64_t length, size_t romSize) {
    return offset >= 0 && length >= 0 && offset + length <= int64_t(romSize);
}

} // namespace q2
