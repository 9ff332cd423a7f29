// The number and date formats every conversion between text and numbers or
// dates uses: decimal, thousands, time and date separators and the short date
// format ("DD/MM/YYYY", where "/" stands for the date separator).
#pragma once

#include <string>

namespace kimport {

struct FormatSettings {
    char decimalSeparator = ',';
    char thousandSeparator = '.';
    char timeSeparator = ':';
    char dateSeparator = '.';
    std::string shortDateFormat = "DD/MM/YYYY";

    static FormatSettings german() { return {}; }
    static FormatSettings make(char decimal, char thousand, char time, char date, std::string shortDate) {
        return {decimal, thousand, time, date, std::move(shortDate)};
    }

    // The user's regional settings from LC_NUMERIC and LC_TIME. Where the
    // environment names no locale (C/POSIX), the German settings apply, as the
    // program is German.
    static FormatSettings regional();

    bool operator==(const FormatSettings&) const = default;
};

// The settings of the running program: "regional" is read at start and never
// changes; "current" starts equal to it and is replaced by loading an import
// setting or by the options window.
struct ProcessFormats {
    FormatSettings regional = FormatSettings::regional();
    FormatSettings current = regional;
};

// Turns a strftime date format ("%d.%m.%Y") into the short date form ("DD/MM/YYYY")
// and its separator; unknown forms give "DD/MM/YYYY".
void shortDateFromStrftime(const std::string& format, std::string& shortDate, char& separator);

}  // namespace kimport
