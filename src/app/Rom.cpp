// SPDX-License-Identifier: MIT
#include "Rom.h"

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
    size_t done = 0;
    while (done < result.bytes.size()) {
        ssize_t n = ::read(fd, result.bytes.data() + done, result.bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const std::string message = "Cannot read " + SystemReason(path);
            ::close(fd);
            return Failure(RomReadStatus::ReadError, message);
        }
        if (n == 0) break;  // the file shrank while being read
        done += size_t(n);
    }
    ::close(fd);
    if (done != result.bytes.size())
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
    std::vector<uint8_t> check(image.size());
    for (size_t done = 0; done < check.size();) {
        ssize_t n = ::pread(fd, check.data() + done, check.size() - done, off_t(done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return fail("Cannot read back " + SystemReason(path));
        if (n == 0) break;
        done += size_t(n);
    }
    if (check != image) return fail(path + ": the bytes read back differ from those written");
    if (::close(fd) != 0) {
        error = "Cannot write " + SystemReason(path);
        return false;
    }
    return true;
}

bool IsExpectedRom(const RomImage& rom) {
    if (int64_t(rom.size()) != kExpectedRomSize) return false;
    return std::memcmp(rom.data() + kTitleOffset, kExpectedTitle, 10) == 0;
}

bool RangeInside(int64_t offset, int64_t length, size_t romSize) {
    return offset >= 0 && length >= 0 && offset + length <= int64_t(romSize);
}

} // namespace q2
