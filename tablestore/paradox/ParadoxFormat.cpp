// The tables behind the facts ParadoxFormat.h names: what each field type byte
// means and since which level it exists, which type a new table stores a
// program type in, and what the sort-order byte says about the code page.
#include "tablestore/paradox/ParadoxFormat.h"

namespace kimport::paradox {

// The level is the one that introduced the type: level 4 added the blob types, level 5 the others
// (long integers, logical, time, time stamp, auto-increment, BCD, bytes). A table that holds a type
// is written at least at that level.
TypeInfo typeInfo(int t) {
    switch (t) {
    case kAlpha: return {t, 'A', FieldType::String, kLevel30};
    case kDate: return {t, 'D', FieldType::Date, kLevel30};
    case kShort: return {t, 'S', FieldType::SmallInt, kLevel30};
    case kLong: return {t, 'I', FieldType::Integer, kLevel5};
    case kMoney: return {t, '$', FieldType::Currency, kLevel30};
    case kNumber: return {t, 'N', FieldType::Float, kLevel30};
    case kLogical: return {t, 'L', FieldType::Boolean, kLevel5};
    case kMemo: return {t, 'M', FieldType::Memo, kLevel4};
    case kBlob: return {t, 'B', FieldType::Blob, kLevel4};
    case kFmtMemo: return {t, 'F', FieldType::FmtMemo, kLevel4};
    case kOle: return {t, 'O', FieldType::ParadoxOle, kLevel4};
    case kGraphic: return {t, 'G', FieldType::Graphic, kLevel4};
    case kTime: return {t, 'T', FieldType::Time, kLevel5};
    case kTimestamp: return {t, '@', FieldType::DateTime, kLevel5};
    case kAutoInc: return {t, '+', FieldType::AutoInc, kLevel5};
    case kBcd: return {t, '#', FieldType::BCD, kLevel5};
    case kBytes: return {t, 'Y', FieldType::Bytes, kLevel5};
    default: return {t, 0, FieldType::Unknown, kLevel30};
    }
}

// Types without a Paradox type of their own take the nearest that holds every value: a Word (0 to
// 65535) does not fit a short, so it becomes a long; variable bytes become fixed bytes; anything
// else without a counterpart is kept whole in a binary blob.
int physicalFor(FieldType type) {
    switch (type) {
    case FieldType::String: return kAlpha;
    case FieldType::SmallInt: return kShort;
    case FieldType::Integer: case FieldType::Word: return kLong;
    case FieldType::Boolean: return kLogical;
    case FieldType::Float: return kNumber;
    case FieldType::Currency: return kMoney;
    case FieldType::BCD: return kBcd;
    case FieldType::Date: return kDate;
    case FieldType::Time: return kTime;
    case FieldType::DateTime: return kTimestamp;
    case FieldType::Bytes: case FieldType::VarBytes: return kBytes;
    case FieldType::AutoInc: return kAutoInc;
    case FieldType::Memo: return kMemo;
    case FieldType::FmtMemo: return kFmtMemo;
    case FieldType::Graphic: return kGraphic;
    case FieldType::ParadoxOle: case FieldType::DBaseOle: return kOle;
    default: return kBlob;
    }
}

// Tables that name no code page in their header (level 3, and some later ones written with code
// page 0) still say which language driver sorted them; each driver belongs to one code page. The
// Windows drivers mean 1252, the Nordic DOS ones 865, the international DOS one 850, the Chinese
// one 936; every other driver is a DOS driver of the US code page.
int codePageForSortOrder(int sortOrder) {
    switch (sortOrder) {
    case 0x03: return 936;
    case 0x11: case 0x40: case 0x4C: case 0x62: case 0x5D: case 0x18: return 1252;
    case 0x82: case 0xE6: return 865;
    case 0x54: return 850;
    default: return 437;
    }
}

// The name a header stores for a sort-order byte. Only the names of the orders met in real files are
// known; the others are written as "ascii".
const char* sortOrderName(int sortOrder) {
    switch (sortOrder) {
    case 0x00: return "ascii";
    case 0x11: return "ANSII850";
    case 0x40: return "DBWINWE0";
    case 0x4C: return "DBWINUS0";
    case 0xB7: return "intl";
    case 0x54: return "intl850";
    default: return "ascii";
    }
}

}  // namespace kimport::paradox
