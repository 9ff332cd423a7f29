// The two preset choices of the source and target pages: the article and the
// customer table in the folder of the alias "BKDB".
#pragma once

#include <optional>
#include <string>

namespace kimport {

// The path a preset choice stands for; none without the alias or for any other text.
std::optional<std::string> presetTablePath(const std::optional<std::string>& aliasDir, const std::string& choice);

}  // namespace kimport
