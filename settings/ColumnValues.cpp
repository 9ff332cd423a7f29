#include "settings/ColumnValues.h"

#include "common/FormatSettings.h"

namespace kimport {

// Text of text and memo columns; they hold no numbers, so the format settings do not matter.
std::string textOf(const Table& t, const char* column) {
    return t.AsString(t.FieldNamed(column), FormatSettings::german());
}

std::optional<double> numberOf(const Table& t, const char* column) {
    int i = t.FieldNamed(column);
    if (t.IsNull(i)) return std::nullopt;
    return t.AsFloat(i);
}

std::optional<int> shortOf(const Table& t, const char* column) {
    int i = t.FieldNamed(column);
    if (t.IsNull(i)) return std::nullopt;
    return static_cast<int>(t.AsInteger(i));
}

bool flagOf(const Table& t, const char* column) {
    int i = t.FieldNamed(column);
    return !t.IsNull(i) && t.AsBoolean(i);
}

void putText(Table& t, const char* column, const std::string& value) {
    int i = t.FieldNamed(column);
    if (value.empty())
        t.Clear(i);
    else
        t.SetValue(i, Value::ofText(value));
}

void putNumber(Table& t, const char* column, std::optional<double> value) {
    int i = t.FieldNamed(column);
    if (value)
        t.SetAsFloat(i, *value);
    else
        t.Clear(i);
}

void putShort(Table& t, const char* column, std::optional<int> value) {
    int i = t.FieldNamed(column);
    if (value)
        t.SetAsInteger(i, *value);
    else
        t.Clear(i);
}

void putFlag(Table& t, const char* column, bool value) { t.SetAsBoolean(t.FieldNamed(column), value); }

}  // namespace kimport
