#include "common/Numbers.h"

#include "common/Text.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>

namespace kimport {

bool IsDigitString(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

std::string PadLeft(std::string_view text, std::size_t n) {
    std::size_t count = charCount(text);
    if (count >= n) return std::string(text);
    return std::string(n - count, ' ') + std::string(text);
}

std::string CutLeft(std::string_view text, std::size_t n) { return lastChars(text, n); }

namespace {

[[noreturn]] void notAFloat(std::string_view text) {
    throw ConversionError("'" + std::string(text) + "' ist keine Zahl");
}

// Decimal rounding of a digit string "d.ddd…e±x" to n decimals, half away from zero.
std::string roundedFixed(double x, int n) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17e", x);  // 18 significant digits
    std::string s = buf;
    bool negative = s[0] == '-';
    if (negative) s.erase(0, 1);
    std::size_t e = s.find('e');
    int exponent = std::stoi(s.substr(e + 1));
    std::string digits = s.substr(0, 1) + s.substr(2, e - 2);  // 18 digits, point after the first
    // Value = 0.digits * 10^(exponent + 1); integer part has exponent + 1 digits.
    int intDigits = exponent + 1;
    if (intDigits <= 0) {
        digits = std::string(static_cast<std::size_t>(1 - intDigits), '0') + digits;
        intDigits = 1;
    }
    while (static_cast<int>(digits.size()) < intDigits + n + 1) digits += '0';
    int keep = intDigits + n;
    bool roundUp = digits[static_cast<std::size_t>(keep)] >= '5';
    digits.resize(static_cast<std::size_t>(keep));
    if (roundUp) {
        int i = keep - 1;
        while (i >= 0 && digits[static_cast<std::size_t>(i)] == '9') digits[static_cast<std::size_t>(i--)] = '0';
        if (i < 0) {
            digits.insert(digits.begin(), '1');
            ++intDigits;
        } else {
            ++digits[static_cast<std::size_t>(i)];
        }
    }
    std::string out = digits.substr(0, static_cast<std::size_t>(intDigits));
    std::size_t firstNonZero = out.find_first_not_of('0');
    out = firstNonZero == std::string::npos ? "0" : out.substr(firstNonZero);
    if (n > 0) out += "." + digits.substr(static_cast<std::size_t>(intDigits));
    bool allZero = digits.find_first_not_of('0') == std::string::npos;
    return (negative && !allZero ? "-" : "") + out;
}

}  // namespace

double parseFloat(std::string_view text, char decimalSeparator) {
    std::string t = trim(text);
    if (t.empty()) notAFloat(text);
    std::string normal;
    std::size_t i = 0;
    if (t[i] == '+' || t[i] == '-') normal += t[i++];
    std::size_t mantissaDigits = 0;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') { normal += t[i++]; ++mantissaDigits; }
    if (i < t.size() && t[i] == decimalSeparator) {
        normal += '.';
        ++i;
        while (i < t.size() && t[i] >= '0' && t[i] <= '9') { normal += t[i++]; ++mantissaDigits; }
    }
    if (mantissaDigits == 0) notAFloat(text);
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        normal += 'e';
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) normal += t[i++];
        std::size_t expDigits = 0;
        while (i < t.size() && t[i] >= '0' && t[i] <= '9') { normal += t[i++]; ++expDigits; }
        if (expDigits == 0) notAFloat(text);
    }
    if (i != t.size()) notAFloat(text);
    const char* begin = normal.c_str() + (normal[0] == '+' ? 1 : 0);
    double value = 0;
    auto [ptr, ec] = std::from_chars(begin, normal.c_str() + normal.size(), value);
    if (ec != std::errc() || ptr != normal.c_str() + normal.size()) notAFloat(text);
    return value;
}

std::int64_t parseInteger(std::string_view text) {
    std::string t = trim(text);
    std::int64_t value = 0;
    const char* begin = t.c_str() + (!t.empty() && t[0] == '+' ? 1 : 0);
    auto [ptr, ec] = std::from_chars(begin, t.c_str() + t.size(), value);
    if (t.empty() || ec != std::errc() || ptr != t.c_str() + t.size())
        throw ConversionError("'" + std::string(text) + "' ist keine ganze Zahl");
    return value;
}

double RoundDecimals(int n, double x, const FormatSettings& fs) {
    if (n > 18 || n < 0) n = 2;
    if (!std::isfinite(x)) return x;
    std::string text = roundedFixed(x, n);
    for (char& c : text)
        if (c == '.') c = fs.decimalSeparator;
    return parseFloat(PadLeft(text, 40), fs.decimalSeparator);
}

double TextToNumber(std::string_view text, const FormatSettings& fs) {
    std::string t(text);
    char other = fs.decimalSeparator == ',' ? '.' : ',';
    for (char& c : t)
        if (c == other) c = fs.decimalSeparator;
    try {
        return parseFloat(t, fs.decimalSeparator);
    } catch (const ConversionError&) {
        notAFloat(t);
    }
}

std::string FormatCount(std::int64_t value, const FormatSettings& fs) {
    std::string digits = std::to_string(value < 0 ? -value : value);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += fs.thousandSeparator;
        out += digits[i];
    }
    return value < 0 ? "-" + out : out;
}

std::int64_t ParseCount(std::string_view text, const FormatSettings& fs) {
    std::string t;
    for (char c : text)
        if (c != fs.thousandSeparator) t += c;
    try {
        return parseInteger(t);
    } catch (const ConversionError&) {
        throw ConversionError("'" + t + "' ist keine ganze Zahl");
    }
}

std::string shortestDecimal(double value) {
    if (value == 0) return "0";
    char buf[64];
    auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general);
    std::string s(buf, ec == std::errc() ? ptr : buf);
    std::size_t e = s.find('e');
    if (e == std::string::npos) return s;
    // Spell out the exponent form.
    bool negative = s[0] == '-';
    std::string mantissa = s.substr(negative ? 1 : 0, e - (negative ? 1 : 0));
    int exponent = std::stoi(s.substr(e + 1));
    std::string digits;
    int pointPos = 0;
    std::size_t dot = mantissa.find('.');
    if (dot == std::string::npos) {
        digits = mantissa;
        pointPos = static_cast<int>(mantissa.size());
    } else {
        digits = mantissa.substr(0, dot) + mantissa.substr(dot + 1);
        pointPos = static_cast<int>(dot);
    }
    pointPos += exponent;
    std::string out;
    if (pointPos <= 0) {
        out = "0." + std::string(static_cast<std::size_t>(-pointPos), '0') + digits;
    } else if (pointPos >= static_cast<int>(digits.size())) {
        out = digits + std::string(static_cast<std::size_t>(pointPos) - digits.size(), '0');
    } else {
        out = digits.substr(0, static_cast<std::size_t>(pointPos)) + "." + digits.substr(static_cast<std::size_t>(pointPos));
    }
    return negative ? "-" + out : out;
}

void Pause() {
#ifndef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION  // a fuzzer would spend its time asleep
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
#endif
}

}  // namespace kimport
