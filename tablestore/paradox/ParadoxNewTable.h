// New, empty Paradox tables from the program's field descriptions.
#pragma once

#include "tablestore/FieldDef.h"
#include "tablestore/TableImage.h"

#include <memory>
#include <string>
#include <vector>

namespace kimport::paradox {

// A new, empty table image for these fields (nothing on disk yet): level 4, or 5 when a field type
// needs it, or 7 when its records need blocks above 4 KB; text in code page 1252, sort order ascii.
// The first keyFieldCount fields form the primary key. A blob field's size is its leader (a memo's
// is 10 when none is given), a BCD field's its decimals.
// Throws TableError: Usage for fields Paradox does not allow (none or more than 255, a name empty,
// longer than 25 characters or there twice, a length outside 1..255, more than 32 decimals, a blob
// in the key, a bad key field count), Limit for records longer than 4000 bytes.
std::unique_ptr<TableImage> newTable(const std::string& dataPath, const std::vector<FieldSpec>& fields,
                                     int keyFieldCount);

// Gives a new table another code page: its header is made again to name it. Throws TableError (Usage)
// when a field name cannot be written in that code page; the image is then unchanged.
void setCodePage(TableImage& image, int codePage);

}  // namespace kimport::paradox
