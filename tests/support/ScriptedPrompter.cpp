#include "support/ScriptedPrompter.h"

namespace kimport {

const char* msgKindName(MsgKind kind) {
    switch (kind) {
    case MsgKind::Error: return "Error";
    case MsgKind::Warning: return "Warning";
    case MsgKind::Information: return "Information";
    case MsgKind::Confirmation: return "Confirmation";
    }
    return "?";
}

const char* buttonsName(Buttons buttons) {
    switch (buttons) {
    case Buttons::Ok: return "Ok";
    case Buttons::OkHelp: return "OkHelp";
    case Buttons::YesNo: return "YesNo";
    case Buttons::YesNoCancel: return "YesNoCancel";
    case Buttons::YesNoDefaultNo: return "YesNoDefaultNo";
    }
    return "?";
}

const char* answerName(Answer answer) {
    switch (answer) {
    case Answer::Ok: return "Ok";
    case Answer::Yes: return "Yes";
    case Answer::No: return "No";
    case Answer::Cancel: return "Cancel";
    case Answer::Help: return "Help";
    }
    return "?";
}

namespace {
const char* stepName(ScriptedPrompter::StepKind kind) {
    switch (kind) {
    case ScriptedPrompter::StepKind::Message: return "message";
    case ScriptedPrompter::StepKind::Beep: return "beep";
    case ScriptedPrompter::StepKind::Input: return "input query";
    case ScriptedPrompter::StepKind::OpenFile: return "open-file dialog";
    case ScriptedPrompter::StepKind::SaveFile: return "save-file dialog";
    }
    return "?";
}
}  // namespace

ScriptedPrompter& ScriptedPrompter::expectMessage(MsgKind kind, Buttons buttons, std::string text, Answer answer) {
    Step s;
    s.kind = StepKind::Message;
    s.msgKind = kind;
    s.buttons = buttons;
    s.text = std::move(text);
    s.answer = answer;
    steps_.push_back(std::move(s));
    return *this;
}

ScriptedPrompter& ScriptedPrompter::expectBeep() {
    Step s;
    s.kind = StepKind::Beep;
    steps_.push_back(std::move(s));
    return *this;
}

ScriptedPrompter& ScriptedPrompter::expectInput(std::string caption, std::string prompt,
                                                std::optional<std::string> result) {
    Step s;
    s.kind = StepKind::Input;
    s.text = std::move(caption);
    s.prompt = std::move(prompt);
    s.result = std::move(result);
    steps_.push_back(std::move(s));
    return *this;
}

ScriptedPrompter& ScriptedPrompter::expectOpenFile(std::optional<std::string> result) {
    Step s;
    s.kind = StepKind::OpenFile;
    s.result = std::move(result);
    steps_.push_back(std::move(s));
    return *this;
}

ScriptedPrompter& ScriptedPrompter::expectSaveFile(std::optional<std::string> result) {
    Step s;
    s.kind = StepKind::SaveFile;
    s.result = std::move(result);
    steps_.push_back(std::move(s));
    return *this;
}

void ScriptedPrompter::fail(const std::string& text) {
    failures_.push_back(text);
    if (onFailure)
        onFailure(text);
    else
        throw ScriptFailure(text);
}

ScriptedPrompter::Step ScriptedPrompter::take(StepKind kind, const std::string& description) {
    log_.push_back(description);
    if (steps_.empty()) {
        fail("unexpected " + description);
        return {};
    }
    Step s = std::move(steps_.front());
    steps_.pop_front();
    if (s.kind != kind)
        fail(std::string("expected ") + stepName(s.kind) + " \"" + s.text + "\", got " + description);
    return s;
}

Answer ScriptedPrompter::message(MsgKind kind, Buttons buttons, std::string_view text, int helpContext) {
    lastHelpContext_ = helpContext;
    std::string description = std::string("message ") + msgKindName(kind) + "/" + buttonsName(buttons) + " \"" +
                              std::string(text) + "\"";
    Step s = take(StepKind::Message, description);
    if (s.kind != StepKind::Message)
        return Answer::Cancel;
    if (s.msgKind != kind || s.buttons != buttons || s.text != text)
        fail("expected message " + std::string(msgKindName(s.msgKind)) + "/" + buttonsName(s.buttons) + " \"" +
             s.text + "\", got " + description);
    return s.answer;
}

void ScriptedPrompter::beep() { take(StepKind::Beep, "beep"); }

std::optional<std::string> ScriptedPrompter::inputQuery(std::string_view caption, std::string_view prompt,
                                                        std::string_view initial) {
    std::string description = "input query \"" + std::string(caption) + "\" / \"" + std::string(prompt) +
                              "\" (initial \"" + std::string(initial) + "\")";
    Step s = take(StepKind::Input, description);
    if (s.kind != StepKind::Input)
        return std::nullopt;
    if (s.text != caption || (!s.prompt.empty() && s.prompt != prompt))
        fail("expected input query \"" + s.text + "\" / \"" + s.prompt + "\", got " + description);
    return s.result;
}

std::optional<std::string> ScriptedPrompter::openFile(const FileDialogSpec& dialog) {
    lastFileDialog_ = dialog;
    Step s = take(StepKind::OpenFile, "open-file dialog \"" + dialog.title + "\"");
    return s.kind == StepKind::OpenFile ? s.result : std::nullopt;
}

std::optional<std::string> ScriptedPrompter::saveFile(const FileDialogSpec& dialog) {
    lastFileDialog_ = dialog;
    Step s = take(StepKind::SaveFile, "save-file dialog \"" + dialog.title + "\"");
    return s.kind == StepKind::SaveFile ? s.result : std::nullopt;
}

bool ScriptedPrompter::finished() {
    if (steps_.empty())
        return failures_.empty();
    std::string rest;
    for (const Step& s : steps_)
        rest += std::string(" ") + stepName(s.kind) + " \"" + s.text + "\";";
    steps_.clear();
    fail("scripted steps not used:" + rest);
    return false;
}

}  // namespace kimport
