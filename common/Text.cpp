#include "common/Text.h"

#include <cctype>
#include <cstdint>
#include <cstring>

namespace kimport {

char32_t nextCodePoint(std::string_view text, std::size_t& pos) {
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned char c = byte(pos);
    if (c < 0x80) {
        ++pos;
        return c;
    }
    int extra = 0;
    char32_t cp = 0;
    if ((c & 0xE0) == 0xC0) { extra = 1; cp = c & 0x1F; }
    else if ((c & 0xF0) == 0xE0) { extra = 2; cp = c & 0x0F; }
    else if ((c & 0xF8) == 0xF0) { extra = 3; cp = c & 0x07; }
    else { ++pos; return 0xFFFD; }
    for (int i = 1; i <= extra; ++i) {
        if (pos + i >= text.size() || (byte(pos + i) & 0xC0) != 0x80) { ++pos; return 0xFFFD; }
        cp = (cp << 6) | (byte(pos + i) & 0x3F);
    }
    static const char32_t minimum[] = {0, 0x80, 0x800, 0x10000};
    if (cp < minimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) { ++pos; return 0xFFFD; }
    pos += extra + 1;
    return cp;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool isAscii(std::string_view text) {
    // Eight bytes at a time: the common case is a long line of plain ASCII.
    std::size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + i, 8);
        if (word & 0x8080808080808080ULL) return false;
    }
    for (; i < text.size(); ++i)
        if (static_cast<unsigned char>(text[i]) >= 0x80) return false;
    return true;
}

bool isValidUtf8(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t before = pos;
        char32_t cp = nextCodePoint(text, pos);
        if (cp == 0xFFFD && !(pos - before == 3 && text.substr(before, 3) == "\xEF\xBF\xBD")) return false;
    }
    return true;
}

namespace {
// Byte offset of the n-th character (or the text's size).
std::size_t offsetOfChar(std::string_view text, std::size_t n) {
    std::size_t pos = 0;
    while (n > 0 && pos < text.size()) {
        nextCodePoint(text, pos);
        --n;
    }
    return pos;
}
}  // namespace

std::size_t charCount(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t pos = 0; pos < text.size(); ++count) nextCodePoint(text, pos);
    return count;
}

std::string firstChars(std::string_view text, std::size_t n) {
    return std::string(text.substr(0, offsetOfChar(text, n)));
}

std::string lastChars(std::string_view text, std::size_t n) {
    std::size_t count = charCount(text);
    if (count <= n) return std::string(text);
    return std::string(text.substr(offsetOfChar(text, count - n)));
}

std::string charSlice(std::string_view text, std::size_t from, std::size_t count) {
    std::size_t begin = offsetOfChar(text, from);
    std::string_view rest = text.substr(begin);
    return std::string(rest.substr(0, offsetOfChar(rest, count)));
}

std::string asciiUpper(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

std::string asciiLower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string foldedUpper(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        char32_t cp = nextCodePoint(text, pos);
        if (cp >= 'a' && cp <= 'z') cp -= 32;
        else if (cp >= 0xE0 && cp <= 0xFE && cp != 0xF7) cp -= 32;  // Latin-1 letters
        else if (cp == 0xFF) cp = 0x178;
        appendUtf8(out, cp);
    }
    return out;
}

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    // Names are mostly ASCII: compared in place, without building folded copies.
    std::size_t i = 0;
    for (; i < a.size() && i < b.size(); ++i) {
        const auto x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 0x80 || y >= 0x80) break;
        if (x != y && std::toupper(x) != std::toupper(y)) return false;
    }
    if (i == a.size() && i == b.size()) return true;
    if (i == a.size() || i == b.size()) return false;  // no character folds to nothing
    return foldedUpper(a.substr(i)) == foldedUpper(b.substr(i));
}

std::string_view trimmedView(std::string_view text) {
    std::size_t b = 0, e = text.size();
    while (b < e && static_cast<unsigned char>(text[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(text[e - 1]) <= ' ') --e;
    return text.substr(b, e - b);
}

std::string trim(std::string_view text) { return std::string(trimmedView(text)); }

bool startsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

std::vector<std::string> split(std::string_view text, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        std::size_t at = text.find(separator, start);
        parts.emplace_back(text.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start));
        if (at == std::string_view::npos) break;
        start = at + 1;
    }
    return parts;
}

std::string formatMessage(std::string_view pattern, std::initializer_list<std::string_view> args) {
    std::string out;
    auto arg = args.begin();
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && (pattern[i + 1] == 's' || pattern[i + 1] == 'd')) {
            if (arg != args.end()) out += *arg++;
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

}  // namespace kimport
