// A new, empty dBase IV table from the program's field descriptions.
//
// Field types have no exact dBase IV counterpart except text, logical, date
// and memo, so the others become:
//   SmallInt, Word -> N 6,0     Integer, AutoInc -> N 11,0 (room for the sign)
//   Float          -> N 20 with the given decimals, 4 when none are given
//   Currency       -> N 20 with the given decimals, 2 when none are given
//   BCD            -> N 20 with the given decimals, else its size (its decimals)
//   Time           -> C 8  ("HH:MM:SS")   DateTime -> C 19 ("YYYY-MM-DDTHH:MM:SS")
//   Memo, FmtMemo  -> M (text)  blobs, graphics, OLE, Bytes, VarBytes -> M holding the raw bytes
// Float and Currency take a width from size (1..20) when one is given.
// Text is Windows-1252 with language driver 0x57, the ANSI driver of dBase and
// the BDE that dBase-aware readers map to 1252.
#include "common/Text.h"
#include "tablestore/TableError.h"
#include "tablestore/TableFiles.h"
#include "tablestore/dbase/DbfFormat.h"
#include "tablestore/dbase/DbfLanguageDrivers.h"
#include "tablestore/dbase/DbfPaths.h"

#include <algorithm>
#include <cctype>
#include <set>

namespace kimport::dbase {

namespace {

constexpr int kMaxCharacterLength = 254;
constexpr int kMaxNumberWidth = 20;
constexpr std::size_t kMaxFields = 255;
constexpr int kMaxRecordLength = 4000;

// dBase names: A-Z, 0-9 and _, starting with a letter, at most 10 characters.
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

std::string uniqueName(std::string name, std::set<std::string>& taken) {
    for (int n = 2; taken.count(name); ++n) {
        std::string suffix = "_" + std::to_string(n);
        name = name.substr(0, std::min(name.size(), 10 - suffix.size())) + suffix;
    }
    taken.insert(name);
    return name;
}

struct Physical {
    char letter;
    int length;
    int decimals;
    FieldType type;
};

int numberWidth(const FieldSpec& s) {
    return s.size >= 1 && s.size <= kMaxNumberWidth ? s.size : kMaxNumberWidth;
}

Physical physicalFor(const FieldSpec& s, const std::string& table) {
    switch (s.type) {
        case FieldType::String:
            if (s.size < 1 || s.size > kMaxCharacterLength)
                throw TableError("Das Feld " + s.name + " der Tabelle " + table + " hat die Länge " +
                                 std::to_string(s.size) + "; dBase-Textfelder sind 1 bis 254 Zeichen lang.");
            return {'C', s.size, 0, FieldType::String};
        case FieldType::SmallInt:
        case FieldType::Word:
            return {'N', 6, 0, FieldType::Float};
        case FieldType::Integer:
        case FieldType::AutoInc:
            return {'N', 11, 0, FieldType::Float};
        case FieldType::Float:
            return {'N', numberWidth(s), s.decimals > 0 ? s.decimals : 4, FieldType::Float};
        case FieldType::Currency:
            return {'N', numberWidth(s), s.decimals > 0 ? s.decimals : 2, FieldType::Float};
        case FieldType::BCD:
            return {'N', kMaxNumberWidth, s.decimals > 0 ? s.decimals : s.size, FieldType::Float};
        case FieldType::Boolean:
            return {'L', 1, 0, FieldType::Boolean};
        case FieldType::Date:
            return {'D', 8, 0, FieldType::Date};
        case FieldType::Time:
            return {'C', 8, 0, FieldType::String};
        case FieldType::DateTime:
            return {'C', 19, 0, FieldType::String};
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
            return {'M', 10, 0, FieldType::Blob};
        default:
            throw TableError("Das Feld " + s.name + " der Tabelle " + table +
                             " hat einen Typ, den eine dBase-Tabelle nicht aufnehmen kann.");
    }
}

}  // namespace

std::unique_ptr<TableImage> newTable(const std::string& dataPath, const std::vector<FieldSpec>& described) {
    const std::string table = shownName(dataPath);
    if (described.empty()) throw TableError("Die Tabelle " + table + " braucht mindestens ein Feld.");
    if (described.size() > kMaxFields)
        throw TableError("Die Tabelle " + table + " hätte " + std::to_string(described.size()) +
                         " Felder; dBase erlaubt höchstens 255.");
    auto image = std::make_unique<TableImage>();
    image->format = TableFormat::DBase;
    image->dataPath = dataPath;
    image->codePage = 1252;
    image->dbfLanguageDriver = languageDriverForCodePage(1252);

    std::set<std::string> taken;
    int offset = 1;
    bool memo = false;
    for (const FieldSpec& s : described) {
        Physical p = physicalFor(s, table);
        // dBase keeps two places for sign and point: at most width - 2 decimals, and at most 18.
        if (p.letter == 'N') p.decimals = std::clamp(p.decimals, 0, std::min(18, p.length - 2));
        FieldDef f;
        f.name = uniqueName(dbaseName(s.name), taken);
        f.type = p.type;
        f.size = p.letter == 'C' ? p.length : 0;
        f.required = s.required;
        f.letter = p.letter;
        f.physicalType = static_cast<unsigned char>(p.letter);
        f.offset = offset;
        f.length = p.length;
        f.decimals = p.decimals;
        offset += p.length;
        memo = memo || p.letter == 'M';
        image->fields.push_back(f);
    }
    if (offset > kMaxRecordLength)
        throw TableError("Die Datensätze der Tabelle " + table + " wären " + std::to_string(offset) +
                         " Bytes lang; dBase erlaubt höchstens " + std::to_string(kMaxRecordLength) + ".");
    image->recordLength = offset;
    image->version = memo ? 0x8B : 0x03;
    image->hasMemoFile = memo;
    return image;
}

}  // namespace kimport::dbase
