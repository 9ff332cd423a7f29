// Field values in Paradox records: integers and doubles big-endian with the
// sign bit inverted (so encoded keys compare with memcmp), all-zero = null.
//
// Because all-zero bytes mean "no value", the smallest integer of each width
// cannot be stored (it would encode as zero): writes refuse -32768 and -2^31
// as Paradox does. Dates and times that are no calendar day or time of day
// (other programs write such bytes) read as no value and are counted, so that
// a dump says how many it could not show.
#include "common/CodePage.h"
#include "common/Text.h"
#include "tablestore/Bytes.h"
#include "tablestore/FieldText.h"
#include "tablestore/FormatCodec.h"
#include "tablestore/TableError.h"
#include "tablestore/paradox/ParadoxFormat.h"

#include <cmath>
#include <cstring>

namespace kimport {

namespace {

using namespace kimport::bytes;
using namespace kimport::paradox;

// Paradox's calendar ends with the year 9999; later day numbers are not dates to it.
const DayNumber kLastDay = dayNumberFromCivil(9999, 12, 31);

// Numbers, money and time stamps: IEEE doubles, big-endian, with the sign bit set for values >= 0 and
// every bit inverted for negative ones, so that the bytes of two values compare as the values do.
std::uint64_t encodeDouble(double d) {
    std::uint64_t bits;
    std::memcpy(&bits, &d, 8);
    if (d == 0) bits = 0;  // -0 and +0 alike
    return (bits & kDoubleSignBit) ? ~bits : bits | kDoubleSignBit;
}

double decodeDouble(std::uint64_t raw) {
    std::uint64_t bits = (raw & kDoubleSignBit) ? raw & ~kDoubleSignBit : ~raw;
    double d;
    std::memcpy(&d, &bits, 8);
    return d;
}

// 32 packed digits; the last `decimals` are decimals. Negative values have every digit complemented.
// The engine that writes them keeps only about 17 significant digits and leaves the other nibbles
// as they happen to be: the first nibble that is no digit ends the number.
std::string decodeBcd(const char* p, int decimals) {
    auto b0 = static_cast<unsigned char>(p[0]);
    bool positive = b0 & 0x80;
    int digits[kBcdDigits];
    bool junk = false;
    for (int i = 0; i < kBcdDigits; ++i) {
        auto byte = static_cast<unsigned char>(p[1 + i / 2]);
        int nibble = (i % 2 == 0) ? byte >> 4 : byte & 0x0F;
        if (!positive) nibble = 15 - nibble;
        if (nibble > 9) junk = true;  // not a digit: it and every later one count as 0
        digits[i] = junk ? 0 : nibble;
    }
    // The header's decimals count; the first byte repeats them for a field that lost its own.
    if (decimals < 0 || decimals > kBcdDigits) decimals = b0 & kBcdDecimalsMask;
    if (decimals > kBcdDigits) decimals = kBcdDigits;
    std::string intPart;
    for (int i = 0; i < kBcdDigits - decimals; ++i)
        if (!intPart.empty() || digits[i] != 0) intPart += static_cast<char>('0' + digits[i]);
    if (intPart.empty()) intPart = "0";
    std::string out = intPart;
    if (decimals > 0) {
        out += '.';
        for (int i = kBcdDigits - decimals; i < kBcdDigits; ++i) out += static_cast<char>('0' + digits[i]);
    }
    return positive ? out : "-" + out;
}

void encodeBcd(char* p, const std::string& decimalText, int decimals) {
    // decimalText: optional "-", digits, optional "." digits.
    bool negative = !decimalText.empty() && decimalText[0] == '-';
    std::string t = negative ? decimalText.substr(1) : decimalText;
    std::string intDigits = t, fracDigits;
    if (auto dot = t.find('.'); dot != std::string::npos) {
        intDigits = t.substr(0, dot);
        fracDigits = t.substr(dot + 1);
    }
    // Round to the field's decimals, half away from zero.
    bool roundUp = fracDigits.size() > static_cast<std::size_t>(decimals) &&
                   fracDigits[static_cast<std::size_t>(decimals)] >= '5';
    fracDigits.resize(static_cast<std::size_t>(decimals), '0');
    std::string all = intDigits + fracDigits;
    if (roundUp) {
        int i = static_cast<int>(all.size()) - 1;
        while (i >= 0 && all[static_cast<std::size_t>(i)] == '9') all[static_cast<std::size_t>(i--)] = '0';
        if (i < 0) all.insert(all.begin(), '1'); else ++all[static_cast<std::size_t>(i)];
    }
    std::size_t firstNonZero = all.find_first_not_of('0');
    if (firstNonZero == std::string::npos) negative = false;
    std::string significant = firstNonZero == std::string::npos ? "" : all.substr(firstNonZero);
    if (significant.size() > static_cast<std::size_t>(kBcdDigits))
        throw TableError("Der Wert " + decimalText + " hat zu viele Stellen für ein BCD-Feld", TableError::Kind::Value);
    std::string digits = std::string(kBcdDigits - significant.size(), '0') + significant;
    p[0] = static_cast<char>((negative ? kBcdNegative : kBcdPositive) | decimals);
    for (int i = 0; i < kBcdDigits / 2; ++i) {
        int hi = digits[static_cast<std::size_t>(2 * i)] - '0', lo = digits[static_cast<std::size_t>(2 * i + 1)] - '0';
        if (negative) { hi = 15 - hi; lo = 15 - lo; }
        p[1 + i] = static_cast<char>((hi << 4) | lo);
    }
}

// Reads and writes field values in a row's bytes. Blob fields hold a handle into the image's BlobStore
// while the table is open: only the reader and the writer meet the .MB.
class ParadoxCodec : public FormatCodec {
public:
    Value read(const TableImage& t, const FieldDef& f, const char* row) const override {
        const char* p = row + f.offset;
        switch (f.physicalType) {
        case kAlpha: {
            // The text ends at the first zero byte or with the field.
            const void* zero = std::memchr(p, 0, static_cast<std::size_t>(f.length));
            const auto n = zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - p) : static_cast<std::size_t>(f.length);
            if (n == 0) return Value::null();
            return Value::ofText(decodeCodePage(std::string_view(p, n), t.codePage));
        }
        case kShort: {
            std::uint16_t raw = be16(p);
            if (raw == 0) return Value::null();
            return Value::ofInteger(static_cast<std::int16_t>(raw ^ kShortSignFlip));
        }
        case kLong: case kAutoInc: case kDate: case kTime: {
            std::uint32_t raw = be32(p);
            if (raw == 0) return Value::null();
            auto v = static_cast<std::int32_t>(raw ^ kLongSignFlip);
            // Dates and times outside the calendar cannot be read: they count as no value.
            if (f.physicalType == kDate) {
                if (v >= 1 && v <= kLastDay) return Value::ofDate(v);
                ++t.unreadableValues;
                return Value::null();
            }
            if (f.physicalType == kTime) {
                if (v >= 0 && v < kMsPerDay) return Value::ofTime(v);
                ++t.unreadableValues;
                return Value::null();
            }
            return Value::ofInteger(v);
        }
        case kMoney: case kNumber: case kTimestamp: {
            std::uint64_t raw = be64(p);
            if (raw == 0) return Value::null();
            double d = decodeDouble(raw);
            if (f.physicalType != kTimestamp) return Value::ofFloat(d);
            bool inCalendar = std::isfinite(d) && d >= kMsPerDay && d < (kLastDay + 1.0) * kMsPerDay;
            if (inCalendar) return Value::ofDateTime(d);
            ++t.unreadableValues;
            return Value::null();
        }
        case kLogical:
            // 80 is false; a byte with any of the low bits set is read as true.
            if (p[0] == 0) return Value::null();
            return Value::ofBoolean((static_cast<unsigned char>(p[0]) & 0x7F) != 0);  // 80 false, 81 true
        case kBcd:
            if (p[0] == 0) return Value::null();
            return Value::ofDecimal(decodeBcd(p, f.decimals));
        case kBytes:
            // Fixed length: a value is all of the field's bytes, trailing zeros included.
            if (allZero(p, static_cast<std::size_t>(f.length))) return Value::null();
            return Value::ofBytes(std::string(p, static_cast<std::size_t>(f.length)));
        case kMemo: case kFmtMemo: case kBlob: case kOle: case kGraphic: {
            const std::string& data = t.blobs.get(BlobStore::handleAt(p));
            if (data.empty()) return Value::null();
            if (f.physicalType == kMemo) return Value::ofText(decodeCodePage(data, t.codePage));
            return Value::ofBytes(data);
        }
        default:
            return Value::null();
        }
    }

    void writeText(TableImage& t, const FieldDef& f, char* row, std::string_view text) const override {
        if (f.physicalType == kAlpha && isAscii(text)) return writeAscii(f, row, text);
        FormatCodec::writeText(t, f, row, text);
    }

    // ASCII is the same bytes in every code page: an empty text is no value, a long one keeps its start.
    static void writeAscii(const FieldDef& f, char* row, std::string_view text) {
        char* p = row + f.offset;
        const auto length = static_cast<std::size_t>(f.length);
        std::memset(p, 0, length);
        std::memcpy(p, text.data(), std::min(text.size(), length));
    }

    // Without reading the value: BCD and logical fields are empty when their first byte is zero (a BCD
    // zero and "false" have it set); all other fields when every byte is zero.
    bool isNull(const TableImage& t, const FieldDef& f, const char* row) const override {
        const char* p = row + f.offset;
        if (isBlobPhysical(f.physicalType)) return t.blobs.get(BlobStore::handleAt(p)).empty();
        if (f.physicalType == kBcd || f.physicalType == kLogical) return p[0] == 0;
        return allZero(p, static_cast<std::size_t>(f.length));
    }

    void write(TableImage& t, const FieldDef& f, char* row, const Value& v) const override {
        // Every check comes before the field is touched: a value that cannot be held leaves it as it was.
        char* p = row + f.offset;
        const auto length = static_cast<std::size_t>(f.length);
        auto cleared = [&] {
            std::memset(p, 0, length);
            return p;
        };
        if (v.isNull()) {
            cleared();
            return;
        }
        switch (f.physicalType) {
        case kAlpha: {
            // Other text is converted to the table's code page; a character it lacks is refused (Value).
            if (isAscii(v.text)) return writeAscii(f, row, v.text);
            std::string bytes = encodeFieldText(t, f, v.text, length);
            std::memcpy(cleared(), bytes.data(), bytes.size());
            return;
        }
        case kShort:
            // -32768 would encode as all zeros, which is no value: Paradox's range stops one short.
            if (v.integer < -32767 || v.integer > 32767) throw outOfRange(f, std::to_string(v.integer));
            return putBe16(cleared(), static_cast<std::uint16_t>(v.integer) ^ kShortSignFlip);
        case kDate:
            if (v.integer < 1 || v.integer > kLastDay) throw outOfRange(f, "(Tag " + std::to_string(v.integer) + ")");
            return putBe32(cleared(), static_cast<std::uint32_t>(static_cast<std::int32_t>(v.integer)) ^ kLongSignFlip);
        case kTime:
            if (v.integer < 0 || v.integer >= kMsPerDay)
                throw outOfRange(f, "(" + std::to_string(v.integer) + " ms)");
            return putBe32(cleared(), static_cast<std::uint32_t>(static_cast<std::int32_t>(v.integer)) ^ kLongSignFlip);
        case kLong: case kAutoInc:
            if (v.integer < -2147483647LL || v.integer > 2147483647LL) throw outOfRange(f, std::to_string(v.integer));
            return putBe32(cleared(), static_cast<std::uint32_t>(static_cast<std::int32_t>(v.integer)) ^ kLongSignFlip);
        case kTimestamp:
            // Day 1 is 01.01.0001; a time stamp before it or after 9999 is outside the calendar.
            if (!std::isfinite(v.number) || v.number < kMsPerDay || v.number >= (kLastDay + 1.0) * kMsPerDay)
                throw outOfRange(f, std::isfinite(v.number) ? isoDateTime(v.number) : std::string("(keine Zahl)"));
            return putBe64(cleared(), encodeDouble(v.number));
        case kMoney: case kNumber:
            // Only finite numbers: infinity or NaN is an error of the value (a division by zero), not data.
            if (!std::isfinite(v.number)) throw TableError("Feld " + f.name + ": ungültige Zahl", TableError::Kind::Value);
            return putBe64(cleared(), encodeDouble(v.number));
        case kLogical:
            cleared()[0] = v.boolean ? kLogicalTrue : kLogicalFalse;
            return;
        case kBcd: {
            char bcd[kBcdLength];
            encodeBcd(bcd, v.text, f.decimals);
            std::memcpy(cleared(), bcd, kBcdLength);
            return;
        }
        case kBytes:
            std::memcpy(cleared(), v.text.data(), std::min(v.text.size(), length));
            return;
        case kMemo: case kFmtMemo: case kBlob: case kOle: case kGraphic: {
            // Only plain memos are text; formatted memos, OLE objects and graphics are kept byte for byte.
            std::string data = f.physicalType == kMemo ? encodeFieldText(t, f, v.text) : v.text;
            BlobStore::storeHandle(cleared(), t.blobs.add(std::move(data)));
            return;
        }
        default:
            return;
        }
    }

private:
    static TableError outOfRange(const FieldDef& f, const std::string& v) {
        return TableError("Der Wert " + v + " liegt außerhalb des Wertebereichs von Feld " + f.name,
                          TableError::Kind::Value);
    }
};

}  // namespace

const FormatCodec& paradoxCodec() {
    static ParadoxCodec codec;
    return codec;
}

}  // namespace kimport
