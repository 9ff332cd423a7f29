// Facts of the Paradox file format shared by its reader, writer and codec.
#pragma once

#include "tablestore/FieldType.h"

#include <cstdint>
#include <string>

namespace kimport::paradox {

// File version bytes.
constexpr int kLevel30 = 0x03;
constexpr int kLevel35 = 0x04;
constexpr int kLevel4 = 0x09;
constexpr int kLevel5 = 0x0B;
constexpr int kLevel7 = 0x0C;

inline bool hasExtension(int version) { return version >= 0x05; }  // level 4 and later
inline int tableNameLength(int version) { return version >= kLevel7 ? 261 : 79; }

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

constexpr std::uint32_t kBcdLength = 17;
constexpr int kMbUnit = 4096;

}  // namespace kimport::paradox
