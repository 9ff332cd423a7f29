#include "common/FormatSettings.h"

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <langinfo.h>
#include <locale.h>

namespace kimport {

void shortDateFromStrftime(const std::string& format, std::string& shortDate, char& separator) {
    std::string order;
    char sep = 0;
    for (std::size_t i = 0; i < format.size(); ++i) {
        char c = format[i];
        if (c == '%' && i + 1 < format.size()) {
            char f = format[++i];
            if (f == 'd' || f == 'e') order += 'D';
            else if (f == 'm') order += 'M';
            else if (f == 'Y' || f == 'y') order += 'Y';
        } else if (!sep && c != ' ') {
            sep = c;
        }
    }
    static const char* const known[][2] = {{"DMY", "DD/MM/YYYY"}, {"MDY", "MM/DD/YYYY"}, {"YMD", "YYYY/MM/DD"},
                                           {"YDM", "YYYY/DD/MM"}, {"MYD", "MM/YYYY/DD"}, {"DYM", "DD/YYYY/MM"}};
    shortDate = "DD/MM/YYYY";
    for (auto& k : known)
        if (order == k[0]) shortDate = k[1];
    separator = sep ? sep : '.';
}

namespace {
bool namesNoLocale(const char* name) {
    return !name || !*name || std::strcmp(name, "C") == 0 || std::strcmp(name, "POSIX") == 0 ||
           std::strncmp(name, "C.", 2) == 0;
}

const char* localeName(const char* category) {
    if (const char* all = std::getenv("LC_ALL"); all && *all) return all;
    if (const char* specific = std::getenv(category); specific && *specific) return specific;
    return std::getenv("LANG");
}
}  // namespace

FormatSettings FormatSettings::regional() {
    FormatSettings fs = german();
    const char* numericName = localeName("LC_NUMERIC");
    if (!namesNoLocale(numericName)) {
        if (locale_t loc = newlocale(LC_NUMERIC_MASK, numericName, static_cast<locale_t>(0))) {
            const char* radix = nl_langinfo_l(RADIXCHAR, loc);
            const char* thousands = nl_langinfo_l(THOUSEP, loc);
            if (radix && std::strlen(radix) == 1) fs.decimalSeparator = radix[0];
            // Multi-byte separators (a no-break space) have no one-character form.
            if (thousands && std::strlen(thousands) == 1) fs.thousandSeparator = thousands[0];
            else if (thousands && !*thousands) fs.thousandSeparator = fs.decimalSeparator == ',' ? '.' : ',';
            else fs.thousandSeparator = ' ';
            freelocale(loc);
        }
    }
    const char* timeName = localeName("LC_TIME");
    if (!namesNoLocale(timeName)) {
        if (locale_t loc = newlocale(LC_TIME_MASK, timeName, static_cast<locale_t>(0))) {
            if (const char* dateFormat = nl_langinfo_l(D_FMT, loc))
                shortDateFromStrftime(dateFormat, fs.shortDateFormat, fs.dateSeparator);
            if (const char* timeFormat = nl_langinfo_l(T_FMT, loc)) {
                for (const char* p = timeFormat; *p; ++p)
                    if (*p != '%' && (p == timeFormat || p[-1] != '%') && *p != ' ') {
                        fs.timeSeparator = *p;
                        break;
                    }
            }
            freelocale(loc);
        }
    }
    return fs;
}

}  // namespace kimport
