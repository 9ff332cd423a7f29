// The header of a .DBF file: version, counts, code page and the field
// descriptors, checked against the size of the file before anything trusts them.
//
// The stored header length decides where the records start, never a length
// computed from the fields: some writers add a byte after the terminator, Visual
// FoxPro a 263-byte backlink, level 7 a block of field properties.
#pragma once

#include "tablestore/FieldDef.h"
#include "tablestore/dbase/DbfFormat.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kimport::dbase {

struct DbfLayout {
    int version = 0;
    std::uint32_t recordCount = 0;  // complete records the file holds (see missingRecords)
    std::uint32_t headerLength = 0;
    std::uint32_t recordLength = 0;  // the deletion flag included
    int languageDriver = 0;          // the byte as stored; 0 when the table names none
    int codePage = 0;                // what the text is read in, never 0
    std::int64_t lastAutoInc = 0;    // the last value handed out, from the descriptors' next value
    // Records the header counts that the file is too short to hold (a file cut short).
    std::uint32_t missingRecords = 0;
    std::vector<FieldDef> fields;  // offsets inside the record; byte 0 is the deletion flag
};

// Parses a header. `bytes` holds the start of the file (at least the stated
// header length when the file has it, up to kMaxHeaderBytes); fileSize is the whole
// file's (UINT64_MAX checks a header alone). A file too short for its records
// gives the complete ones (recordCount) and counts the rest in missingRecords.
// A table that names no code page gets codePageIfNone, or its variant's usual one
// when that is 0. The fields come with their offsets in the record (byte 0 is the
// deletion flag) and their logical types; a field of a type or length we cannot
// read is kept with FieldType::Unknown, so that the record layout stays whole.
// Throws TableError naming tableName: Damaged when the header contradicts itself
// or the file (lengths, the terminator, the sum of the fields), Unsupported when
// the table is encrypted or its code page cannot be converted.
DbfLayout parseHeader(std::string_view bytes, std::uint64_t fileSize, const std::string& tableName,
                      int codePageIfNone = 0);

// The logical type and reported size of a field from its letter, length and the version. A binary
// field of a length its type does not have, or a memo pointer too short for a handle, becomes
// FieldType::Unknown: read as raw bytes, never as a wrong number. Throws nothing.
void assignLogicalType(FieldDef& field, int version);

}  // namespace kimport::dbase
