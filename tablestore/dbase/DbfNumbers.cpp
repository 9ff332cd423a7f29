// Numbers in N and F fields are text: right-aligned, blank-padded, with a point
// and exactly the field's decimals. Reading is lenient (hand-made files have
// commas, plus signs, blanks after the minus); writing is exact and independent
// of the process's locale, which in German would put a comma where dBase expects
// the point.
#include "tablestore/dbase/DbfNumbers.h"

#include <charconv>
#include <cstdint>
#include <cmath>

namespace kimport::dbase {

namespace {

// The usual field: an optional minus, digits, a point and digits, at most 15 digits in all. Read
// without a copy: the digits as a whole number divided by a power of ten, both exact in a double, so
// the one rounding of the division gives the double nearest the decimal, as from_chars does.
std::optional<double> parsePlainNumber(std::string_view text) {
    static constexpr double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    std::size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (negative) ++i;
    std::int64_t digits = 0;
    int count = 0, decimals = 0;
    bool point = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            if (++count > 15) return std::nullopt;
            digits = digits * 10 + (c - '0');
            decimals += point ? 1 : 0;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            return std::nullopt;
        }
    }
    if (count == 0) return std::nullopt;
    const double value = static_cast<double>(digits) / kPowers[decimals];
    return negative ? -value : value;
}

}  // namespace

std::optional<double> parseFieldNumber(std::string_view text) {
    // Blanks and zero bytes around the number go; a loop, not find_first_not_of with its search per byte.
    auto blank = [](char c) { return c == ' ' || c == '\0'; };
    std::size_t first = 0, last = text.size();
    while (first < last && blank(text[first])) ++first;
    while (last > first && blank(text[last - 1])) --last;
    if (first == last) return std::nullopt;
    text = text.substr(first, last - first);
    if (std::optional<double> plain = parsePlainNumber(text)) return plain;

    std::string clean;
    clean.reserve(text.size());
    bool afterSign = false;
    for (char c : text) {
        if (c == ' ' && afterSign) continue;  // "-  5" in hand-made files
        afterSign = false;
        if (c == '-' && clean.empty()) afterSign = true;
        if (c == '+' && clean.empty()) continue;  // from_chars takes no plus sign
        if (c == ',') c = '.';
        bool allowed = (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E';
        if (!allowed) return std::nullopt;  // letters, the overflow mark '*', blanks inside
        clean += c;
    }
    // from_chars, unlike strtod, ignores the locale and takes the whole text or reports where it stopped.
    double value = 0;
    auto [end, ec] = std::from_chars(clean.data(), clean.data() + clean.size(), value);
    if (ec != std::errc() || end != clean.data() + clean.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

// The shortest decimal text that reads back as the same double, then rounded as decimal text: a double
// rounded directly would turn 2.675 (stored as 2.67499...) into 2.67.
std::string formatFixed(double value, int decimals) {
    if (!std::isfinite(value)) return {};
    char buf[512];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
    if (ec != std::errc()) return {};
    return formatFixed(std::string_view(buf, static_cast<std::size_t>(end - buf)), decimals);
}

// Rounds half away from zero, on the decimal digits themselves: no binary fraction gets in the way.
std::string formatFixed(std::string_view s, int decimals) {
    bool negative = !s.empty() && s[0] == '-';
    if (negative) s.remove_prefix(1);
    std::size_t dot = s.find('.');
    std::string digits(s.substr(0, dot));
    std::string fraction(dot == std::string_view::npos ? std::string_view() : s.substr(dot + 1));
    auto isDigits = [](const std::string& t) { return t.find_first_not_of("0123456789") == std::string::npos; };
    if (digits.empty() || !isDigits(digits) || !isDigits(fraction)) return {};
    const auto keep = static_cast<std::size_t>(decimals < 0 ? 0 : decimals);
    bool roundUp = fraction.size() > keep && fraction[keep] >= '5';
    fraction.resize(keep, '0');
    digits += fraction;
    if (roundUp) {
        std::size_t i = digits.size();
        while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
        if (i == 0)
            digits.insert(digits.begin(), '1');
        else
            ++digits[i - 1];
    }
    std::size_t lead = digits.find_first_not_of('0');
    // Leading zeros go, but one digit stays before the point.
    lead = std::min(lead == std::string::npos ? digits.size() : lead, digits.size() - keep - 1);
    digits.erase(0, lead);
    std::string out = digits.substr(0, digits.size() - keep);
    if (keep > 0) out += "." + digits.substr(digits.size() - keep);
    if (digits.find_first_not_of('0') == std::string::npos) negative = false;  // no "-0.00"
    return negative ? "-" + out : out;
}

}  // namespace kimport::dbase
