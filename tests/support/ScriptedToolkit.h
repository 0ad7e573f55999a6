// SPDX-License-Identifier: MIT
#pragma once
// ScriptedToolkit: answers the program's message boxes and open-file dialogs
// from a script, in order, and logs everything shown. A box or dialog that
// the script does not expect, or an answer left unused, fails the test.
//
//   q2::ScriptedToolkit script;   // in force until it goes out of scope
//   script.AnswerOpenFile("/tmp/x.gb");
//   script.AnswerMessage(q2::MsgResult::Yes, "The map hasn't been saved. Save it?");
//   ... run the code under test ...
//   EXPECT_EQ(script.Messages().size(), 1u);

#include "platform/ToolkitServices.h"

#include <deque>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace q2 {

class ScriptedToolkit : public ToolkitServices {
public:
    struct ShownMessage {
        std::string text;
        MsgButtons buttons;
        MsgIcon icon;
    };

    ScriptedToolkit();
    ~ScriptedToolkit() override;  // also checks that every answer was used
    ScriptedToolkit(const ScriptedToolkit&) = delete;
    ScriptedToolkit& operator=(const ScriptedToolkit&) = delete;

    // The next box is answered with answer; when given, its text (and its
    // buttons and icon) must be the expected ones.
    ScriptedToolkit& AnswerMessage(MsgResult answer);
    ScriptedToolkit& AnswerMessage(MsgResult answer, std::string expectedText);
    ScriptedToolkit& AnswerMessage(MsgResult answer, std::string expectedText,
                                   MsgButtons expectedButtons, MsgIcon expectedIcon);

    // The next open-file dialog chooses path. The filter and read-only choice
    // at closing are the ones the dialog opened with unless given.
    ScriptedToolkit& AnswerOpenFile(std::string path, std::optional<int> selectedFilter = std::nullopt,
                                    std::optional<bool> readOnly = std::nullopt);
    // The next open-file dialog is cancelled.
    ScriptedToolkit& CancelOpenFile();
    // The next save-file dialog chooses path; nothing: it is cancelled.
    ScriptedToolkit& AnswerSaveFile(std::optional<std::string> path);

    // The next input box is answered with text (nothing: cancelled); when
    // given, its prompt must be the expected one.
    ScriptedToolkit& AnswerInput(std::optional<std::string> text,
                                 std::optional<std::string> expectedPrompt = std::nullopt);

    // Everything shown so far, in order.
    const std::vector<std::string>& Messages() const { return m_messageTexts; }
    const std::vector<ShownMessage>& MessageBoxes() const { return m_messages; }
    const std::vector<OpenFileRequest>& OpenFileRequests() const { return m_openFileRequests; }
    const std::vector<std::string>& InputPrompts() const { return m_inputPrompts; }

    // Answers not used yet.
    std::size_t Pending() const { return m_script.size(); }
    // Fails the test for every answer not used yet and drops them.
    void ExpectAllUsed();

    MsgResult MessageBox(const std::string& text, MsgButtons buttons, MsgIcon icon) override;
    OpenFileResult GetOpenFileName(const OpenFileRequest& request) override;
    OpenFileResult GetSaveFileName(const OpenFileRequest& request) override;
    std::optional<std::string> InputBox(const std::string& prompt, const std::string& text) override;

private:
    enum class Kind { Message, OpenFile, SaveFile, Input };
    struct Step {
        Kind kind = Kind::Message;
        MsgResult answer = MsgResult::Cancel;
        std::optional<std::string> text;
        std::optional<MsgButtons> buttons;
        std::optional<MsgIcon> icon;
        bool accept = false;
        std::string path;
        std::optional<int> selectedFilter;
        std::optional<bool> readOnly;
        std::optional<std::string> input;
    };
    static std::string Describe(const Step& step);
    OpenFileResult FileDialog(Kind kind, const OpenFileRequest& request);

    std::deque<Step> m_script;
    std::vector<std::string> m_messageTexts;
    std::vector<ShownMessage> m_messages;
    std::vector<OpenFileRequest> m_openFileRequests;
    std::vector<std::string> m_inputPrompts;
    ScopedToolkit m_scope;
};

const char* ToString(MsgButtons buttons);
const char* ToString(MsgIcon icon);
const char* ToString(MsgResult result);

// Readable values in test failures.
inline void PrintTo(MsgButtons value, std::ostream* os) { *os << ToString(value); }
inline void PrintTo(MsgIcon value, std::ostream* os) { *os << ToString(value); }
inline void PrintTo(MsgResult value, std::ostream* os) { *os << ToString(value); }

} // namespace q2
