// A Prompter for tests: it expects every message, question and dialog in the
// scripted order with the exact text and gives the scripted answer. Anything
// unexpected is recorded as a failure and reported through the failure hook
// (tests hook it to their framework; by default it throws).
#pragma once

#include "common/Prompter.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace kimport {

class ScriptFailure : public std::exception {
public:
    explicit ScriptFailure(std::string what) : what_(std::move(what)) {}
    const char* what() const noexcept override { return what_.c_str(); }

private:
    std::string what_;
};

class ScriptedPrompter : public Prompter {
public:
    enum class StepKind { Message, Beep, Input, OpenFile, SaveFile };
    struct Step {
        StepKind kind = StepKind::Message;
        MsgKind msgKind = MsgKind::Error;
        Buttons buttons = Buttons::Ok;
        std::string text;                    // message text, or input caption
        std::string prompt;                  // input prompt (checked when not empty)
        Answer answer = Answer::Ok;
        std::optional<std::string> result;   // input / file dialog result
    };

    ScriptedPrompter& expectMessage(MsgKind kind, Buttons buttons, std::string text, Answer answer = Answer::Ok);
    ScriptedPrompter& expectError(std::string text) { return expectMessage(MsgKind::Error, Buttons::Ok, std::move(text)); }
    ScriptedPrompter& expectBeep();
    ScriptedPrompter& expectInput(std::string caption, std::string prompt, std::optional<std::string> result);
    ScriptedPrompter& expectOpenFile(std::optional<std::string> result);
    ScriptedPrompter& expectSaveFile(std::optional<std::string> result);

    Answer message(MsgKind kind, Buttons buttons, std::string_view text, int helpContext = 0) override;
    void beep() override;
    std::optional<std::string> inputQuery(std::string_view caption, std::string_view prompt,
                                          std::string_view initial) override;
    std::optional<std::string> openFile(const FileDialogSpec& dialog) override;
    std::optional<std::string> saveFile(const FileDialogSpec& dialog) override;

    // True when every scripted step was used; otherwise a failure is reported.
    bool finished();
    const std::vector<std::string>& failures() const { return failures_; }
    // Everything shown, in order, for diagnostics.
    const std::vector<std::string>& log() const { return log_; }
    int lastHelpContext() const { return lastHelpContext_; }
    const FileDialogSpec& lastFileDialog() const { return lastFileDialog_; }

    std::function<void(const std::string&)> onFailure;

private:
    Step take(StepKind kind, const std::string& description);
    void fail(const std::string& text);

    std::deque<Step> steps_;
    std::vector<std::string> failures_;
    std::vector<std::string> log_;
    int lastHelpContext_ = 0;
    FileDialogSpec lastFileDialog_;
};

}  // namespace kimport
