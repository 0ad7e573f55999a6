// SPDX-License-Identifier: MIT
#pragma once
// Test-play: which emulator command to run on a copy of the ROM, how a
// command line becomes a program and its arguments (split as a shell splits
// words, run without a shell), and the launch: the run's private folder, a
// new copy of the image in it each time, the emulator started on it.

#include "app/Rom.h"
#include "map/MapGrid.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

class QTemporaryDir;

namespace q2 {

// The environment variable that names the emulator command first.
inline constexpr char kEmulatorVariable[] = "QUILL2_EMULATOR";
// Group and key of the command in the editor's settings file.
inline constexpr char kTestPlayGroup[] = "TestPlay";
inline constexpr char kTestPlayKey[] = "Command";
// Emulators looked for on PATH, then in kEmulatorFolder, in this order.
inline constexpr const char* kKnownEmulators[] = {"mgba-qt", "mgba"};
// Where Debian installs them, which is not on every PATH.
inline constexpr char kEmulatorFolder[] = "/usr/games";

// The editor's settings file:
// $XDG_CONFIG_HOME/quill2-mapeditor/quill2-mapeditor.conf, by default under ~/.config.
std::string SettingsFilePath();

// An emulator command and where it came from, in words for messages.
struct EmulatorCommand {
    std::string command;  // empty: none set or found
    std::string source;
};

// QUILL2_EMULATOR when set and not blank, else Command in [TestPlay] of the
// settings file, else the first known emulator found on PATH or in one of
// folders (with the file appended).
EmulatorCommand FindEmulatorCommand(const std::vector<std::string>& folders = {kEmulatorFolder});

// Stores command as Command in [TestPlay] of the settings file. False when
// the file cannot be written.
bool RememberEmulatorCommand(const std::string& command);

// Splits command into words as a POSIX shell does, expanding nothing: blanks
// separate words; '...' keeps what it holds as it is; "..." too, except that
// a backslash before " \ $ or ` keeps that character alone; elsewhere a
// backslash keeps the next character. Nothing when a quote is not closed or
// a backslash ends the line.
std::optional<std::vector<std::string>> SplitCommandWords(const std::string& command);

// The words with every %f replaced by file; when no word holds %f, file is
// appended as a word of its own.
std::vector<std::string> CommandForFile(std::vector<std::string> words, const std::string& file);

namespace msg {
// No emulator command is set and none was found.
inline constexpr char kTestPlayPrompt[] =
    "No emulator was found to test-play the map in.\n"
    "Enter the command that starts one; %f stands for the ROM file.\n"
    "For example: mgba-qt %f";
inline std::string TestPlayBadCommand(const std::string& command, const std::string& source) {
    return "The Test-play command has a quote that is not closed:\n" + command + "\n\nIt comes from " + source + ".";
}
inline std::string TestPlayNotStored(const std::string& file) {
    return "The emulator command could not be stored in " + file + ".\nIt is used until the editor ends.";
}
inline std::string TestPlayNoCopy(const std::string& reason) {
    return "The copy of the ROM for Test-play could not be written:\n" + reason;
}
inline std::string TestPlayNotStarted(const std::string& command, const std::string& reason,
                                      const std::string& source) {
    return "The emulator could not be started:\n" + command + "\n" + reason + "\n\nThe command comes from " +
           source + ".";
}
} // namespace msg

// The Test-play of one run of the editor: its private folder (made on the
// first play, again if it was deleted, removed with this object), and the
// command typed in this run when it could not be stored.
class TestPlayer {
public:
    TestPlayer();
    ~TestPlayer();
    TestPlayer(const TestPlayer&) = delete;
    TestPlayer& operator=(const TestPlayer&) = delete;

    // Where a known emulator is looked for beyond PATH.
    std::vector<std::string> folders{kEmulatorFolder};

    // FindEmulatorCommand, else the command typed in this run; empty when neither.
    EmulatorCommand Command() const;
    // A command the user typed: stored in the settings file, or, when that
    // fails (false), kept for this run. Either way it is the command to use.
    bool Remember(const std::string& typed, EmulatorCommand& command);
    // rom with grid put at mapOffset, written to a new file in the private
    // folder (named after romPath) and handed to the emulator, which runs on
    // its own. The message to show when it did not start; nothing when it did.
    std::optional<std::string> Play(const EmulatorCommand& emulator, RomImage rom, const MapGrid& grid,
                                    int32_t mapOffset, const std::string& romPath);
    // The private folder; empty before the first play.
    std::string Folder() const;

private:
    bool WriteCopy(const RomImage& image, const std::string& romPath, std::string& path, std::string& error);

    std::unique_ptr<QTemporaryDir> m_folder;
    std::string m_typed;
};

} // namespace q2
