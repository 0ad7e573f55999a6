// SPDX-License-Identifier: MIT
#include "support/TestFiles.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace q2::test {

RomImage PatternRom() {
    RomImage rom(static_cast<size_t>(kExpectedRomSize));
    uint32_t state = 0x12345678;
    for (auto& b : rom) {  // a small xorshift: varied, repeatable
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        b = uint8_t(state);
    }
    std::memcpy(rom.data() + kTitleOffset, kExpectedTitle, 10);
    return rom;
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quill2-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : m_name(name) {
    const char* old = std::getenv(name);
    m_had = old != nullptr;
    if (m_had) m_old = old;
    setenv(name, value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
    if (m_had) setenv(m_name.c_str(), m_old.c_str(), 1);
    else unsetenv(m_name.c_str());
}

ScopedFileSizeLimit::ScopedFileSizeLimit(rlim_t bytes) {
    if (getrlimit(RLIMIT_FSIZE, &m_old) != 0) throw std::runtime_error("getrlimit failed");
    m_oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = m_old;
    limit.rlim_cur = bytes;
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) throw std::runtime_error("setrlimit failed");
}

ScopedFileSizeLimit::~ScopedFileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &m_old);
    std::signal(SIGXFSZ, m_oldSignal);
}

void WriteFile(const std::string& path, const RomImage& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

RomImage ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return RomImage(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace q2::test
