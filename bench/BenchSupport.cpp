// SPDX-License-Identifier: MIT
#include "BenchSupport.h"

#include "demo_rom.h"

#include <QApplication>
#include <QMouseEvent>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace q2::bench {

namespace {

std::vector<std::string>& MadeFolders() {
    static std::vector<std::string> folders;
    return folders;
}

// A new private folder in parent; empty when it cannot be made.
std::string MakeFolder(const std::filesystem::path& parent) {
    std::string pattern = (parent / "quill2-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) return std::string();
    MadeFolders().push_back(pattern);
    return pattern;
}

[[noreturn]] void Fatal(const std::string& what) {
    std::fprintf(stderr, "quill2-bench: %s\n", what.c_str());
    std::fflush(stderr);
    RemoveWorkFolders();
    std::_Exit(2);
}

void Send(QWidget* box, QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons held, QPointF at,
          Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QMouseEvent event(type, at, box->mapToGlobal(at), button, held, modifiers);
    QApplication::sendEvent(box, &event);
}

} // namespace

const std::string& WorkFolder() {
    static const std::string path = [] {
        std::string folder = MakeFolder(std::filesystem::temp_directory_path());
        if (folder.empty()) Fatal("cannot make a temporary folder: " + std::string(std::strerror(errno)));
        return folder;
    }();
    return path;
}

const std::string& MemoryFolder() {
    static const std::string path = MakeFolder("/dev/shm");
    return path;
}

void RemoveWorkFolders() {
    for (const std::string& folder : MadeFolders()) {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
    MadeFolders().clear();
}

bool WriteRom(const std::string& path) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(DemoRom().data()), std::streamsize(DemoRom().size()));
    out.close();
    return bool(out);
}

const RomImage& DemoRom() {
    static const RomImage rom = MakeDemoRom();
    return rom;
}

const std::string& DemoRomPath() {
    static const std::string path = [] {
        std::string file = WorkFolder() + "/demo.gb";
        if (!WriteRom(file)) Fatal("cannot write " + file);
        return file;
    }();
    return path;
}

MsgResult BenchToolkit::MessageBox(const std::string& text, MsgButtons, MsgIcon) {
    if (text == msg::kSaveQuestion) return MsgResult::No;
    Fatal("unexpected message box: " + text);
}

OpenFileResult BenchToolkit::GetOpenFileName(const OpenFileRequest&) {
    OpenFileResult result;
    result.accepted = true;
    result.path = m_romPath;
    return result;
}

Editor::Editor() : m_program(std::make_unique<modMain>()) {
    m_started = m_program->Main() && Form().isVisible();
    ProcessEvents();
}

Editor::~Editor() {
    if (m_started) Form().hide();
    m_program->EditsGivenUp();  // as a window closed with the edits given up: no journal for the next one
    m_program.reset();
    ProcessEvents();  // deferred deletes
}

bool Ready(benchmark::State& state, const Editor& editor) {
    if (!editor.Started()) state.SkipWithError("the editor did not start");
    return editor.Started();
}

void ProcessEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void Press(QWidget* box, Qt::MouseButton button, QPointF at, Qt::KeyboardModifiers modifiers) {
    Send(box, QEvent::MouseButtonPress, button, button, at, modifiers);
}
void Move(QWidget* box, Qt::MouseButtons held, QPointF at) { Send(box, QEvent::MouseMove, Qt::NoButton, held, at); }
void Release(QWidget* box, Qt::MouseButton button, QPointF at) {
    Send(box, QEvent::MouseButtonRelease, button, Qt::NoButton, at);
}

Child::Child(const std::vector<std::string>& args) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    posix_spawn_file_actions_addclose(&actions, pipeFds[1]);

    std::vector<std::string> all{"/proc/self/exe"};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);

    pid_t pid = -1;
    const int rc = posix_spawn(&pid, "/proc/self/exe", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (rc != 0) {
        close(pipeFds[0]);
        return;
    }
    m_pid = pid;
    m_out = pipeFds[0];
}

Child::~Child() { Finish(); }

std::string Child::ReadLine() {
    char buffer[256];
    for (;;) {
        const size_t end = m_pending.find('\n');
        if (end != std::string::npos) {
            std::string line = m_pending.substr(0, end);
            m_pending.erase(0, end + 1);
            return line;
        }
        if (m_out < 0) return std::string();
        const ssize_t n = read(m_out, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return std::string();
        m_pending.append(buffer, size_t(n));
    }
}

long long Child::Finish() {
    if (m_out >= 0) {
        close(m_out);
        m_out = -1;
    }
    if (m_pid <= 0) return -1;
    int status = 0;
    struct rusage usage {};
    pid_t done;
    do done = wait4(m_pid, &status, 0, &usage);
    while (done < 0 && errno == EINTR);
    m_pid = -1;
    if (done < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return static_cast<long long>(usage.ru_maxrss) * 1024;  // Linux reports kilobytes
}

benchmark::internal::Benchmark* Tune(benchmark::internal::Benchmark* b, bool smoke) {
    b->Unit(benchmark::kMicrosecond);
    if (smoke) b->Iterations(1);
    return b;
}

// Whole 64-byte blocks, each a copy of known size that both compilers make
// into vector moves in place (unrolled: four 16-byte moves with SSE2), then
// the bytes left. The loop must stay a loop: turned back into a call of
// memcpy it would measure memcpy again.
#if defined(__clang__)
__attribute__((no_builtin("memcpy")))
#elif defined(__GNUC__)
__attribute__((optimize("no-tree-loop-distribute-patterns")))
#endif
void CopyLoop(uint8_t* __restrict to, const uint8_t* __restrict from, size_t bytes) {
    constexpr size_t kBlock = 64;
    size_t i = 0;
    for (; i + kBlock <= bytes; i += kBlock)
#pragma GCC unroll 64
        for (size_t j = 0; j < kBlock; ++j) to[i + j] = from[i + j];
    for (; i < bytes; ++i) to[i] = from[i];
}

namespace {

void CopyFloor(benchmark::State& state, size_t bytes, bool loop) {
    std::vector<uint8_t> from(bytes, 0x5A), to(bytes);
    for (auto _ : state) {
        if (loop) CopyLoop(to.data(), from.data(), bytes);
        else std::memcpy(to.data(), from.data(), bytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}

} // namespace

// Writing bytes bytes of one value: memset, or a loop of 32-bit pixels.
void WriteFloor(benchmark::State& state, size_t bytes, bool loop) {
    std::vector<uint32_t> to(bytes / 4);
    uint32_t value = 0xFF5A5A5A;
    for (auto _ : state) {
        if (loop) std::fill(to.begin(), to.end(), value);
        else std::memset(to.data(), int(value & 0xFF), bytes);
        ++value;
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}

void RegisterWriteFloors(const std::string& what, size_t bytes, bool smoke) {
    Tune(benchmark::RegisterBenchmark(("Floor/Memset/" + what).c_str(), WriteFloor, bytes, false), smoke);
    Tune(benchmark::RegisterBenchmark(("Floor/FillLoop/" + what).c_str(), WriteFloor, bytes, true), smoke);
}

void RegisterCopyFloors(const std::string& what, size_t bytes, bool smoke) {
    Tune(benchmark::RegisterBenchmark(("Floor/Memcpy/" + what).c_str(), CopyFloor, bytes, false), smoke);
    Tune(benchmark::RegisterBenchmark(("Floor/CopyLoop/" + what).c_str(), CopyFloor, bytes, true), smoke);
}

} // namespace q2::bench
