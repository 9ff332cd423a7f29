// Text values as a field stores them: encoded exactly into the table's code
// page. A character the code page cannot hold is a field error, never a "?".
#pragma once

#include "tablestore/TableImage.h"

#include <string>
#include <string_view>

namespace kimport {

// The bytes of the text in the table's code page, at most maxBytes long (an
// overlong text keeps its first characters). Throws TableError naming the
// field, the character and the value when a character cannot be held.
std::string encodeFieldText(const TableImage& table, const FieldDef& field, std::string_view text,
                            std::size_t maxBytes = std::string::npos);

}  // namespace kimport
