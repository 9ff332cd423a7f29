// Formulas in an import run: rules without a source field whose text and
// number formulas fill the target, and a formula that fails on one record
// counted as a field error while the run goes on.
#include "support/ScriptedPrompter.h"
#include "formula/FieldFormulas.h"
#include "importrun/GaugeModel.h"
#include "importrun/ImportRun.h"
#include "settings/ControlTables.h"
#include "support/TestSupport.h"
#include "tablestore/TableTestSupport.h"
#include "mapping/StructureMapping.h"

#include <gtest/gtest.h>

using namespace kimport;
using kimport::test::TempDir;

namespace {

using kimport::test::contents;
using kimport::test::Rows;

void make(const TempDir& dir, const std::string& name, const std::vector<FieldSpec>& fields, const Rows& rows) {
    kimport::test::makeTableWithRows(dir.path(), name, fields, 1, rows);
}

void setFormulas(Table& z, const std::string& feldname, const std::string& text, const std::string& number) {
    for (z.MoveFirst(); !z.AtEnd(); z.MoveNext()) {
        if (z.AsString(z.FieldNamed("Feldname"), FormatSettings::german()) != feldname) continue;
        MappingRule r = readMappingRule(z);
        r.Formel_alph = text;
        r.Formel_num = number;
        z.BeginEdit();
        writeMappingRule(z, r);
        z.PostRecord();
        return;
    }
    ADD_FAILURE() << "no rule for " << feldname;
}

}  // namespace

TEST(FormulaRun, TextAndNumberFormulasFillTheirTargets) {
    TempDir dir;
    ScriptedPrompter prompter;
    prompter.onFailure = [](const std::string& f) { ADD_FAILURE() << f; };
    FormatSettings formats = FormatSettings::german();
    GaugeModel gauge{formats};
    Table source, target, q, z, temp;

    makeControlTables(dir.path());
    make(dir, "Quelle.DB",
         {{"Nr", FieldType::Integer},
          {"Anrede", FieldType::String, 10},
          {"Name", FieldType::String, 20},
          {"Preis", FieldType::Float},
          {"Menge", FieldType::String, 10}},
         {{"1", "Herr", "Meier", "10", "2,5"}, {"2", "Frau", "Schulz", "4", "abc"}});
    make(dir, "Ziel.DB",
         {{"Nr", FieldType::Integer},
          {"Brief", FieldType::String, 40},
          {"Brutto", FieldType::Float},
          {"Summe", FieldType::Float}},
         {});
    source.setPath(dir.file("Quelle.DB"));
    target.setPath(dir.file("Ziel.DB"));
    q.setPath(qStruktPath(dir.path()));
    z.setPath(zStruktPath(dir.path()));
    MappingTables tables{source, target, q, z, temp, prompter, realFileSystem(), dir.path(), nullptr};
    ReadSourceStructure(tables);
    ReadTargetStructure(tables);
    AutoMap(tables);  // Nr to Nr; the other target fields have no source field
    setFormulas(z, "Brief", "\"Sehr geehrter \" + #Anrede + \" \" + #Name", "");
    setFormulas(z, "Brutto", "", "#Preis * 1.16");
    setFormulas(z, "Summe", "", "#Menge*#Preis");

    FieldFormulas formulas(formats);
    ImportRun run(RunTables{source, target, z}, gauge, prompter, formats, formats, &formulas);
    EXPECT_TRUE(run.run(ImportMode::Append, "", false));
    EXPECT_EQ(contents(target),
              (Rows{{"1", "Sehr geehrter Herr Meier", "11,6", "25"}, {"2", "Sehr geehrter Frau Schulz", "4,64", ""}}));
    // "abc" is no number: one field error, no message box during the run.
    EXPECT_EQ(gauge.count(Counter::AnzFehler), 1);
    EXPECT_EQ(gauge.count(Counter::AnzHinzu), 2);
    EXPECT_TRUE(prompter.finished());
}

TEST(FormulaRun, KimportRunUsesAPreparedMappingWithFormulas) {
    TempDir dir;
    ScriptedPrompter quiet;
    makeControlTables(dir.path());
    make(dir, "Quelle.DB", {{"Nr", FieldType::Integer}, {"Name", FieldType::String, 20}, {"Preis", FieldType::Float}},
         {{"1", "Meier", "10"}, {"2", "Schulz", "4"}});
    make(dir, "Ziel.DB", {{"Nr", FieldType::Integer}, {"Brief", FieldType::String, 40}, {"Brutto", FieldType::Float}}, {});
    {
        Table source, target, q, z, temp;
        source.setPath(dir.file("Quelle.DB"));
        target.setPath(dir.file("Ziel.DB"));
        q.setPath(qStruktPath(dir.path()));
        z.setPath(zStruktPath(dir.path()));
        MappingTables tables{source, target, q, z, temp, quiet, realFileSystem(), dir.path(), nullptr};
        ReadSourceStructure(tables);
        ReadTargetStructure(tables);
        AutoMap(tables);
        setFormulas(z, "Brief", "\"Kunde \" + #Name", "");
        setFormulas(z, "Brutto", "", "#Preis * 1.5");
    }
    auto r = kimport::test::runCommand(std::string(KIMPORT_KIMPORT_EXE) + " run --use-mapping --program-dir " +
                                       dir.path() + " --source " + dir.file("Quelle.DB") + " --target " +
                                       dir.file("Ziel.DB"));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("Anzahl hinzugefügter Datensätze\t2\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Anzahl der aufgetretenen Fehler:\t0\n"), std::string::npos) << r.out;
    Table target;
    target.setPath(dir.file("Ziel.DB"));
    target.OpenTable();
    EXPECT_EQ(contents(target), (Rows{{"1", "Kunde Meier", "15"}, {"2", "Kunde Schulz", "6"}}));
}
