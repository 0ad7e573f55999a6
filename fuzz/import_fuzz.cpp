// SPDX-License-Identifier: MIT
// libFuzzer target: arbitrary bytes as a file quill2-maptool imports, its
// reader chosen by the first byte, read and checked (see ImportChecks.h). A
// failed check aborts with what failed.
#include "ImportChecks.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > q2::fuzz::kMaxImportInput || !q2::fuzz::ReaderFor({data, size}))
        return -1;  // no file of ours; keep it out of the corpus
    const std::string failure = q2::fuzz::CheckImportInput({data, size});
    if (!failure.empty()) {
        std::fprintf(stderr, "import check failed: %s\n", failure.c_str());
        std::abort();
    }
    return 0;
}
