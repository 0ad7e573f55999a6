// SPDX-License-Identifier: MIT
#pragma once
// Synthetic ROM images and throw-away folders for tests.

#include "app/Rom.h"

#include <csignal>
#include <filesystem>
#include <string>
#include <sys/resource.h>

namespace q2::test {

// A 524,288-byte image with the right title whose every other byte follows a
// fixed pattern (so each map and tile range holds varied values).
RomImage PatternRom();

// A private folder removed with everything in it at the end of the test.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return m_path; }
    std::string File(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

// Sets an environment variable for its lifetime, then puts back what was there.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string m_name;
    bool m_had = false;
    std::string m_old;
};

// Limits the size of files this process writes for its lifetime: a write
// past it fails with "File too large" (tests run as root, so permissions
// cannot make writes fail).
class ScopedFileSizeLimit {
public:
    explicit ScopedFileSizeLimit(rlim_t bytes);
    ~ScopedFileSizeLimit();
    ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
    ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;

private:
    struct rlimit m_old {};
    void (*m_oldSignal)(int) = SIG_DFL;
};

void WriteFile(const std::string& path, const RomImage& bytes);
RomImage ReadFile(const std::string& path);

} // namespace q2::test
