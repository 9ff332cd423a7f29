// Reading and writing one field value in a row of a table image, for one file
// format. Values come and go in the field's natural kind (see naturalKind);
// the cursor converts other kinds before it writes.
#pragma once

#include "tablestore/TableImage.h"
#include "tablestore/Value.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace kimport {

// The kind a field's value has when read: Text for strings and memos,
// Integer, Float, Decimal (BCD), Boolean, Date, Time, DateTime, Bytes.
Value::Kind naturalKind(FieldType type);

class FormatCodec {
public:
    virtual ~FormatCodec() = default;
    // Null when the field holds no value.
    virtual Value read(const TableImage& table, const FieldDef& field, const char* row) const = 0;
    // Stores a value of the field's natural kind (or Null). Text is encoded into
    // the table's code page; an overlong text keeps its first characters.
    // Throws TableError when the value cannot be held (a number too wide, a
    // character the code page lacks, a date outside the calendar); the field
    // then keeps what it held.
    virtual void write(TableImage& table, const FieldDef& field, char* row, const Value& value) const = 0;
    // The same for text into a text field, without a Value around it.
    virtual void writeText(TableImage& table, const FieldDef& field, char* row, std::string_view text) const {
        write(table, field, row, Value::ofText(std::string(text)));
    }
    virtual bool isNull(const TableImage& table, const FieldDef& field, const char* row) const = 0;
};

const FormatCodec& paradoxCodec();
const FormatCodec& dbaseCodec();
inline const FormatCodec& codecFor(TableFormat f) { return f == TableFormat::Paradox ? paradoxCodec() : dbaseCodec(); }

}  // namespace kimport
