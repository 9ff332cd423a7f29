// The canonical CSV form of a table: field names, then one line per record in
// cursor order, values written the same way whatever the file format.
#pragma once

#include "tablestore/TableImage.h"
#include "tablestore/Value.h"

#include <ostream>
#include <string>

namespace kimport {

// One value as a dump cell (before CSV quoting).
std::string dumpCell(const Value& value);
// Quotes a cell when it holds the separator, a quote, CR or LF.
std::string csvQuote(const std::string& cell, char separator = ',');
void dumpTable(const TableImage& image, std::ostream& out);

}  // namespace kimport
