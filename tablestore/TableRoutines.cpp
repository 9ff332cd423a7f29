#include "tablestore/TableRoutines.h"

#include "common/FileSets.h"
#include "common/Numbers.h"

#include <unordered_set>

namespace kimport {

bool HasUniqueValues(Table& table, const std::string& fieldName) {
    if (!table.Active()) table.OpenTable();
    int field = table.FieldNamed(fieldName);
    std::unordered_set<std::string> seen;
    for (table.MoveFirst(); !table.AtEnd(); table.MoveNext()) {
        Value v = table.GetValue(field);
        std::string key;
        switch (v.kind) {
        case Value::Kind::Integer: key = std::to_string(v.integer); break;
        case Value::Kind::Float: key = shortestDecimal(v.number); break;
        case Value::Kind::Decimal: key = shortestDecimal(parseFloat(v.text, '.')); break;
        default: key = table.AsString(field, table.regional);
        }
        if (v.isNull() || table.AsString(field, table.regional).empty()) return false;
        if (!seen.insert(key).second) return false;
    }
    return true;
}

bool ClearTableExclusive(Table& table, Prompter& prompter) {
    try {
        table.CloseTable();
        table.Exclusive = true;
        table.OpenTable();
        table.ClearTable();
        table.CloseTable();
        table.Exclusive = false;
        return true;
    } catch (const std::exception&) {
        try {
            table.CloseTable();
        } catch (const std::exception&) {
        }
        // Without the right to write there, deleting lock files would not help.
        FileSystem& fs = realFileSystem();
        const std::string path = table.path(), directory = directoryOf(path);
        if (!fs.canWriteIn(directory.empty() ? "." : directory) || (fs.exists(path) && !fs.canWrite(path))) {
            prompter.error("Leeren der Datenbank " + table.TableName + " ist fehlgeschlagen.\r\n" +
                           "Sie haben keine Schreibrechte für die Datenbank oder ihr Verzeichnis " +
                           (directory.empty() ? std::string(".") : directory) + ".");
            return false;
        }
        prompter.error("Leeren der Datenbank " + table.TableName + " ist fehlgeschlagen.\r\n" +
                       "Die Datenbank konnte nicht exclusiv geöffnet werden\r\n\r\n" + "Mögliche Problemlösung:\r\n" +
                       "Löschen Sie die Dateien P*.lck im aktuellen Programmverzeichnis");
        return false;
    }
}

}  // namespace kimport
