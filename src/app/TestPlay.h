// SPDX-License-Identifier: MIT
#pragma once
// Test-play: which emulator command to run on a copy of the ROM, and how a
// command line becomes a program and its arguments (split as a shell splits
// words, run without a shell).

#include <optional>
#include <string>
#include <utility>
#include <vector>

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

} // namespace q2
