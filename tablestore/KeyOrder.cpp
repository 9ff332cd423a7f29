#include "tablestore/KeyOrder.h"

#include "common/CodePage.h"
#include "common/Text.h"
#include "tablestore/paradox/ParadoxFormat.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace kimport {

namespace {
// Base letter of a Latin character: "é" -> 'E', "ß" -> 'S'; others unchanged.
unsigned char baseLetter(char32_t cp) {
    if (cp < 0x80) return static_cast<unsigned char>(cp >= 'a' && cp <= 'z' ? cp - 32 : cp);
    static const char* const latin1 = "AAAAAAACEEEEIIIIDNOOOOOxOUUUUYTSAAAAAAACEEEEIIIIDNOOOOO/OUUUUYTY";
    if (cp >= 0xC0 && cp <= 0xFF) return static_cast<unsigned char>(latin1[cp - 0xC0]);
    return 0xFF;  // everything else after the letters
}
// memcmp's sign for the field lengths of numbers, dates and short keys without a library call: a key
// lookup compares some twenty times.
template <class Word> int compareWords(const unsigned char* x, const unsigned char* y) {
    Word a, b;
    std::memcpy(&a, x, sizeof a);
    std::memcpy(&b, y, sizeof b);
    if (a == b) return 0;
    if constexpr (std::endian::native == std::endian::big) return a < b ? -1 : 1;
    if constexpr (sizeof(Word) == 2) return __builtin_bswap16(a) < __builtin_bswap16(b) ? -1 : 1;
    if constexpr (sizeof(Word) == 4) return __builtin_bswap32(a) < __builtin_bswap32(b) ? -1 : 1;
    if constexpr (sizeof(Word) == 8) return __builtin_bswap64(a) < __builtin_bswap64(b) ? -1 : 1;
}

int compareBytes(const unsigned char* x, const unsigned char* y, std::size_t n) {
    switch (n) {
    case 1: return x[0] == y[0] ? 0 : (x[0] < y[0] ? -1 : 1);
    case 2: return compareWords<std::uint16_t>(x, y);
    case 4: return compareWords<std::uint32_t>(x, y);
    case 8: return compareWords<std::uint64_t>(x, y);
    default: {
        const int c = std::memcmp(x, y, n);
        return c == 0 ? 0 : (c < 0 ? -1 : 1);
    }
    }
}

}  // namespace

KeyOrder::KeyOrder(const TableImage& image)
    : image_(image), keyFields_(image.keyFieldCount), byteOrder_(image.paradoxSortOrder == 0) {
    for (int b = 0; b < 256; ++b) {
        std::string one(1, static_cast<char>(b));
        std::string utf8 = decodeCodePage(one, image.codePage);
        std::size_t pos = 0;
        weight_[b] = b == 0 ? 0 : baseLetter(nextCodePoint(utf8, pos));
    }
}

int KeyOrder::compare(const char* a, const char* b, int fields) const {
    for (int i = 0; i < fields && i < keyFields_; ++i) {
        const FieldDef& f = image_.fields[static_cast<std::size_t>(i)];
        const auto* x = reinterpret_cast<const unsigned char*>(a + f.offset);
        const auto* y = reinterpret_cast<const unsigned char*>(b + f.offset);
        const auto n = static_cast<std::size_t>(f.length);
        if (f.physicalType == paradox::kAlpha && !byteOrder_) {
            for (std::size_t k = 0; k < n; ++k)
                if (weight_[x[k]] != weight_[y[k]]) return weight_[x[k]] < weight_[y[k]] ? -1 : 1;
        }
        if (int c = compareBytes(x, y, n); c != 0) return c;
    }
    return 0;
}

}  // namespace kimport
