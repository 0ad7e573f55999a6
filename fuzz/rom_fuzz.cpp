// SPDX-License-Identifier: MIT
// libFuzzer target: arbitrary bytes, 0 to 1 MiB, as a ROM image; every map
// loaded, drawn, stamped near its edges and saved back, with the results
// checked (see RomChecks.h). A failed check aborts with what failed.
#include "RomChecks.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > q2::fuzz::kMaxImage) return -1;  // not a ROM; keep it out of the corpus
    const std::string failure = q2::fuzz::CheckRomImage({data, size});
    if (!failure.empty()) {
        std::fprintf(stderr, "ROM check failed: %s\n", failure.c_str());
        std::abort();
    }
    return 0;
}
