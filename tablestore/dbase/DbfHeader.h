// The header of a .DBF file: version, counts, code page and the field
// descriptors, checked against the size of the file before anything trusts them.
#pragma once

#include "tablestore/FieldDef.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kimport::dbase {

struct DbfLayout {
    int version = 0;
    std::uint32_t recordCount = 0;
    std::uint32_t headerLength = 0;
    std::uint32_t recordLength = 0;
    int languageDriver = 0;
    int codePage = 0;
    std::int64_t lastAutoInc = 0;
    // Records the header counts that the file is too short to hold (a file cut short).
    std::uint32_t missingRecords = 0;
    std::vector<FieldDef> fields;  // offsets inside the record; byte 0 is the deletion flag
};

// Largest header a file can state (a 16-bit length); the reader never needs more bytes.
constexpr std::size_t kMaxHeaderBytes = 65535;
// The fixed header of dBase II files.
constexpr std::uint32_t kDBaseIIHeaderLength = 521;

// Parses a header. `bytes` holds the start of the file (at least the stated
// header length when the file has it). Throws TableError naming tableName when
// the header is damaged or the table encrypted. A file too short for its
// records gives the complete ones (recordCount) and counts the rest in
// missingRecords. A table that names no code page gets codePageIfNone, or
// its variant's usual one when that is 0.
DbfLayout parseHeader(std::string_view bytes, std::uint64_t fileSize, const std::string& tableName,
                      int codePageIfNone = 0);

// The logical type and reported size of a field from its letter, length and the version.
void assignLogicalType(FieldDef& field, int version);

}  // namespace kimport::dbase
