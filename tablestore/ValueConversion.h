// Conversions between value kinds: what a field read "as text", "as float",
// ... gives, and how a value written into a field of another kind is read.
// Text is read and written with the separators of the FormatSettings passed.
#pragma once

#include "common/FormatSettings.h"
#include "common/Numbers.h"
#include "tablestore/Value.h"

#include <string>

namespace kimport {

// Throws ConversionError with a German message when the value cannot be converted.
Value convertValue(const Value& value, Value::Kind target, const FormatSettings& fs);

std::string valueToText(const Value& value, const FormatSettings& fs);
// Floating-point text as the platform writes it: up to 15 significant digits, no trailing zeros.
std::string formatFloat(double value, const FormatSettings& fs);
std::string formatDate(DayNumber day, const FormatSettings& fs);
std::string formatTime(std::int64_t msOfDay, const FormatSettings& fs);

DayNumber parseDate(std::string_view text, const FormatSettings& fs);
std::int64_t parseTime(std::string_view text, const FormatSettings& fs);
double parseDateTime(std::string_view text, const FormatSettings& fs);
bool parseBoolean(std::string_view text);

}  // namespace kimport
