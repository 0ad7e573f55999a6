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

// The state folder (XDG_STATE_HOME) of the tools a test runs, so that their
// ROM backups land in a folder of the test program's, never the user's. Made
// on first use, removed when the program ends.
std::string ToolStateHome();

#ifdef QUILL2_MAPTOOL  // the build's quill2-maptool, named by the build for the core tests
// stateHome: where its backups go, when not ToolStateHome().
inline CommandRun MapTool(const std::string& args, const std::string& stateHome = ToolStateHome()) {
    return RunCommand("XDG_STATE_HOME=" + stateHome + " " + QUILL2_MAPTOOL + " " + args);
}
#endif

} // namespace q2::test
