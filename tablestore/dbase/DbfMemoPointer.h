// The pointer a record keeps in a memo field: the number of the block where its value starts in the
// memo file. Visual FoxPro keeps 4 binary bytes, everyone else right-aligned digits.
#pragma once

#include "tablestore/TableImage.h"

#include <cstdint>
#include <optional>

namespace kimport::dbase {

// The block number in a memo field's bytes: 0 for none (blanks, zero bytes), nullopt for a pointer
// that is no number. Throws nothing.
std::optional<std::uint64_t> memoPointer(const FieldDef& f, const char* field);

// Writes a block number into a memo field as the variant writes it (blanks for 0 where digits are
// kept). Throws TableError (Limit) when the number has more digits than the field.
void putMemoPointer(const TableImage& image, const FieldDef& f, char* field, std::uint64_t block);

}  // namespace kimport::dbase
