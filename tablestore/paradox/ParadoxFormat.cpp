#include "tablestore/paradox/ParadoxFormat.h"

namespace kimport::paradox {

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

int codePageForSortOrder(int sortOrder) {
    switch (sortOrder) {
    case 0x03: return 936;
    case 0x11: case 0x40: case 0x4C: case 0x62: case 0x5D: case 0x18: return 1252;
    case 0x82: case 0xE6: return 865;
    case 0x54: return 850;
    default: return 437;
    }
}

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
