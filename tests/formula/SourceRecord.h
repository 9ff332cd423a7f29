// A Paradox source table with one record, open and on that record, for the
// formula tests of the core and of the editor window.
#pragma once

#include "support/TestSupport.h"
#include "tablestore/Table.h"

#include <string>
#include <vector>

namespace kimport::test {

struct SourceField {
    FieldSpec definition;
    std::string value;  // as the German user types it; empty for no value
};

class SourceRecord {
public:
    explicit SourceRecord(const std::vector<SourceField>& fields) {
        std::vector<FieldSpec> definitions;
        for (const auto& f : fields) definitions.push_back(f.definition);
        MakeTable(dir.path(), "Quelle.DB", definitions);
        table.setPath(dir.file("Quelle.DB"));
        table.OpenTable();
        table.BeginAppend();
        for (std::size_t i = 0; i < fields.size(); ++i)
            if (!fields[i].value.empty())
                table.SetAsString(static_cast<int>(i), fields[i].value, FormatSettings::german());
        table.PostRecord();
        table.MoveFirst();
    }

    TempDir dir;
    Table table;
};

inline SourceField textField(const char* name, std::string value, int size = 30) {
    SourceField f;
    f.definition.name = name;
    f.definition.size = size;
    f.value = std::move(value);
    return f;
}
inline SourceField typedField(const char* name, FieldType type, std::string value, int size = 0) {
    SourceField f;
    f.definition.name = name;
    f.definition.type = type;
    f.definition.size = size;
    f.value = std::move(value);
    return f;
}

}  // namespace kimport::test
