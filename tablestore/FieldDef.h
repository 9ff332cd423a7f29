// One field of a table: the logical view the rest of the program sees and the
// physical facts the readers and writers of the file formats need.
#pragma once

#include "tablestore/FieldType.h"

#include <cstdint>
#include <string>

namespace kimport {

struct FieldDef {
    std::string name;
    FieldType type = FieldType::Unknown;
    int size = 0;           // reported size: characters of text, bytes of Bytes, leader of blobs, BCD decimals
    bool required = false;

    // Physical layout in the in-memory record.
    char letter = 0;        // Paradox type letter ('A', 'N', '#', ...) or dBase type letter ('C', 'N', ...)
    int physicalType = 0;   // Paradox type byte; dBase: the letter again
    int offset = 0;         // byte offset inside the record
    int length = 0;         // bytes in the record
    int decimals = 0;       // dBase N/F decimals, Paradox BCD decimals
    std::uint8_t flags = 0; // FoxPro field flags (0x02 nullable, 0x04 binary, 0x0C autoincrement)
    int nullBit = -1;       // FoxPro: bit of this field in _NullFlags, or -1
    bool hidden = false;    // FoxPro _NullFlags: not shown to callers
};

// A field as the caller of MakeTable describes it.
struct FieldSpec {
    std::string name;
    FieldType type = FieldType::String;
    int size = 0;            // text length; BCD decimals; blob leader (Paradox); dBase N width
    bool required = false;
    int decimals = -1;       // dBase N/F decimals; -1: none given (the type's usual ones)
    // dBase only: when set, the field is exactly this letter with `size` bytes and `decimals`.
    char dbaseLetter = 0;
};

}  // namespace kimport
