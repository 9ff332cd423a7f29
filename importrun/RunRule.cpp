#include "importrun/RunRule.h"

#include "settings/ControlTables.h"
#include "common/Text.h"
#include "tablestore/Table.h"

namespace kimport {

namespace {

// A field by name as the mapping compares names: the letters a-z without regard to case, every other
// character as it is ("größe" and "GRÖßE" are two fields). An exact match wins.
std::optional<int> fieldByMappingName(const Table& table, const std::string& name) {
    std::optional<int> found;
    const std::string upper = asciiUpper(name);
    for (int i = 0; i < table.FieldCount(); ++i) {
        const std::string& candidate = table.FieldDefAt(i).name;
        if (candidate == name) return i;
        if (!found && asciiUpper(candidate) == upper) found = i;
    }
    return found;
}

}  // namespace

std::vector<RunRule> loadRunRules(Table& zStrukt, Table& source, Table& target) {
    std::vector<RunRule> rules;
    const FormatSettings& fs = zStrukt.regional;
    const int index = zStrukt.FieldNamed("Index"), feldname = zStrukt.FieldNamed("Feldname");
    const int laenge = zStrukt.FieldNamed("Laenge"), typ = zStrukt.FieldNamed("Typ");
    const int typName = zStrukt.FieldNamed("Typbezeichnung");
    for (zStrukt.MoveFirst(); !zStrukt.AtEnd(); zStrukt.MoveNext()) {
        RunRule r;
        r.index = zStrukt.AsString(index, fs);
        r.feldname = zStrukt.AsString(feldname, fs);
        r.laenge = zStrukt.AsString(laenge, fs);
        r.typBezeichnung = zStrukt.AsString(typName, fs);
        r.typ = static_cast<int>(zStrukt.AsInteger(typ));
        r.rule = readMappingRule(zStrukt);
        r.targetField = fieldByMappingName(target, r.feldname);
        if (r.assigned()) r.sourceField = fieldByMappingName(source, r.rule.Zuordnung);
        rules.push_back(std::move(r));
    }
    zStrukt.MoveFirst();
    return rules;
}

}  // namespace kimport
