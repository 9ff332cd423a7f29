// One mapping rule as the run uses it: the ZStrukt row's structure columns,
// its options, and the fields it names, looked up once per run.
#pragma once

#include "tablestore/FieldType.h"

#include "settings/TypeCodes.h"

#include <optional>
#include <string>
#include <vector>

namespace kimport {

class Table;

struct RunRule {
    std::string index;     // "X" for a key field of the target
    std::string feldname;  // target field
    std::string laenge;    // target length as text
    std::string typBezeichnung;
    int typ = 0;  // the target's type code as ZStrukt stores it
    FieldType type() const { return fieldTypeOfCode(typ); }
    MappingRule rule;

    // Field positions, found when the run starts; empty when the table has no such field.
    std::optional<int> targetField;
    std::optional<int> sourceField;

    bool assigned() const { return !rule.Zuordnung.empty(); }
    bool isKey() const { return !index.empty(); }
};

// Every row of ZStrukt in table order, with the fields looked up in source and target.
std::vector<RunRule> loadRunRules(Table& zStrukt, Table& source, Table& target);

}  // namespace kimport
