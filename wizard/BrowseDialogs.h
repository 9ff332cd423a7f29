// The file dialogs the wizard asks for: choosing a source or a target, and the
// name of a backup copy.
#pragma once

#include "common/Prompter.h"

#include <initializer_list>
#include <string>

namespace kimport {

class WizardContext;

// Both name cases: the dialog matches its patterns as they are written.
FileFilter fileFilter(const std::string& description, std::initializer_list<const char*> extensions);

// The browse dialog of the source (true) or the target, opened where the user will look first.
FileDialogSpec browseDialog(const WizardContext& c, bool source);
// That dialog shown; the chosen file goes into the source's or target's name, its folder is remembered.
void browseForFile(WizardContext& c, bool source);

}  // namespace kimport
