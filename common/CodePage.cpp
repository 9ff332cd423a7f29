#include "common/CodePage.h"

#include "common/CodePageTables.h"
#include "common/Text.h"

#include <map>
#include <mutex>
#include <unordered_map>

namespace kimport {

namespace {

constexpr int kLatin1 = 28591;

const char16_t* highTable(int codePage) {
    for (std::size_t i = 0; i < codepage_tables::kTableCount; ++i)
        if (codepage_tables::kTables[i].codePage == codePage) return codepage_tables::kTables[i].high;
    return nullptr;
}

const char16_t* tableOrDefault(int codePage) {
    const char16_t* t = highTable(codePage);
    return t ? t : highTable(1252);
}

// Reverse maps are built once per code page on first use.
const std::unordered_map<char32_t, unsigned char>& reverseTable(int codePage) {
    static std::mutex mutex;
    static std::map<int, std::unordered_map<char32_t, unsigned char>> cache;
    std::lock_guard<std::mutex> guard(mutex);
    auto it = cache.find(codePage);
    if (it != cache.end()) return it->second;
    auto& map = cache[codePage];
    const char16_t* high = tableOrDefault(codePage);
    for (int b = 0x80; b <= 0xFF; ++b) map.emplace(high[b - 0x80], static_cast<unsigned char>(b));
    return map;
}

}  // namespace

bool isSupportedCodePage(int codePage) { return codePage == kLatin1 || highTable(codePage) != nullptr; }

std::string decodeCodePage(std::string_view bytes, int codePage) {
    bool ascii = true;
    for (char c : bytes) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii) return std::string(bytes);
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    const char16_t* high = codePage == kLatin1 ? nullptr : tableOrDefault(codePage);
    for (char ch : bytes) {
        auto b = static_cast<unsigned char>(ch);
        if (b < 0x80)
            out += ch;
        else
            appendUtf8(out, high ? high[b - 0x80] : b);
    }
    return out;
}

std::string encodeCodePage(std::string_view text, int codePage, std::size_t* unmappable) {
    bool ascii = true;
    for (char c : text) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii) return std::string(text);
    std::string out;
    out.reserve(text.size());
    const auto* reverse = codePage == kLatin1 ? nullptr : &reverseTable(codePage);
    for (std::size_t pos = 0; pos < text.size();) {
        auto b = static_cast<unsigned char>(text[pos]);
        if (b < 0x80) {
            out += text[pos++];
            continue;
        }
        char32_t cp = nextCodePoint(text, pos);
        if (!reverse) {
            if (cp <= 0xFF) { out += static_cast<char>(cp); continue; }
        } else if (auto it = reverse->find(cp); it != reverse->end()) {
            out += static_cast<char>(it->second);
            continue;
        }
        out += '?';
        if (unmappable) ++*unmappable;
    }
    return out;
}

std::string DosToWindowsText(std::string_view text) {
    if (text.empty()) return {};
    // A character outside 1252 cannot stem from a byte; it stays as it is.
    std::string out;
    out.reserve(text.size());
    const auto& reverse1252 = reverseTable(1252);
    const char16_t* dos = tableOrDefault(850);
    for (std::size_t pos = 0; pos < text.size();) {
        auto b = static_cast<unsigned char>(text[pos]);
        if (b < 0x80) {
            out += text[pos++];
            continue;
        }
        std::size_t start = pos;
        char32_t cp = nextCodePoint(text, pos);
        auto it = reverse1252.find(cp);
        if (it == reverse1252.end()) {
            out.append(text.substr(start, pos - start));
            continue;
        }
        appendUtf8(out, dos[it->second - 0x80]);
    }
    return out;
}

}  // namespace kimport
