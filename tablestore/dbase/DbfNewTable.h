// New, empty dBase and FoxPro tables from the program's field descriptions.
#pragma once

#include "tablestore/FieldDef.h"
#include "tablestore/TableImage.h"

#include <memory>
#include <string>
#include <vector>

namespace kimport::dbase {

// A new, empty table image for these fields (nothing on disk yet) in the variant `version` names:
// 0 or 0x8B dBase IV, 0x83 dBase III, 0xF5 FoxPro 2, 0x30 Visual FoxPro; the memo mark is set as the
// fields need it. Names become dBase names (A-Z, 0-9, _, at most 10 characters, unique); types without
// a dBase counterpart are mapped as DbfNewTable.cpp lists. Text is in code page 1252.
// Throws TableError: Usage for a field the variant cannot take (a type letter or length it does not
// know, a text longer than 254) or for no fields at all, Limit for more than 255 fields or records
// longer than the variant allows.
std::unique_ptr<TableImage> newTable(const std::string& dataPath, const std::vector<FieldSpec>& fields,
                                     int version = 0);

}  // namespace kimport::dbase
