// A program directory with control tables, a source and a target for the
// import run tests; the mapping is proposed as for a new import setting.
#pragma once

#include "importrun/ImportRun.h"

#include "support/ScriptedPrompter.h"
#include "importrun/GaugeModel.h"
#include "settings/ControlTables.h"
#include "support/TestSupport.h"
#include "tablestore/TableTestSupport.h"
#include "mapping/StructureMapping.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace kimport::test {

// Quelle.DB and Ziel.DB of the folder opened, with the target's structure read into z: what a field's
// steps work on.
inline void openQuelleAndZiel(const TempDir& dir, Table& source, Table& target, Table& q, Table& z, Table& temp,
                              ScriptedPrompter& prompter) {
    source.setPath(dir.file("Quelle.DB"));
    target.setPath(dir.file("Ziel.DB"));
    z.setPath(zStruktPath(dir.path()));
    MappingTables tables{source, target, q, z, temp, prompter, realFileSystem(), dir.path(), nullptr};
    ReadTargetStructure(tables);
    source.OpenTable();
    target.OpenTable();
}

using Fields = std::vector<FieldSpec>;

inline FieldSpec text(const char* name, int size) { return {name, FieldType::String, size}; }
inline FieldSpec typed(const char* name, FieldType type, int size = 0) { return {name, type, size}; }

inline const char* const kCancelQuestionText =
    "Die Operation ist nicht vollständig durchgeführt worden.\r\nWenn Sie jetzt abbrechen kann sich das negativ "
    "auf den \r\nweiteren Ablauf des Programmes auswirken.\r\n\r\nMöchten Sie wirklich abbrechen?";

inline const char* const kKeyRuleMissing =
    "Sie haben \"Schlüsselwerte ignorieren\" gewählt,\r\njedoch für den Primärschlüssel der Zieltabelle "
    "keine\r\nFeldzuordnung aus der Quelltabelle eingetragen.";

// A program directory with control tables, a source and a target; the mapping
// is proposed as for a new import setting.
class Importing {
public:
    Importing() {
        prompter.onFailure = [](const std::string& f) { ADD_FAILURE() << f; };
        makeControlTables(dir.path());
        q.setPath(qStruktPath(dir.path()));
        z.setPath(zStruktPath(dir.path()));
    }

    void makeSource(const std::string& name, const Fields& fields, int keys, const Rows& rows) {
        make(name, fields, keys, rows);
        source.setPath(dir.file(name));
    }
    void makeTarget(const std::string& name, const Fields& fields, int keys, const Rows& rows) {
        make(name, fields, keys, rows);
        target.setPath(dir.file(name));
    }

    void map() {
        MappingTables tables{source, target, q, z, temp, prompter, realFileSystem(), dir.path(), nullptr};
        ReadSourceStructure(tables);
        ReadTargetStructure(tables);
        AutoMap(tables);
    }

    void changeRule(const std::string& feldname, void (*change)(MappingRule&)) {
        for (z.MoveFirst(); !z.AtEnd(); z.MoveNext()) {
            if (z.AsString(z.FieldNamed("Feldname"), FormatSettings::german()) != feldname) continue;
            MappingRule r = readMappingRule(z);
            change(r);
            z.BeginEdit();
            writeMappingRule(z, r);
            z.PostRecord();
            return;
        }
        ADD_FAILURE() << "no rule for " << feldname;
    }

    ImportRun runner() {
        return ImportRun(RunTables{source, target, z}, gauge, prompter, formats, formats);
    }

    // The seven counters as the progress window shows them.
    std::map<std::string, std::string> counters() const {
        std::map<std::string, std::string> out;
        for (const CounterRow& row : counterRows()) out[row.labelName] = gauge.counterText(row.counter);
        return out;
    }
    std::string counter(Counter c) const { return gauge.counterText(c); }

    TempDir dir;
    ScriptedPrompter prompter;
    FormatSettings formats = FormatSettings::german();
    GaugeModel gauge{formats};
    Table source, target, q, z, temp;

private:
    void make(const std::string& name, const Fields& fields, int keys, const Rows& rows) {
        kimport::test::makeTableWithRows(dir.path(), name, fields, keys, rows);
    }
};

// Counters not named are "0"; SummeQuelle is set by the caller of the run.
inline std::map<std::string, std::string> expectedCounters(std::map<std::string, std::string> named) {
    std::map<std::string, std::string> all;
    for (const CounterRow& row : counterRows()) all[row.labelName] = "0";
    for (auto& [k, v] : named) all[k] = v;
    return all;
}

inline const Fields kNumbered{typed("Nr", FieldType::Integer), text("Name", 10)};
inline const Rows kThree{{"1", "Eins"}, {"2", "Zwei"}, {"3", "Drei"}};

}  // namespace kimport::test
