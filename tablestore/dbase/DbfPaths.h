// The companion files of a .DBF: memo and index files with the same base
// name, found whatever the letter case of their names.
#pragma once

#include "common/FileSystem.h"
#include "tablestore/dbase/DbfFormat.h"

#include <string>

namespace kimport::dbase {

// The file name a message shows: the name without its directory.
std::string shownName(const std::string& path);
// The path a new file with this extension gets beside the table; its case follows the table's extension.
std::string companionPath(const std::string& dataPath, const std::string& upperExtension);
// The memo file name of a style (".DBT" or ".FPT") beside the table.
std::string memoPathFor(const std::string& dataPath, MemoStyle style);
// The existing memo file of that style, in whatever case; empty when there is none.
std::string existingMemoPath(const std::string& dataPath, MemoStyle style, FileSystem& fs);
// An existing companion file (".MDX", ".CDX", ...) in whatever case; empty when there is none.
std::string existingCompanion(const std::string& dataPath, const std::string& upperExtension, FileSystem& fs);

}  // namespace kimport::dbase
