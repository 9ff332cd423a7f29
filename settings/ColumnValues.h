// Reading and writing one column of a control table's current row by name:
// text, numbers, short integers and logical values, an empty value as null.
#pragma once

#include "tablestore/Table.h"

#include <optional>
#include <string>

namespace kimport {

std::string textOf(const Table& t, const char* column);
std::optional<double> numberOf(const Table& t, const char* column);
std::optional<int> shortOf(const Table& t, const char* column);
bool flagOf(const Table& t, const char* column);

// Into the row being edited or appended; an empty text or an absent number becomes null.
void putText(Table& t, const char* column, const std::string& value);
void putNumber(Table& t, const char* column, std::optional<double> value);
void putShort(Table& t, const char* column, std::optional<int> value);
void putFlag(Table& t, const char* column, bool value);

}  // namespace kimport
