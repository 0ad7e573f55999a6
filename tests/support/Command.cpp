// SPDX-License-Identifier: MIT
#include "support/Command.h"

#include "support/TestFiles.h"

#include <array>
#include <cstdio>
#include <sys/wait.h>

namespace q2::test {

CommandRun RunCommand(const std::string& commandLine) {
    TempDir dir;
    const std::string errFile = dir.File("err");
    CommandRun run{};
    FILE* pipe = popen((commandLine + " 2>" + errFile).c_str(), "r");
    if (!pipe) return {-1, "", "popen failed"};
    std::array<char, 4096> buffer{};
    size_t n;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) run.out.append(buffer.data(), n);
    const int status = pclose(pipe);
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    const RomImage err = ReadFile(errFile);
    run.err.assign(err.begin(), err.end());
    return run;
}

std::string ToolStateHome() {
    static const TempDir folder;
    return folder.Path().string();
}

} // namespace q2::test
