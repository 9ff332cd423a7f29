// The table store's logical field types. The numbers are the type codes the
// rest of the program stores and shows (0 to 22).
#pragma once

namespace kimport {

enum class FieldType : int {
    Unknown = 0,
    String = 1,
    SmallInt = 2,
    Integer = 3,
    Word = 4,
    Boolean = 5,
    Float = 6,
    Currency = 7,
    BCD = 8,
    Date = 9,
    Time = 10,
    DateTime = 11,
    Bytes = 12,
    VarBytes = 13,
    AutoInc = 14,
    Blob = 15,
    Memo = 16,
    Graphic = 17,
    FmtMemo = 18,
    ParadoxOle = 19,
    DBaseOle = 20,
    TypedBinary = 21,
    OracleParam = 22,
};

inline int typeCode(FieldType t) { return static_cast<int>(t); }
// The type a stored type code names (the control tables keep the numbers); Unknown outside 0 to 22.
inline FieldType fieldTypeOfCode(long long code) {
    return code >= 0 && code <= 22 ? static_cast<FieldType>(code) : FieldType::Unknown;
}
// Memo and formatted memo: text of any length, never cut to a field size.
inline bool isMemoType(FieldType t) { return t == FieldType::Memo || t == FieldType::FmtMemo; }

// Memo, blob, graphic and OLE values live outside the record.
inline bool isBlobType(FieldType t) {
    switch (t) {
    case FieldType::Blob: case FieldType::Memo: case FieldType::Graphic: case FieldType::FmtMemo:
    case FieldType::ParadoxOle: case FieldType::DBaseOle: case FieldType::TypedBinary:
        return true;
    default:
        return false;
    }
}

inline bool isTextualBlob(FieldType t) { return t == FieldType::Memo || t == FieldType::FmtMemo; }

}  // namespace kimport
