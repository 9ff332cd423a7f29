// Text and number conversions shared by the import run, the progress counters
// and the formulas. They use the separators of the FormatSettings passed in.
#pragma once

#include "common/FormatSettings.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kimport {

// A text that is no number (or no integer, date, time) where one is needed.
class ConversionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A non-empty text of the characters "0" to "9" only.
bool IsDigitString(std::string_view text);
// Blanks in front until the text is n characters long.
std::string PadLeft(std::string_view text, std::size_t n);
// The last n characters; a shorter text unchanged.
std::string CutLeft(std::string_view text, std::size_t n);

// x rounded to n decimals as the "%40.nf" format does it: from the 18
// significant digits of x, a dropped half or more rounds away from zero.
// More than 18 decimals asked for gives 2.
double RoundDecimals(int n, double x, const FormatSettings& fs);

// Reads a number with either "." or "," as decimal mark; no thousands separators.
double TextToNumber(std::string_view text, const FormatSettings& fs);

// Reads a floating-point number written with the settings' decimal separator
// (blanks around it allowed, optional sign and exponent); throws ConversionError.
double parseFloat(std::string_view text, char decimalSeparator);
// Reads a decimal integer (blanks around it allowed); throws ConversionError.
std::int64_t parseInteger(std::string_view text);

std::string FormatCount(std::int64_t value, const FormatSettings& fs);
std::int64_t ParseCount(std::string_view text, const FormatSettings& fs);

// The shortest decimal text that reads back as the same double ("." separator, no exponent).
std::string shortestDecimal(double value);

// A short wait (a fraction of a second), used before forming a name from the clock.
void Pause();

inline int Max(int a, int b) { return a > b ? a : b; }
inline int Min(int a, int b) { return a < b ? a : b; }

}  // namespace kimport
