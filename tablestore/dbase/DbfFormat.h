// Facts of the dBase / FoxPro file family that the reader, the writer and the
// codec share: what a version byte implies, byte-order helpers, and which
// field letters keep their value in a memo file.
#pragma once

#include "tablestore/FieldDef.h"

#include <cstdint>
#include <cstring>

namespace kimport::dbase {

inline bool isVisualFoxPro(int version) {
    return version == 0x30 || version == 0x31 || version == 0x32;
}
// Level 7 is told apart by the low three bits (0x04, 0x8C); it has 48-byte descriptors.
inline bool isLevel7(int version) {
    return (version & 7) == 4 && !isVisualFoxPro(version);
}
inline bool isDBaseII(int version) {
    return version == 0x02;
}
// FoxPro products: their flag byte 0x1C means .CDX, their memo file is .FPT.
inline bool isFoxPro(int version) {
    return isVisualFoxPro(version) || version == 0xF5 || version == 0xFB;
}

enum class MemoStyle { None, DbtIII, DbtIV, Fpt };

// Values that live in the memo file. B is a memo only outside Visual FoxPro,
// where it is an 8-byte double; the length tells them apart in every version.
inline bool isMemoField(const FieldDef& f) {
    switch (f.letter) {
        case 'M':
        case 'G':
        case 'P':
        case 'W':
            return true;
        case 'B':
            return f.length != 8;
        default:
            return false;
    }
}

// Memo pointers of Visual FoxPro are 4 binary bytes, everyone else writes 10 digits.
inline bool hasBinaryMemoPointer(const FieldDef& f) {
    return f.length == 4;
}

inline std::uint16_t le16(const char* p) {
    auto b = reinterpret_cast<const unsigned char*>(p);
    return static_cast<std::uint16_t>(b[0] | b[1] << 8);
}
inline std::uint32_t le32(const char* p) {
    auto b = reinterpret_cast<const unsigned char*>(p);
    return static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
           static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
}
inline std::uint32_t be32(const char* p) {
    auto b = reinterpret_cast<const unsigned char*>(p);
    return static_cast<std::uint32_t>(b[0]) << 24 | static_cast<std::uint32_t>(b[1]) << 16 |
           static_cast<std::uint32_t>(b[2]) << 8 | static_cast<std::uint32_t>(b[3]);
}
inline std::uint64_t le64(const char* p) {
    return le32(p) | static_cast<std::uint64_t>(le32(p + 4)) << 32;
}
inline std::uint64_t be64(const char* p) {
    return static_cast<std::uint64_t>(be32(p)) << 32 | be32(p + 4);
}

inline void putLe16(char* p, std::uint32_t v) {
    p[0] = static_cast<char>(v & 0xFF);
    p[1] = static_cast<char>(v >> 8 & 0xFF);
}
inline void putLe32(char* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<char>(v >> (8 * i) & 0xFF);
}
inline void putBe32(char* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<char>(v >> (8 * (3 - i)) & 0xFF);
}
inline void putLe64(char* p, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<char>(v >> (8 * i) & 0xFF);
}
inline void putBe64(char* p, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<char>(v >> (8 * (7 - i)) & 0xFF);
}

// Julian day of 0000-12-31, so that Julian day - offset = our day number (1 = 0001-01-01).
constexpr std::int64_t kJulianDayOffset = 1721425;

}  // namespace kimport::dbase
