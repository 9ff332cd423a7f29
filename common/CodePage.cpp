#include "common/CodePage.h"

#include "common/CodePageTables.h"
#include "common/Text.h"

#include <cerrno>
#include <iconv.h>
#include <map>
#include <mutex>
#include <vector>

namespace kimport {

namespace {

constexpr int kLatin1 = 28591;

const char16_t* highTable(int codePage) {
    for (std::size_t i = 0; i < codepage_tables::kTableCount; ++i)
        if (codepage_tables::kTables[i].codePage == codePage) return codepage_tables::kTables[i].high;
    return nullptr;
}

// Reverse maps are built once per code page on first use: the byte of every code point of the
// Basic Multilingual Plane (all a table-driven page holds), 0 where the page has none. A flat table:
// a value's every character above ASCII is looked up here.
const std::vector<unsigned char>& reverseTable(int codePage) {
    static std::mutex mutex;
    static std::map<int, std::vector<unsigned char>> cache;
    std::lock_guard<std::mutex> guard(mutex);
    auto it = cache.find(codePage);
    if (it != cache.end()) return it->second;
    auto& bytes = cache[codePage];
    bytes.assign(0x10000, 0);
    const char16_t* high = highTable(codePage);
    for (int b = 0x80; b <= 0xFF; ++b)
        if (bytes[high[b - 0x80]] == 0) bytes[high[b - 0x80]] = static_cast<unsigned char>(b);
    return bytes;
}

// The iconv name of a Windows code page number.
std::string iconvName(int codePage) {
    switch (codePage) {
        case 10000: return "MACINTOSH";
        case 10007: return "MAC-CYRILLIC";
        case 10029: return "MAC-CENTRALEUROPE";
        case 20866: return "KOI8-R";
        case 65001: return "UTF-8";
        default: return "CP" + std::to_string(codePage);
    }
}

// One converter per code page and direction, opened on first use; the mutex
// guards both the cache and the converters' state.
class Converters {
public:
    static Converters& instance() {
        static Converters c;
        return c;
    }
    std::mutex mutex;
    // (iconv_t)-1 when iconv does not know the code page.
    iconv_t decoder(int codePage) { return get(decoders_, codePage, "UTF-8", iconvName(codePage)); }
    iconv_t encoder(int codePage) { return get(encoders_, codePage, iconvName(codePage), "UTF-8"); }
    ~Converters() {
        for (auto* m : {&decoders_, &encoders_})
            for (auto& [cp, cd] : *m)
                if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
    }

private:
    static iconv_t get(std::map<int, iconv_t>& cache, int codePage, const std::string& to, const std::string& from) {
        auto it = cache.find(codePage);
        if (it != cache.end()) return it->second;
        iconv_t cd = codePage <= 0 ? reinterpret_cast<iconv_t>(-1) : iconv_open(to.c_str(), from.c_str());
        cache.emplace(codePage, cd);
        return cd;
    }
    std::map<int, iconv_t> decoders_, encoders_;
};

bool known(iconv_t cd) { return cd != reinterpret_cast<iconv_t>(-1); }

[[noreturn]] void unsupported(int codePage, std::string_view whose = {}) {
    std::string text = "Die Codeseite " + std::to_string(codePage);
    if (!whose.empty()) text += " " + std::string(whose);
    throw CodePageError(text + " wird nicht unterstützt; ihre Texte können nicht umgewandelt werden.");
}

// Runs one conversion; false at a character the target cannot hold (in) or a byte sequence it cannot read.
// `consumed` tells how far the input got.
// A conversion iconv could only make approximately (it counts them) is no exact one either.
bool convert(iconv_t cd, std::string_view in, std::string& out, std::size_t& consumed, bool* approximate = nullptr) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(in.data());
    std::size_t left = in.size();
    char buffer[4096];
    while (left > 0) {
        char* dst = buffer;
        std::size_t room = sizeof buffer;
        std::size_t r = iconv(cd, &src, &left, &dst, &room);
        out.append(buffer, static_cast<std::size_t>(dst - buffer));
        if (r == static_cast<std::size_t>(-1) && errno != E2BIG) {
            consumed = in.size() - left;
            return false;
        }
        if (r != static_cast<std::size_t>(-1) && r > 0 && approximate) *approximate = true;
    }
    char* dst = buffer;
    std::size_t room = sizeof buffer;
    iconv(cd, nullptr, nullptr, &dst, &room);
    out.append(buffer, static_cast<std::size_t>(dst - buffer));
    consumed = in.size();
    return true;
}

std::string decodeWithIconv(std::string_view bytes, int codePage) {
    Converters& c = Converters::instance();
    std::lock_guard<std::mutex> guard(c.mutex);
    iconv_t cd = c.decoder(codePage);
    if (!known(cd)) unsupported(codePage);
    std::string out;
    while (!bytes.empty()) {
        std::size_t consumed = 0;
        if (convert(cd, bytes, out, consumed)) break;
        // A byte the code page does not define: shown as the replacement character.
        appendUtf8(out, 0xFFFD);
        bytes.remove_prefix(std::min(bytes.size(), consumed + 1));
    }
    return out;
}

// Encodes one code point at a time; stops at the first one that cannot be held or would not fit.
bool encodeWithIconv(std::string_view text, int codePage, std::string& out, char32_t* bad, std::size_t maxBytes,
                     std::size_t* unmappable) {
    Converters& c = Converters::instance();
    std::lock_guard<std::mutex> guard(c.mutex);
    iconv_t cd = c.encoder(codePage);
    if (!known(cd)) unsupported(codePage);
    bool exact = true;
    for (std::size_t pos = 0; pos < text.size();) {
        std::size_t start = pos;
        char32_t cp = nextCodePoint(text, pos);
        std::string piece;
        std::size_t consumed = 0;
        bool approximate = false;
        if (!convert(cd, text.substr(start, pos - start), piece, consumed, &approximate) || approximate) {
            if (bad && exact) *bad = cp;
            exact = false;
            if (unmappable) ++*unmappable;
            if (!unmappable) return false;
            piece = "?";
        }
        if (out.size() + piece.size() > maxBytes) break;
        out += piece;
    }
    return exact;
}

}  // namespace

bool isSupportedCodePage(int codePage) {
    if (codePage == kLatin1 || highTable(codePage) != nullptr) return true;
    Converters& c = Converters::instance();
    std::lock_guard<std::mutex> guard(c.mutex);
    return known(c.decoder(codePage)) && known(c.encoder(codePage));
}

void requireSupportedCodePage(int codePage, std::string_view whose) {
    if (!isSupportedCodePage(codePage)) unsupported(codePage, whose);
}

bool isSingleByteCodePage(int codePage) {
    switch (codePage) {
        case 932: case 936: case 949: case 950: case 65001: return false;
        default: return true;
    }
}

std::string decodeCodePage(std::string_view bytes, int codePage) {
    if (isAscii(bytes)) return std::string(bytes);
    const char16_t* high = codePage == kLatin1 ? nullptr : highTable(codePage);
    if (!high && codePage != kLatin1) return decodeWithIconv(bytes, codePage);
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    for (char ch : bytes) {
        auto b = static_cast<unsigned char>(ch);
        if (b < 0x80)
            out += ch;
        else
            appendUtf8(out, high ? high[b - 0x80] : b);
    }
    return out;
}

namespace {

bool encodeInto(std::string_view text, int codePage, std::string& out, char32_t* bad, std::size_t maxBytes,
                std::size_t* unmappable) {
    out.clear();
    if (isAscii(text)) {
        out.assign(text.substr(0, std::min(text.size(), maxBytes)));
        return true;
    }
    if (codePage != kLatin1 && !highTable(codePage))
        return encodeWithIconv(text, codePage, out, bad, maxBytes, unmappable);
    out.reserve(std::min(text.size(), maxBytes));
    const auto* reverse = codePage == kLatin1 ? nullptr : &reverseTable(codePage);
    bool exact = true;
    for (std::size_t pos = 0; pos < text.size() && out.size() < maxBytes;) {
        auto b = static_cast<unsigned char>(text[pos]);
        if (b < 0x80) {
            out += text[pos++];
            continue;
        }
        char32_t cp = nextCodePoint(text, pos);
        if (!reverse) {
            if (cp <= 0xFF) {
                out += static_cast<char>(cp);
                continue;
            }
        } else if (cp < reverse->size() && (*reverse)[cp] != 0) {
            out += static_cast<char>((*reverse)[cp]);
            continue;
        }
        if (bad && exact) *bad = cp;
        exact = false;
        if (!unmappable) return false;
        ++*unmappable;
        out += '?';
    }
    return exact;
}

}  // namespace

std::string encodeCodePage(std::string_view text, int codePage, std::size_t* unmappable) {
    std::string out;
    std::size_t ignored = 0;
    encodeInto(text, codePage, out, nullptr, std::string::npos, unmappable ? unmappable : &ignored);
    return out;
}

bool encodeCodePageExactly(std::string_view text, int codePage, std::string& out, char32_t* unmappable,
                           std::size_t maxBytes) {
    return encodeInto(text, codePage, out, unmappable, maxBytes, nullptr);
}

std::string DosToWindowsText(std::string_view text) {
    if (text.empty()) return {};
    // A character outside 1252 cannot stem from a byte; it stays as it is.
    std::string out;
    out.reserve(text.size());
    const auto& reverse1252 = reverseTable(1252);
    const char16_t* dos = highTable(850);
    for (std::size_t pos = 0; pos < text.size();) {
        auto b = static_cast<unsigned char>(text[pos]);
        if (b < 0x80) {
            out += text[pos++];
            continue;
        }
        std::size_t start = pos;
        char32_t cp = nextCodePoint(text, pos);
        const unsigned char byte = cp < reverse1252.size() ? reverse1252[cp] : 0;
        if (byte == 0) {
            out.append(text.substr(start, pos - start));
            continue;
        }
        appendUtf8(out, dos[byte - 0x80]);
    }
    return out;
}

}  // namespace kimport
