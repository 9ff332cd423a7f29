// Writing a table image back as a Paradox file set (.DB, .MB, .PX).
#pragma once

#include "common/FileSystem.h"
#include "tablestore/TableError.h"
#include "tablestore/TableImage.h"

#include <cstdint>

namespace kimport {
class FileSetWriter;
}

namespace kimport::paradox {

// Throws TableError (Unsupported) when the table must not be written: it has a secondary index
// (.Xnn/.Ynn, .XGn/.YGn) a save could not keep up to date, a field of a type we do not know, or a
// text key under a sort order whose collation we cannot reproduce and whose records are not in byte
// order already. Looks only at the folder's file names and the image; changes nothing.
void checkWritable(const TableImage& image, FileSystem& fs);
// True when the table's key has a text field under a language sort order, which KeyOrder only
// approximates: records found out of that order must not be written.
bool keyOrderApproximated(const TableImage& image);
// The refusal of a table whose records are not in the order we can reproduce.
TableError sortOrderNotKept(const TableImage& image);

// Writes the whole file set through a FileSetWriter: the .DB, a new .MB when the table has blob fields,
// a rebuilt .PX when it is keyed; a .PX or .MB the table no longer needs goes, and so do a table made
// anew's old secondary indexes and .VAL. All files replace the old ones at once: a failure leaves the
// old table as it was. Expects the image's originalHeader to describe its fields and its order to be
// key order for a keyed table. Afterwards the image holds the header written, with the block size,
// level and last auto-increment value it chose.
// Throws what checkWritable throws; TableError (Limit) when the records do not fit into 65535 blocks
// or the .MB or the key would outgrow the format; IoError when a file cannot be written, which the
// cursor's save reports as Io (nothing replaced) or Unfinished (completed at the next open).
// With `joined` the files join that writer instead, which may hold files of other tables: its commit
// replaces them all together, and until then nothing is replaced.
void writeTable(TableImage& image, FileSystem& fs, FileSetWriter* joined = nullptr);

// Keeps the table's block size while this many records fit into 65535 blocks, else takes the
// smallest larger one its level allows (a table made anew may become a level-7 table, with a new
// header). Throws TableError (Limit) when none holds them.
void chooseBlockSize(TableImage& image, std::size_t records);
// The most records the table can hold: 65535 blocks of the largest size its level allows (32 KB at
// level 7 or for a new table that may be raised to it, 4 KB below). Throws nothing.
std::uint64_t maxRecords(const TableImage& image);

}  // namespace kimport::paradox
