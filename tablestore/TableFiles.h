// The readers and writers of the two file formats, behind one set of calls.
// Readers throw TableError with a German message for files they cannot take
// (damaged, encrypted, memo file missing); they never read past what the
// file holds and never trust a count without checking it against the size.
// Each format's calls, with what they expect, give and throw, are in its own
// headers (paradox/ParadoxReader.h, dbase/DbfWriter.h, ...); this one brings
// them together for the cursor and the copy, which serve both formats.
#pragma once

#include "tablestore/dbase/DbfNewTable.h"
#include "tablestore/dbase/DbfReader.h"
#include "tablestore/dbase/DbfWriter.h"
#include "tablestore/paradox/ParadoxNewTable.h"
#include "tablestore/paradox/ParadoxReader.h"
#include "tablestore/paradox/ParadoxWriter.h"

#include <string>

namespace kimport {

// Refuses a table whose code page cannot be converted, naming both: TableError (Unsupported).
void requireCodePage(int codePage, const std::string& dataPath);

// By the data file's extension: ".DB" Paradox, ".DBF" dBase (any letter case).
bool isParadoxPath(const std::string& path);
bool isDBasePath(const std::string& path);
// Either of the two: a table rather than a text file.
inline bool isTablePath(const std::string& path) { return isParadoxPath(path) || isDBasePath(path); }

}  // namespace kimport
