// Parsing the .DBF header. Three layouts share the format: dBase II's 16-byte
// descriptors in a fixed 521-byte header, level 7's 48-byte descriptors after a
// 68-byte header, and the 32-byte descriptors of everything else. Which one a
// file has is decided by its version byte alone; everything after that is
// checked against itself and against the file's size before it is used.
#include "tablestore/dbase/DbfHeader.h"

#include "common/CodePage.h"
#include "tablestore/TableError.h"
#include "tablestore/TableFiles.h"
#include "tablestore/dbase/DbfFormat.h"
#include "tablestore/dbase/DbfLanguageDrivers.h"

namespace kimport::dbase {

namespace {

// Every flaw of a header is damage of the table file, named with what is wrong, so that a user can
// tell a file cut short from one that is no table at all.
[[noreturn]] void damaged(const std::string& table, const std::string& what) {
    throw TableError("Die Tabelle " + table + " ist beschädigt: " + what + ".", TableError::Kind::Damaged, table);
}

// The length a binary field must have; 0 for fields stored as text. A binary field of another length
// would be read as a number it is not, so it is shown as bytes instead (assignLogicalType).
int fixedLength(char letter, int version) {
    switch (letter) {
        case 'I':
        case '+':
            return 4;
        case 'Y':
        case 'T':
        case '@':
        case 'O':
            return 8;
        case 'B':
            return isVisualFoxPro(version) ? 8 : 0;
        default:
            return 0;
    }
}

// Names end at their first zero byte, or with the field when it is full (some programs write eleven
// characters where dBase writes ten).
std::string nameFrom(std::string_view raw, int codePage) {
    std::size_t end = raw.find('\0');
    return decodeCodePage(raw.substr(0, end), codePage);
}

// Descriptor geometry of one header flavour.
struct Geometry {
    std::size_t start;     // offset of the first descriptor
    std::size_t size;      // bytes per descriptor
    std::size_t maxCount;  // descriptors that fit before the terminator must come
};

FieldDef parseDescriptor(const char* d, int version, int codePage) {
    FieldDef f;
    if (isLevel7(version)) {
        f.name = nameFrom(std::string_view(d + kNameAt, kLevel7NameBytes), codePage);
        f.letter = d[kLevel7LetterAt];
        f.length = static_cast<unsigned char>(d[kLevel7LengthAt]);
        f.decimals = static_cast<unsigned char>(d[kLevel7DecimalsAt]);
    } else if (isDBaseII(version)) {
        f.name = nameFrom(std::string_view(d + kNameAt, kNameBytes), codePage);
        f.letter = d[kLetterAt];
        f.length = static_cast<unsigned char>(d[kDBaseIILengthAt]);
        f.decimals = static_cast<unsigned char>(d[kDBaseIIDecimalsAt]);
    } else {
        f.name = nameFrom(std::string_view(d + kNameAt, kNameBytes), codePage);
        f.letter = d[kLetterAt];
        f.length = static_cast<unsigned char>(d[kLengthAt]);
        f.decimals = static_cast<unsigned char>(d[kDecimalsAt]);
        // Elsewhere the flag byte is reserved and may hold anything.
        if (isVisualFoxPro(version)) f.flags = static_cast<std::uint8_t>(d[kFieldFlagsAt]);
    }
    f.physicalType = static_cast<unsigned char>(f.letter);
    return f;
}

// FoxPro and Clipper keep the high byte of a long C field in its decimals byte. Only when the record
// length agrees with that reading is it taken: a C field with decimals is otherwise just damage.
bool widenLongCharacterFields(std::vector<FieldDef>& fields, std::uint32_t recordLength) {
    std::uint64_t sum = 1;
    bool any = false;
    for (const FieldDef& f : fields) {
        bool wide = f.letter == 'C' && f.decimals > 0;
        any = any || wide;
        sum += static_cast<std::uint64_t>(f.length) + (wide ? 256u * static_cast<unsigned>(f.decimals) : 0u);
    }
    if (!any || sum != recordLength) return false;
    for (FieldDef& f : fields)
        if (f.letter == 'C' && f.decimals > 0) {
            f.length += 256 * f.decimals;
            f.decimals = 0;
        }
    return true;
}

// Visual FoxPro: every V/Q field takes a length bit, then every nullable field a null bit, in field
// order and from the low bit of _NullFlags' first byte on. A field whose bit lies beyond _NullFlags
// gets none (-1): it reads as it stands.
void assignNullBits(std::vector<FieldDef>& fields) {
    int flagBits = 0;
    for (const FieldDef& f : fields)
        if (f.letter == kNullFlagsLetter) flagBits = 8 * f.length;
    int bit = 0;
    for (FieldDef& f : fields) {
        if (f.letter == kNullFlagsLetter) continue;
        if (f.letter == 'V' || f.letter == 'Q') ++bit;
        if (f.flags & kNullable) {
            f.nullBit = bit < flagBits ? bit : -1;
            ++bit;
        }
    }
}

}  // namespace

void assignLogicalType(FieldDef& f, int version) {
    int fixed = fixedLength(f.letter, version);
    f.size = 0;
    if (fixed != 0 && f.length != fixed) {
        f.type = FieldType::Unknown;  // a binary field of a length we cannot read: kept, not shown as a value
        return;
    }
    switch (f.letter) {
        case 'C':
        case 'V':
            f.type = FieldType::String;
            f.size = f.length;
            break;
        case 'Q':
            f.type = FieldType::VarBytes;
            f.size = f.length;
            break;
        // Numbers of every kind are floats: N fields have decimals or not, and a program that needs an
        // integer reads one from the float; the BDE's habit of calling narrow N fields integers is not copied.
        case 'N':
        case 'F':
        case 'O':
            f.type = FieldType::Float;
            break;
        case 'L':
            f.type = FieldType::Boolean;
            break;
        case 'D':
            f.type = FieldType::Date;
            break;
        case 'M':
            f.type = FieldType::Memo;
            break;
        // B is Visual FoxPro's double (8 bytes) and dBase's binary memo (a 10-digit pointer).
        case 'B':
            f.type = f.length == 8 ? FieldType::Float : FieldType::Blob;
            break;
        case 'G':
            f.type = FieldType::DBaseOle;
            break;
        // FoxPro's pictures and Visual FoxPro's blobs: binary values in the memo file.
        case 'P':
        case 'W':
            f.type = FieldType::Blob;
            break;
        case 'I':
            f.type = FieldType::Integer;
            break;
        case '+':
            f.type = FieldType::AutoInc;
            break;
        case '@':
        case 'T':
            f.type = FieldType::DateTime;
            break;
        case 'Y':
            f.type = FieldType::Currency;
            break;
        default:
            f.type = FieldType::Unknown;
            break;
    }
    // A memo pointer needs room for the in-memory handle that replaces it while the table is open.
    if (isMemoField(f) && f.length < 4) f.type = FieldType::Unknown;
    if (f.letter == 'L' && f.length < 1) f.type = FieldType::Unknown;
}

DbfLayout parseHeader(std::string_view bytes, std::uint64_t fileSize, const std::string& table, int codePageIfNone) {
    DbfLayout layout;
    if (bytes.empty()) damaged(table, "die Datei ist leer");
    layout.version = static_cast<unsigned char>(bytes[kVersionAt]);
    const bool dBaseII = isDBaseII(layout.version);
    const bool level7 = isLevel7(layout.version);
    const std::size_t minimum = dBaseII ? kDBaseIIHeaderBytes : level7 ? kLevel7HeaderBytes : kHeaderBytes;
    if (bytes.size() < minimum) damaged(table, "der Dateikopf ist unvollständig");

    // dBase II states no header length: its header always has room for 32 descriptors.
    Geometry g{};
    if (dBaseII) {
        layout.recordCount = le16(bytes.data() + kDBaseIIRecordCountAt);
        layout.recordLength = le16(bytes.data() + kDBaseIIRecordLengthAt);
        layout.headerLength = kDBaseIIHeaderLength;
        g = {kDBaseIIHeaderBytes, kDBaseIIDescriptorBytes, kDBaseIIMaxFields};
    } else {
        layout.recordCount = le32(bytes.data() + kRecordCountAt);
        layout.headerLength = le16(bytes.data() + kHeaderLengthAt);
        layout.recordLength = le16(bytes.data() + kRecordLengthAt);
        // The records of an encrypted table are scrambled; reading them as text would show garbage.
        if (bytes[kEncryptedAt] == 1)
            throw TableError("Die Tabelle " + table + " ist verschlüsselt und kann nicht gelesen werden.",
                             TableError::Kind::Unsupported, table);
        layout.languageDriver = static_cast<unsigned char>(bytes[kLanguageDriverAt]);
        g = level7 ? Geometry{kLevel7HeaderBytes, kLevel7DescriptorBytes, 0}
                   : Geometry{kHeaderBytes, kDescriptorBytes, 0};
    }
    // The header must end inside the file and inside what was read: its descriptors and their terminator
    // are looked for in it, and the records start after it.
    if (layout.headerLength < g.start + 1 || layout.headerLength > fileSize || layout.headerLength > bytes.size())
        damaged(table, "die Kopflänge " + std::to_string(layout.headerLength) + " ist ungültig");
    if (layout.recordLength == 0) damaged(table, "die Satzlänge ist 0");  // every record has its deletion flag
    std::uint64_t needed = layout.headerLength + static_cast<std::uint64_t>(layout.recordCount) * layout.recordLength;
    if (needed > fileSize) {
        // Cut short (a copy broken off, a full disk): the complete records are read, the rest is reported.
        auto complete = static_cast<std::uint32_t>((fileSize - layout.headerLength) / layout.recordLength);
        layout.missingRecords = layout.recordCount - complete;
        layout.recordCount = complete;
    }

    // Level 7 names its driver in full (DB437US0) and usually leaves the byte 0; the name wins.
    layout.codePage = codePageOfLanguageDriver(layout.languageDriver);
    if (level7) {
        std::string_view driverName = bytes.substr(kDriverNameAt, kDriverNameBytes);
        layout.codePage = codePageOfDriverName(driverName.substr(0, driverName.find('\0')));
        if (layout.codePage == 0) layout.codePage = codePageOfLanguageDriver(layout.languageDriver);
    }
    if (layout.codePage == 0) layout.codePage = codePageIfNone != 0 ? codePageIfNone : usualCodePage(layout.version);
    // The field names below are text in this code page: one we cannot convert is refused before them.
    requireCodePage(layout.codePage, table);

    // The descriptors run until the terminator, which must lie inside the header. Their count is
    // stated nowhere: a header length that disagrees with it is normal, a missing terminator is not.
    std::size_t pos = g.start;
    while (pos < layout.headerLength && bytes[pos] != kHeaderEnd) {
        if (pos + g.size > layout.headerLength || (g.maxCount && layout.fields.size() == g.maxCount))
            damaged(table, "das Ende der Feldliste fehlt");
        layout.fields.push_back(parseDescriptor(bytes.data() + pos, layout.version, layout.codePage));
        // The descriptors store the next value to hand out; the image keeps the last one handed out,
        // as Paradox's header does, so that both formats continue from it alike.
        if (level7) {
            std::uint32_t next = le32(bytes.data() + pos + kLevel7NextAutoIncAt);
            if (layout.fields.back().letter == '+' && next > 0) layout.lastAutoInc = next - 1;
        } else if (isVisualFoxPro(layout.version) && (layout.fields.back().flags & kAutoIncrement)) {
            std::uint32_t next = le32(bytes.data() + pos + kNextAutoIncAt);
            int step = static_cast<unsigned char>(bytes[pos + kAutoIncStepAt]);
            layout.lastAutoInc = static_cast<std::int64_t>(next) - (step > 0 ? step : 1);
        }
        pos += g.size;
    }
    if (pos >= layout.headerLength) damaged(table, "das Ende der Feldliste fehlt");

    // The record is the deletion flag and the fields, without gaps: any other sum means the
    // descriptors are not what the records hold.
    std::uint64_t sum = 1;
    for (const FieldDef& f : layout.fields) sum += static_cast<std::uint64_t>(f.length);
    if (sum != layout.recordLength && !widenLongCharacterFields(layout.fields, layout.recordLength))
        damaged(table, "die Satzlänge " + std::to_string(layout.recordLength) + " passt nicht zu den Feldern (" +
                           std::to_string(sum) + ")");

    int offset = 1;
    for (FieldDef& f : layout.fields) {
        f.offset = offset;
        offset += f.length;
        assignLogicalType(f, layout.version);
        f.hidden = f.letter == kNullFlagsLetter;
    }
    if (isVisualFoxPro(layout.version)) assignNullBits(layout.fields);
    return layout;
}

}  // namespace kimport::dbase
