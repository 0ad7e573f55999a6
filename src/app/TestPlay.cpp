// SPDX-License-Identifier: MIT
#include "app/TestPlay.h"

#include "app/ViewerTable.h"

#include "platform/File.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace q2 {

namespace {

bool Blank(const std::string& text) { return text.find_first_not_of(" \t\n") == std::string::npos; }

// One word for SplitCommandWords, quoted only when it must be.
std::string Quoted(const std::string& word) {
    if (!word.empty() && word.find_first_of(" \t\n'\"\\$`") == std::string::npos) return word;
    std::string quoted = "'";
    for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

QString SettingsKey() { return QString::fromUtf8(kTestPlayGroup) + '/' + QString::fromUtf8(kTestPlayKey); }

} // namespace

std::string SettingsFilePath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation).toStdString() +
           "/quill2-mapeditor/quill2-mapeditor.conf";
}

EmulatorCommand FindEmulatorCommand(const std::vector<std::string>& folders) {
    if (const char* variable = std::getenv(kEmulatorVariable); variable && !Blank(variable))
        return {variable, std::string("the environment variable ") + kEmulatorVariable};

    const std::string file = SettingsFilePath();
    QSettings settings(QString::fromStdString(file), QSettings::IniFormat);
    const QVariant value = settings.value(SettingsKey());
    // A command written into the file by hand with a comma in it reads back as a list.
    const std::string stored = (value.typeId() == QMetaType::QStringList ? value.toStringList().join(',')
                                                                           : value.toString())
                                   .toStdString();
    if (!Blank(stored)) return {stored, std::string(kTestPlayKey) + " in [" + kTestPlayGroup + "] of " + file};

    QStringList extra;
    for (const std::string& folder : folders) extra << QString::fromStdString(folder);
    for (const char* name : kKnownEmulators) {
        QString found = QStandardPaths::findExecutable(QString::fromUtf8(name));
        if (found.isEmpty() && !extra.isEmpty()) found = QStandardPaths::findExecutable(QString::fromUtf8(name), extra);
        if (!found.isEmpty()) return {Quoted(found.toStdString()) + " %f", found.toStdString() + ", found on this system"};
    }
    return {};
}

bool RememberEmulatorCommand(const std::string& command) {
    QSettings settings(QString::fromStdString(SettingsFilePath()), QSettings::IniFormat);
    settings.setValue(SettingsKey(), QString::fromStdString(command));
    settings.sync();
    return settings.status() == QSettings::NoError;
}

std::optional<std::vector<std::string>> SplitCommandWords(const std::string& command, SplitError* error) {
    auto fail = [&](SplitError why) {
        if (error) *error = why;
        return std::nullopt;
    };
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    for (size_t i = 0; i < command.size(); ++i) {
        const char c = command[i];
        if (c == '\\' && i + 1 < command.size() && command[i + 1] == '\n') {
            ++i;  // a line continued: both go
            continue;
        }
        if (c == ' ' || c == '\t' || c == '\n') {
            if (inWord) words.push_back(std::move(word));
            word.clear();
            inWord = false;
            continue;
        }
        if (c == '#' && !inWord) {  // a comment, to the end of the line
            i = std::min(command.find('\n', i), command.size()) - 1;
            continue;
        }
        inWord = true;
        if (c == '\'') {
            const size_t end = command.find('\'', i + 1);
            if (end == std::string::npos) return fail(SplitError::OpenQuote);
            word.append(command, i + 1, end - i - 1);
            i = end;
        } else if (c == '"') {
            for (++i;; ++i) {
                if (i >= command.size()) return fail(SplitError::OpenQuote);
                if (command[i] == '"') break;
                if (command[i] == '\\' && i + 1 < command.size() && command[i + 1] == '\n') {
                    ++i;
                    continue;
                }
                if (command[i] == '\\' && i + 1 < command.size() &&
                    std::string_view("\"\\$`").find(command[i + 1]) != std::string_view::npos)
                    ++i;
                word += command[i];
            }
        } else if (c == '\\') {
            if (++i >= command.size()) return fail(SplitError::EndsInBackslash);
            word += command[i];
        } else {
            word += c;
        }
    }
    if (inWord) words.push_back(std::move(word));
    return words;
}

std::vector<std::pair<std::string, std::string>> TakeAssignments(std::vector<std::string>& words) {
    std::vector<std::pair<std::string, std::string>> assignments;
    size_t taken = 0;
    for (; taken < words.size(); ++taken) {
        const std::string& word = words[taken];
        const size_t equals = word.find('=');
        const auto nameChar = [](char c) { return c == '_' || std::isalnum(static_cast<unsigned char>(c)); };
        if (equals == 0 || equals == std::string::npos || std::isdigit(static_cast<unsigned char>(word[0])) ||
            !std::all_of(word.begin(), word.begin() + std::ptrdiff_t(equals), nameChar))
            break;
        assignments.emplace_back(word.substr(0, equals), word.substr(equals + 1));
    }
    words.erase(words.begin(), words.begin() + std::ptrdiff_t(taken));
    return assignments;
}

std::vector<std::string> CommandForFile(std::vector<std::string> words, const std::string& file) {
    bool used = false;
    for (std::string& word : words)
        for (size_t at = word.find("%f"); at != std::string::npos; at = word.find("%f", at + file.size())) {
            word.replace(at, 2, file);
            used = true;
        }
    if (!used) words.push_back(file);
    return words;
}

TestPlayer::TestPlayer() = default;
TestPlayer::~TestPlayer() = default;

std::string TestPlayer::Folder() const { return m_folder ? m_folder->path().toStdString() : ""; }

EmulatorCommand TestPlayer::Command() const {
    return m_typed.command.empty() ? FindEmulatorCommand(folders) : m_typed;
}

bool TestPlayer::Remember(const std::string& typed) {
    const bool stored = RememberEmulatorCommand(typed);
    m_typed = {typed, stored ? std::string(kTestPlayKey) + " in [" + kTestPlayGroup + "] of " + SettingsFilePath()
                             : std::string("the command entered in this run")};
    return stored;
}

bool TestPlayer::WriteCopy(const RomImage& image, const std::string& romPath, std::string& path,
                           std::string& error) {
    if (!m_folder || !QFileInfo(m_folder->path()).isDir()) {
        m_folder = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/quill2-mapeditor-XXXXXX");
        if (!m_folder->isValid()) {
            error = "No private folder could be made in " + QDir::tempPath().toStdString() + ": " +
                    m_folder->errorString().toStdString();
            m_folder.reset();
            return false;
        }
    }
    // A new file each time: the emulator may still hold the last one open.
    // The folder goes when the editor ends.
    const QString base = QFileInfo(QString::fromStdString(romPath)).completeBaseName();
    const std::string name = base.isEmpty() ? std::string("rom") : base.toStdString();
    const std::string folder = m_folder->path().toStdString();
    FileError failure;
    const std::optional<std::string> made =
        KeepCopy(folder, image, [&](int n) { return name + "-" + std::to_string(n + 1) + ".gb"; }, failure);
    if (!made) {
        error = failure.Text();
        return false;
    }
    path = folder + "/" + *made;
    return true;
}

std::optional<std::string> TestPlayer::Play(const EmulatorCommand& emulator, RomImage rom, const MapGrid& grid,
                                            int32_t mapOffset, const std::string& romPath) {
    SplitError why = SplitError::OpenQuote;
    std::optional<std::vector<std::string>> words = SplitCommandWords(emulator.command, &why);
    if (!words)
        return why == SplitError::EndsInBackslash ? msg::TestPlayEndsInBackslash(emulator.command, emulator.source)
                                                  : msg::TestPlayBadCommand(emulator.command, emulator.source);
    const std::vector<std::pair<std::string, std::string>> assignments = TakeAssignments(*words);
    if (words->empty()) return msg::TestPlayNoProgram(emulator.command, emulator.source);
    // The image as a save would make it, without touching the file; the
    // demo's viewer starts on this map.
    if (!EncodeMap(grid, mapOffset, rom)) return msg::TestPlayNoCopy("the map lies outside the ROM image");
    SetViewerStartMap(rom, mapOffset);
    std::string file, error;
    if (!WriteCopy(rom, romPath, file, error)) return msg::TestPlayNoCopy(error);

    const std::vector<std::string> command = CommandForFile(*words, file);
    QProcess process;
    process.setProgram(QString::fromStdString(command.front()));
    QStringList arguments;
    for (size_t i = 1; i < command.size(); ++i) arguments << QString::fromStdString(command[i]);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    if (!assignments.empty()) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const auto& [name, value] : assignments)
            environment.insert(QString::fromStdString(name), QString::fromStdString(value));
        process.setProcessEnvironment(environment);
    }
    if (!process.startDetached()) {
        // Qt names the system call that failed ("execve: ..."): the reason alone says more to a user.
        std::string reason = process.errorString().toStdString();
        const size_t colon = reason.find(": ");
        if (colon != std::string::npos && colon > 0 &&
            std::all_of(reason.begin(), reason.begin() + std::ptrdiff_t(colon),
                        [](char c) { return std::islower(static_cast<unsigned char>(c)) || c == '_'; }))
            reason.erase(0, colon + 2);
        return msg::TestPlayNotStarted(emulator.command, reason, emulator.source);
    }
    return std::nullopt;
}

} // namespace q2
