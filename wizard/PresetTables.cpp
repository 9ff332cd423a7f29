#include "wizard/PresetTables.h"

#include "common/FileSets.h"
#include "common/Text.h"

namespace kimport {

std::optional<std::string> presetTablePath(const std::optional<std::string>& aliasDir, const std::string& choice) {
    if (!aliasDir) return std::nullopt;
    const std::string item = trim(choice);
    if (item == "Artikel-Datei von Brisko") return withTrailingSlash(*aliasDir) + "Artikel.DB";
    if (item == "Kunden-Datei von Brisko") return withTrailingSlash(*aliasDir) + "Kunden.DB";
    return std::nullopt;
}

}  // namespace kimport
