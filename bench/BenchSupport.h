// SPDX-License-Identifier: MIT
#pragma once
// What the benchmarks share: the demo ROM on disk, a toolkit service that
// answers the editor's dialogs without a person, a started editor, mouse
// events sent as the toolkit delivers them, and child processes of this
// program for the measurements that need a fresh process.

#include "app/modMain.h"
#include "platform/ToolkitServices.h"
#include "ui/frmMain.h"

#include <QPointF>
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace q2::bench {

// The run's private folders, made on first use and removed by
// RemoveWorkFolders: one in the system's temporary folder, on the disk that
// holds it, and one in memory (/dev/shm), where a file has no device to be
// flushed to (empty when it cannot be made). The demo ROM lives in the first.
const std::string& WorkFolder();
const std::string& MemoryFolder();
void RemoveWorkFolders();
const RomImage& DemoRom();
const std::string& DemoRomPath();
// Writes the demo ROM to path.
bool WriteRom(const std::string& path);

// Answers the open-file dialog with romPath and "drop the changes?" with No.
// Any other box means the measurement went wrong: it is reported and the
// program ends.
class BenchToolkit : public ToolkitServices {
public:
    explicit BenchToolkit(std::string romPath) : m_romPath(std::move(romPath)) {}
    MsgResult MessageBox(const std::string& text, MsgButtons buttons, MsgIcon icon) override;
    OpenFileResult GetOpenFileName(const OpenFileRequest& request) override;

private:
    std::string m_romPath;
};

// The editor started on the demo ROM, its window shown and painted.
class Editor {
public:
    Editor();
    ~Editor();
    bool Started() const { return m_started; }
    modMain& Program() { return *m_program; }
    frmMain& Form() { return m_program->Form(); }

private:
    std::unique_ptr<modMain> m_program;
    bool m_started = false;
};

// True when the editor started; otherwise the case is marked failed.
bool Ready(benchmark::State& state, const Editor& editor);

// Runs the events waiting in the queue: repaints, resizes, ...
void ProcessEvents();

// Mouse events as the toolkit delivers them to a picture box.
void Press(QWidget* box, Qt::MouseButton button, QPointF at, Qt::KeyboardModifiers modifiers = {});
void Move(QWidget* box, Qt::MouseButtons held, QPointF at);
void Release(QWidget* box, Qt::MouseButton button, QPointF at);
// Centre of cell (column, row) of a picture box.
inline QPointF Cell(int column, int row) { return QPointF(8 * column + 3, 8 * row + 3); }

// Wall-clock time of one piece of work, for benchmarks that time by hand.
class Stopwatch {
public:
    Stopwatch() : m_start(std::chrono::steady_clock::now()) {}
    double Seconds() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
    }

private:
    std::chrono::steady_clock::time_point m_start;
};

// A child of this program started with args. Its standard output is a pipe
// the parent reads; Finish waits for the child and gives its peak resident
// memory in bytes (-1 when it failed).
class Child {
public:
    explicit Child(const std::vector<std::string>& args);
    ~Child();
    bool Running() const { return m_pid > 0; }
    // Reads one line of the child's output; empty when it ended first.
    std::string ReadLine();
    long long Finish();

private:
    int m_pid = -1;
    int m_out = -1;
    std::string m_pending;
};

// A child process: starts the editor on romPath and says "shown" once its
// window is; with allMaps, loads every map of the catalogue in turn and then
// says "loaded". Returns the process's exit code.
int RunChild(int argc, char** argv, const std::string& romPath, bool allMaps);

// The benchmark families, registered in the order they run; smoke runs each
// case once.
void RegisterCoreBenchmarks(bool smoke);
void RegisterWindowBenchmarks(bool smoke);
void RegisterProcessBenchmarks(bool smoke);
void RegisterPatchBenchmarks(bool smoke);

// Settings every case shares.
benchmark::internal::Benchmark* Tune(benchmark::internal::Benchmark* b, bool smoke);

// The floor of a copy of bytes bytes, measured two ways: glibc's memcpy as
// "Floor/Memcpy/<what>", and a plain loop the compiler turns into vector moves
// as "Floor/CopyLoop/<what>". The report holds a case against the faster:
// memcpy is not the fastest copy on every machine (some take `rep movsb`
// for these sizes, many times slower than the loop there).
void RegisterCopyFloors(const std::string& what, size_t bytes, bool smoke);

// The floor of writing bytes bytes (whole 32-bit pixels), measured with
// memset as "Floor/Memset/<what>" and with a plain loop as "Floor/FillLoop/<what>".
void RegisterWriteFloors(const std::string& what, size_t bytes, bool smoke);

// That loop; to and from do not overlap.
void CopyLoop(uint8_t* to, const uint8_t* from, size_t bytes);

} // namespace q2::bench
