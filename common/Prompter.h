// The one way the core talks to the user: message boxes, the input dialog,
// file dialogs and the beep. Windows, the command line and tests implement it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kimport {

enum class MsgKind { Error, Warning, Information, Confirmation };
// YesNoDefaultNo: Enter answers No, for a question whose Yes cannot be taken back.
enum class Buttons { Ok, OkHelp, YesNo, YesNoCancel, YesNoDefaultNo };
enum class Answer { Ok, Yes, No, Cancel, Help };

struct FileFilter {
    std::string description;  // "Paradox-Tabellen (*.db)"
    std::string pattern;      // "*.db"
};

struct FileDialogSpec {
    std::string title;
    std::string initialDir;
    std::string initialFile;
    std::vector<FileFilter> filters;
    std::string defaultExtension;
};

class Prompter {
public:
    virtual ~Prompter() = default;
    virtual Answer message(MsgKind kind, Buttons buttons, std::string_view text, int helpContext = 0) = 0;
    virtual void beep() = 0;
    virtual std::optional<std::string> inputQuery(std::string_view caption, std::string_view prompt,
                                                  std::string_view initial) = 0;
    virtual std::optional<std::string> openFile(const FileDialogSpec& dialog) = 0;
    virtual std::optional<std::string> saveFile(const FileDialogSpec& dialog) = 0;

    // The common routines report their failures as error boxes with an OK button.
    void error(std::string_view text) { message(MsgKind::Error, Buttons::Ok, text); }
};

const char* msgKindName(MsgKind kind);
const char* buttonsName(Buttons buttons);
const char* answerName(Answer answer);

}  // namespace kimport
