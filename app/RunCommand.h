// kimport run: a new import setting made without the wizard, then run.
#pragma once

#include <string>
#include <vector>

namespace kimport {

// Returns the exit code: 0 completed, 1 ended with an error, 2 bad arguments.
int runImportCommand(const std::vector<std::string>& args, const std::string& programDir);

}  // namespace kimport
