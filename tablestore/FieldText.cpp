#include "tablestore/FieldText.h"

#include "common/CodePage.h"
#include "common/FileSets.h"
#include "common/Text.h"
#include "tablestore/TableError.h"

namespace kimport {

std::string encodeFieldText(const TableImage& table, const FieldDef& field, std::string_view text,
                            std::size_t maxBytes) {
    std::string bytes;
    char32_t bad = 0;
    if (encodeCodePageExactly(text, table.codePage, bytes, &bad, maxBytes)) return bytes;
    std::string character;
    appendUtf8(character, bad);
    throw TableError("Das Zeichen \"" + character + "\" im Wert \"" + std::string(text) + "\" kann im Feld " +
                     field.name + " der Tabelle " + fileNameOf(table.dataPath) + " nicht gespeichert werden: die " +
                     "Codeseite " + std::to_string(table.codePage) + " der Tabelle enthält es nicht.",
                     TableError::Kind::Value, table.dataPath);
}

}  // namespace kimport
