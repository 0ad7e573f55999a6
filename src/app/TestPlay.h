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
#include <utility>
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
// backslash keeps the next character; a backslash before a line end joins
// the lines (in "..." too); a # that starts a word begins a comment, to the
// end of the line. Nothing when a quote is not closed or a backslash ends the
// command; error, when given, then says which.
enum class SplitError { OpenQuote, EndsInBackslash };
std::optional<std::vector<std::string>> SplitCommandWords(const std::string& command, SplitError* error = nullptr);

// Takes the leading words of the form NAME=value (NAME of letters, digits and
// _, not starting with a digit) out of words, as a shell does before the
// program's name: they are set in the program's environment.
std::vector<std::pair<std::string, std::string>> TakeAssignments(std::vector<std::string>& words);

// The words with every %f replaced by file; when no word holds %f, file is
// appended as a word of its own.
std::vector<std::string> CommandForFile(std::vector<std::string> words, const std::string& file);

namespace msg {
// No emulator command is set and none was found.
inline constexpr char kTestPlayPrompt[] =
    "No emulator was found to test-play the map in.\n"
    "Enter the command that starts one; %f stands for the ROM file.\n"
    "For example: mgba-qt %f";
// Shift+F5: the command in force, from source (empty: none).
inline std::string TestPlayChangePrompt(const std::string& source) {
    return (source.empty() ? std::string("No Test-play command is set or found.")
                           : "The Test-play command, from " + source + ".") +
           "\nEnter the command that starts the emulator; %f stands for the ROM file.\n"
           "It is stored once the emulator has started with it.";
}
// Where a command typed into one of the boxes comes from, until it is stored.
inline constexpr char kTypedCommandSource[] = "the command just entered";
inline std::string TestPlayBadCommand(const std::string& command, const std::string& source) {
    return "The Test-play command has a quote that is not closed:\n" + command + "\n\nIt comes from " + source + ".";
}
inline std::string TestPlayEndsInBackslash(const std::string& command, const std::string& source) {
    return "The Test-play command ends in a backslash, which joins it to nothing:\n" + command +
           "\n\nIt comes from " + source + ".";
}
inline std::string TestPlayNoProgram(const std::string& command, const std::string& source) {
    return "The Test-play command names no program to start:\n" + command + "\n\nIt comes from " + source + ".";
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
// command typed in this run, which is used from then on.
class TestPlayer {
public:
    TestPlayer();
    ~TestPlayer();
    TestPlayer(const TestPlayer&) = delete;
    TestPlayer& operator=(const TestPlayer&) = delete;

    // Where a known emulator is looked for beyond PATH.
    std::vector<std::string> folders{kEmulatorFolder};

    // The command typed in this run, else FindEmulatorCommand; empty when neither.
    EmulatorCommand Command() const;
    // A command the user typed and that started: the one used for the rest of
    // the run, and stored in the settings file (false when that failed).
    bool Remember(const std::string& typed);
    // rom with grid put at mapOffset, written to a new file in the private
    // folder (named after romPath) and handed to the emulator, which runs on
    // its own. When rom carries the demo viewer's map table, the copy starts
    // on that map. Leading NAME=value words of the command go into the
    // emulator's environment. The message to show when it did not start;
    // nothing when it did.
    std::optional<std::string> Play(const EmulatorCommand& emulator, RomImage rom, const MapGrid& grid,
                                    int32_t mapOffset, const std::string& romPath);
    // The private folder; empty before the first play.
    std::string Folder() const;

private:
    bool WriteCopy(const RomImage& image, const std::string& romPath, std::string& path, std::string& error);

    std::unique_ptr<QTemporaryDir> m_folder;
    EmulatorCommand m_typed;
};

} // namespace q2
