// Facts of the Paradox file format shared by its reader, writer and codec:
// the bytes of the .DB and .PX headers, the data blocks, the field types, the
// blob fields of a record and the .MB file that holds their values.
//
// Integers of headers, block heads, blob tails and the .MB are little-endian;
// field values in records and index entries are big-endian with the sign bit
// inverted, so that encoded keys compare with memcmp. Where a value below is
// only what Paradox itself writes (not something a reader relies on), the
// comment says so: we write what it writes, so that it takes our files as its own.
#pragma once

#include "tablestore/FieldType.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace kimport::paradox {

// File version bytes (header kVersionAt). Versions 0x05-0x08 and 0x0A exist too;
// only the ones we write are named.
constexpr int kLevel30 = 0x03;
constexpr int kLevel35 = 0x04;
constexpr int kLevel4 = 0x09;
constexpr int kLevel5 = 0x0B;
constexpr int kLevel7 = 0x0C;

// Level 4 and later put a 32-byte extension after the common header (code page,
// update time, a second encryption word); level 3 headers go straight on with the fields.
inline bool hasExtension(int version) { return version >= 0x05; }
// The table name stored in the header: 79 bytes, 261 from level 7 on (long file names).
inline int tableNameLength(int version) { return version >= kLevel7 ? 261 : 79; }

// ---- The common header of .DB and .PX files, offsets 0x00-0x57 ----
constexpr std::size_t kRecordSizeAt = 0x00;      // u16 bytes per record (.PX: key bytes + 6)
constexpr std::size_t kHeaderSizeAt = 0x02;      // u16 offset of block 1; 3.0 files state their exact length
constexpr std::size_t kFileTypeAt = 0x04;        // u8 kKeyedTable, kPrimaryIndex or kUnkeyedTable
constexpr std::size_t kBlockSizeAt = 0x05;       // u8 block size in KB (1-4; 16 and 32 only at level 7)
constexpr std::size_t kRecordCountAt = 0x06;     // u32 records in the chain (.PX: entries on all levels)
constexpr std::size_t kUsedBlocksAt = 0x0A;      // u16 blocks in the chain
constexpr std::size_t kTotalBlocksAt = 0x0C;     // u16 blocks in the file, free ones included
constexpr std::size_t kFirstBlockAt = 0x0E;      // u16 first block of the chain, 0 for an empty table
constexpr std::size_t kLastBlockAt = 0x10;       // u16 last block of the chain, 0 for an empty table
constexpr std::size_t kRebuildFlagAt = 0x14;     // u8 non-zero: Paradox rebuilds the table before use
constexpr std::size_t kIndexRootAt = 0x1E;       // u16 .PX only: block number of the index root
constexpr std::size_t kIndexLevelsAt = 0x20;     // u8 .PX only: levels of the index tree
constexpr std::size_t kFieldCountAt = 0x21;      // s16 fields (.PX: key fields)
constexpr std::size_t kKeyFieldCountAt = 0x23;   // s16 leading fields that form the primary key
constexpr std::size_t kEncryptionAt = 0x25;      // u32 level 3: the key, 0 when plain; later: kPlainMark
constexpr std::size_t kSortOrderAt = 0x29;       // u8 sort order of text keys (0 = ascii)
constexpr std::size_t kRebuildFlag2At = 0x2A;    // u8 as kRebuildFlagAt
constexpr std::size_t kIndexStampAt = 0x2C;      // u8 .PX only: the .DB's change counter it was built for
constexpr std::size_t kChangeCountAt = 0x2D;     // u8 bumped on every save; a .PX must repeat it
constexpr std::size_t kChangeCount2At = 0x2E;    // u8 a second counter; 1 in new files
constexpr std::size_t kVersionAt = 0x39;         // u8 file version byte, kLevel30 .. kLevel7
constexpr std::size_t kMaxBlocksAt = 0x3A;       // u16 equal to kTotalBlocksAt in every file seen
constexpr std::size_t kPlainFileMarkAt = 0x3E;   // 2 bytes 1F 0F in every plain .DB, 00 00 when encrypted
constexpr std::size_t kAutoIncAt = 0x49;         // u32 last value handed to an auto-increment field
constexpr std::size_t kFirstFreeBlockAt = 0x4D;  // u16 head of the free-block list, 0 = none
constexpr std::size_t kIndexOutdatedAt = 0x4F;   // u8 non-zero: the .PX must be rebuilt
constexpr std::size_t kUsedHeaderSizeAt = 0x51;  // u16 header bytes in use, up to the sort order name
constexpr std::size_t kLevel4MarkAt = 0x56;      // u8 0x20 in .DB files of level 4 and later

// ---- The level-4 extension of .DB headers, 0x58-0x77 ----
constexpr std::size_t kExtensionAt = 0x58;        // where the extension starts (and level 3's field list)
constexpr std::size_t kExtVersionAt = 0x58;       // u16 0x0100 + the version byte
constexpr std::size_t kExtVersion2At = 0x5A;      // u16 the same again
constexpr std::size_t kEncryption2At = 0x5C;      // u32 non-zero: the table is encrypted
constexpr std::size_t kUpdateTimeAt = 0x60;       // u32 last save, seconds since 1970
constexpr std::size_t kHighFieldIdAt = 0x64;      // u16 above every field number (n + 1 in new tables)
constexpr std::size_t kFieldNumbersAt = 0x66;     // u16 offset of the field numbers, counted from 0x58
constexpr std::size_t kCodePageAt = 0x6A;         // u16 code page of text; 0 when the table names none
constexpr std::size_t kExtFlagsAt = 0x6C;         // 2 bytes 01 01 in the files Paradox makes
constexpr std::size_t kUsedHeaderSize2At = 0x6E;  // u16 kUsedHeaderSizeAt's value - kUsedHeaderBias
constexpr std::size_t kChangeCount4At = 0x70;     // u16 one more counter; 1 in new files
constexpr std::size_t kExtensionEnd = 0x78;       // the field list of a level-4+ .DB starts here
constexpr std::size_t kUsedHeaderBias = 0x61;     // the difference of the two used-size words, as Paradox keeps it

constexpr int kKeyedTable = 0;                     // kFileTypeAt of a .DB with a primary key
constexpr int kPrimaryIndex = 1;                   // kFileTypeAt of a .PX
constexpr int kUnkeyedTable = 2;                   // kFileTypeAt of a .DB without one
constexpr std::uint32_t kPlainMark = 0xFF00FF00u;  // kEncryptionAt of an unencrypted level-4+ .DB
constexpr int kLevel4Mark = 0x20;                  // kLevel4MarkAt's value
constexpr char kPlainFileMark[] = "\x1F\x0F";      // kPlainFileMarkAt's two bytes

// The field list (type and size byte per field) follows the common header in level-3
// tables and in every .PX, the extension in level-4+ .DB files.
inline std::size_t fieldListStart(int version) { return hasExtension(version) ? kExtensionEnd : kExtensionAt; }
// Headers of level 3.5 and later fill whole units of this size; 3.0 headers end at their last byte.
constexpr std::size_t kHeaderUnit = 0x800;
// The header size is a u16: a reader never needs more of the file's start than this.
constexpr std::size_t kMostHeaderBytes = 0x10000;
// Fields a .DB may have; the count is an s16 but Paradox stops at 255.
constexpr int kMaxFields = 255;
// Paradox's limits for what a new table may be made with.
constexpr int kMaxFieldNameChars = 25;
constexpr int kMaxRecordSize = 4000;

// ---- Data blocks of .DB and .PX files ----
// Block b (from 1) lies at headerSize + (b - 1) * blockSize. Its 6-byte head holds the next and the
// previous block of the chain and the bytes used after the first record; the records follow.
constexpr std::size_t kBlockHeadBytes = 6;
constexpr std::size_t kNextBlockAt = 0;   // u16 next block of the chain, 0 at the end
constexpr std::size_t kPrevBlockAt = 2;   // u16 previous block, 0 at the start
constexpr std::size_t kLastRecordAt = 4;  // s16 (records - 1) * recordSize; negative in an empty block
// Block sizes in KB a header may state; larger ones are refused as damage.
constexpr int kMaxBlockKb = 32;
// The largest block below level 7: a table that needs larger blocks has to become a level-7 table.
constexpr int kMaxBlockKbBeforeLevel7 = 4;
// Block numbers are 16-bit.
constexpr std::size_t kMaxBlocks = 0xFFFF;

// ---- The .PX primary index ----
// Its header has the common layout with the key fields' type and size bytes at kExtensionAt, and is
// always 2 KB. An entry is the key followed by three shorts encoded like S fields: the child block,
// the records below it and a zero.
constexpr std::size_t kIndexHeaderSize = 0x800;
constexpr std::size_t kIndexEntryTail = 6;

// Physical field type bytes.
enum PhysicalType : int {
    kAlpha = 0x01, kDate = 0x02, kShort = 0x03, kLong = 0x04, kMoney = 0x05, kNumber = 0x06,
    kLogical = 0x09, kMemo = 0x0C, kBlob = 0x0D, kFmtMemo = 0x0E, kOle = 0x0F, kGraphic = 0x10,
    kTime = 0x14, kTimestamp = 0x15, kAutoInc = 0x16, kBcd = 0x17, kBytes = 0x18,
};

struct TypeInfo {
    int physical;
    char letter;
    FieldType logical;
    int minLevel;  // file version byte needed
};

// Facts of a physical type byte; letter 0 for unknown types.
TypeInfo typeInfo(int physicalType);
// The physical type that stores a logical type in a new table.
int physicalFor(FieldType type);
inline bool isBlobPhysical(int t) { return t >= kMemo && t <= kGraphic; }

// The code page that a sort order implies when the header names none.
int codePageForSortOrder(int sortOrder);
// Sort-order id strings for the sort-order byte (for new tables: "ascii").
const char* sortOrderName(int sortOrder);

// ---- Field values ----
// Numbers are stored big-endian with the sign bit flipped (and every bit of a negative double), so
// that a plain byte comparison orders them; all-zero bytes are no value, which is why the smallest
// integers (-32768, -2^31) cannot be stored.
constexpr std::uint16_t kShortSignFlip = 0x8000;
constexpr std::uint32_t kLongSignFlip = 0x80000000u;
constexpr std::uint64_t kDoubleSignBit = 0x8000000000000000ULL;
// Logical values: 0 is no value, the low bits tell false from true.
constexpr char kLogicalFalse = static_cast<char>(0x80);
constexpr char kLogicalTrue = static_cast<char>(0x81);
// BCD fields: a sign-and-decimals byte, then 32 packed digits (complemented when negative).
constexpr std::uint32_t kBcdLength = 17;
constexpr int kBcdDigits = 32;
constexpr int kBcdPositive = 0xC0;      // first byte of a value >= 0 (bit 7 sign, bit 6 always set)
constexpr int kBcdNegative = 0x40;      // first byte of a value < 0
constexpr int kBcdDecimalsMask = 0x3F;  // the decimals, repeated in the first byte

// ---- Blob fields (M, B, F, O, G) in a record ----
// A leader with the value's first bytes, then a little-endian tail: where in the .MB the value
// lies, its whole length and its modification number. A value that fits the leader has no .MB part.
constexpr std::size_t kBlobTailBytes = 10;
constexpr std::size_t kBlobPointerAt = 0;  // u32 in the tail: .MB offset | slot (0xFF: a block of its own)
constexpr std::size_t kBlobLengthAt = 4;   // u32 in the tail: the value's length, 0 = no value
constexpr std::size_t kBlobModAt = 8;      // u16 in the tail: the value's modification number
// Leaders Paradox allows; memo leaders need at least one byte.
constexpr int kMaxBlobLeader = 240;
// Graphic values start with 01 00 00 01 and their length (u32), which readers of the value never see.
constexpr std::size_t kGraphicPrefixBytes = 8;

// ---- The .MB file ----
// Blocks of whole 4 KB units. Each starts with its type and its size in units.
constexpr int kMbUnit = 4096;
constexpr std::size_t kMbTypeAt = 0;   // u8 block type
constexpr std::size_t kMbUnitsAt = 1;  // u16 units in the block
constexpr int kMbHeaderBlock = 0;      // the first block, holding the modification counter
constexpr int kMbSingleBlob = 2;       // one value over whole units
constexpr int kMbSubAllocated = 3;     // one unit shared by up to kMbSlots small values
// The header block: what Paradox writes there and readers check. Only the modification number
// changes; the rest is the same in every file seen (and says what the other constants here say).
constexpr std::size_t kMbModificationAt = 3;       // u16 the last modification number handed out
constexpr std::size_t kMbHeaderConstantAt = 0x05;  // 6 bytes 82 73 02 00 29 00
constexpr std::size_t kMbUnitSizeAt = 0x0B;        // u16 kMbUnit
constexpr std::size_t kMbUnitSize2At = 0x0D;       // u16 kMbUnit again
constexpr std::size_t kMbChunkSizeAt = 0x10;       // u8 kMbChunkBytes
constexpr std::size_t kMbSlotCountAt = 0x11;       // u16 kMbSlots
constexpr std::size_t kMbSmallLimitAt = 0x13;      // u16 kMbSmallLimit
constexpr std::size_t kMbHeaderMarkAt = 0x29;      // u16 0x02A1
// From 0x38 on, a list of free space Paradox keeps; a fresh file leaves it empty.
// Type-2 blocks: the value's length and modification number, then the value.
constexpr std::size_t kMbBlobLengthAt = 3;  // u32
constexpr std::size_t kMbBlobModAt = 7;     // u16
constexpr std::size_t kMbBlobHeadBytes = 9;
// Type-3 blocks: kMbSlots slots of 5 bytes from kMbSlotsAt (first chunk, chunks, modification
// number, bytes used in the last chunk), then 16-byte chunks of data from kMbFirstDataChunk on.
constexpr std::size_t kMbSlotsAt = 0x0C;
constexpr std::size_t kMbSlotBytes = 5;
constexpr std::size_t kMbSlotStartAt = 0;   // u8 first chunk of the value; 0 = a free slot
constexpr std::size_t kMbSlotChunksAt = 1;  // u8 chunks the value takes
constexpr std::size_t kMbSlotModAt = 2;     // u16 the value's modification number
constexpr std::size_t kMbSlotLastAt = 4;    // u8 bytes used in the last chunk (1-16)
constexpr std::size_t kMbSlots = 64;
constexpr std::size_t kMbChunkBytes = 16;
constexpr std::size_t kMbFirstDataChunk = 21;  // chunks 0-20 hold the block head and the slots
// Blocks start on whole units, so a blob pointer's low byte is free: it names the slot of a shared
// block, or kMbOwnBlockSlot for a type-2 block.
constexpr std::uint32_t kMbSlotMask = 0xFF;
constexpr std::uint32_t kMbOwnBlockSlot = 0xFF;
// Values up to this length share type-3 blocks; longer ones get a type-2 block. Paradox says so in its header.
constexpr std::size_t kMbSmallLimit = 2048;
// Pointers keep the slot in their low byte: offsets must stay below 2^32 - 256.
constexpr std::uint64_t kMbMaxOffset = 0xFFFFFF00u;

}  // namespace kimport::paradox
