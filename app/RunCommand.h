// kimport run: a new import setting made without the wizard, then run.
#pragma once

#include "app/ExitCodes.h"

#include <string>
#include <vector>

namespace kimport {

int runImportCommand(const std::vector<std::string>& args, const std::string& programDir);

}  // namespace kimport
