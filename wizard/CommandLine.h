// The command line of the wizard: up to four parameters naming the source
// and the target, with the options /q, /z, ! and /!.
#pragma once

#include "common/FileSystem.h"

#include <optional>
#include <string>
#include <vector>

namespace kimport {

struct CommandLineResult {
    std::string source;
    std::string target;
    std::optional<std::string> error;  // shown as an error box; then nothing is taken over
};

CommandLineResult evaluateCommandLine(const std::vector<std::string>& parameters, FileSystem& fs = realFileSystem());

}  // namespace kimport
