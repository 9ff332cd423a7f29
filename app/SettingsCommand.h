// `kimport settings list` and `kimport settings show NAME`: the saved import
// settings of a program directory, readable on a terminal.
#pragma once

#include <string>
#include <vector>

namespace kimport {

// args[0] is "settings". Exit codes as for the other commands: 0, 1 (a setting or table that is not
// there), 2 (bad arguments).
int settingsCommand(const std::vector<std::string>& args, const std::string& programDir);

}  // namespace kimport
