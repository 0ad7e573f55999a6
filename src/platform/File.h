// SPDX-License-Identifier: MIT
#pragma once
// The one path to the disk. Every file the editor and quill2-maptool read or
// write goes through here: whole reads under a size limit, writes in place
// that are read back, new files written privately and then renamed into
// place, copies kept in a folder, and journals appended to. The retry on an
// interrupted call, the size limits and the error texts live here once; a
// port to another system begins by writing this file's .cpp again.
//
// Every operation reports a failure in one FileError: the path it concerns
// and the reason, in words (the system's reason where there is one).

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace q2 {

struct FileError {
    std::string path;
    std::string reason;  // "No such file or directory", "the file changed while it was read", ...
    std::string action;  // the step that failed, when it says more: "Cannot open", "Cannot read back", ...
    // "action path: reason", or "path: reason" without an action
    std::string Text() const { return (action.empty() ? "" : action + " ") + path + ": " + reason; }
};

enum class ReadStatus {
    Ok,
    Missing,   // nothing at that path (or the path is empty)
    NotAFile,  // a folder, a pipe, a device: anything but a regular file; never opened in a way that blocks
    TooLarge,  // larger than the limit, refused from its size alone, nothing read
    Failed,    // could not be opened or read in full (a short read: the file changed while it was read)
};

struct ReadResult {
    ReadStatus status = ReadStatus::Failed;
    std::vector<uint8_t> bytes;  // the whole file when Ok (empty for a file of 0 bytes)
    FileError error;             // anything but Ok
    int64_t size = 0;            // the file's size when TooLarge
    bool ok() const { return status == ReadStatus::Ok; }
};

// Reads the regular file at path whole, when it holds at most limit bytes.
ReadResult ReadWholeFile(const std::string& path, int64_t limit);

// True when the file at path is a regular file holding exactly bytes; false
// when it differs or cannot be read. Reads a piece at a time.
bool FileHolds(const std::string& path, std::span<const uint8_t> bytes);

// Writes bytes over the start of the file at path: created (mode 0644 less
// the umask) when missing, never truncated, so bytes past bytes' length stay.
// The written bytes are flushed to the disk, read back and compared. False
// with error set when anything fails; part of bytes may then be in the file.
bool WriteInPlace(const std::string& path, std::span<const uint8_t> bytes, FileError& error);

// Puts a file holding exactly bytes at path: written to a private file (mode
// 0600) in the same folder, flushed, read back and compared, given the mode of
// the file it replaces (or 0666 less the umask for a new one), then renamed
// over path. A link at path is followed: the file it names is replaced. A
// folder is refused. A device or a pipe (/dev/stdout, a fifo being read) gets
// the bytes written straight into it, with no read-back; a fifo that nobody
// reads is refused, not waited on. A failure leaves whatever file was at path
// whole and nothing else behind.
bool WriteNewFile(const std::string& path, std::span<const uint8_t> bytes, FileError& error);

// Writes bytes to a new private file (mode 0600, made exclusively) in folder,
// named prefix and six random characters, reads them back through the same
// descriptor and removes the file: what came back, which the caller compares.
// Nothing, with error set, when the file cannot be made, written or read.
std::optional<std::vector<uint8_t>> ReadBackThroughPrivateFile(const std::string& folder, const std::string& prefix,
                                                               std::span<const uint8_t> bytes, FileError& error);

// Makes folder and every missing folder above it, mode 0700.
bool MakeFolders(const std::string& folder, FileError& error);

// The names of the entries of folder, without "." and "..". Empty when it
// cannot be listed.
std::vector<std::string> ListFolder(const std::string& folder);

// Removes the file at path. False when it could not be removed (a file that
// is not there counts as removed).
bool RemoveFile(const std::string& path);

// Renames from to to, replacing to. False with error set when that fails.
bool RenameFile(const std::string& from, const std::string& to, FileError& error);

// Keeps a copy of bytes in folder (made where missing, mode 0700) as a new
// file of mode 0600, under the first name that names(0), names(1), ... gives
// that is not taken: an existing file is never replaced. The copy and the
// folder are on the disk before this returns. The name given to the copy, or
// nothing with error set; nothing is left behind then.
template <typename Names>
std::optional<std::string> KeepCopy(const std::string& folder, std::span<const uint8_t> bytes, Names names,
                                    FileError& error);

// A file that records are appended to, each one on the disk (fdatasync)
// before Append returns. Opened by Open, created (mode 0600) when missing;
// closed when it goes.
class AppendFile {
public:
    AppendFile() = default;
    ~AppendFile();
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    bool Open(const std::string& path, FileError& error);
    bool IsOpen() const { return m_fd >= 0; }
    bool Append(std::span<const uint8_t> bytes, FileError& error);
    void Close();
    const std::string& Path() const { return m_path; }

private:
    int m_fd = -1;
    std::string m_path;
};

// While one of these lives, standard error goes nowhere (a library that
// prints its own errors there is kept quiet); put back when it goes.
class QuietStandardError {
public:
    QuietStandardError();
    ~QuietStandardError();
    QuietStandardError(const QuietStandardError&) = delete;
    QuietStandardError& operator=(const QuietStandardError&) = delete;

private:
    int m_saved = -1;
};

// ---- Details ----

namespace detail {
std::optional<std::string> KeepCopy(const std::string& folder, std::span<const uint8_t> bytes,
                                    std::string (*names)(const void*, int), const void* context, FileError& error);
}

template <typename Names>
std::optional<std::string> KeepCopy(const std::string& folder, std::span<const uint8_t> bytes, Names names,
                                    FileError& error) {
    return detail::KeepCopy(
        folder, bytes, [](const void* context, int n) { return (*static_cast<const Names*>(context))(n); }, &names,
        error);
}

} // namespace q2
