// SPDX-License-Identifier: MIT
// libFuzzer target: arbitrary bytes as a patch to apply, or as two images to
// make patches between (see PatchChecks.h). A failed check aborts with what
// failed.
#include "PatchChecks.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > q2::fuzz::kMaxPatchInput || size == 0 || (data[0] != 'a' && data[0] != 'l')) return -1;
    const std::string failure = q2::fuzz::CheckPatchInput({data, size});
    if (!failure.empty()) {
        std::fprintf(stderr, "patch check failed: %s\n", failure.c_str());
        std::abort();
    }
    return 0;
}
