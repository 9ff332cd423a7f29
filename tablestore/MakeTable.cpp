// Creating a table and copying records between tables.
#include "common/FileSets.h"
#include "tablestore/Dump.h"
#include "tablestore/Table.h"
#include "tablestore/TableFiles.h"

namespace kimport {

std::unique_ptr<TableImage> newTableImage(const std::string& dataPath, const std::vector<FieldSpec>& fields,
                                          int keyFieldCount) {
    if (isParadoxPath(dataPath)) return paradox::newTable(dataPath, fields, keyFieldCount);
    if (isDBasePath(dataPath)) {
        if (keyFieldCount > 0)
            throw TableError("dBASE-Tabellen haben keinen Primärschlüssel.", TableError::Kind::Usage, dataPath);
        return dbase::newTable(dataPath, fields);
    }
    throw TableError("Unbekannter Tabellentyp: " + fileNameOf(dataPath), TableError::Kind::Usage, dataPath);
}

void MakeTable(const std::string& directory, const std::string& fileName, const std::vector<FieldSpec>& fields,
               int keyFieldCount, FileSystem& fs) {
    Table table(fs);
    table.DatabaseName = directory;
    table.TableName = fileName;
    table.CreateTable(newTableImage(table.path(), fields, keyFieldCount));
    table.CloseTable();
}

void CopyRecords(Table& source, Table& destination) {
    int n = std::min(source.FieldCount(), destination.FieldCount());
    std::int64_t number = 0;
    for (source.MoveFirst(); !source.AtEnd(); source.MoveNext()) {
        ++number;
        destination.BeginAppend();
        int i = 0;
        try {
            for (; i < n; ++i) {
                Value v = source.GetValue(i);
                if (!v.isNull()) destination.SetValue(i, v, source.regional);
            }
            destination.PostRecord();
        } catch (const TableError& e) {
            // A record that cannot be copied whole is not posted half-filled.
            destination.CancelRecord();
            std::string where = "Datensatz " + std::to_string(number);
            if (i < n)
                where += ", Feld " + source.FieldDefAt(i).name + ", Wert \"" + dumpCell(source.GetValue(i)) + "\"";
            throw TableError(where + ": " + e.what(), e.kind(), e.file());
        }
    }
}

}  // namespace kimport
