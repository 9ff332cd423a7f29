// The Prompter of the windows: Qt message boxes, input dialog and file dialogs.
#pragma once

#include "common/Prompter.h"

#include <functional>

class QWidget;

namespace kimport {

class QtPrompter : public Prompter {
public:
    explicit QtPrompter(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }

    Answer message(MsgKind kind, Buttons buttons, std::string_view text, int helpContext = 0) override;
    void beep() override;
    std::optional<std::string> inputQuery(std::string_view caption, std::string_view prompt,
                                          std::string_view initial) override;
    std::optional<std::string> openFile(const FileDialogSpec& dialog) override;
    std::optional<std::string> saveFile(const FileDialogSpec& dialog) override;

    // The parent a box gets now (see the definition).
    QWidget* owner() const;
    // Opens the help page of a context: "Hilfe" in a box with a help context shows it, and the box stays.
    std::function<void(int)> onHelp;

private:
    QWidget* parent_;
};

}  // namespace kimport
