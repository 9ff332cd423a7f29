#include "tablestore/FormatCodec.h"

#include "common/CodePage.h"
#include "common/FileSets.h"
#include "common/Text.h"
#include "tablestore/TableError.h"
#include "tablestore/TableFiles.h"

namespace kimport {

Value::Kind naturalKind(FieldType type) {
    switch (type) {
    case FieldType::String: case FieldType::Memo: return Value::Kind::Text;
    case FieldType::SmallInt: case FieldType::Integer: case FieldType::Word: case FieldType::AutoInc:
        return Value::Kind::Integer;
    case FieldType::Float: case FieldType::Currency: return Value::Kind::Float;
    case FieldType::BCD: return Value::Kind::Decimal;
    case FieldType::Boolean: return Value::Kind::Boolean;
    case FieldType::Date: return Value::Kind::Date;
    case FieldType::Time: return Value::Kind::Time;
    case FieldType::DateTime: return Value::Kind::DateTime;
    default: return Value::Kind::Bytes;
    }
}

void requireCodePage(int codePage, const std::string& dataPath) {
    try {
        requireSupportedCodePage(codePage, "der Tabelle " + fileNameOf(dataPath));
    } catch (const CodePageError& e) {
        throw TableError(e.what(), TableError::Kind::Unsupported, dataPath);
    }
}

bool isParadoxPath(const std::string& path) { return asciiUpper(extensionOf(path)) == ".DB"; }
bool isDBasePath(const std::string& path) { return asciiUpper(extensionOf(path)) == ".DBF"; }

}  // namespace kimport
