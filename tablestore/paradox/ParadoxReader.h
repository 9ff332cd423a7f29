// Reading a Paradox table (.DB, with its .MB when it has blob fields) into a
// table image, whole or a batch at a time.
//
// Nothing read is trusted before it is checked against the file: the header's
// counts and sizes, every block of the chain, every blob pointer. A table whose
// header or chain is broken is refused whole rather than read in part: the chain
// alone says which records exist, so a broken one leaves no way to tell which
// are missing. A damaged blob value costs only itself (it reads as empty).
#pragma once

#include "common/FileSystem.h"
#include "tablestore/RowFeed.h"
#include "tablestore/TableImage.h"

#include <memory>
#include <string>

namespace kimport::paradox {

// Opens the table for reading a batch at a time: the header and the field list are read and checked
// now, the blocks when the feed asks for them. A table that names no code page is read in
// codePageIfNone (0: the one its sort order implies, else DOS 437).
// Throws TableError: Io when a file cannot be read (a data file that is not there included; the
// cursor asks first and reports Missing), Damaged when the header or the field list is not sound,
// Unsupported when the table is encrypted or its code page cannot be converted, Missing when it has
// blob fields but no .MB. The feed throws Damaged for a broken block chain and Io as above; it holds
// the files open and must not outlive fs.
TableStream openStream(const std::string& dataPath, FileSystem& fs, int codePageIfNone = 0);

// The whole table at once, in the order of its block chain. Throws what openStream and its feed throw.
std::unique_ptr<TableImage> readTable(const std::string& dataPath, FileSystem& fs, int codePageIfNone = 0);

}  // namespace kimport::paradox
