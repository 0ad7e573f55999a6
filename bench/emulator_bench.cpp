// SPDX-License-Identifier: MIT
// quill2-bench-emulators: what it costs to see a map of the demo ROM on a
// Game Boy emulator, beside drawing the same map with quill2-maptool render.
// Each case is a whole process: the tool drawing map 0 to a PNG, or a
// libretro core loaded, the demo ROM booted and run for the 30 frames within
// which the viewer shows map 0, and the screen written to a PNG.
//
//   quill2-bench-emulators [--smoke] [--benchmark_* flags]
//   quill2-bench-emulators --child-capture CORE ROM OUT.png
//
// --smoke runs every case once. A core that is not installed is reported
// and left out; exit code 1 when a case fails.

#include "demo_rom.h"
#include "support/RetroCore.h"

#include <QImage>
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

extern char** environ;

namespace {

constexpr int kBootFrames = 30;  // the viewer shows map 0 within these
constexpr char kRender[] = "Render/Map0/NewProcess";

struct Core {
    const char* name;   // as installed: NAME_libretro.so
    const char* label;
};
constexpr Core kCores[] = {{"gambatte", "Gambatte"}, {"mgba", "mGBA"}};

std::string g_folder;  // the run's private folder, with the demo ROM in it
std::string Rom() { return g_folder + "/demo.gb"; }
std::string Out() { return g_folder + "/out.png"; }

// Runs args as a process and waits for it; its exit code, -1 when it did not end normally.
int Run(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    // What the processes print (Gambatte says what it loaded) is not the report's.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) < 0 || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

std::map<std::string, double> g_best;  // fastest whole process of each case, for the summary

void ProcessCase(benchmark::State& state, const std::string& name, const std::vector<std::string>& args) {
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const int code = Run(args);
        const double seconds = Seconds(start);
        state.SetIterationTime(seconds);
        if (code != 0) {
            state.SkipWithError("the process failed");
            return;
        }
        double& best = g_best[name];
        if (best == 0 || seconds < best) best = seconds;
    }
}

// The child: boots rom on the core and writes its screen after kBootFrames.
int Capture(const std::string& core, const std::string& rom, const std::string& out) {
    q2::test::RetroCore emulator(q2::test::RetroCore::Find(core));
    std::ifstream in(rom, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    if (!emulator.Start(bytes)) return 1;
    for (int f = 0; f < kBootFrames; ++f) emulator.RunFrame();
    const q2::test::RetroFrame& frame = emulator.Picture();
    if (frame.pixels.empty()) return 1;
    QImage image(frame.width, frame.height, QImage::Format_RGB32);
    for (int y = 0; y < frame.height; ++y)
        for (int x = 0; x < frame.width; ++x) image.setPixel(x, y, 0xFF000000u | frame.At(x, y));
    return image.save(QString::fromStdString(out), "PNG") ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "--child-capture") == 0) return Capture(argv[2], argv[3], argv[4]);
    bool smoke = false;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--smoke") == 0) {
            smoke = true;
            for (int j = i; j < argc; ++j) argv[j] = argv[j + 1];
            --argc;
            break;
        }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

    std::string pattern = (std::filesystem::temp_directory_path() / "quill2-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) return 1;
    g_folder = pattern;
    {
        const q2::RomImage rom = q2::MakeDemoRom();
        std::ofstream(Rom(), std::ios::binary).write(reinterpret_cast<const char*>(rom.data()), std::streamsize(rom.size()));
    }
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();

    auto Tune = [smoke](benchmark::internal::Benchmark* b) {
        b->UseManualTime()->Unit(benchmark::kMillisecond);
        if (smoke) b->Iterations(1);
    };
    auto Register = [&](const std::string& name, const std::vector<std::string>& args) {
        Tune(benchmark::RegisterBenchmark(name.c_str(), ProcessCase, name, args));
    };
    Register(kRender, {QUILL2_MAPTOOL, "render", Rom(), "0", Out()});
    std::vector<std::string> missing;
    for (const Core& core : kCores) {
        if (q2::test::RetroCore::Find(core.name).empty()) {
            missing.push_back(core.label);
            continue;
        }
        Register(std::string(core.label) + "/BootAndCapture/NewProcess",
                 {self, "--child-capture", core.name, Rom(), Out()});
    }
    const size_t ran = benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(g_folder);

    for (const std::string& label : missing)
        std::printf("%s: no core installed (scripts/setup --emulators), not measured\n", label.c_str());
    const double render = g_best[kRender];
    if (render > 0)
        for (const auto& [name, best] : g_best)
            if (name != kRender)
                std::printf("%s: fastest %.1f ms, %.1fx render of the same map (%.1f ms)\n", name.c_str(), best * 1e3,
                            best / render, render * 1e3);
    // A case that failed reports no fastest time.
    size_t measured = 0;
    for (const auto& [name, best] : g_best) measured += best > 0;
    return ran > 0 && measured < ran ? 1 : 0;
}
