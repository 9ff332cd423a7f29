// The header of a Paradox .DB file: made new for a new table, or the header
// as read with its counts brought up to date.
#pragma once

#include "tablestore/FieldDef.h"
#include "tablestore/TableImage.h"

#include <cstdint>
#include <vector>

namespace kimport::paradox {

// The complete header (headerSize bytes) for the image with the given counts.
std::vector<char> buildHeader(const TableImage& image, std::uint32_t records, std::uint32_t blocks);

// Header bytes of a new table (counts zero) for these fields.
std::vector<char> newHeader(const std::vector<FieldDef>& fields, int keyFieldCount, int version, int codePage,
                            int sortOrder, const std::string& tableName);

}  // namespace kimport::paradox
