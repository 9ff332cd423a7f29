// The shortcuts of the field steps against the long way: every field of a
// source with many kinds of fields, filled with values near the edges of what
// the shortcuts assume, goes into every kind of target field under rules with
// the options the shortcuts depend on -- once as the run does it, once with
// every step taking the long way. What is stored, counted and reported, and
// what ends a call, must be the same.
#include "importrun/FieldTransform.h"
#include "importrun/Importing.h"

#include "common/Numbers.h"
#include "importrun/GaugeModel.h"
#include "mapping/StructureMapping.h"
#include "settings/ControlTables.h"
#include "support/ScriptedPrompter.h"
#include "support/TestSupport.h"
#include "tablestore/ValueConversion.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

using namespace kimport;
using kimport::test::TempDir;

namespace {

// Stands in for the formulas, which are not part of the steps: a fixed result.
class FixedFormulas : public FormulaEvaluator {
public:
    std::string evalText(const std::string&, Table&) override { return "0042"; }
    double evalNumber(const std::string&, Table&) override { return 42.5; }
};

// One source value: the field it is in and the value.
struct SourceValue {
    const char* field;
    Value value;
};

std::vector<SourceValue> sourceValues() {
    std::vector<SourceValue> values;
    for (const char* t : {"", "42", "0042", " 42 ", "\t7", "-5", "12,5", "1.000", "abc", "00", " 00 42", "1E5",
                          "99999999999", "Größenangabe über zehn Zeichen", "ÄÖÜäöüß"})
        values.push_back({"STEXT", Value::ofText(t)});
    for (const char* t : {"12", "ab", "0001"}) values.push_back({"SKURZ", Value::ofText(t)});
    for (std::int64_t i : {0LL, 42LL, -5LL, 70000LL, 2147483647LL}) values.push_back({"SINT", Value::ofInteger(i)});
    for (std::int64_t i : {0LL, 7LL, -7LL}) values.push_back({"SSMALL", Value::ofInteger(i)});
    // Whole and nearly whole numbers, and those whose text has an exponent.
    for (double d : {0.0, -0.0, 42.0, 42.5, -3.0, 2.675, 1e15, 999999999999999.0, 1.0000000000000002,
                     0.9999999999999999, 123456789012345.6, 99999999999999.98, 1e-20, 1e300})
        values.push_back({"SFLOAT", Value::ofFloat(d)});
    for (double d : {0.0, 12.5, 100.0, -1.0}) values.push_back({"SMONEY", Value::ofFloat(d)});
    values.push_back({"SDATE", Value::ofDate(dayNumberFromCivil(2024, 1, 2))});
    values.push_back({"STIME", Value::ofTime(12 * 3600000 + 34 * 60000 + 56000)});
    values.push_back({"SBOOL", Value::ofBoolean(true)});
    values.push_back({"SBOOL", Value::ofBoolean(false)});
    for (std::string t :
         {std::string("123"), std::string("Notiz mit mehr als zehn Zeichen"), std::string(400, 'm') + "9"})
        values.push_back({"SMEMO", Value::ofText(t)});
    for (const char* f : {"STEXT", "SINT", "SFLOAT", "SDATE", "SBOOL", "SMEMO"}) values.push_back({f, Value::null()});
    return values;
}

// Rules with the options the shortcuts depend on, each on top of a fresh rule (right alignment on).
std::vector<std::pair<const char*, std::function<void(MappingRule&)>>> ruleOptions() {
    return {
        {"frisch", [](MappingRule&) {}},
        {"ohne Ausrichtung", [](MappingRule& r) { r.Ausrichtung_re = false; }},
        {"links", [](MappingRule& r) { r.Ausrichtung_re = false, r.Ausrichtung_li = true; }},
        {"links und rechts", [](MappingRule& r) { r.Ausrichtung_li = true; }},
        {"links abschneiden", [](MappingRule& r) { r.Ueberl_abschneid_li = true; }},
        {"links abschneiden, links ausrichten",
         [](MappingRule& r) { r.Ueberl_abschneid_li = true, r.Ausrichtung_re = false, r.Ausrichtung_li = true; }},
        {"geteilt", [](MappingRule& r) { r.Div = 4; }},
        {"malgenommen, gerundet", [](MappingRule& r) { r.Mul = 3, r.Runden = 1; }},
        {"gerundet", [](MappingRule& r) { r.Runden = 0; }},
        {"Ausschnitt 2-4", [](MappingRule& r) { r.StringAuswahlBeg = 2, r.StringAuswahlEnd = 4; }},
        {"Ausschnitt -3-2", [](MappingRule& r) { r.StringAuswahlBeg = -3, r.StringAuswahlEnd = 2; }},
        {"Ausschnitt 3-300, links abschneiden",
         [](MappingRule& r) { r.StringAuswahlBeg = 3, r.StringAuswahlEnd = 300, r.Ueberl_abschneid_li = true; }},
        {"Ausschnitt 390-450", [](MappingRule& r) { r.StringAuswahlBeg = 390, r.StringAuswahlEnd = 450; }},
        {"Vorgabe bei Überlänge", [](MappingRule& r) { r.Vorgabewert_alph = "LANG"; }},
        {"Vorgabe bei 42", [](MappingRule& r) { r.Vorgabewert_alph = "0042", r.Quellwert_alph = "42"; }},
        {"Zahlvorgabe bis 0",
         [](MappingRule& r) { r.Vorgabewert_num = 7, r.Quellwert_num = 0, r.BedKleiner = r.BedGleich = true; }},
        {"Textformel, links abschneiden", [](MappingRule& r) { r.Formel_alph = "x", r.Ueberl_abschneid_li = true; }},
        {"Zahlformel", [](MappingRule& r) { r.Formel_num = "x"; }},
    };
}

// A source with a field of each kind and a target with a field of each kind, ZStrukt read from the target.
class Fields {
public:
    Fields() {
        prompter.onFailure = [](const std::string& f) { ADD_FAILURE() << f; };
        makeControlTables(dir.path());
        MakeTable(dir.path(), "Quelle.DB",
                  {{"STEXT", FieldType::String, 40},
                   {"SKURZ", FieldType::String, 4},
                   {"SINT", FieldType::Integer},
                   {"SSMALL", FieldType::SmallInt},
                   {"SFLOAT", FieldType::Float},
                   {"SMONEY", FieldType::Currency},
                   {"SDATE", FieldType::Date},
                   {"STIME", FieldType::Time},
                   {"SBOOL", FieldType::Boolean},
                   {"SMEMO", FieldType::Memo, 10}});
        MakeTable(dir.path(), "Ziel.DB",
                  {{"TTEXT", FieldType::String, 10},
                   {"TKURZ", FieldType::String, 3},
                   {"TINT", FieldType::Integer},
                   {"TSMALL", FieldType::SmallInt},
                   {"TFLOAT", FieldType::Float},
                   {"TMONEY", FieldType::Currency},
                   {"TDATE", FieldType::Date},
                   {"TTIME", FieldType::Time},
                   {"TBOOL", FieldType::Boolean},
                   {"TMEMO", FieldType::Memo, 10},
                   {"TAUTO", FieldType::AutoInc}});
        openQuelleAndZiel(dir, source, target, q, z, temp, prompter);
        rules = loadRunRules(z, source, target);
    }

    // Everything one call leaves: the value stored, the errors counted, the report, what ended the call.
    std::string fill(const RunRule& rule, bool takeShortcuts) {
        GaugeModel gauge(formats);
        RunReport report;
        FixedFormulas formulas;
        target.BeginAppend();
        TransformContext ctx{source, target, gauge, formats, formats, &formulas, &report};
        ctx.takeShortcuts = takeShortcuts;
        std::ostringstream seen;
        try {
            fillField(rule, ctx);
        } catch (const std::exception& e) {
            seen << "beendet: " << e.what() << "\n";
        }
        const Value v = target.GetValue(*rule.targetField);
        target.CancelRecord();
        seen << "Wert: " << (v.isNull() ? std::string("(leer)") : valueToText(v, formats)) << " ("
             << static_cast<int>(v.kind) << ")\nFehler: " << gauge.count(Counter::AnzFehler) << "\n";
        writeReportCsv(report, seen);
        return seen.str();
    }

    TempDir dir;
    ScriptedPrompter prompter;
    FormatSettings formats = FormatSettings::german();
    Table source, target, q, z, temp;
    std::vector<RunRule> rules;  // one per target field, in the target's order
};

}  // namespace

TEST(FieldShortcuts, EveryShortcutGivesWhatTheLongWayGives) {
    Fields f;
    const std::vector<SourceValue> values = sourceValues();
    for (const SourceValue& sv : values) {
        f.source.BeginAppend();
        f.source.SetValue(f.source.FieldNamed(sv.field), sv.value);
        f.source.PostRecord();
    }
    int compared = 0;
    for (std::size_t record = 0; record < values.size(); ++record) {
        const SourceValue& sv = values[record];
        ASSERT_TRUE(f.source.GoToRecord(static_cast<std::int64_t>(record + 1)));
        const std::string shown = sv.value.isNull() ? "(leer)" : valueToText(sv.value, f.formats);
        for (const RunRule& stored : f.rules) {
            for (const auto& [what, option] : ruleOptions()) {
                // The length as ZStrukt gives it, and one shorter than most values.
                for (const std::string& laenge : {stored.laenge, std::string("2")}) {
                    RunRule rule = stored;
                    rule.laenge = laenge;
                    rule.rule = defaultRule();
                    rule.rule.Zuordnung = sv.field;
                    option(rule.rule);
                    rule.sourceField = f.source.FieldNamed(sv.field);
                    const std::string quick = f.fill(rule, true);
                    const std::string longWay = f.fill(rule, false);
                    ++compared;
                    EXPECT_EQ(quick, longWay) << sv.field << " = \"" << shown << "\" into " << rule.feldname << " ("
                                              << what << ", Länge " << laenge << ")";
                }
            }
        }
    }
    EXPECT_GT(compared, 20000);
}
