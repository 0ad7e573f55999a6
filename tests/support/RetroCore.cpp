// SPDX-License-Identifier: MIT
#include "support/RetroCore.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace q2::test {

// The parts of the libretro C interface this front end uses.
namespace {

struct retro_game_info {
    const char* path;
    const void* data;
    size_t size;
    const char* meta;
};
struct retro_system_info {
    const char* library_name;
    const char* library_version;
    const char* valid_extensions;
    bool need_fullpath;
    bool block_extract;
};
struct retro_variable {
    const char* key;
    const char* value;
};
using retro_log_printf_t = void (*)(int level, const char* format, ...);
struct retro_log_callback {
    retro_log_printf_t log;
};

using environment_t = bool (*)(unsigned, void*);
using video_refresh_t = void (*)(const void*, unsigned, unsigned, size_t);
using audio_sample_t = void (*)(int16_t, int16_t);
using audio_sample_batch_t = size_t (*)(const int16_t*, size_t);
using input_poll_t = void (*)();
using input_state_t = int16_t (*)(unsigned, unsigned, unsigned, unsigned);

constexpr unsigned kEnvGetCanDupe = 3;
constexpr unsigned kEnvGetSystemDirectory = 9;
constexpr unsigned kEnvSetPixelFormat = 10;
constexpr unsigned kEnvGetVariable = 15;
constexpr unsigned kEnvGetVariableUpdate = 17;
constexpr unsigned kEnvGetLogInterface = 27;
constexpr unsigned kEnvGetSaveDirectory = 31;
constexpr unsigned kEnvExperimental = 0x10000;
constexpr unsigned kDeviceJoypad = 1;

// The options both cores are run with: grey pictures as the palette says,
// a Game Boy without its colours, and no boot ROM.
struct Option {
    const char* key;
    const char* value;
};
constexpr Option kOptions[] = {
    {"gambatte_gb_colorization", "disabled"},
    {"mgba_gb_colors", "Grayscale"},
    {"mgba_use_bios", "OFF"},
    {"mgba_sgb_borders", "OFF"},
};

// The core running now: libretro's callbacks carry no pointer of their own.
RetroCore* g_active = nullptr;

class Activate {
public:
    explicit Activate(RetroCore* core) : m_before(g_active) { g_active = core; }
    ~Activate() { g_active = m_before; }

private:
    RetroCore* m_before;
};

void Log(int, const char*, ...) {}  // the cores' chatter is not wanted in test output

// Standard output goes nowhere while it lives, for a core that prints
// instead of logging.
class Quiet {
public:
    Quiet() {
        std::fflush(stdout);
        m_saved = dup(STDOUT_FILENO);
        const int null = open("/dev/null", O_WRONLY);
        if (m_saved >= 0 && null >= 0) dup2(null, STDOUT_FILENO);
        if (null >= 0) close(null);
    }
    ~Quiet() {
        std::fflush(stdout);
        if (m_saved >= 0) {
            dup2(m_saved, STDOUT_FILENO);
            close(m_saved);
        }
    }
    Quiet(const Quiet&) = delete;
    Quiet& operator=(const Quiet&) = delete;

private:
    int m_saved = -1;
};

std::string Folder() {
    static const std::string folder = [] {
        std::error_code ec;
        return std::filesystem::temp_directory_path(ec).string();
    }();
    return folder;
}

} // namespace

struct RetroCore::Api {
    void (*set_environment)(environment_t);
    void (*set_video_refresh)(video_refresh_t);
    void (*set_audio_sample)(audio_sample_t);
    void (*set_audio_sample_batch)(audio_sample_batch_t);
    void (*set_input_poll)(input_poll_t);
    void (*set_input_state)(input_state_t);
    void (*init)();
    void (*deinit)();
    unsigned (*api_version)();
    void (*get_system_info)(retro_system_info*);
    bool (*load_game)(const retro_game_info*);
    void (*unload_game)();
    void (*run)();
};

struct Callbacks {
    static bool Environment(unsigned command, void* data) {
        return g_active && g_active->Environment(command, data);
    }
    static void Video(const void* data, unsigned width, unsigned height, size_t pitch) {
        if (g_active) g_active->Video(data, width, height, pitch);
    }
    static void AudioSample(int16_t, int16_t) {}
    static size_t AudioBatch(const int16_t*, size_t frames) { return frames; }
    static void InputPoll() {}
    static int16_t InputState(unsigned port, unsigned device, unsigned, unsigned id) {
        if (!g_active || port != 0 || device != kDeviceJoypad || id >= 16) return 0;
        return (g_active->m_keys >> id) & 1;
    }
};

RetroCore::RetroCore(const std::string& path) : m_api(new Api{}) {
    // Kept mapped after dlclose, so that a leak report can still name the core.
    m_library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!m_library) {
        const char* why = dlerror();
        m_error = "cannot load " + path + ": " + (why ? why : "unknown reason");
        return;
    }
    auto Bind = [this, &path](auto& function, const char* symbol) {
        function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(dlsym(m_library, symbol));
        if (!function && m_error.empty()) m_error = path + " has no " + symbol;
    };
    Bind(m_api->set_environment, "retro_set_environment");
    Bind(m_api->set_video_refresh, "retro_set_video_refresh");
    Bind(m_api->set_audio_sample, "retro_set_audio_sample");
    Bind(m_api->set_audio_sample_batch, "retro_set_audio_sample_batch");
    Bind(m_api->set_input_poll, "retro_set_input_poll");
    Bind(m_api->set_input_state, "retro_set_input_state");
    Bind(m_api->init, "retro_init");
    Bind(m_api->deinit, "retro_deinit");
    Bind(m_api->api_version, "retro_api_version");
    Bind(m_api->get_system_info, "retro_get_system_info");
    Bind(m_api->load_game, "retro_load_game");
    Bind(m_api->unload_game, "retro_unload_game");
    Bind(m_api->run, "retro_run");
    if (!m_error.empty()) return;
    if (m_api->api_version() != 1) {
        m_error = path + " speaks another libretro version";
        return;
    }
    retro_system_info info{};
    m_api->get_system_info(&info);
    m_name = info.library_name ? info.library_name : path;

    Activate active(this);
    // The environment comes first: a core asks it questions from then on.
    m_api->set_environment(&Callbacks::Environment);
    m_api->set_video_refresh(&Callbacks::Video);
    m_api->set_audio_sample(&Callbacks::AudioSample);
    m_api->set_audio_sample_batch(&Callbacks::AudioBatch);
    m_api->set_input_poll(&Callbacks::InputPoll);
    m_api->set_input_state(&Callbacks::InputState);
    m_api->init();
    m_initialised = true;
}

RetroCore::~RetroCore() {
    if (m_initialised) {
        Activate active(this);
        if (m_gameLoaded) m_api->unload_game();
        m_api->deinit();
    }
    if (m_library) dlclose(m_library);
    delete m_api;
}

bool RetroCore::Start(const std::vector<uint8_t>& rom) {
    if (!Ready()) return false;
    Activate active(this);
    if (m_gameLoaded) m_api->unload_game();
    m_gameLoaded = false;
    m_rom = rom;
    m_keys = 0;
    m_frame = RetroFrame{};
    const retro_game_info game{"quill2-test.gb", m_rom.data(), m_rom.size(), nullptr};
    bool loaded;
    {
        Quiet quiet;  // Gambatte prints what it loaded
        loaded = m_api->load_game(&game);
    }
    if (!loaded) {
        m_error = m_name + " refused the cartridge image";
        return false;
    }
    m_gameLoaded = true;
    return true;
}

void RetroCore::RunFrame() {
    if (!m_gameLoaded) return;
    Activate active(this);
    m_api->run();
}

bool RetroCore::Environment(unsigned command, void* data) {
    switch (command & ~kEnvExperimental) {
    case kEnvGetCanDupe:  // a frame may be "the same as before"; Gambatte will not load without it
        *static_cast<bool*>(data) = true;
        return true;
    case kEnvSetPixelFormat: {
        const int format = *static_cast<const int*>(data);
        if (format < 0 || format > 2) return false;
        m_pixelFormat = format;
        return true;
    }
    case kEnvGetVariable: {
        auto* variable = static_cast<retro_variable*>(data);
        variable->value = nullptr;
        for (const Option& option : kOptions)
            if (variable->key && std::strcmp(variable->key, option.key) == 0) variable->value = option.value;
        return variable->value != nullptr;
    }
    case kEnvGetVariableUpdate:
        *static_cast<bool*>(data) = false;
        return true;
    case kEnvGetLogInterface:
        static_cast<retro_log_callback*>(data)->log = &Log;
        return true;
    case kEnvGetSystemDirectory:
    case kEnvGetSaveDirectory:
        *static_cast<const char**>(data) = Folder().c_str();
        return true;
    default:
        return false;
    }
}

void RetroCore::Video(const void* data, unsigned width, unsigned height, size_t pitch) {
    if (!data) return;  // the same picture as before
    m_frame.width = int(width);
    m_frame.height = int(height);
    m_frame.pixels.resize(size_t(width) * height);
    const auto* bytes = static_cast<const uint8_t*>(data);
    for (unsigned y = 0; y < height; ++y) {
        const uint8_t* row = bytes + y * pitch;
        uint32_t* out = &m_frame.pixels[size_t(y) * width];
        for (unsigned x = 0; x < width; ++x) {
            if (m_pixelFormat == 1) {
                uint32_t p;
                std::memcpy(&p, row + 4 * x, 4);
                out[x] = p & 0xFFFFFF;
                continue;
            }
            uint16_t p;
            std::memcpy(&p, row + 2 * x, 2);
            uint32_t r, g, b;
            if (m_pixelFormat == 2) {
                r = (p >> 11) & 31, g = (p >> 5) & 63, b = p & 31;
                g = (g << 2) | (g >> 4);
            } else {
                r = (p >> 10) & 31, g = (p >> 5) & 31, b = p & 31;
                g = (g << 3) | (g >> 2);
            }
            r = (r << 3) | (r >> 2);
            b = (b << 3) | (b >> 2);
            out[x] = (r << 16) | (g << 8) | b;
        }
    }
}

std::string RetroCore::Find(const std::string& name) {
    std::vector<std::string> folders;
    if (const char* dir = std::getenv("QUILL2_LIBRETRO_DIR"); dir && *dir) folders.push_back(dir);
    else folders = {QUILL2_LIBRETRO_DEFAULT_DIR, "/usr/lib/libretro"};
    for (const std::string& folder : folders) {
        const std::filesystem::path file = std::filesystem::path(folder) / (name + "_libretro.so");
        std::error_code ec;
        if (std::filesystem::is_regular_file(file, ec)) return file.string();
    }
    return {};
}

} // namespace q2::test
