// A new, empty Paradox table: level 4 unless a field type needs level 5,
// text in code page 1252, plain byte order for keys.
//
// Level 4 is the lowest level with blob fields and the one every Paradox and
// BDE since the early nineties reads; 1252 and the "ascii" sort order are what
// a Windows Paradox makes by default, and byte order is the only key order we
// can keep exactly when records are added.
#include "tablestore/paradox/ParadoxNewTable.h"

#include "common/FileSets.h"
#include "common/Text.h"
#include "tablestore/TableError.h"
#include "tablestore/TableFiles.h"
#include "tablestore/paradox/ParadoxFormat.h"
#include "tablestore/paradox/ParadoxHeader.h"

#include <set>

namespace kimport::paradox {

std::unique_ptr<TableImage> newTable(const std::string& dataPath, const std::vector<FieldSpec>& specs,
                                     int keyFieldCount) {
    if (specs.empty() || specs.size() > static_cast<std::size_t>(kMaxFields))
        throw TableError("Eine Paradox-Tabelle braucht 1 bis 255 Felder.", TableError::Kind::Usage, dataPath);
    if (keyFieldCount < 0 || keyFieldCount > static_cast<int>(specs.size()))
        throw TableError("Ungültige Anzahl von Schlüsselfeldern.", TableError::Kind::Usage, dataPath);
    auto image = std::make_unique<TableImage>();
    image->format = TableFormat::Paradox;
    image->dataPath = dataPath;
    image->codePage = 1252;
    image->keyFieldCount = keyFieldCount;
    image->paradox.sortOrder = 0;
    image->paradox.sortOrderName = "ascii";
    int version = kLevel4;
    int offset = 0;
    std::set<std::string> names;
    for (std::size_t i = 0; i < specs.size(); ++i) {
        const FieldSpec& s = specs[i];
        if (s.name.empty() || charCount(s.name) > static_cast<std::size_t>(kMaxFieldNameChars))
            throw TableError("Der Feldname \"" + s.name + "\" ist leer oder länger als 25 Zeichen.",
                             TableError::Kind::Usage, dataPath);
        if (!names.insert(foldedUpper(s.name)).second)
            throw TableError("Der Feldname \"" + s.name + "\" kommt doppelt vor.", TableError::Kind::Usage, dataPath);
        FieldDef f;
        f.name = s.name;
        f.physicalType = physicalFor(s.type);
        TypeInfo info = typeInfo(f.physicalType);
        f.letter = info.letter;
        f.type = info.logical;
        f.required = s.required;
        version = std::max(version, info.minLevel);
        switch (f.physicalType) {
        case kAlpha: case kBytes:
            if (s.size < 1 || s.size > 255)
                throw TableError("Feld " + s.name + ": die Länge muss zwischen 1 und 255 liegen.",
                                 TableError::Kind::Usage, dataPath);
            f.length = f.size = s.size;
            break;
        case kShort: f.length = 2; break;
        case kLong: case kAutoInc: case kDate: case kTime: f.length = 4; break;
        case kMoney: case kNumber: case kTimestamp: f.length = 8; break;
        case kLogical: f.length = 1; break;
        case kBcd:
            // The size of a BCD field is its decimals; its length is always the same.
            if (s.size < 0 || s.size > kBcdDigits)
                throw TableError("Feld " + s.name + ": höchstens 32 Nachkommastellen.", TableError::Kind::Usage,
                                 dataPath);
            f.length = static_cast<int>(kBcdLength);
            f.decimals = f.size = s.size;
            break;
        default: {  // blobs: the leader keeps the first bytes in the record
            // Without a size a memo gets Paradox's default leader of 10 bytes, the others none; a memo
            // leader has at least one byte, which Paradox requires.
            int leader = s.size > 0 ? std::min(s.size, kMaxBlobLeader) : (f.physicalType == kMemo ? 10 : 0);
            if (f.physicalType == kMemo && leader < 1) leader = 1;
            f.size = leader;
            f.length = leader + static_cast<int>(kBlobTailBytes);
            if (static_cast<int>(i) < keyFieldCount)
                throw TableError("Feld " + s.name + ": Memo- und Blobfelder können keine Schlüsselfelder sein.",
                                 TableError::Kind::Usage, dataPath);
        }
        }
        f.offset = offset;
        offset += f.length;
        image->fields.push_back(std::move(f));
    }
    if (offset > kMaxRecordSize)
        throw TableError("Die Datensätze sind zu lang für eine Paradox-Tabelle.", TableError::Kind::Limit, dataPath);
    image->paradox.version = version;
    image->recordLength = offset;
    image->paradox.mayRaiseLevel = true;
    // The smallest block that holds three records, as Paradox chooses; 16 KB blocks are a level-7
    // feature, and the header says which level the table is.
    const int threeRecords = offset * 3 + static_cast<int>(kBlockHeadBytes);
    image->paradox.blockSizeKb = threeRecords > 2048 ? (threeRecords > 4096 ? 16 : 4) : 2;
    if (image->paradox.blockSizeKb > kMaxBlockKbBeforeLevel7) image->paradox.version = kLevel7;
    image->originalHeader =
        newHeader(image->fields, keyFieldCount, image->paradox.version, image->codePage, 0, fileNameOf(dataPath));
    return image;
}

void setCodePage(TableImage& image, int codePage) {
    image.codePage = codePage;
    image.originalHeader = newHeader(image.fields, image.keyFieldCount, image.paradox.version, codePage,
                                     image.paradox.sortOrder, fileNameOf(image.dataPath));
}

}  // namespace kimport::paradox
