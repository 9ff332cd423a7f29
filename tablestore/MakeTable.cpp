// Creating a table and copying records between tables.
#include "common/FileSets.h"
#include "tablestore/Table.h"
#include "tablestore/TableFiles.h"

namespace kimport {

void MakeTable(const std::string& directory, const std::string& fileName, const std::vector<FieldSpec>& fields,
               int keyFieldCount, FileSystem& fs) {
    std::string dataPath = findIgnoringCase(withTrailingSlash(directory) + fileName, fs);
    if (!fs.isDirectory(directory.empty() ? "." : directory))
        throw TableError("Das Verzeichnis " + directory + " existiert nicht.");
    std::unique_ptr<FileLock> held;
    try {
        held = fs.tryLock(lockFileOf(dataPath), lockByteOf(dataPath), true);
        if (!held) throw TableError("Die Tabelle " + fileName + " wird verwendet und kann nicht angelegt werden.");
    } catch (const IoError& e) {
        throw TableError(std::string("Die Tabelle ") + fileName + " kann nicht angelegt werden: " + e.what());
    }
    if (isParadoxPath(dataPath)) {
        auto image = paradox::newTable(dataPath, fields, keyFieldCount);
        paradox::writeTable(*image, fs);
    } else if (isDBasePath(dataPath)) {
        if (keyFieldCount > 0) throw TableError("dBASE-Tabellen haben keinen Primärschlüssel.");
        auto image = dbase::newTable(dataPath, fields);
        dbase::writeTable(*image, fs);
    } else {
        throw TableError("Unbekannter Tabellentyp: " + fileName);
    }
}

void CopyRecords(Table& source, Table& destination) {
    int n = std::min(source.FieldCount(), destination.FieldCount());
    for (source.MoveFirst(); !source.AtEnd(); source.MoveNext()) {
        destination.BeginAppend();
        for (int i = 0; i < n; ++i) {
            Value v = source.GetValue(i);
            if (!v.isNull()) destination.SetValue(i, v, source.regional);
        }
        destination.PostRecord();
    }
}

}  // namespace kimport
