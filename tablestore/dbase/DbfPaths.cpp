// A table's companions are found by exact base name and extension, whatever the
// letter case: a data file and its memo file may differ in case (.DBF beside
// .dbt), and a name is never turned into a pattern.
#include "tablestore/dbase/DbfPaths.h"

#include "common/FileSets.h"
#include "common/Text.h"

namespace kimport::dbase {

std::string shownName(const std::string& path) {
    return fileNameOf(path);
}

// A new companion follows the data file: a lower-case .dbf gets a lower-case .dbt.
std::string companionPath(const std::string& dataPath, const std::string& upperExtension) {
    std::string ext = extensionOf(dataPath);
    bool lower = !ext.empty() && ext == asciiLower(ext) && ext != asciiUpper(ext);
    return directoryOf(dataPath) + baseNameOf(dataPath) + (lower ? asciiLower(upperExtension) : upperExtension);
}

std::string memoPathFor(const std::string& dataPath, MemoStyle style) {
    return companionPath(dataPath, style == MemoStyle::Fpt ? ".FPT" : ".DBT");
}

std::string existingCompanion(const std::string& dataPath, const std::string& upperExtension, FileSystem& fs) {
    std::string path = findIgnoringCase(companionPath(dataPath, upperExtension), fs);
    return fs.exists(path) && !fs.isDirectory(path) ? path : std::string();
}

std::string existingMemoPath(const std::string& dataPath, MemoStyle style, FileSystem& fs) {
    return existingCompanion(dataPath, style == MemoStyle::Fpt ? ".FPT" : ".DBT", fs);
}

}  // namespace kimport::dbase
