// Reading a dBase or FoxPro table (.DBF, with its .DBT or .FPT when it has memo
// fields) into a table image, whole or a batch at a time.
//
// Every variant from dBase II to Visual FoxPro and level 7 is read; the version
// byte decides the header layout and the memo file. A file cut short among its
// records is read as far as it goes and says how many records are missing; one
// cut in its header is refused. A memo pointer that leads nowhere gives an empty
// value, so one damaged value costs only itself.
#pragma once

#include "common/FileSystem.h"
#include "tablestore/RowFeed.h"
#include "tablestore/TableImage.h"

#include <memory>
#include <string>

namespace kimport::dbase {

// Opens the table for reading a batch at a time: the header and the memo file's header are read and
// checked now, the records when the feed asks for them, in the file's order with the deleted ones
// among them (TableImage::dbase.deletedRows). A table that names no code page is read in
// codePageIfNone (0: 1252 for Visual FoxPro, else DOS 437).
// Throws TableError: Io when a file cannot be read (a data file that is not there included; the cursor
// asks first and reports Missing), Damaged when the header is not sound, Unsupported when the table is
// encrypted, its code page cannot be converted or its memo file is an .SMT, Missing when it has memo
// fields but no memo file. The feed throws Io as above and Damaged when the records stop short of what
// the header promised after opening; it holds the files open and must not outlive fs.
TableStream openStream(const std::string& dataPath, FileSystem& fs, int codePageIfNone = 0);

// The whole table at once. Throws what openStream and its feed throw.
std::unique_ptr<TableImage> readTable(const std::string& dataPath, FileSystem& fs, int codePageIfNone = 0);

}  // namespace kimport::dbase
