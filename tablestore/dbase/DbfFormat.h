// Facts of the dBase / FoxPro file family that the reader, the writer and the
// codec share: the bytes of the header and the field descriptors, what a
// version byte implies, the memo files (.DBT, .FPT), byte-order helpers, and
// which field letters keep their value in a memo file.
//
// One family, many writers: dBase III, IV, 5 and 7, FoxBASE, FoxPro, Visual
// FoxPro and Clipper each use some of the reserved bytes for something of their
// own. The version byte says which layout a file has; the names below say which
// variants a byte belongs to. Header integers are little-endian; .FPT integers
// are big-endian, as FoxPro inherited them from the Macintosh.
#pragma once

#include "tablestore/FieldDef.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace kimport::dbase {

// ---- Version bytes (header byte 0) ----
// In dBase's own versions the low three bits are the level (3 = III/IV, 4 = 7, 5 = 5), bit 3 marks
// a dBase IV memo file and bit 7 a memo file at all; the FoxPro versions are plain numbers.
constexpr int kDBaseII = 0x02;       // dBase II / FoxBASE, read only
constexpr int kDBaseIII = 0x03;      // dBase III+ and IV (and FoxPro) without a memo file
constexpr int kDBase5 = 0x05;        // dBase 5 without a memo file
constexpr int kVisualFoxPro = 0x30;  // Visual FoxPro; 0x31 with autoincrement, 0x32 with V/Q fields
constexpr int kVisualFoxProLast = 0x32;
constexpr int kDBaseIIIMemo = 0x83;    // dBase III+ with a .DBT
constexpr int kDBaseIVMemo = 0x8B;     // dBase IV with a .DBT of its own layout
constexpr int kHiPerSixMemo = 0xE5;    // HiPer-Six with an .SMT memo file, which we do not read
constexpr int kFoxPro2Memo = 0xF5;     // FoxPro 2 with an .FPT
constexpr int kFoxBase = 0xFB;         // FoxBASE without a memo file
constexpr int kDBaseIVMemoBit = 0x08;  // set in the versions whose .DBT has dBase IV's layout

inline bool isVisualFoxPro(int version) {
    return version >= kVisualFoxPro && version <= kVisualFoxProLast;
}
// Level 7 is told apart by the low three bits (0x04, 0x8C); it has 48-byte descriptors.
inline bool isLevel7(int version) {
    return (version & 7) == 4 && !isVisualFoxPro(version);
}
inline bool isDBaseII(int version) {
    return version == kDBaseII;
}
// FoxPro products: their flag byte kTableFlagsAt means .CDX, their memo file is .FPT.
inline bool isFoxPro(int version) {
    return isVisualFoxPro(version) || version == kFoxPro2Memo || version == kFoxBase;
}

// ---- The main header (32 bytes; level 7: 68) ----
constexpr std::size_t kVersionAt = 0x00;         // u8 version byte
constexpr std::size_t kUpdateDateAt = 0x01;      // 3 x u8 last update: years since 1900, month, day
constexpr std::size_t kRecordCountAt = 0x04;     // u32 records, deleted ones included
constexpr std::size_t kHeaderLengthAt = 0x08;    // u16 offset of the first record
constexpr std::size_t kRecordLengthAt = 0x0A;    // u16 bytes per record, the deletion flag included
constexpr std::size_t kEncryptedAt = 0x0F;       // u8 dBase IV: 1 when the table is encrypted
constexpr std::size_t kTableFlagsAt = 0x1C;      // u8 kHasIndex, kHasMemo, ...
constexpr std::size_t kLanguageDriverAt = 0x1D;  // u8 the code page, as a language driver id
constexpr std::size_t kDriverNameAt = 0x20;      // level 7: the language driver's name, 32 bytes
constexpr std::size_t kDriverNameBytes = 32;
constexpr std::size_t kHeaderBytes = 32;          // the main header of all but level 7 and dBase II
constexpr std::size_t kLevel7HeaderBytes = 0x44;  // level 7: the driver name and 4 reserved bytes more

// kTableFlagsAt: a production index (.MDX, or .CDX for FoxPro) that dBase and FoxPro open with the
// table; Visual FoxPro also marks its memo file there.
constexpr int kHasIndex = 0x01;
constexpr int kHasMemo = 0x02;

// ---- Field descriptors ----
// 32 bytes each from kHeaderBytes on (48 from kLevel7HeaderBytes in level 7), ended by kHeaderEnd.
constexpr std::size_t kDescriptorBytes = 32;
constexpr std::size_t kNameAt = 0x00;  // 11 bytes, zero-padded: at most 10 characters
constexpr std::size_t kNameBytes = 11;
constexpr std::size_t kLetterAt = 0x0B;       // u8 the type letter
constexpr std::size_t kFieldOffsetAt = 0x0C;  // u32 FoxPro: where the field starts in the record
constexpr std::size_t kLengthAt = 0x10;       // u8 length (FoxPro and Clipper C fields: its low byte)
constexpr std::size_t kDecimalsAt = 0x11;     // u8 decimals (FoxPro and Clipper C fields: the high byte)
constexpr std::size_t kFieldFlagsAt = 0x12;   // u8 Visual FoxPro: kSystemField, kNullable, ...
constexpr std::size_t kNextAutoIncAt = 0x13;  // u32 Visual FoxPro: the value the next record gets
constexpr std::size_t kAutoIncStepAt = 0x17;  // u8 Visual FoxPro: the step between values

// Visual FoxPro's hidden last field: one bit per nullable field (set: no value) and per V/Q field
// (set: shorter than the field, its length in the last byte).
constexpr char kNullFlagsLetter = '0';

// kFieldFlagsAt (Visual FoxPro); elsewhere the byte is reserved and may hold anything.
constexpr int kSystemField = 0x01;  // hidden, as _NullFlags
constexpr int kNullable = 0x02;     // takes a bit of _NullFlags to say "no value"
constexpr int kBinaryField = 0x04;  // no code-page translation
constexpr int kAutoIncrement = 0x08;

// Level 7: 48-byte descriptors with room for 31 characters of a name.
constexpr std::size_t kLevel7DescriptorBytes = 48;
constexpr std::size_t kLevel7NameBytes = 32;
constexpr std::size_t kLevel7LetterAt = 0x20;
constexpr std::size_t kLevel7LengthAt = 0x21;
constexpr std::size_t kLevel7DecimalsAt = 0x22;
constexpr std::size_t kLevel7NextAutoIncAt = 0x28;  // u32 the value the next record gets

// dBase II: 16-byte descriptors from byte 8, at most 32, in a header of fixed length.
constexpr std::size_t kDBaseIIRecordCountAt = 0x01;   // u16
constexpr std::size_t kDBaseIIRecordLengthAt = 0x06;  // u16
constexpr std::size_t kDBaseIIHeaderBytes = 8;
constexpr std::size_t kDBaseIIDescriptorBytes = 16;
constexpr std::size_t kDBaseIIMaxFields = 32;
constexpr std::size_t kDBaseIILengthAt = 12;
constexpr std::size_t kDBaseIIDecimalsAt = 15;
constexpr std::uint32_t kDBaseIIHeaderLength = 521;  // 8 + 32 x 16 + 1

constexpr char kHeaderEnd = 0x0D;  // the byte after the last descriptor
// Visual FoxPro follows the descriptors with the path of its database container, zero-filled when
// the table belongs to none; the header length counts it.
constexpr std::size_t kBacklinkBytes = 263;
// Largest header a file can state (a 16-bit length); the reader never needs more bytes.
constexpr std::size_t kMaxHeaderBytes = 65535;

// ---- Records ----
// Fixed length, one after the other from the header length on, in the order they were appended.
// Each starts with its deletion flag; the file ends with kEndOfFile after the last one (which some
// writers leave out, and some follow with garbage: the record count decides).
constexpr char kLiveRecord = ' ';
constexpr char kDeletedRecord = '*';
constexpr char kEndOfFile = 0x1A;

// ---- Memo files ----
enum class MemoStyle { None, DbtIII, DbtIV, Fpt };

// .DBT of dBase III: 512-byte blocks, the next free block at 0, values ended by 1A 1A (FoxPro
// writes one 1A, so a reader stops at the first).
constexpr std::uint32_t kDbtBlockSize = 512;
constexpr std::size_t kDbtNextFreeAt = 0;  // u32 the first block after the last value
constexpr char kDbtEndMark = 0x1A;
// .DBT of dBase IV: the block size is stored, and each value has a head with its length.
constexpr std::size_t kDbtIVBlockSize32At = 0x04;  // u32 some writers' block size; 0 in dBase's own
constexpr std::size_t kDbtIVBaseNameAt = 0x08;     // 8 bytes: the table's name without extension
constexpr std::size_t kDbtIVBaseNameBytes = 8;
constexpr std::size_t kDbtIVMarkAt = 0x12;       // 2 bytes 02 01 in dBase's files
constexpr std::size_t kDbtIVBlockSizeAt = 0x14;  // u16 the block size
constexpr std::size_t kDbtIVValueLengthAt = 4;   // u32 in a value's head: its length, the head included
// A value's head starts so; values without it are dBase III values some writers put there.
constexpr char kDbtIVValueMark[4] = {'\xFF', '\xFF', '\x08', '\x00'};
// What dBase IV fills a value's last block with; readers that cut at 1F rely on it.
constexpr char kDbtIVFiller[2] = {'\x1F', ' '};
// .FPT: the header takes the first 512 bytes whatever the block size; block numbers count from the
// file's start. Each value has a head with its type and length (big-endian).
constexpr std::uint32_t kFptHeaderBytes = 512;
constexpr std::uint32_t kFptBlockSize = 64;   // FoxPro's default
constexpr std::size_t kFptNextFreeAt = 0;     // u32 BE the first block after the last value
constexpr std::size_t kFptBlockSizeAt = 6;    // u16 BE the block size (0: by bytes)
constexpr std::size_t kFptValueTypeAt = 0;    // u32 BE in the head: kFptPicture, kFptText, kFptObject
constexpr std::size_t kFptValueLengthAt = 4;  // u32 BE in the head: the value's length
constexpr std::uint32_t kFptPicture = 0;
constexpr std::uint32_t kFptText = 1;
constexpr std::uint32_t kFptObject = 2;
// Both memo heads (dBase IV and FoxPro) take 8 bytes before the value.
constexpr std::size_t kMemoValueHeadBytes = 8;

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

// Memo pointers of Visual FoxPro are 4 binary bytes, everyone else writes 10 digits; the field's
// length decides which, whatever the version byte says.
inline bool hasBinaryMemoPointer(const FieldDef& f) {
    return f.length == 4;
}

// Byte order helpers. The header, the .DBT and Visual FoxPro's binary fields are little-endian; the
// .FPT's heads and level 7's binary fields (which take Paradox's encodings) are big-endian.
inline std::uint16_t le16(const char* p) {
    auto b = reinterpret_cast<const unsigned char*>(p);
    return static_cast<std::uint16_t>(b[0] | b[1] << 8);
}
inline std::uint32_t le32(const char* p) {
    auto b = reinterpret_cast<const unsigned char*>(p);
    return static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
           static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
}
inline std::uint16_t be16(const char* p) {
    auto b = reinterpret_cast<const unsigned char*>(p);
    return static_cast<std::uint16_t>(b[0] << 8 | b[1]);
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
inline void putBe16(char* p, std::uint32_t v) {
    p[0] = static_cast<char>(v >> 8 & 0xFF);
    p[1] = static_cast<char>(v & 0xFF);
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

// Visual FoxPro's T fields count days as astronomers do, from 4713 BC.
// Julian day of 0000-12-31, so that Julian day - offset = our day number (1 = 0001-01-01).
constexpr std::int64_t kJulianDayOffset = 1721425;

}  // namespace kimport::dbase
