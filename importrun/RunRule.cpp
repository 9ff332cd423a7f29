#include "importrun/RunRule.h"

#include "settings/ControlTables.h"
#include "tablestore/Table.h"

namespace kimport {

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
        r.targetField = target.LookupField(r.feldname);
        if (r.assigned()) r.sourceField = source.LookupField(r.rule.Zuordnung);
        rules.push_back(std::move(r));
    }
    zStrukt.MoveFirst();
    return rules;
}

}  // namespace kimport
