// kimport run: a new import setting made without the wizard, then run.
#pragma once

#include <string>
#include <vector>

namespace kimport {

// Exit codes: 0 everything saved without errors; 1 a failure (nothing saved, or saved with errors:
// the last line says which); 2 bad arguments; 3 cancelled (what was imported before is saved).
constexpr int kExitFailure = 1;
constexpr int kExitBadArguments = 2;
constexpr int kExitCancelled = 3;

int runImportCommand(const std::vector<std::string>& args, const std::string& programDir);

}  // namespace kimport
