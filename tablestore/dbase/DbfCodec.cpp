// Field values of dBase and FoxPro records: ASCII numbers, dates and logicals,
// FoxPro binary types with their _NullFlags, level-7 types in the Paradox
// encodings, and memo handles.
//
// The same letter means different bytes in different variants (I is a little-
// endian integer in Visual FoxPro and a Paradox-encoded one in level 7; B is a
// double in Visual FoxPro and a memo elsewhere), so the field's letter is always
// read together with the table's version. Text fields cannot tell an empty value
// from none (a blank field reads as none), and only Visual FoxPro's _NullFlags
// can tell an empty binary number from zero.
#include "common/CodePage.h"
#include "tablestore/FieldText.h"
#include "tablestore/FormatCodec.h"
#include "tablestore/TableError.h"
#include "tablestore/dbase/DbfFormat.h"
#include "tablestore/dbase/DbfNumbers.h"
#include "tablestore/dbase/DbfPaths.h"
#include "tablestore/paradox/ParadoxFormat.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

namespace kimport {

namespace {

using namespace dbase;

// The hidden _NullFlags field, or nullptr in tables without one (every variant but Visual FoxPro).
const FieldDef* nullFlagsField(const TableImage& t) {
    // Visual FoxPro puts it last.
    if (!t.fields.empty() && t.fields.back().letter == kNullFlagsLetter) return &t.fields.back();
    for (const FieldDef& f : t.fields)
        if (f.letter == kNullFlagsLetter) return &f;
    return nullptr;
}

// A bit of _NullFlags, counted from the low bit of its first byte. A bit the field does not have reads
// as clear, so a damaged descriptor cannot make a value disappear.
bool flagBit(const TableImage& t, const char* row, int bit) {
    const FieldDef* flags = nullFlagsField(t);
    if (!flags || bit < 0 || bit >= 8 * flags->length) return false;
    return (static_cast<unsigned char>(row[flags->offset + bit / 8]) >> (bit % 8)) & 1;
}

void setFlagBit(const TableImage& t, char* row, int bit, bool on) {
    const FieldDef* flags = nullFlagsField(t);
    if (!flags || bit < 0 || bit >= 8 * flags->length) return;
    auto& byte = reinterpret_cast<unsigned char&>(row[flags->offset + bit / 8]);
    byte = static_cast<unsigned char>(on ? byte | (1u << (bit % 8)) : byte & ~(1u << (bit % 8)));
}

// The "varlength" bit of a V/Q field: counted like the null bits, varlength first.
int varLengthBit(const TableImage& t, const FieldDef& field) {
    if (field.letter != 'V' && field.letter != 'Q') return -1;
    int bit = 0;
    for (const FieldDef& f : t.fields) {
        if (f.letter == kNullFlagsLetter) continue;
        if (f.offset == field.offset) return bit;
        if (f.letter == 'V' || f.letter == 'Q') ++bit;
        if (f.flags & kNullable) ++bit;
    }
    return -1;
}

// @, O and + exist only in level 7; I is binary everywhere but there has level 7's encoding.
bool isLevel7Binary(const TableImage& t, const FieldDef& f) {
    return f.letter == '@' || f.letter == 'O' || f.letter == '+' || (f.letter == 'I' && isLevel7(t.dbase.version));
}

// Level 7 took its binary types from Paradox, encodings included: big-endian, sign bit flipped for
// positives, all bits for negatives, so that bytes compare as the numbers do.
using paradox::kDoubleSignBit;
using paradox::kLongSignFlip;
double decodeOrderedDouble(std::uint64_t raw) {
    raw = (raw & kDoubleSignBit) ? raw & ~kDoubleSignBit : ~raw;
    return std::bit_cast<double>(raw);
}
std::uint64_t encodeOrderedDouble(double d) {
    auto raw = std::bit_cast<std::uint64_t>(d);
    return (raw & kDoubleSignBit) ? ~raw : raw | kDoubleSignBit;
}

bool allOf(const char* p, int n, std::string_view chars) {
    return std::all_of(p, p + n, [&](char c) { return chars.find(c) != std::string_view::npos; });
}

std::string_view fieldBytes(const FieldDef& f, const char* row) {
    return {row + f.offset, static_cast<std::size_t>(f.length)};
}

std::string tableName(const TableImage& t) {
    return shownName(t.dataPath);
}

[[noreturn]] void doesNotFit(const TableImage& t, const FieldDef& f, const std::string& value) {
    throw TableError("Der Wert " + value + " passt nicht in das Feld " + f.name + " (" + std::string(1, f.letter) +
                     " " + std::to_string(f.length) + "," + std::to_string(f.decimals) + ") der Tabelle " +
                     tableName(t) + ".", TableError::Kind::Value, t.dataPath);
}

[[noreturn]] void wrongKind(const TableImage& t, const FieldDef& f) {
    throw TableError("Das Feld " + f.name + " der Tabelle " + tableName(t) +
                     " kann einen Wert dieser Art nicht aufnehmen.", TableError::Kind::Value, t.dataPath);
}

// D fields are YYYYMMDD in ASCII. Anything else (blanks, zeros, a day that does not exist) is no date;
// some programs write 00000000 for none.
Value readDate(std::string_view text) {
    if (text.size() != 8 || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return Value::null();
    int y = std::stoi(std::string(text.substr(0, 4)));
    int m = std::stoi(std::string(text.substr(4, 2)));
    int d = std::stoi(std::string(text.substr(6, 2)));
    if (!isValidCivil(y, m, d)) return Value::null();
    return Value::ofDate(dayNumberFromCivil(y, m, d));
}

// T fields: a Julian day number and the milliseconds of that day, both little-endian.
Value readFoxDateTime(const char* p) {
    std::int64_t julian = le32(p), ms = le32(p + 4);
    if (julian == 0) return Value::null();
    std::int64_t day = julian - kJulianDayOffset;
    const std::int64_t lastDay = dayNumberFromCivil(9999, 12, 31);
    if (day < 1 || day > lastDay || ms >= kMsPerDay) return Value::null();
    // FoxPro shows whole seconds, and its writers leave 08:30:00 as 08:29:59.999: read to the nearest
    // second, so that showing, copying and converting give the same time. Records nobody changes are
    // written back byte for byte; the calendar's last second stays inside it.
    const std::int64_t total = (day * kMsPerDay + ms + 500) / 1000 * 1000;
    return Value::ofDateTime(static_cast<double>(std::min(total, (lastDay + 1) * kMsPerDay - 1000)));
}

// C fields are padded with blanks (zero bytes are cut as well): only from the end, never from the
// start, where blanks belong to the value.
Value readText(const TableImage& t, std::string_view bytes) {
    std::size_t end = bytes.find_last_not_of(std::string_view(" \0", 2));
    if (end == std::string_view::npos) return Value::null();
    return Value::ofText(decodeCodePage(bytes.substr(0, end + 1), t.codePage));
}

class DbfCodec : public FormatCodec {
public:
    Value read(const TableImage& t, const FieldDef& f, const char* row) const override {
        if (f.nullBit >= 0 && flagBit(t, row, f.nullBit)) return Value::null();
        const char* p = row + f.offset;
        // A field we cannot read as its type is shown as its bytes, so that nothing of it is hidden.
        if (f.type == FieldType::Unknown) {
            if (f.hidden || allOf(p, f.length, std::string_view(" \0", 2))) return Value::null();
            return Value::ofBytes(std::string(p, static_cast<std::size_t>(f.length)));
        }
        if (isMemoField(f)) {
            const std::string& value = t.blobs.get(BlobStore::handleAt(p));
            if (value.empty()) return Value::null();
            if (f.type == FieldType::Memo) return Value::ofText(decodeCodePage(value, t.codePage));
            return Value::ofBytes(value);
        }
        if (isLevel7Binary(t, f)) return readLevel7(f, p);
        switch (f.letter) {
            case 'C':
                return readText(t, fieldBytes(f, row));
            case 'V':
            case 'Q': {
                std::size_t n = static_cast<std::size_t>(f.length);
                if (n == 0) return Value::null();
                if (flagBit(t, row, varLengthBit(t, f)))
                    n = std::min<std::size_t>(static_cast<unsigned char>(p[f.length - 1]), n - 1);
                else if (allOf(p, f.length, std::string_view(" \0", 2)))
                    return Value::null();  // a blank record's field, not a value of blanks
                if (n == 0) return Value::null();
                std::string_view bytes(p, n);
                if (f.letter == 'Q') return Value::ofBytes(std::string(bytes));
                return Value::ofText(decodeCodePage(bytes, t.codePage));
            }
            case 'N':
            case 'F': {
                // F is stored like N: as text, not as a binary float.
                std::optional<double> n = parseFieldNumber(fieldBytes(f, row));
                return n ? Value::ofFloat(*n) : Value::null();
            }
            case 'L':
                // Y and N count as well as T and F, in either case; '?' and blanks are no value.
                switch (p[0]) {
                    case 'T':
                    case 't':
                    case 'Y':
                    case 'y':
                        return Value::ofBoolean(true);
                    case 'F':
                    case 'f':
                    case 'N':
                    case 'n':
                        return Value::ofBoolean(false);
                    default:
                        return Value::null();
                }
            case 'D': {
                std::string_view text = fieldBytes(f, row);
                Value v = readDate(text);
                // Blanks and zeros are no date; anything else that is none cannot be read.
                if (v.isNull() && !allOf(text.data(), text.size(), std::string_view(" 0\0", 3))) ++t.unreadableValues;
                return v;
            }
            case 'I':
                return Value::ofInteger(static_cast<std::int32_t>(le32(p)));
            case 'Y':
                // Currency: a 64-bit integer of ten-thousandths.
                return Value::ofFloat(static_cast<double>(static_cast<std::int64_t>(le64(p))) / 10000.0);
            case 'B': {
                double d = std::bit_cast<double>(le64(p));
                return std::isfinite(d) ? Value::ofFloat(d) : Value::null();
            }
            case 'T':
                return allOf(p, 8, " ") ? Value::null() : readFoxDateTime(p);
            default:
                return Value::null();
        }
    }

    void write(TableImage& t, const FieldDef& f, char* row, const Value& v) const override {
        // Work on a copy so that a value that does not fit leaves the record as it was.
        thread_local std::vector<char> scratch;
        scratch.assign(row, row + t.recordLength);
        writeInto(t, f, scratch.data(), v);
        std::copy(scratch.begin(), scratch.end(), row);
    }

    // Asked for every field of every record a run reads: text fields and memos answer without
    // decoding a value.
    bool isNull(const TableImage& t, const FieldDef& f, const char* row) const override {
        if (f.nullBit >= 0 && flagBit(t, row, f.nullBit)) return true;
        const char* p = row + f.offset;
        if (f.type != FieldType::Unknown && isMemoField(f)) return t.blobs.get(BlobStore::handleAt(p)).empty();
        if (f.letter == 'C') return allOf(p, f.length, std::string_view(" \0", 2));
        return read(t, f, row).isNull();
    }

private:
    static void writeInto(TableImage& t, const FieldDef& f, char* row, const Value& v) {
        char* p = row + f.offset;
        // A field we only show as bytes is never written: its meaning is unknown, so is any value for it.
        if (f.type == FieldType::Unknown || f.hidden) wrongKind(t, f);
        if (f.nullBit >= 0) setFlagBit(t, row, f.nullBit, v.isNull());
        if (isMemoField(f)) {
            std::string bytes;
            if (v.kind == Value::Kind::Text)
                bytes = encodeFieldText(t, f, v.text);
            else if (v.kind == Value::Kind::Bytes)
                bytes = v.text;
            else if (!v.isNull())
                wrongKind(t, f);
            std::fill_n(p, f.length, '\0');
            BlobStore::storeHandle(p, t.blobs.add(std::move(bytes)));
            return;
        }
        if (isLevel7Binary(t, f)) return writeLevel7(t, f, p, v);
        switch (f.letter) {
            case 'C':
                return writeText(t, f, p, v);
            case 'V':
            case 'Q':
                return writeVarLength(t, f, row, v);
            case 'N':
            case 'F':
                return writeNumber(t, f, p, v);
            case 'L':
                if (!v.isNull() && v.kind != Value::Kind::Boolean) wrongKind(t, f);
                // An empty logical is a blank: readers take '?' for false.
                p[0] = v.isNull() ? ' ' : (v.boolean ? 'T' : 'F');
                return;
            case 'D':
                return writeDate(t, f, p, v);
            case 'I': {
                std::int64_t i = integerOf(t, f, v);
                if (i < std::numeric_limits<std::int32_t>::min() || i > std::numeric_limits<std::int32_t>::max())
                    doesNotFit(t, f, std::to_string(i));
                putLe32(p, static_cast<std::uint32_t>(static_cast<std::int32_t>(i)));
                return;
            }
            case 'Y': {
                // Beyond 9.2e18 ten-thousandths the 64-bit integer overflows.
                double d = v.isNull() ? 0 : numberOf(t, f, v);
                double scaled = std::round(d * 10000.0);
                if (!(std::fabs(scaled) < 9.2e18)) doesNotFit(t, f, formatFixed(d, 4));
                putLe64(p, static_cast<std::uint64_t>(static_cast<std::int64_t>(scaled)));
                return;
            }
            case 'B':
                putLe64(p, std::bit_cast<std::uint64_t>(v.isNull() ? 0.0 : numberOf(t, f, v)));
                return;
            case 'T':
                return writeFoxDateTime(t, f, p, v);
            default:
                wrongKind(t, f);
        }
    }

    static Value readLevel7(const FieldDef& f, const char* p) {
        if (f.letter == 'I' || f.letter == '+') {
            std::uint32_t raw = be32(p);
            if (raw == 0) return Value::null();
            return Value::ofInteger(static_cast<std::int32_t>(raw ^ kLongSignFlip));
        }
        std::uint64_t raw = be64(p);
        if (raw == 0) return Value::null();
        double d = decodeOrderedDouble(raw);
        if (!std::isfinite(d)) return Value::null();
        return f.letter == '@' ? Value::ofDateTime(d) : Value::ofFloat(d);
    }

    static void writeLevel7(const TableImage& t, const FieldDef& f, char* p, const Value& v) {
        if (f.letter == 'I' || f.letter == '+') {
            if (v.isNull()) return putBe32(p, 0);
            std::int64_t i = integerOf(t, f, v);
            // The raw pattern 0 is the null mark, so the smallest int32 cannot be stored.
            if (i <= std::numeric_limits<std::int32_t>::min() || i > std::numeric_limits<std::int32_t>::max())
                doesNotFit(t, f, std::to_string(i));
            return putBe32(p, static_cast<std::uint32_t>(static_cast<std::int32_t>(i)) ^ kLongSignFlip);
        }
        if (v.isNull()) return putBe64(p, 0);
        double d = f.letter == '@' ? dateTimeOf(t, f, v) : numberOf(t, f, v);
        if (f.letter == '@' && (d < kMsPerDay || d >= (dayNumberFromCivil(9999, 12, 31) + 1.0) * kMsPerDay))
            doesNotFit(t, f, isoDateTime(d));
        putBe64(p, encodeOrderedDouble(d));
    }

    // A text longer than the field keeps its first characters rather than being refused.
    static void writeText(const TableImage& t, const FieldDef& f, char* p, const Value& v) {
        std::fill_n(p, f.length, ' ');
        if (v.isNull()) return;
        if (v.kind != Value::Kind::Text) wrongKind(t, f);
        std::string bytes = encodeFieldText(t, f, v.text, static_cast<std::size_t>(f.length));
        std::copy(bytes.begin(), bytes.end(), p);
    }

    // V and Q fields: a value as long as the field fills it; a shorter one is zero-padded, its length in
    // the last byte and its bit in _NullFlags set. Without _NullFlags it is blank-padded like a C field.
    static void writeVarLength(const TableImage& t, const FieldDef& f, char* row, const Value& v) {
        char* p = row + f.offset;
        std::string bytes;
        if (v.kind == Value::Kind::Text && f.letter == 'V')
            bytes = encodeFieldText(t, f, v.text, static_cast<std::size_t>(f.length));
        else if (v.kind == Value::Kind::Bytes && f.letter == 'Q')
            bytes = v.text;
        else if (!v.isNull())
            wrongKind(t, f);
        // A length read as an int is never negative here; saying so keeps the optimiser from warning.
        const auto n = static_cast<std::size_t>(std::max(f.length, 0));
        int bit = varLengthBit(t, f);
        bool shorter = bytes.size() < n && bit >= 0 && nullFlagsField(t);
        std::fill_n(p, n, shorter ? '\0' : ' ');
        std::copy_n(bytes.data(), std::min(bytes.size(), n), p);
        // A shorter value keeps its length in the field's last byte.
        if (shorter) p[n - 1] = static_cast<char>(bytes.size());
        setFlagBit(t, row, bit, shorter);
    }

    static void writeNumber(const TableImage& t, const FieldDef& f, char* p, const Value& v) {
        std::fill_n(p, f.length, ' ');
        if (v.isNull()) return;
        // Decimal texts keep all their digits; doubles would round the 17th away.
        auto format = [&](int decimals) {
            return v.kind == Value::Kind::Decimal ? formatFixed(std::string_view(v.text), decimals)
                                                  : formatFixed(numberOf(t, f, v), decimals);
        };
        std::string text = format(f.decimals);
        if (text.empty()) doesNotFit(t, f, "(keine Zahl)");
        // A value too wide for the declared decimals goes in with fewer, as dBase programs write it,
        // as long as no digit is lost: 780 in an N(3,1) field is "780".
        for (int d = f.decimals - 1; text.size() > static_cast<std::size_t>(f.length) && d >= 0; --d) {
            std::string shorter = format(d);
            if (parseFieldNumber(shorter) != parseFieldNumber(text)) break;
            text = shorter;
        }
        if (text.size() > static_cast<std::size_t>(f.length)) doesNotFit(t, f, text);
        std::copy(text.begin(), text.end(), p + f.length - static_cast<int>(text.size()));
    }

    static void writeDate(const TableImage& t, const FieldDef& f, char* p, const Value& v) {
        std::fill_n(p, f.length, ' ');
        if (v.isNull()) return;
        if (v.kind != Value::Kind::Date && v.kind != Value::Kind::DateTime) wrongKind(t, f);
        auto day = v.kind == Value::Kind::Date ? static_cast<DayNumber>(v.integer)
                                               : static_cast<DayNumber>(std::floor(v.number / kMsPerDay));
        if (day < 1 || day > dayNumberFromCivil(9999, 12, 31) || f.length < 8) doesNotFit(t, f, isoDate(day));
        CivilDate c = civilFromDayNumber(day);
        // YYYYMMDD, digit by digit: a formatted print per record costs more than the rest of the field.
        const int parts[3][2] = {{c.year, 4}, {c.month, 2}, {c.day, 2}};
        for (const auto& [value, width] : parts) {
            for (int k = width - 1, v = value; k >= 0; --k, v /= 10) p[k] = static_cast<char>('0' + v % 10);
            p += width;
        }
    }

    // Rounded to the nearest millisecond, the field's unit.
    static void writeFoxDateTime(const TableImage& t, const FieldDef& f, char* p, const Value& v) {
        std::fill_n(p, 8, '\0');
        if (v.isNull()) return;
        double ms = dateTimeOf(t, f, v);
        auto total = static_cast<std::int64_t>(std::floor(ms + 0.5));
        std::int64_t day = total / kMsPerDay;
        if (day < 1 || day > dayNumberFromCivil(9999, 12, 31)) doesNotFit(t, f, isoDateTime(ms));
        putLe32(p, static_cast<std::uint32_t>(day + kJulianDayOffset));
        putLe32(p + 4, static_cast<std::uint32_t>(total % kMsPerDay));
    }

    static double dateTimeOf(const TableImage& t, const FieldDef& f, const Value& v) {
        if (v.kind == Value::Kind::DateTime && std::isfinite(v.number)) return v.number;
        if (v.kind == Value::Kind::Date) return static_cast<double>(v.integer) * kMsPerDay;
        wrongKind(t, f);
    }

    // Numbers of either kind go into every numeric field; nothing is lost that way.
    static double numberOf(const TableImage& t, const FieldDef& f, const Value& v) {
        if (v.kind == Value::Kind::Float) return v.number;
        if (v.kind == Value::Kind::Integer) return static_cast<double>(v.integer);
        if (v.kind == Value::Kind::Decimal)
            if (std::optional<double> d = parseFieldNumber(v.text)) return *d;
        wrongKind(t, f);
    }

    // A float goes into an integer field only when it is a whole number; 2.5 is refused, not rounded.
    static std::int64_t integerOf(const TableImage& t, const FieldDef& f, const Value& v) {
        if (v.isNull()) return 0;
        if (v.kind == Value::Kind::Integer) return v.integer;
        if (v.kind == Value::Kind::Float && std::isfinite(v.number) && v.number == std::trunc(v.number) &&
            std::fabs(v.number) < 9.2e18)
            return static_cast<std::int64_t>(v.number);
        if (v.kind == Value::Kind::Float) doesNotFit(t, f, formatFixed(v.number, 4));
        wrongKind(t, f);
    }
};

}  // namespace

const FormatCodec& dbaseCodec() {
    static const DbfCodec codec;
    return codec;
}

}  // namespace kimport
