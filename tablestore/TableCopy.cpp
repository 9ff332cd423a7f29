#include "tablestore/TableCopy.h"

#include "common/CodePage.h"
#include "common/FileSets.h"
#include "common/Numbers.h"
#include "common/Text.h"
#include "tablestore/Dump.h"
#include "tablestore/FileSetWriter.h"
#include "tablestore/FormatCodec.h"
#include "tablestore/Table.h"
#include "tablestore/TableFiles.h"
#include "tablestore/dbase/DbfFormat.h"
#include "tablestore/dbase/DbfLanguageDrivers.h"
#include "tablestore/paradox/ParadoxFormat.h"
#include "tablestore/paradox/ParadoxHeader.h"

#include <algorithm>
#include <filesystem>
#include <set>

namespace kimport {

namespace {

// The dBase variants a copy makes, each by the version byte a table of it with a memo file has.
constexpr int kDBaseIII = dbase::kDBaseIIIMemo, kDBaseIV = dbase::kDBaseIVMemo, kFoxPro = dbase::kFoxPro2Memo,
              kVisualFoxPro = dbase::kVisualFoxPro;

int dbaseVersionOf(TargetVariant v) {
    switch (v) {
        case TargetVariant::DBase3: return kDBaseIII;
        case TargetVariant::FoxPro: return kFoxPro;
        case TargetVariant::VisualFoxPro: return kVisualFoxPro;
        default: return kDBaseIV;
    }
}

int paradoxLevelOf(TargetVariant v) {
    switch (v) {
        case TargetVariant::Paradox3: return paradox::kLevel30;
        case TargetVariant::Paradox5: return paradox::kLevel5;
        case TargetVariant::Paradox7: return paradox::kLevel7;
        default: return paradox::kLevel4;
    }
}

bool isParadoxVariant(TargetVariant v) {
    return v == TargetVariant::Paradox3 || v == TargetVariant::Paradox4 || v == TargetVariant::Paradox5 ||
           v == TargetVariant::Paradox7;
}

// The variant family a dBase version byte belongs to, for telling "the same variant".
int dbaseFamily(int version) {
    if (dbase::isVisualFoxPro(version)) return kVisualFoxPro;
    if (dbase::isFoxPro(version)) return kFoxPro;
    // 0x03 is dBase III or IV without a memo file; it counts as dBase III.
    if (version == dbase::kDBaseIIIMemo) return kDBaseIII;
    return version == dbase::kDBaseIII ? kDBaseIII : kDBaseIV;
}

std::string shown(const TableImage& t) { return fileNameOf(t.dataPath); }

// What the values of one column need: digits before and after the point, and the longest text.
struct ColumnFacts {
    int integerDigits = 0;  // with the sign
    int decimals = 0;
    std::string widestNumber;
    std::size_t longestText = 0;
    bool any = false;
};

// A number as plain decimal text: the shortest form of a double, a decimal as stored.
std::string plainNumber(const Value& v) {
    if (v.kind == Value::Kind::Float) return shortestDecimal(v.number);
    if (v.kind == Value::Kind::Integer) return std::to_string(v.integer);
    std::string t = v.text;
    if (t.find('.') != std::string::npos) {
        while (!t.empty() && t.back() == '0') t.pop_back();
        if (!t.empty() && t.back() == '.') t.pop_back();
    }
    return t == "-0" ? "0" : t;
}

std::vector<ColumnFacts> scan(const TableImage& source) {
    const FormatCodec& codec = codecFor(source.format);
    std::vector<ColumnFacts> facts(source.fields.size());
    source.order.forEach([&](std::uint32_t r) {
        for (std::size_t i = 0; i < source.fields.size(); ++i) {
            const FieldDef& f = source.fields[i];
            if (f.hidden) continue;
            Value v = codec.read(source, f, source.row(r));
            if (v.isNull()) continue;
            ColumnFacts& c = facts[i];
            c.any = true;
            if (v.kind == Value::Kind::Text) c.longestText = std::max(c.longestText, charCount(v.text));
            if (v.kind != Value::Kind::Float && v.kind != Value::Kind::Decimal && v.kind != Value::Kind::Integer)
                continue;
            std::string text = plainNumber(v);
            std::size_t dot = text.find('.');
            int integer = static_cast<int>(dot == std::string::npos ? text.size() : dot);
            int decimals = dot == std::string::npos ? 0 : static_cast<int>(text.size() - dot - 1);
            if (integer + (decimals > 0 ? decimals + 1 : 0) >
                c.integerDigits + (c.decimals > 0 ? c.decimals + 1 : 0))
                c.widestNumber = text;
            c.integerDigits = std::max(c.integerDigits, integer);
            c.decimals = std::max(c.decimals, decimals);
        }
    });
    return facts;
}

[[noreturn]] void cannotHold(const TableImage& source, const FieldDef& f, const std::string& value,
                             const std::string& why) {
    throw TableError("Das Feld " + f.name + " der Tabelle " + shown(source) + " kann nicht genau übernommen werden: " +
                         (value.empty() ? std::string() : "der Wert " + value + " ") + why,
                     TableError::Kind::Value, source.dataPath);
}

// An N field wide enough for every value of the column, with as many decimals as the values have.
FieldSpec numberField(const TableImage& source, const FieldDef& f, const ColumnFacts& c, int version,
                      int emptyDecimals) {
    const int maxWidth = version == kDBaseIII ? 19 : 20;
    const int maxDecimals = version == kDBaseIII ? 15 : 18;
    FieldSpec s{f.name, FieldType::Float};
    s.dbaseLetter = 'N';
    if (!c.any) {
        s.size = maxWidth;
        s.decimals = emptyDecimals;
        return s;
    }
    int width = std::max(1, c.integerDigits + (c.decimals > 0 ? c.decimals + 1 : 0));
    if (width > maxWidth || c.decimals > maxDecimals)
        cannotHold(source, f, c.widestNumber,
                   "braucht mehr Stellen, als ein dBase-Zahlenfeld hat (höchstens " + std::to_string(maxWidth) +
                       "); Visual FoxPro (--format vfp) nimmt ihn als Gleitkommazahl auf.");
    s.size = width;
    s.decimals = c.decimals;
    return s;
}

// The dBase field that holds a column of another table exactly.
FieldSpec dbaseFieldFor(const TableImage& source, const FieldDef& f, const ColumnFacts& c, int version) {
    const bool vfp = version == kVisualFoxPro, fox = vfp || version == kFoxPro;
    FieldSpec s{f.name, f.type};
    auto letter = [&](char l, int size, int decimals = 0) {
        s.dbaseLetter = l;
        s.size = size;
        s.decimals = decimals;
        return s;
    };
    const bool dbaseNumber = source.format == TableFormat::DBase && (f.letter == 'N' || f.letter == 'F');
    switch (f.type) {
        case FieldType::String:
            if (c.longestText > 254) return letter('M', vfp ? 4 : 10);
            return letter('C', std::clamp(std::max<int>(f.size, static_cast<int>(c.longestText)), 1, 254));
        case FieldType::SmallInt:
        case FieldType::Word:
            return vfp ? letter('I', 4) : letter('N', 6);
        case FieldType::Integer:
        case FieldType::AutoInc:
            return vfp ? letter('I', 4) : letter('N', 11);
        case FieldType::Float:
        case FieldType::Currency:
            // A dBase number keeps its width and decimals where the variant allows them.
            if (dbaseNumber && f.length <= (version == kDBaseIII ? 19 : 20) && f.decimals <= 15)
                return letter(f.letter == 'F' && version != kDBaseIII ? 'F' : 'N', f.length, f.decimals);
            if (vfp && !dbaseNumber) return f.type == FieldType::Currency && f.letter == 'Y' ? letter('Y', 8, 4)
                                                                                          : letter('B', 8);
            return numberField(source, f, c, version, f.type == FieldType::Currency ? 2 : 4);
        case FieldType::BCD:
            return numberField(source, f, c, version, f.decimals);
        case FieldType::Boolean:
            return letter('L', 1);
        case FieldType::Date:
            return letter('D', 8);
        case FieldType::Time:
            return letter('C', 12);
        case FieldType::DateTime:
            return vfp ? letter('T', 8) : letter('C', 23);
        case FieldType::Memo:
        case FieldType::FmtMemo:
            return letter('M', vfp ? 4 : 10);
        case FieldType::Blob:
        case FieldType::Graphic:
        case FieldType::ParadoxOle:
        case FieldType::DBaseOle:
        case FieldType::TypedBinary:
        case FieldType::Bytes:
        case FieldType::VarBytes:
        case FieldType::Unknown:
            if (!fox)
                cannotHold(source, f, "", "Binärdaten haben in dBase III und IV keinen Feldtyp; FoxPro "
                                          "(--format foxpro oder vfp) nimmt sie auf.");
            return letter('P', vfp ? 4 : 10);
        default:
            cannotHold(source, f, "", "sein Typ hat in dBase keine Entsprechung.");
    }
}

// A dBase header holds ten bytes of a field's name (the eleventh ends it), but some programs fill all
// eleven. Such a name is shortened; one that would then meet another ends in a counter instead
// ("ABCDEFGHIJL" after "ABCDEFGHIJK" becomes "ABCDEFGH_2"), as new tables number theirs.
void fitDBaseFieldNames(std::vector<FieldDef>& fields, int codePage) {
    constexpr std::size_t kNameBytes = 10;
    auto cut = [&](const std::string& name, std::size_t bytes) {
        std::string encoded;
        encodeCodePageExactly(name, codePage, encoded, nullptr, bytes);
        return decodeCodePage(encoded, codePage);
    };
    auto fits = [&](const FieldDef& f) {
        std::string encoded;
        // A name the code page cannot hold is left to the writer, which refuses it by name.
        return !encodeCodePageExactly(f.name, codePage, encoded) || encoded.size() <= kNameBytes;
    };
    std::set<std::string> taken;
    for (const FieldDef& f : fields)
        if (fits(f)) taken.insert(foldedUpper(f.name));
    for (FieldDef& f : fields) {
        if (fits(f)) continue;
        std::string name = cut(f.name, kNameBytes);
        for (int n = 2; taken.count(foldedUpper(name)); ++n) {
            const std::string counter = "_" + std::to_string(n);
            name = cut(f.name, kNameBytes - counter.size()) + counter;
        }
        taken.insert(foldedUpper(name));
        f.name = name;
    }
}

// A dBase table like the source: same version, fields, code page and memo block size.
std::unique_ptr<TableImage> sameDBaseTable(const TableImage& source, const std::string& destPath) {
    auto image = std::make_unique<TableImage>();
    image->format = TableFormat::DBase;
    image->dataPath = destPath;
    image->dbase.version = source.dbase.version;
    image->codePage = source.codePage;
    image->dbase.languageDriver = source.dbase.languageDriver;
    image->fields = source.fields;
    fitDBaseFieldNames(image->fields, image->codePage);
    image->recordLength = source.recordLength;
    image->dbase.memoBlockSize = source.dbase.memoBlockSize;
    image->lastAutoInc = 0;
    image->hasMemoFile = source.hasMemoFile;
    return image;
}

// A Paradox table like the source: same level, fields, key, code page, sort order and block size.
std::unique_ptr<TableImage> sameParadoxTable(const TableImage& source, const std::string& destPath) {
    auto image = std::make_unique<TableImage>();
    image->format = TableFormat::Paradox;
    image->dataPath = destPath;
    image->paradox.version = source.paradox.version;
    image->codePage = source.codePage;
    image->keyFieldCount = source.keyFieldCount;
    image->fields = source.fields;
    image->recordLength = source.recordLength;
    image->paradox.blockSizeKb = source.paradox.blockSizeKb;
    image->paradox.sortOrder = source.paradox.sortOrder;
    image->paradox.sortOrderName = source.paradox.sortOrderName;
    image->originalHeader = paradox::newHeader(image->fields, image->keyFieldCount, image->paradox.version,
                                               image->codePage, image->paradox.sortOrder, fileNameOf(destPath));
    return image;
}

FieldSpec paradoxFieldFor(const TableImage& source, const FieldDef& f) {
    FieldSpec s{f.name, f.type, f.size, f.required};
    s.decimals = f.decimals;
    if (source.format == TableFormat::DBase && (f.letter == 'N' || f.letter == 'F')) s.size = f.length;
    if (f.type == FieldType::String && f.size > 255) s.type = FieldType::Memo, s.size = 0;
    if (f.type == FieldType::DBaseOle) s.type = FieldType::ParadoxOle, s.size = 0;
    if (f.type == FieldType::Unknown || f.type == FieldType::VarBytes) s.type = FieldType::Blob, s.size = 0;
    return s;
}

std::unique_ptr<TableImage> paradoxLayout(const TableImage& source, const std::string& destPath,
                                          TargetVariant variant) {
    std::unique_ptr<TableImage> image;
    if (source.format == TableFormat::Paradox &&
        (variant == TargetVariant::Usual || paradoxLevelOf(variant) == source.paradox.version))
        return sameParadoxTable(source, destPath);
    std::vector<FieldSpec> specs;
    for (const FieldDef& f : source.fields)
        if (!f.hidden) specs.push_back(paradoxFieldFor(source, f));
    int keys = source.format == TableFormat::Paradox ? source.keyFieldCount : 0;
    image = paradox::newTable(destPath, specs, keys);
    // Text keeps the source's code page, so that every character it has fits.
    image->codePage = source.codePage;
    int wanted = variant == TargetVariant::Usual ? image->paradox.version : paradoxLevelOf(variant);
    if (wanted < image->paradox.version) {
        for (const FieldDef& f : image->fields)
            if (paradox::typeInfo(f.physicalType).minLevel > wanted)
                cannotHold(source, f, "", "sein Typ braucht eine neuere Paradox-Version.");
        if (image->paradox.blockSizeKb > paradox::kMaxBlockKbBeforeLevel7)
            throw TableError("Die Datensätze der Tabelle " + shown(source) + " brauchen Paradox 7.",
                             TableError::Kind::Limit, source.dataPath);
    }
    image->paradox.version = wanted;
    image->paradox.mayRaiseLevel = variant == TargetVariant::Usual;
    // Level 3 tables name no code page: their text is DOS text.
    if (wanted == paradox::kLevel30) image->codePage = 437;
    image->originalHeader = paradox::newHeader(image->fields, keys, wanted, image->codePage, 0, fileNameOf(destPath));
    return image;
}

std::unique_ptr<TableImage> dbaseLayout(const TableImage& source, const std::string& destPath,
                                        TargetVariant variant) {
    if (source.format == TableFormat::DBase &&
        (variant == TargetVariant::Usual || dbaseFamily(dbaseVersionOf(variant)) == dbaseFamily(source.dbase.version)))
        return sameDBaseTable(source, destPath);
    int version = dbaseVersionOf(variant);
    if (variant == TargetVariant::Usual) version = kDBaseIV;
    std::vector<ColumnFacts> facts = scan(source);
    std::vector<FieldSpec> specs;
    for (std::size_t i = 0; i < source.fields.size(); ++i)
        if (!source.fields[i].hidden) specs.push_back(dbaseFieldFor(source, source.fields[i], facts[i], version));
    auto image = dbase::newTable(destPath, specs, version);
    // Text keeps the source's code page where a language driver names it.
    if (int driver = dbase::languageDriverForCodePage(source.codePage); driver != 0 && !dbase::isFoxPro(version)) {
        image->codePage = source.codePage;
        image->dbase.languageDriver = driver;
    }
    return image;
}

// Two values are the same when they show the same: numbers by their decimal value, text without the
// trailing blanks dBase pads with, times as the text a dBase field holds for them.
std::string comparable(const Value& v) {
    switch (v.kind) {
        case Value::Kind::Text: {
            std::string t = v.text;
            while (!t.empty() && t.back() == ' ') t.pop_back();
            return t;
        }
        case Value::Kind::Float:
        case Value::Kind::Integer:
        case Value::Kind::Decimal:
            return "#" + plainNumber(v);
        default:
            return dumpCell(v);
    }
}

// The value as the target field takes it: times as ISO text where the target holds text.
Value forTarget(const Value& v, const FieldDef& target) {
    if (naturalKind(target.type) != Value::Kind::Text) return v;
    if (v.kind == Value::Kind::Time || v.kind == Value::Kind::DateTime) return Value::ofText(dumpCell(v));
    return v;
}

// Reads the written table back and compares it with the source, value by value: what the files hold
// is what counts, not what the record held before it was written.
void verifyCopy(Table& source, const std::string& destPath, FileSystem& fs) {
    Table copy(fs);
    copy.setPath(destPath);
    copy.OpenTable();
    const int n = std::min(source.FieldCount(), copy.FieldCount());
    std::int64_t number = 0;
    source.MoveFirst();
    for (copy.MoveFirst(); !copy.AtEnd() && !source.AtEnd(); copy.MoveNext(), source.MoveNext()) {
        ++number;
        for (int i = 0; i < n; ++i)
            if (comparable(copy.GetValue(i)) != comparable(source.GetValue(i)))
                throw TableError("Die Kopie " + fileNameOf(destPath) + " weicht von der Quelle ab: Datensatz " +
                                     std::to_string(number) + ", Feld " + source.FieldDefAt(i).name + ", Wert \"" +
                                     dumpCell(source.GetValue(i)) + "\", gelesen \"" + dumpCell(copy.GetValue(i)) +
                                     "\".",
                                 TableError::Kind::Value, destPath);
    }
    if (copy.RecordCount() != source.RecordCount())
        throw TableError("Die Kopie " + fileNameOf(destPath) + " enthält " + std::to_string(copy.RecordCount()) +
                             " statt " + std::to_string(source.RecordCount()) + " Datensätze.",
                         TableError::Kind::Damaged, destPath);
}

// An existing target must be a table of its format: a file that is none is never replaced by a copy.
void requireReplaceableTarget(const std::string& destPath, FileSystem& fs) {
    const std::string existing = findIgnoringCase(destPath, fs);
    if (!fs.exists(existing)) return;
    auto refuse = [&](const char* why) {
        throw TableError("Die Zieldatei " + existing + " ist keine lesbare " +
                             (isParadoxPath(destPath) ? "Paradox" : "dBase") + "-Tabelle und wird nicht ersetzt:\r\n" +
                             why,
                         TableError::Kind::Usage, existing);
    };
    try {
        // Its structure and the layout of its records, read without a lock: nothing is left beside it.
        if (isParadoxPath(destPath))
            paradox::openStream(existing, fs);
        else
            dbase::openStream(existing, fs);
    } catch (const TableError& e) {
        refuse(e.what());
    } catch (const IoError& e) {
        refuse(e.what());
    }
}

// A folder beside the target where the copy is built and read back before it replaces anything.
class CopyWorkshop {
public:
    CopyWorkshop(FileSystem& fs, const std::string& destPath)
        : fs_(fs), dir_(directoryOf(std::filesystem::absolute(destPath).lexically_normal().string())),
          path_(dir_ + "." + baseNameOf(destPath) + "-Kopie" + kTempSuffix + "/") {
        clear();  // what a copy that was killed left
        fs_.makeDirectory(path_);
    }
    ~CopyWorkshop() { clear(); }
    CopyWorkshop(const CopyWorkshop&) = delete;
    CopyWorkshop& operator=(const CopyWorkshop&) = delete;

    std::string tablePath(const std::string& destPath) const { return path_ + fileNameOf(destPath); }

    // The table's files replace the target's through one journaled swap; files of the old table that the
    // new one does not have (an index, a memo file) go with it.
    void moveInto(const std::string& destPath) {
        const std::string base = baseNameOf(destPath);
        FileSetWriter writer(fs_, destPath);
        std::vector<std::string> kept;
        for (const DirEntry& e : fileSetEntries(path_, base, fs_)) {
            const std::string final = findIgnoringCase(dir_ + base + extensionOf(e.name), fs_);
            writer.adopt(final, path_ + e.name);
            kept.push_back(asciiUpper(extensionOf(e.name)));
        }
        const bool paradox = isParadoxPath(destPath);
        for (const DirEntry& e : fileSetEntries(dir_, base, fs_)) {
            const std::string ext = asciiUpper(extensionOf(e.name));
            const bool sameFormat = paradox != isDBaseFileExtension(ext);
            if (sameFormat && std::find(kept.begin(), kept.end(), ext) == kept.end()) writer.removeAtCommit(dir_ + e.name);
        }
        writer.commit();
    }

private:
    void clear() {
        if (!fs_.isDirectory(path_)) return;
        for (const DirEntry& e : fs_.list(path_))
            if (!e.isDirectory) fs_.remove(path_ + e.name);
        fs_.removeDirectory(path_);
    }

    FileSystem& fs_;
    std::string dir_, path_;
};

}  // namespace

std::optional<TargetVariant> parseTargetVariant(const std::string& name) {
    std::string n = asciiLower(name);
    if (n == "paradox3") return TargetVariant::Paradox3;
    if (n == "paradox4") return TargetVariant::Paradox4;
    if (n == "paradox5") return TargetVariant::Paradox5;
    if (n == "paradox7") return TargetVariant::Paradox7;
    if (n == "dbase3") return TargetVariant::DBase3;
    if (n == "dbase4") return TargetVariant::DBase4;
    if (n == "foxpro") return TargetVariant::FoxPro;
    if (n == "vfp") return TargetVariant::VisualFoxPro;
    return std::nullopt;
}

std::unique_ptr<TableImage> copyLayout(const TableImage& source, const std::string& destPath, TargetVariant variant) {
    if (isParadoxPath(destPath)) {
        if (variant != TargetVariant::Usual && !isParadoxVariant(variant))
            throw TableError("Eine .DB-Tabelle ist eine Paradox-Tabelle; --format verlangt eine dBase-Version.",
                             TableError::Kind::Usage, destPath);
        return paradoxLayout(source, destPath, variant);
    }
    if (!isDBasePath(destPath))
        throw TableError("Unbekannter Tabellentyp: " + fileNameOf(destPath), TableError::Kind::Usage, destPath);
    if (isParadoxVariant(variant))
        throw TableError("Eine .DBF-Tabelle ist eine dBase-Tabelle; --format verlangt eine Paradox-Version.",
                         TableError::Kind::Usage, destPath);
    return dbaseLayout(source, destPath, variant);
}

namespace {

// Writes every record of the source into a new table at builtPath, each value checked as it is set.
void buildCopy(Table& source, const std::string& builtPath, TargetVariant variant, FileSystem& fs) {
    Table dest(fs);
    dest.setPath(builtPath);
    dest.CreateTable(copyLayout(source.image(), dest.path(), variant));
    try {
        dest.CheckCapacity(static_cast<std::uint64_t>(source.RecordCount()));
        const int n = std::min(source.FieldCount(), dest.FieldCount());
        std::uint64_t number = 0;
        for (source.MoveFirst(); !source.AtEnd(); source.MoveNext()) {
            ++number;
            dest.BeginAppend();
            for (int i = 0; i < n; ++i) {
                Value v = source.GetValue(i);
                try {
                    if (!v.isNull()) dest.SetValue(i, forTarget(v, dest.FieldDefAt(i)), source.regional);
                    if (comparable(dest.GetValue(i)) != comparable(v))
                        throw TableError("das Ziel würde \"" + dumpCell(dest.GetValue(i)) + "\" speichern.",
                                         TableError::Kind::Value, dest.path());
                } catch (const TableError& e) {
                    dest.CancelRecord();
                    // The record and the value are added to the message; what went wrong stays what it was.
                    throw TableError("Datensatz " + std::to_string(number) + ", Feld " + source.FieldDefAt(i).name +
                                         ", Wert \"" + dumpCell(v) + "\": " + e.what(),
                                     e.kind(), e.file());
                }
            }
            dest.PostRecord();
        }
        dest.CloseTable();
    } catch (...) {
        dest.CloseDiscarding();
        throw;
    }
}

}  // namespace

CopyResult copyTable(const std::string& sourcePath, const std::string& destPath, const CopyOptions& options,
                     FileSystem& fs) {
    Table source(fs);
    source.setPath(sourcePath);
    source.CodePageIfNone = options.sourceCodePage;
    source.OpenTable();
    requireReplaceableTarget(destPath, fs);
    // The target held alone to the end, and checked as a save would check it (folder and files writable);
    // nothing is written through it.
    Table target(fs);
    target.setPath(destPath);
    if (target.DatabaseName.empty()) target.DatabaseName = ".";
    const std::vector<FieldSpec> placeholder{{"X", FieldType::String, 1}};
    target.CreateTable(isParadoxPath(destPath) ? paradox::newTable(target.path(), placeholder, 0)
                                               : dbase::newTable(target.path(), placeholder));
    try {
        // Built apart and read back there: a copy that differs from its source never replaces anything.
        CopyWorkshop workshop(fs, destPath);
        const std::string builtPath = workshop.tablePath(destPath);
        buildCopy(source, builtPath, options.variant, fs);
        verifyCopy(source, builtPath, fs);
        workshop.moveInto(destPath);
    } catch (...) {
        target.CloseDiscarding();
        throw;
    }
    target.CloseDiscarding();
    return {static_cast<std::uint64_t>(source.RecordCount()), source.image().missingRecords};
}

}  // namespace kimport
