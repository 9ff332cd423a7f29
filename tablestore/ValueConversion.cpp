#include "tablestore/ValueConversion.h"

#include "common/Text.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace kimport {

namespace {

[[noreturn]] void fail(const std::string& text, const char* what) {
    throw ConversionError("'" + text + "' ist " + what);
}

// Reads "12.05.1998" style text: whole numbers between separators, each trimmed. Gives the number of
// pieces read (at most `expected`) with their values and digit counts, or -1 when the text is malformed.
int readNumbers(std::string_view text, char sep, int expected, int* out, std::size_t* digits) {
    text = trimmedView(text);
    for (int i = 0; i < expected; ++i) out[i] = 0, digits[i] = 0;
    int count = 0;
    for (std::size_t from = 0;;) {
        const std::size_t to = text.find(sep, from);
        std::string_view piece = trimmedView(text.substr(from, to == std::string_view::npos ? to : to - from));
        if (count == expected || piece.empty() || piece.size() > 9 || !IsDigitString(piece)) return -1;
        int value = 0;
        for (char c : piece) value = value * 10 + (c - '0');
        out[count] = value;
        digits[count++] = piece.size();
        if (to == std::string_view::npos) return count;
        from = to + 1;
    }
}

}  // namespace

std::string formatFloat(double value, const FormatSettings& fs) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
    char buf[64];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
    std::string s(buf, ec == std::errc() ? end : buf);
    for (char& c : s)
        if (c == 'e') c = 'E';
    std::string mantissa = s, exponent;
    if (auto e = s.find('E'); e != std::string::npos) {
        mantissa = s.substr(0, e);
        int ex = std::stoi(s.substr(e + 1));
        exponent = "E" + std::string(ex < 0 ? "-" : "") + std::to_string(std::abs(ex));
    }
    if (mantissa.find('.') != std::string::npos) {
        while (!mantissa.empty() && mantissa.back() == '0') mantissa.pop_back();
        if (!mantissa.empty() && mantissa.back() == '.') mantissa.pop_back();
    }
    for (char& c : mantissa)
        if (c == '.') c = fs.decimalSeparator;
    if (mantissa == "-0") mantissa = "0";
    return mantissa + exponent;
}

std::string formatDate(DayNumber day, const FormatSettings& fs) {
    CivilDate c = civilFromDayNumber(day);
    std::string out;
    const std::string& f = fs.shortDateFormat;
    char buf[16];
    for (std::size_t i = 0; i < f.size();) {
        if (f.compare(i, 4, "YYYY") == 0) { std::snprintf(buf, sizeof buf, "%04d", c.year); out += buf; i += 4; }
        else if (f.compare(i, 2, "MM") == 0) { std::snprintf(buf, sizeof buf, "%02d", c.month); out += buf; i += 2; }
        else if (f.compare(i, 2, "DD") == 0) { std::snprintf(buf, sizeof buf, "%02d", c.day); out += buf; i += 2; }
        else if (f[i] == '/') { out += fs.dateSeparator; ++i; }
        else out += f[i++];
    }
    return out;
}

std::string formatTime(std::int64_t ms, const FormatSettings& fs) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d%c%02d%c%02d", static_cast<int>(ms / 3600000), fs.timeSeparator,
                  static_cast<int>(ms / 60000 % 60), fs.timeSeparator, static_cast<int>(ms / 1000 % 60));
    return buf;
}

DayNumber parseDate(std::string_view text, const FormatSettings& fs) {
    // The order of day, month and year comes from the short date format.
    std::string order;
    for (std::size_t i = 0; i < fs.shortDateFormat.size(); ++i) {
        char c = fs.shortDateFormat[i];
        if ((c == 'D' || c == 'M' || c == 'Y') && (order.empty() || order.back() != c)) order += c;
    }
    if (order.size() != 3) order = "DMY";
    int n[3];
    std::size_t digits[3];
    if (readNumbers(text, fs.dateSeparator, 3, n, digits) != 3) fail(std::string(text), "kein Datum");
    int d = 0, m = 0, y = 0;
    for (int i = 0; i < 3; ++i) {
        if (order[static_cast<std::size_t>(i)] == 'D') d = n[i];
        else if (order[static_cast<std::size_t>(i)] == 'M') m = n[i];
        else y = n[i];
    }
    // Two-digit years: within 50 years of now, as the platform's default window does.
    if (digits[order.find('Y')] <= 2) y += y < 50 ? 2000 : 1900;
    if (!isValidCivil(y, m, d)) fail(std::string(text), "kein Datum");
    return dayNumberFromCivil(y, m, d);
}

std::int64_t parseTime(std::string_view text, const FormatSettings& fs) {
    int n[3];
    std::size_t digits[3];
    if (readNumbers(text, fs.timeSeparator, 3, n, digits) < 2) fail(std::string(text), "keine Uhrzeit");
    if (n[0] > 23 || n[1] > 59 || n[2] > 59) fail(std::string(text), "keine Uhrzeit");
    return (n[0] * 3600LL + n[1] * 60LL + n[2]) * 1000;
}

double parseDateTime(std::string_view text, const FormatSettings& fs) {
    std::string t = trim(text);
    auto space = t.find(' ');
    try {
        DayNumber day = parseDate(space == std::string::npos ? t : t.substr(0, space), fs);
        std::int64_t ms = space == std::string::npos ? 0 : parseTime(t.substr(space + 1), fs);
        return static_cast<double>(day) * kMsPerDay + static_cast<double>(ms);
    } catch (const ConversionError&) {
        fail(t, "kein Zeitpunkt (Datum und Uhrzeit)");
    }
}

bool parseBoolean(std::string_view text) {
    // ASCII is upper-cased by the quick rule (short words stay in the string itself, without allocating).
    std::string_view trimmed = trimmedView(text);
    const std::string t = isAscii(trimmed) ? asciiUpper(trimmed) : foldedUpper(trimmed);
    if (t == "TRUE" || t == "T" || t == "J" || t == "JA" || t == "Y" || t == "YES" || t == "WAHR" || t == "1")
        return true;
    if (t == "FALSE" || t == "F" || t == "N" || t == "NEIN" || t == "NO" || t == "FALSCH" || t == "0") return false;
    fail(std::string(text), "kein Wahrheitswert (Ja/Nein)");
}

std::string valueToText(const Value& v, const FormatSettings& fs) {
    switch (v.kind) {
    case Value::Kind::Null: return {};
    case Value::Kind::Text: case Value::Kind::Bytes: return v.text;
    case Value::Kind::Decimal: {
        std::string t = v.text;
        for (char& c : t)
            if (c == '.') c = fs.decimalSeparator;
        return t;
    }
    case Value::Kind::Integer: return std::to_string(v.integer);
    case Value::Kind::Float: return formatFloat(v.number, fs);
    case Value::Kind::Boolean: return v.boolean ? "True" : "False";
    case Value::Kind::Date: return formatDate(static_cast<DayNumber>(v.integer), fs);
    case Value::Kind::Time: return formatTime(v.integer, fs);
    case Value::Kind::DateTime: {
        if (!std::isfinite(v.number) || v.number < 0 || v.number > 1e18) return {};
        auto total = static_cast<std::int64_t>(std::floor(v.number + 0.5));
        auto day = static_cast<DayNumber>(total / kMsPerDay);
        std::int64_t ms = total % kMsPerDay;
        std::string out = formatDate(day, fs);
        if (ms / 1000 != 0) out += " " + formatTime(ms, fs);
        return out;
    }
    }
    return {};
}

// The day a number of days since 30.12.1899 stands for (its whole part).
static DayNumber dayFromNumber(double days, const Value& v, const FormatSettings& fs) {
    if (!std::isfinite(days) || std::fabs(days) > 4e6) fail(valueToText(v, fs), "kein Datum");
    return static_cast<DayNumber>(std::floor(days)) + kDayZero;
}

Value convertValue(const Value& v, Value::Kind target, const FormatSettings& fs) {
    using K = Value::Kind;
    if (v.kind == target || v.kind == K::Null) return v;
    switch (target) {
    case K::Null: return Value::null();
    case K::Text: return Value::ofText(valueToText(v, fs));
    case K::Bytes: return Value::ofBytes(v.kind == K::Text ? v.text : valueToText(v, fs));
    case K::Integer:
        switch (v.kind) {
        case K::Float: case K::Decimal: {
            double d = v.kind == K::Float ? v.number : parseFloat(v.text, '.');
            if (!std::isfinite(d) || std::fabs(d) > 9.2e18) fail(formatFloat(d, fs), "keine ganze Zahl");
            return Value::ofInteger(static_cast<std::int64_t>(std::llround(d)));
        }
        case K::Boolean: return Value::ofInteger(v.boolean ? 1 : 0);
        case K::Text: {
            try {
                return Value::ofInteger(parseInteger(v.text));
            } catch (const ConversionError&) {
                // "12,0" is a whole number too.
                double d = parseFloat(v.text, fs.decimalSeparator);
                if (d != std::floor(d) || std::fabs(d) > 9.2e18) fail(v.text, "keine ganze Zahl");
                return Value::ofInteger(static_cast<std::int64_t>(d));
            }
        }
        case K::Date: return Value::ofInteger(v.integer - kDayZero);
        case K::Time: return Value::ofInteger(v.integer);
        default: fail(valueToText(v, fs), "keine ganze Zahl");
        }
    case K::Float:
        switch (v.kind) {
        case K::Integer: return Value::ofFloat(static_cast<double>(v.integer));
        case K::Decimal: return Value::ofFloat(parseFloat(v.text, '.'));
        case K::Boolean: return Value::ofFloat(v.boolean ? 1 : 0);
        case K::Text: return Value::ofFloat(parseFloat(v.text, fs.decimalSeparator));
        case K::Date: return Value::ofFloat(static_cast<double>(v.integer - kDayZero));
        case K::DateTime: return Value::ofFloat(v.number / kMsPerDay - kDayZero);
        case K::Time: return Value::ofFloat(static_cast<double>(v.integer) / kMsPerDay);
        default: fail(valueToText(v, fs), "keine Zahl");
        }
    case K::Decimal: {
        double d = 0;
        switch (v.kind) {
        case K::Integer: return Value::ofDecimal(std::to_string(v.integer));
        case K::Float: d = v.number; break;
        case K::Text: d = parseFloat(v.text, fs.decimalSeparator); break;
        case K::Boolean: d = v.boolean ? 1 : 0; break;
        default: fail(valueToText(v, fs), "keine Zahl");
        }
        if (!std::isfinite(d)) fail(valueToText(v, fs), "keine Zahl");
        char buf[400];
        std::snprintf(buf, sizeof buf, "%.17g", d);
        std::string s = buf;
        if (s.find('e') != std::string::npos) s = shortestDecimal(d);
        return Value::ofDecimal(s);
    }
    case K::Boolean:
        switch (v.kind) {
        case K::Text: return Value::ofBoolean(parseBoolean(v.text));
        case K::Integer: return Value::ofBoolean(v.integer != 0);
        case K::Float: return Value::ofBoolean(v.number != 0);
        default: fail(valueToText(v, fs), "kein Wahrheitswert (Ja/Nein)");
        }
    case K::Date:
        switch (v.kind) {
        case K::Text: return Value::ofDate(parseDate(v.text, fs));
        case K::DateTime: return Value::ofDate(static_cast<DayNumber>(std::floor(v.number / kMsPerDay)));
        case K::Integer: return Value::ofDate(dayFromNumber(static_cast<double>(v.integer), v, fs));
        case K::Float: return Value::ofDate(dayFromNumber(v.number, v, fs));
        default: fail(valueToText(v, fs), "kein Datum");
        }
    case K::Time:
        switch (v.kind) {
        case K::Text: return Value::ofTime(parseTime(v.text, fs));
        case K::DateTime: {
            auto total = static_cast<std::int64_t>(std::floor(v.number + 0.5));
            return Value::ofTime(total % kMsPerDay);
        }
        default: fail(valueToText(v, fs), "keine Uhrzeit");
        }
    case K::DateTime:
        switch (v.kind) {
        case K::Text: return Value::ofDateTime(parseDateTime(v.text, fs));
        case K::Date: return Value::ofDateTime(static_cast<double>(v.integer) * kMsPerDay);
        case K::Time: return Value::ofDateTime(static_cast<double>(v.integer));
        case K::Float: case K::Integer: {
            double days = v.kind == K::Float ? v.number : static_cast<double>(v.integer);
            if (!std::isfinite(days) || std::fabs(days) > 4e6) fail(valueToText(v, fs), "kein Zeitpunkt (Datum und Uhrzeit)");
            return Value::ofDateTime((days + kDayZero) * kMsPerDay);
        }
        default: fail(valueToText(v, fs), "kein Zeitpunkt (Datum und Uhrzeit)");
        }
    }
    fail(valueToText(v, fs), "kein Wert dieser Art");
}

}  // namespace kimport
