// SPDX-License-Identifier: MIT
#include "ScriptedToolkit.h"

#include <gtest/gtest.h>

namespace q2 {

const char* ToString(MsgButtons buttons) {
    switch (buttons) {
    case MsgButtons::OK: return "OK";
    case MsgButtons::YesNo: return "Yes/No";
    case MsgButtons::YesNoCancel: return "Yes/No/Cancel";
    }
    return "?";
}

const char* ToString(MsgIcon icon) {
    switch (icon) {
    case MsgIcon::Critical: return "critical";
    case MsgIcon::Exclamation: return "exclamation";
    case MsgIcon::Question: return "question";
    }
    return "?";
}

const char* ToString(MsgResult result) {
    switch (result) {
    case MsgResult::OK: return "OK";
    case MsgResult::Yes: return "Yes";
    case MsgResult::No: return "No";
    case MsgResult::Cancel: return "Cancel";
    }
    return "?";
}

ScriptedToolkit::ScriptedToolkit() : m_scope(*this) {}

ScriptedToolkit::~ScriptedToolkit() { ExpectAllUsed(); }

ScriptedToolkit& ScriptedToolkit::AnswerMessage(MsgResult answer) {
    Step step;
    step.answer = answer;
    m_script.push_back(std::move(step));
    return *this;
}

ScriptedToolkit& ScriptedToolkit::AnswerMessage(MsgResult answer, std::string expectedText) {
    AnswerMessage(answer);
    m_script.back().text = std::move(expectedText);
    return *this;
}

ScriptedToolkit& ScriptedToolkit::AnswerMessage(MsgResult answer, std::string expectedText,
                                                MsgButtons expectedButtons, MsgIcon expectedIcon) {
    AnswerMessage(answer, std::move(expectedText));
    m_script.back().buttons = expectedButtons;
    m_script.back().icon = expectedIcon;
    return *this;
}

ScriptedToolkit& ScriptedToolkit::AnswerOpenFile(std::string path, std::optional<int> selectedFilter,
                                                 std::optional<bool> readOnly) {
    Step step;
    step.kind = Kind::OpenFile;
    step.accept = true;
    step.path = std::move(path);
    step.selectedFilter = selectedFilter;
    step.readOnly = readOnly;
    m_script.push_back(std::move(step));
    return *this;
}

ScriptedToolkit& ScriptedToolkit::CancelOpenFile() {
    Step step;
    step.kind = Kind::OpenFile;
    m_script.push_back(std::move(step));
    return *this;
}

ScriptedToolkit& ScriptedToolkit::AnswerInput(std::optional<std::string> text,
                                              std::optional<std::string> expectedPrompt) {
    Step step;
    step.kind = Kind::Input;
    step.input = std::move(text);
    step.text = std::move(expectedPrompt);
    m_script.push_back(std::move(step));
    return *this;
}

ScriptedToolkit& ScriptedToolkit::AnswerSaveFile(std::optional<std::string> path) {
    Step step;
    step.kind = Kind::SaveFile;
    step.accept = path.has_value();
    step.path = path.value_or("");
    m_script.push_back(std::move(step));
    return *this;
}

std::string ScriptedToolkit::Describe(const Step& step) {
    if (step.kind == Kind::Message) {
        std::string s = std::string("message box answered ") + ToString(step.answer);
        if (step.text) s += " with text \"" + *step.text + "\"";
        return s;
    }
    if (step.kind == Kind::Input)
        return step.input ? "input box answered \"" + *step.input + "\"" : "input box cancelled";
    const std::string dialog = step.kind == Kind::SaveFile ? "save-file dialog" : "open-file dialog";
    return step.accept ? dialog + " choosing \"" + step.path + "\"" : dialog + " cancelled";
}

void ScriptedToolkit::ExpectAllUsed() {
    for (const Step& step : m_script) ADD_FAILURE() << "Expected a " << Describe(step) << ", which never came";
    m_script.clear();
}

MsgResult ScriptedToolkit::MessageBox(const std::string& text, MsgButtons buttons, MsgIcon icon) {
    m_messageTexts.push_back(text);
    m_messages.push_back({text, buttons, icon});
    if (m_script.empty() || m_script.front().kind != Kind::Message) {
        ADD_FAILURE() << "Unexpected message box \"" << text << "\" (" << ToString(buttons) << ", "
                      << ToString(icon) << ")"
                      << (m_script.empty() ? std::string() : "; expected a " + Describe(m_script.front()))
                      << "; answering Cancel";
        return MsgResult::Cancel;
    }
    const Step step = m_script.front();
    m_script.pop_front();
    if (step.text) {
        EXPECT_EQ(text, *step.text) << "Text of the message box answered " << ToString(step.answer);
    }
    if (step.buttons) {
        EXPECT_EQ(buttons, *step.buttons) << "Buttons of \"" << text << "\"";
    }
    if (step.icon) {
        EXPECT_EQ(icon, *step.icon) << "Icon of \"" << text << "\"";
    }
    return step.answer;
}

OpenFileResult ScriptedToolkit::GetOpenFileName(const OpenFileRequest& request) {
    return FileDialog(Kind::OpenFile, request);
}

OpenFileResult ScriptedToolkit::GetSaveFileName(const OpenFileRequest& request) {
    return FileDialog(Kind::SaveFile, request);
}

OpenFileResult ScriptedToolkit::FileDialog(Kind kind, const OpenFileRequest& request) {
    m_openFileRequests.push_back(request);
    OpenFileResult result;
    if (m_script.empty() || m_script.front().kind != kind) {
        ADD_FAILURE() << "Unexpected " << (kind == Kind::SaveFile ? "save" : "open") << "-file dialog \""
                      << request.title << "\""
                      << (m_script.empty() ? std::string() : "; expected a " + Describe(m_script.front()))
                      << "; cancelling it";
        return result;
    }
    const Step step = m_script.front();
    m_script.pop_front();
    if (!step.accept) return result;
    result.accepted = true;
    result.path = step.path;
    result.selectedFilter = step.selectedFilter.value_or(request.selectedFilter);
    result.readOnly = step.readOnly.value_or(request.readOnly);
    return result;
}

} // namespace q2

namespace q2 {

std::optional<std::string> ScriptedToolkit::InputBox(const std::string& prompt, const std::string&) {
    m_inputPrompts.push_back(prompt);
    if (m_script.empty() || m_script.front().kind != Kind::Input) {
        ADD_FAILURE() << "Unexpected input box \"" << prompt << "\""
                      << (m_script.empty() ? std::string() : "; expected a " + Describe(m_script.front()))
                      << "; cancelling it";
        return std::nullopt;
    }
    const Step step = m_script.front();
    m_script.pop_front();
    if (step.text) {
        EXPECT_EQ(prompt, *step.text) << "Prompt of the input box";
    }
    return step.input;
}

} // namespace q2
