// SPDX-License-Identifier: MIT
// Writes the fuzzer's seed inputs into the folder given: the demo ROM, and
// images cut or grown around the sizes that matter (nothing, the title,
// the cartridge size, the largest input the fuzzer takes).
#include "demo_rom.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    const q2::RomImage demo = q2::MakeDemoRom();
    const size_t sizes[] = {0, 1, 308, 318, 524287, 524288, 524289, 1048576};
    auto write = [&](const std::string& name, q2::RomImage bytes) {
        std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        if (!out) {
            std::fprintf(stderr, "cannot write %s\n", (folder / name).c_str());
            std::exit(1);
        }
    };
    write("demo.gb", demo);
    for (size_t size : sizes) {
        q2::RomImage bytes = demo;
        bytes.resize(size, 0);
        write("size-" + std::to_string(size) + ".gb", bytes);
    }
    return 0;
}
