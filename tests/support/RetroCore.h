// SPDX-License-Identifier: MIT
#pragma once
// A small libretro front end: loads an emulator core with dlopen, starts a
// cartridge image at power-on, holds joypad keys and runs frames headless,
// keeping the last picture. One core of each kind per program is enough; a
// core runs one game at a time.

#include <cstdint>
#include <string>
#include <vector>

namespace q2::test {

// Joypad keys, as bits of the mask Hold takes (libretro's key ids).
enum RetroKey : uint16_t {
    kKeyB = 1u << 0,
    kKeySelect = 1u << 2,
    kKeyStart = 1u << 3,
    kKeyUp = 1u << 4,
    kKeyDown = 1u << 5,
    kKeyLeft = 1u << 6,
    kKeyRight = 1u << 7,
    kKeyA = 1u << 8,
};

// A picture as the core gave it, one 0xRRGGBB value a pixel, top row first.
struct RetroFrame {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
    uint32_t At(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};

class RetroCore {
public:
    // Loads the core library at path and initialises it; Error() says why
    // it could not be.
    explicit RetroCore(const std::string& path);
    ~RetroCore();
    RetroCore(const RetroCore&) = delete;
    RetroCore& operator=(const RetroCore&) = delete;

    bool Ready() const { return m_error.empty(); }
    const std::string& Error() const { return m_error; }
    const std::string& Name() const { return m_name; }

    // Powers the console on with rom in it (the game before is taken out);
    // no key is held. False, with Error() set, when the core refuses it.
    bool Start(const std::vector<uint8_t>& rom);
    // The keys held from the next frame on (RetroKey bits).
    void Hold(uint16_t keys) { m_keys = keys; }
    void RunFrame();
    // The last picture the core gave; empty before the first.
    const RetroFrame& Picture() const { return m_frame; }

    // The core of that name ("gambatte", "mgba") where Debian installs it,
    // or in $QUILL2_LIBRETRO_DIR when that is set; empty when there is none.
    static std::string Find(const std::string& name);

private:
    struct Api;
    friend struct Callbacks;
    bool Environment(unsigned command, void* data);
    void Video(const void* data, unsigned width, unsigned height, size_t pitch);

    void* m_library = nullptr;
    Api* m_api = nullptr;
    bool m_initialised = false;
    bool m_gameLoaded = false;
    std::string m_error;
    std::string m_name;
    int m_pixelFormat = 0;  // libretro's: 0 0RGB1555, 1 XRGB8888, 2 RGB565
    uint16_t m_keys = 0;
    std::vector<uint8_t> m_rom;  // the core may read it while the game runs
    RetroFrame m_frame;
};

} // namespace q2::test
