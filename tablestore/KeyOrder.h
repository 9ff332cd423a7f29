// The order of primary keys in a keyed Paradox table. Encoded numbers, dates
// and times compare byte-wise (their sign bit is inverted for that reason);
// text compares byte-wise under the "ascii" sort order and, under the
// language sort orders, by letters without regard to case and accents first
// (an approximation of those collations, whose tables we do not have), then
// byte-wise.
#pragma once

#include "tablestore/TableImage.h"
#include "tablestore/paradox/ParadoxFormat.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace kimport {

namespace keyorder_detail {
// memcmp's sign for the field lengths of numbers, dates and short keys, without a library call.
template <class Word> inline int compareWords(const unsigned char* x, const unsigned char* y) {
    Word a, b;
    std::memcpy(&a, x, sizeof a);
    std::memcpy(&b, y, sizeof b);
    if (a == b) return 0;
    if constexpr (std::endian::native == std::endian::big) return a < b ? -1 : 1;
    if constexpr (sizeof(Word) == 2) return __builtin_bswap16(a) < __builtin_bswap16(b) ? -1 : 1;
    if constexpr (sizeof(Word) == 4) return __builtin_bswap32(a) < __builtin_bswap32(b) ? -1 : 1;
    if constexpr (sizeof(Word) == 8) return __builtin_bswap64(a) < __builtin_bswap64(b) ? -1 : 1;
}

inline int compareBytes(const unsigned char* x, const unsigned char* y, std::size_t n) {
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

}  // namespace keyorder_detail

class KeyOrder {
public:
    explicit KeyOrder(const TableImage& image);
    // Compares the first `fields` key fields of two rows: <0, 0, >0.
    // Inline: a key lookup compares some twenty times.
    int compare(const char* a, const char* b, int fields) const {
        for (int i = 0; i < fields && i < keyFields_; ++i) {
            const FieldDef& f = image_.fields[static_cast<std::size_t>(i)];
            const auto* x = reinterpret_cast<const unsigned char*>(a + f.offset);
            const auto* y = reinterpret_cast<const unsigned char*>(b + f.offset);
            const auto n = static_cast<std::size_t>(f.length);
            if (f.physicalType == paradox::kAlpha && !byteOrder_) {
                for (std::size_t k = 0; k < n; ++k)
                    if (weight_[x[k]] != weight_[y[k]]) return weight_[x[k]] < weight_[y[k]] ? -1 : 1;
            }
            if (int c = keyorder_detail::compareBytes(x, y, n); c != 0) return c;
        }
        return 0;
    }
    int compare(const char* a, const char* b) const { return compare(a, b, keyFields_); }
    int keyFields() const { return keyFields_; }
    // True when keys compare as their bytes do (no text field under a language sort order).
    bool comparesBytes() const { return byteOrder_ || !textKey_; }

private:
    const TableImage& image_;
    int keyFields_;
    bool byteOrder_;
    bool textKey_ = false;
    unsigned char weight_[256];
};

}  // namespace kimport
