// A new, empty dBase or FoxPro table from the program's field descriptions.
//
// A field with an explicit dBase letter is made exactly so. Otherwise the
// types without a dBase counterpart become (dBase III/IV and FoxPro 2):
//   SmallInt, Word -> N 6,0     Integer, AutoInc -> N 11,0 (room for the sign)
//   Float          -> N 20 with the given decimals, 4 when none are given
//   Currency       -> N 20 with the given decimals, 2 when none are given
//   BCD            -> N 20 with the given decimals, else its size (its decimals)
//   Time           -> C 12 ("HH:MM:SS.mmm")   DateTime -> C 23 ("YYYY-MM-DDTHH:MM:SS.mmm")
//   Memo, FmtMemo  -> M (text)  blobs, graphics, OLE, Bytes, VarBytes -> P (FoxPro), M in dBase
// Visual FoxPro has its own: SmallInt, Integer, AutoInc -> I, Float -> B,
// Currency -> Y, DateTime -> T.
// Float and Currency take a width from size (1..20) when one is given.
// Text is Windows-1252 with language driver 0x57, the ANSI driver of dBase and
// the BDE that dBase-aware readers map to 1252.
#include "tablestore/dbase/DbfNewTable.h"

#include "common/Text.h"
#include "tablestore/TableError.h"
#include "tablestore/TableFiles.h"
#include "tablestore/dbase/DbfFormat.h"
#include "tablestore/dbase/DbfHeader.h"
#include "tablestore/dbase/DbfLanguageDrivers.h"
#include "tablestore/dbase/DbfPaths.h"

#include <algorithm>
#include <cctype>
#include <set>

namespace kimport::dbase {

namespace {

// dBase IV's limits, which the other variants accept too; Visual FoxPro's records may be longer.
constexpr int kMaxCharacterLength = 254;
constexpr int kMaxNumberWidth = 20;
constexpr std::size_t kMaxFields = 255;
constexpr int kMaxRecordLength = 4000;
constexpr int kMaxVisualFoxProRecordLength = 65500;
// The descriptor's length byte: no field asked for by its letter may be longer.
constexpr int kMaxFieldLength = 255;

// dBase names: A-Z, 0-9 and _, starting with a letter, at most 10 characters. German umlauts are
// spelled out (Größe becomes GROESSE) rather than dropped, so that names stay readable; any other
// character becomes _.
std::string dbaseName(const std::string& name) {
    std::string out;
    for (std::size_t pos = 0; pos < name.size();) {
        char32_t c = nextCodePoint(name, pos);
        switch (c) {
            case U'ä':
            case U'Ä':
                out += "AE";
                continue;
            case U'ö':
            case U'Ö':
                out += "OE";
                continue;
            case U'ü':
            case U'Ü':
                out += "UE";
                continue;
            case U'ß':
                out += "SS";
                continue;
            default:
                break;
        }
        if (c < 0x80 && (std::isalnum(static_cast<int>(c)) || c == '_'))
            out += static_cast<char>(std::toupper(static_cast<int>(c)));
        else
            out += '_';
    }
    if (out.empty() || !(out[0] >= 'A' && out[0] <= 'Z')) out = "F" + out;
    return out.substr(0, 10);
}

// Two names that became one (Straße_1 and Strasse_1) are told apart by a counter at the end, which
// takes the place of the last characters so that the name stays within 10.
std::string uniqueName(std::string name, std::set<std::string>& taken) {
    for (int n = 2; taken.count(name); ++n) {
        std::string suffix = "_" + std::to_string(n);
        name = name.substr(0, std::min(name.size(), 10 - suffix.size())) + suffix;
    }
    taken.insert(name);
    return name;
}

// How a field is stored: its letter, length and decimals, and the type the program then sees.
struct Physical {
    char letter;
    int length;
    int decimals;
    FieldType type;
};

// A width asked for when it is one a number field can have, else the widest.
int numberWidth(const FieldSpec& s) {
    return s.size >= 1 && s.size <= kMaxNumberWidth ? s.size : kMaxNumberWidth;
}

// Visual FoxPro has binary types for what the others keep as text; the rest is as in FoxPro 2.
Physical visualFoxProPhysical(const FieldSpec& s) {
    switch (s.type) {
        case FieldType::SmallInt:
        case FieldType::Word:
        case FieldType::Integer:
        case FieldType::AutoInc:
            return {'I', 4, 0, FieldType::Integer};
        case FieldType::Float:
            return {'B', 8, 0, FieldType::Float};
        case FieldType::Currency:
            return {'Y', 8, 4, FieldType::Currency};
        case FieldType::DateTime:
            return {'T', 8, 0, FieldType::DateTime};
        case FieldType::Memo:
        case FieldType::FmtMemo:
            return {'M', 4, 0, FieldType::Memo};
        default:
            return {0, 0, 0, FieldType::Unknown};
    }
}

// A field asked for by its dBase letter is made so, once the variant is known to read it: the letter
// and length are checked as a read would check them.
Physical explicitPhysical(const FieldSpec& s, int version, const std::string& table) {
    FieldDef probe;
    probe.letter = s.dbaseLetter;
    probe.length = s.size;
    assignLogicalType(probe, version);
    if (probe.type == FieldType::Unknown || s.size < 1 || s.size > kMaxFieldLength ||
        (s.dbaseLetter != 'C' && s.size > kMaxNumberWidth && !isMemoField(probe)))
        throw TableError("Das Feld " + s.name + " der Tabelle " + table + " hat einen Typ (" +
                             std::string(1, s.dbaseLetter) + " " + std::to_string(s.size) +
                             "), den diese dBase-Version nicht kennt.",
                         TableError::Kind::Usage);
    return {s.dbaseLetter, s.size, std::max(0, s.decimals), probe.type};
}

Physical physicalFor(const FieldSpec& s, int version, const std::string& table) {
    if (s.dbaseLetter != 0) return explicitPhysical(s, version, table);
    if (isVisualFoxPro(version)) {
        Physical p = visualFoxProPhysical(s);
        if (p.letter != 0) return p;
    }
    const bool foxPro = isFoxPro(version);
    switch (s.type) {
        case FieldType::String:
            if (s.size < 1 || s.size > kMaxCharacterLength)
                throw TableError("Das Feld " + s.name + " der Tabelle " + table + " hat die Länge " +
                                     std::to_string(s.size) + "; dBase-Textfelder sind 1 bis 254 Zeichen lang.",
                                 TableError::Kind::Usage);
            return {'C', s.size, 0, FieldType::String};
        case FieldType::SmallInt:
        case FieldType::Word:
            return {'N', 6, 0, FieldType::Float};
        case FieldType::Integer:
        case FieldType::AutoInc:
            return {'N', 11, 0, FieldType::Float};
        case FieldType::Float:
            return {'N', numberWidth(s), s.decimals >= 0 ? s.decimals : 4, FieldType::Float};
        case FieldType::Currency:
            return {'N', numberWidth(s), s.decimals >= 0 ? s.decimals : 2, FieldType::Float};
        case FieldType::BCD:
            return {'N', kMaxNumberWidth, s.decimals >= 0 ? s.decimals : s.size, FieldType::Float};
        case FieldType::Boolean:
            return {'L', 1, 0, FieldType::Boolean};
        case FieldType::Date:
            return {'D', 8, 0, FieldType::Date};
        case FieldType::Time:
            return {'C', 12, 0, FieldType::String};
        case FieldType::DateTime:
            return {'C', 23, 0, FieldType::String};
        case FieldType::Memo:
        case FieldType::FmtMemo:
            return {'M', 10, 0, FieldType::Memo};
        case FieldType::DBaseOle:
            return {'M', 10, 0, FieldType::DBaseOle};
        case FieldType::Blob:
        case FieldType::Graphic:
        case FieldType::ParadoxOle:
        case FieldType::TypedBinary:
        case FieldType::Bytes:
        case FieldType::VarBytes:
            // FoxPro keeps binary values as pictures; dBase only has text memos.
            return foxPro ? Physical{'P', isVisualFoxPro(version) ? 4 : 10, 0, FieldType::Blob}
                          : Physical{'M', 10, 0, FieldType::Blob};
        default:
            throw TableError("Das Feld " + s.name + " der Tabelle " + table +
                                 " hat einen Typ, den eine dBase-Tabelle nicht aufnehmen kann.",
                             TableError::Kind::Usage);
    }
}

// Visual FoxPro binary numbers have no empty form: a field that may stay empty gets a null bit in the
// hidden _NullFlags field. Returns the bytes added to the record.
int addNullFlags(std::vector<FieldDef>& fields, int offset) {
    int bit = 0;
    for (FieldDef& f : fields)
        if (!f.required && (f.letter == 'I' || f.letter == 'B' || f.letter == 'Y')) {
            f.flags |= kNullable;
            f.nullBit = bit++;
        }
    if (bit == 0) return 0;
    FieldDef flags;
    flags.name = "_NullFlags";
    flags.letter = kNullFlagsLetter;
    flags.physicalType = kNullFlagsLetter;
    flags.offset = offset;
    flags.length = (bit + 7) / 8;
    flags.flags = kSystemField | kBinaryField;
    flags.hidden = true;
    fields.push_back(flags);
    return flags.length;
}

// The version byte of a variant, with the memo mark where the variant has one. Without a memo file
// dBase III, IV and FoxPro 2 tables share one version byte; Visual FoxPro marks its memo file in the
// table flags instead.
int withMemoMark(int version, bool memo) {
    switch (version) {
        case kVisualFoxPro:
        case kVisualFoxPro + 1:
        case kVisualFoxProLast:
            return version;
        case kFoxPro2Memo:
            return memo ? kFoxPro2Memo : kDBaseIII;
        case kDBaseIIIMemo:
            return memo ? kDBaseIIIMemo : kDBaseIII;
        default:
            return memo ? kDBaseIVMemo : kDBaseIII;
    }
}

}  // namespace

std::unique_ptr<TableImage> newTable(const std::string& dataPath, const std::vector<FieldSpec>& described, int version) {
    const std::string table = shownName(dataPath);
    if (described.empty())
        throw TableError("Die Tabelle " + table + " braucht mindestens ein Feld.", TableError::Kind::Usage, dataPath);
    if (described.size() > kMaxFields)
        throw TableError("Die Tabelle " + table + " hätte " + std::to_string(described.size()) +
                             " Felder; dBase erlaubt höchstens 255.",
                         TableError::Kind::Limit, dataPath);
    auto image = std::make_unique<TableImage>();
    image->format = TableFormat::DBase;
    image->dataPath = dataPath;
    image->codePage = 1252;
    // Windows text: FoxPro's mark for it is 0x03, dBase's the ANSI driver.
    image->dbase.languageDriver = isFoxPro(version) ? 0x03 : languageDriverForCodePage(1252);
    const bool vfp = isVisualFoxPro(version);

    std::set<std::string> taken;
    int offset = 1;  // byte 0 of each record is its deletion flag
    bool memo = false;
    for (const FieldSpec& s : described) {
        Physical p = physicalFor(s, version, table);
        // dBase keeps two places for sign and point: at most width - 2 decimals, and at most 18.
        if (p.letter == 'N' && s.dbaseLetter == 0) p.decimals = std::clamp(p.decimals, 0, std::min(18, p.length - 2));
        if (vfp && p.letter == 'M') p.length = 4;  // Visual FoxPro memo pointers are binary
        FieldDef f;
        f.name = uniqueName(dbaseName(s.name), taken);
        f.type = p.type;
        f.size = p.letter == 'C' ? p.length : 0;
        if (p.letter == 'Y') f.type = FieldType::Currency;  // stored as currency whatever was asked
        f.required = s.required;
        f.letter = p.letter;
        f.physicalType = static_cast<unsigned char>(p.letter);
        f.offset = offset;
        f.length = p.length;
        f.decimals = p.decimals;
        offset += p.length;
        memo = memo || isMemoField(f);
        image->fields.push_back(f);
    }
    if (vfp) offset += addNullFlags(image->fields, offset);
    const int maxLength = vfp ? kMaxVisualFoxProRecordLength : kMaxRecordLength;
    if (offset > maxLength)
        throw TableError("Die Datensätze der Tabelle " + table + " wären " + std::to_string(offset) +
                             " Bytes lang; diese dBase-Version erlaubt höchstens " + std::to_string(maxLength) + ".",
                         TableError::Kind::Limit, dataPath);
    image->recordLength = offset;
    image->dbase.version = withMemoMark(version, memo);
    image->hasMemoFile = memo;
    return image;
}

}  // namespace kimport::dbase
