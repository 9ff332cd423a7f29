// Writing a table image back as a dBase or FoxPro file set (.DBF with its .DBT or .FPT).
#pragma once

#include "common/FileSystem.h"
#include "tablestore/TableImage.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kimport {
class FileSetWriter;
}

namespace kimport::dbase {

// Throws TableError (Unsupported) when the table must not be written: its version is one we only
// read, or it has an index file (.MDX or .CDX marked in the header, an .NDX or .IDX beside it) that a
// save could not keep up to date. A table made anew drops the old table's indexes instead. Looks only
// at the folder's file names and the image; changes nothing.
void checkWritable(const TableImage& image, FileSystem& fs);

// Writes the .DBF and its memo file through a FileSetWriter, in the table's own version: live records
// in cursor order with the deleted ones of the file back where they were. The memo file only grows:
// values read from it keep their blocks, new ones are appended. All files replace the old ones at
// once: a failure leaves the old table as it was. Afterwards the image holds the header written and
// the memo file as it now is.
// Throws TableError: Unsupported for a version we only read, Damaged for a table read from a file cut
// short, Limit for more records than a 32-bit count, a memo value or file past 4 GB or a block number
// longer than a memo pointer's digits; IoError when a file cannot be written, which the cursor's save
// reports as Io or Unfinished.
// With `joined` the files join that writer instead, which may hold files of other tables: its commit
// replaces them all together, and until then nothing is replaced.
void writeTable(TableImage& image, FileSystem& fs, FileSetWriter* joined = nullptr);

// The header a save in place writes over the old one: the table's header as read with this record
// count, today's date and the next auto-increment values above those of the changed records. Throws
// TableError (Unsupported) when the fields no longer fit the header read.
std::string headerInPlace(const TableImage& image, std::uint32_t recordCount, const std::vector<const char*>& changed);

// The most records a .DBF of this record length can hold (a 32-bit count and file size). Throws nothing.
std::uint64_t maxRecords(const TableImage& image);

}  // namespace kimport::dbase
