// SPDX-License-Identifier: MIT
#pragma once
// Running a program the way a shell script would, for end-to-end tests.

#include <string>

namespace q2::test {

struct CommandRun {
    int code;  // exit code; -1 when it did not exit normally
    std::string out, err;
};

// Runs commandLine with /bin/sh and collects its exit code and both outputs.
CommandRun RunCommand(const std::string& commandLine);

} // namespace q2::test
