// The byte-to-character tables of the single-byte code pages (data only).
#pragma once

#include <cstddef>

namespace kimport::codepage_tables {

struct TableEntry {
    int codePage;
    const char16_t* high;  // characters of bytes 0x80..0xFF
};

extern const TableEntry kTables[];
extern const std::size_t kTableCount;

}  // namespace kimport::codepage_tables
