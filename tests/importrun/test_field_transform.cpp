// Filling one target field from the current source record by its mapping
// rule: the steps in their order, the defaults and their comparisons, the
// field errors that are counted and the comparison failure that ends the run.
// Each case writes one source record into a real Paradox table and fills a
// record of a real target whose rule comes from ZStrukt as the run reads it.
#include "importrun/FieldTransform.h"
#include "importrun/Importing.h"

#include "common/Numbers.h"
#include "support/ScriptedPrompter.h"
#include "importrun/GaugeModel.h"
#include "importrun/ImportRun.h"
#include "settings/ControlTables.h"
#include "support/TestSupport.h"
#include "mapping/StructureMapping.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kimport;
using kimport::test::TempDir;

namespace {

FieldSpec text(const char* name, int size) { return {name, FieldType::String, size}; }
FieldSpec typed(const char* name, FieldType type, int size = 0) { return {name, type, size}; }

Value txt(const char* t) { return Value::ofText(t); }
Value num(double d) { return Value::ofFloat(d); }

// A rule with the source field Q assigned and fresh options.
MappingRule assigned() {
    MappingRule r = defaultRule();
    r.Zuordnung = "Q";
    return r;
}

// Stands in for the formulas, which are not part of the run: a fixed result.
class FixedFormulas : public FormulaEvaluator {
public:
    std::string evalText(const std::string&, Table&) override { return "FORMEL"; }
    double evalNumber(const std::string&, Table&) override { return 42; }
};

// A source with the one field Q, a target with the one field Z, and ZStrukt
// read from the target.
class Transforming {
public:
    Transforming(const FieldSpec& sourceField, const FieldSpec& targetField) {
        prompter.onFailure = [](const std::string& f) { ADD_FAILURE() << f; };
        makeControlTables(dir.path());
        FieldSpec s = sourceField, t = targetField;
        s.name = "Q";
        t.name = "Z";
        MakeTable(dir.path(), "Quelle.DB", {s});
        MakeTable(dir.path(), "Ziel.DB", {t});
        openQuelleAndZiel(dir, source, target, q, z, temp, prompter);
    }

    // The rule as the run sees it after it was stored in ZStrukt.
    RunRule store(const MappingRule& rule) {
        z.MoveFirst();
        z.BeginEdit();
        writeMappingRule(z, rule);
        z.PostRecord();
        return loadRunRules(z, source, target).at(0);
    }

    // Fills the field of a new target record from a new source record; the
    // field errors of this one call go to lastErrors.
    Value fill(const Value& sourceValue, const MappingRule& rule) {
        RunRule r = store(rule);
        source.BeginAppend();
        source.SetValue(0, sourceValue);
        source.PostRecord();
        target.BeginAppend();
        std::int64_t before = gauge.count(Counter::AnzFehler);
        TransformContext ctx{source, target, gauge, formats, formats, formulas};
        fillField(r, ctx);
        lastErrors = gauge.count(Counter::AnzFehler) - before;
        Value v = target.GetValue(0);
        target.CancelRecord();
        return v;
    }
    std::string fillText(const Value& sourceValue, const MappingRule& rule) {
        return valueToTextOf(fill(sourceValue, rule));
    }
    std::string valueToTextOf(const Value& v) {
        return v.isNull() ? "(leer)" : v.kind == Value::Kind::Text ? v.text : "(kein Text)";
    }
    double fillNumber(const Value& sourceValue, const MappingRule& rule) {
        Value v = fill(sourceValue, rule);
        EXPECT_EQ(v.kind, Value::Kind::Float);
        return v.number;
    }

    TempDir dir;
    ScriptedPrompter prompter;
    FormatSettings formats = FormatSettings::german();
    GaugeModel gauge{formats};
    FormulaEvaluator* formulas = nullptr;
    Table source, target, q, z, temp;
    std::int64_t lastErrors = 0;
};

}  // namespace

// --- copy and alignment -------------------------------------------------------

TEST(FieldTransform, AFreshRuleRightAlignsDigitStringsToTheTargetLength) {
    Transforming t(text("Q", 20), text("Z", 10));
    EXPECT_EQ(t.fillText(txt("123"), assigned()), "       123");
    // Not digit strings: they arrive as they are.
    EXPECT_EQ(t.fillText(txt(" 123"), assigned()), " 123");
    EXPECT_EQ(t.fillText(txt("12,5"), assigned()), "12,5");
    EXPECT_EQ(t.fillText(txt("-5"), assigned()), "-5");
    EXPECT_EQ(t.fillText(txt("A12"), assigned()), "A12");
    EXPECT_EQ(t.fillText(Value::null(), assigned()), "(leer)");
    MappingRule off = assigned();
    off.Ausrichtung_re = false;
    EXPECT_EQ(t.fillText(txt("123"), off), "123");
    EXPECT_EQ(t.gauge.count(Counter::AnzFehler), 0);

    // A number source reads as a digit string too.
    Transforming fromNumber(typed("Q", FieldType::Integer), text("Z", 10));
    EXPECT_EQ(fromNumber.fillText(Value::ofInteger(123), assigned()), "       123");
    EXPECT_EQ(fromNumber.lastErrors, 0);
}

TEST(FieldTransform, OneValueTheFieldDoesNotTakeIsOneError) {
    // 70000 does not fit a small integer: the write fails once, and the right alignment after it has
    // nothing to pad.
    Transforming t(text("Q", 20), typed("Z", FieldType::SmallInt));
    EXPECT_EQ(t.fillText(txt("70000"), assigned()), "(leer)");
    EXPECT_EQ(t.lastErrors, 1);
    MappingRule left = assigned();
    left.Ausrichtung_re = false;
    left.Ausrichtung_li = true;
    EXPECT_EQ(t.fillText(txt("70000"), left), "(leer)");
    EXPECT_EQ(t.lastErrors, 1);
}

TEST(FieldTransform, DigitStringsReachNumberAndMemoTargetsWithoutErrors) {
    // The padded text must still read as the number.
    Transforming intoNumber(text("Q", 20), typed("Z", FieldType::Integer));
    Value v = intoNumber.fill(txt("123"), assigned());
    EXPECT_EQ(v.kind, Value::Kind::Integer);
    EXPECT_EQ(v.integer, 123);
    EXPECT_EQ(intoNumber.lastErrors, 0);

    // A memo's length "-" is no digit string: no alignment.
    Transforming intoMemo(text("Q", 20), typed("Z", FieldType::Memo, 10));
    EXPECT_EQ(intoMemo.fillText(txt("123"), assigned()), "123");
    EXPECT_EQ(intoMemo.lastErrors, 0);
}

TEST(FieldTransform, LeftAlignmentWritesTheTrimmedDigitString) {
    Transforming t(text("Q", 20), text("Z", 10));
    MappingRule left = assigned();
    left.Ausrichtung_li = true;
    left.Ausrichtung_re = false;
    EXPECT_EQ(t.fillText(txt(" 0042 "), left), "0042");
    EXPECT_EQ(t.fillText(txt("\t0042"), left), "0042");
    EXPECT_EQ(t.fillText(txt(" 00 42"), left), " 00 42");
    // With right alignment still set (as in a fresh rule) the untrimmed source is no digit string.
    left.Ausrichtung_re = true;
    EXPECT_EQ(t.fillText(txt(" 0042 "), left), "0042");
    // A digit string without blanks is aligned left, then right.
    EXPECT_EQ(t.fillText(txt("0042"), left), "      0042");
    EXPECT_EQ(t.gauge.count(Counter::AnzFehler), 0);
}

// --- division and multiplication ---------------------------------------------------

TEST(FieldTransform, DivisionAndMultiplicationStartFromTheSourceValue) {
    Transforming t(typed("Q", FieldType::Float), typed("Z", FieldType::Float));
    MappingRule r = assigned();
    EXPECT_DOUBLE_EQ(t.fillNumber(num(10), r), 10);
    r.Div = 0;
    EXPECT_DOUBLE_EQ(t.fillNumber(num(10), r), 10);
    r.Div = 4;
    EXPECT_DOUBLE_EQ(t.fillNumber(num(10), r), 2.5);
    r.Div.reset();
    r.Mul = 0;
    EXPECT_DOUBLE_EQ(t.fillNumber(num(10), r), 10);
    r.Mul = 3;
    EXPECT_DOUBLE_EQ(t.fillNumber(num(10), r), 30);
    // Both filled: the product replaces the quotient.
    r.Div = 4;
    EXPECT_DOUBLE_EQ(t.fillNumber(num(10), r), 30);
    // An empty source stays empty.
    r.Mul.reset();
    EXPECT_TRUE(t.fill(Value::null(), r).isNull());
    EXPECT_EQ(t.gauge.count(Counter::AnzFehler), 0);

    // A text source is read as a number with the regional decimal comma.
    Transforming fromText(text("Q", 10), typed("Z", FieldType::Float));
    MappingRule d = assigned();
    d.Div = 4;
    EXPECT_DOUBLE_EQ(fromText.fillNumber(txt("10"), d), 2.5);
    EXPECT_DOUBLE_EQ(fromText.fillNumber(txt("1,5"), d), 0.375);
    EXPECT_EQ(fromText.gauge.count(Counter::AnzFehler), 0);
}

// --- defaults ------------------------------------------------------------------------

TEST(FieldTransform, TheTextDefaultMatchesItsSourceValueExactly) {
    Transforming t(text("Q", 10), text("Z", 10));
    MappingRule r = assigned();
    r.Vorgabewert_alph = "TREFFER";
    r.Quellwert_alph = "X";
    EXPECT_EQ(t.fillText(txt("X"), r), "TREFFER");
    EXPECT_EQ(t.fillText(txt("x"), r), "x");
    EXPECT_EQ(t.fillText(txt("XX"), r), "XX");
    EXPECT_EQ(t.fillText(txt(" X"), r), " X");
    EXPECT_EQ(t.gauge.count(Counter::AnzFehler), 0);
}

TEST(FieldTransform, TheNumberDefaultIsWrittenWhenTheRelationHasItsFlag) {
    Transforming t(typed("Q", FieldType::Float), typed("Z", FieldType::Float));
    MappingRule r = assigned();
    r.Vorgabewert_num = 99;
    r.Quellwert_num = 0;  // filled although 0
    r.BedKleiner = true;
    // An empty source counts as smaller than any number.
    EXPECT_DOUBLE_EQ(t.fillNumber(Value::null(), r), 99);
    EXPECT_DOUBLE_EQ(t.fillNumber(num(-3), r), 99);
    EXPECT_DOUBLE_EQ(t.fillNumber(num(0), r), 0);
    EXPECT_DOUBLE_EQ(t.fillNumber(num(5), r), 5);

    r.BedGleich = true;  // <=
    EXPECT_DOUBLE_EQ(t.fillNumber(num(0), r), 99);
    EXPECT_DOUBLE_EQ(t.fillNumber(num(5), r), 5);

    r.BedGleich = false;
    r.BedGroesser = true;  // <>
    EXPECT_DOUBLE_EQ(t.fillNumber(num(0), r), 0);
    EXPECT_DOUBLE_EQ(t.fillNumber(num(5), r), 99);
    EXPECT_DOUBLE_EQ(t.fillNumber(num(-5), r), 99);

    r.BedKleiner = false;  // >
    EXPECT_DOUBLE_EQ(t.fillNumber(num(-5), r), -5);
    EXPECT_DOUBLE_EQ(t.fillNumber(num(5), r), 99);
    EXPECT_TRUE(t.fill(Value::null(), r).isNull());

    r.BedGroesser = false;  // no flag: never
    EXPECT_DOUBLE_EQ(t.fillNumber(num(5), r), 5);
    EXPECT_EQ(t.gauge.count(Counter::AnzFehler), 0);
}

TEST(FieldTransform, TheNumberDefaultComparesAgainstATextComparisonValue) {
    // A text source against a text comparison value: character codes.
    Transforming fromText(text("Q", 10), typed("Z", FieldType::Float));
    MappingRule r = assigned();
    r.Vorgabewert_num = 1;
    r.Quellwert_alph = "M";
    r.BedKleiner = true;
    EXPECT_DOUBLE_EQ(fromText.fillNumber(txt("10"), r), 1);  // "1" < "M"
    EXPECT_DOUBLE_EQ(fromText.fillNumber(txt("99"), r), 1);
    r.Quellwert_alph = "5";
    EXPECT_DOUBLE_EQ(fromText.fillNumber(txt("10"), r), 1);  // "10" < "5" as texts
    EXPECT_DOUBLE_EQ(fromText.fillNumber(txt("6"), r), 6);

    // A number source against a text comparison value: numerically.
    Transforming fromNumber(typed("Q", FieldType::Float), typed("Z", FieldType::Float));
    EXPECT_DOUBLE_EQ(fromNumber.fillNumber(num(10), r), 10);  // 10 > 5
    EXPECT_DOUBLE_EQ(fromNumber.fillNumber(num(4), r), 1);
    EXPECT_EQ(fromNumber.gauge.count(Counter::AnzFehler), 0);
}

TEST(FieldTransform, AComparisonThatCannotConvertEndsTheCall) {
    Transforming t(typed("Q", FieldType::Integer), typed("Z", FieldType::Integer));
    MappingRule r = assigned();
    r.Vorgabewert_num = 1;
    r.Quellwert_alph = "abc";
    r.BedGleich = true;
    EXPECT_THROW(t.fill(Value::ofInteger(5), r), ConversionError);

    // A text source that is no number against the number comparison value.
    Transforming fromText(text("Q", 10), text("Z", 10));
    MappingRule d = assigned();
    d.Vorgabewert_alph = "D";
    d.Quellwert_num = 3;
    d.BedGroesser = true;
    d.Ausrichtung_re = false;
    EXPECT_EQ(fromText.fillText(txt("5"), d), "D");
    EXPECT_THROW(fromText.fill(txt("abc"), d), ConversionError);
}

TEST(FieldTransform, TheOverlengthDefaultReplacesTextsThatDoNotFit) {
    Transforming t(text("Q", 20), text("Z", 5));
    MappingRule r = assigned();
    r.Vorgabewert_alph = "LANG";
    EXPECT_EQ(t.fillText(txt("ABCDEFGH"), r), "LANG");
    EXPECT_EQ(t.fillText(txt("ABCDE"), r), "ABCDE");
    EXPECT_EQ(t.fillText(txt("ABC"), r), "ABC");
    // With a comparison value the default is no overlength default.
    r.Quellwert_alph = "nie";
    EXPECT_EQ(t.fillText(txt("ABCDEFGH"), r), "ABCDE");
    EXPECT_EQ(t.gauge.count(Counter::AnzFehler), 0);
}

// --- cutting ---------------------------------------------------------------------

TEST(FieldTransform, OverlongTextsLoseTheirEndOrTheirBeginning) {
    Transforming t(text("Q", 10), text("Z", 5));
    EXPECT_EQ(t.fillText(txt("ABCDEFGH"), assigned()), "ABCDE");
    MappingRule left = assigned();
    left.Ueberl_abschneid_li = true;
    EXPECT_EQ(t.fillText(txt("ABCDEFGH"), left), "DEFGH");
    EXPECT_EQ(t.fillText(txt("ABC"), left), "ABC");
    EXPECT_EQ(t.gauge.count(Counter::AnzFehler), 0);

    // A source field no longer than the target is not cut on the left.
    Transforming same(text("Q", 5), text("Z", 5));
    EXPECT_EQ(same.fillText(txt("ABCDE"), left), "ABCDE");
}

TEST(FieldTransform, TheCutOutTakesCharactersByPosition) {
    Transforming t(text("Q", 10), text("Z", 10));
    MappingRule r = assigned();
    r.StringAuswahlBeg = 3;
    r.StringAuswahlEnd = 5;
    EXPECT_EQ(t.fillText(txt("ABCDEFG"), r), "CDE");
    r.StringAuswahlBeg = 6;
    r.StringAuswahlEnd = 9;
    EXPECT_EQ(t.fillText(txt("ABCDEFG"), r), "FG");
    r.StringAuswahlBeg = 5;
    r.StringAuswahlEnd = 3;
    EXPECT_EQ(t.fillText(txt("ABCDEFG"), r), "(leer)");
    r.StringAuswahlBeg = 0;  // 0 switches the cut-out off
    EXPECT_EQ(t.fillText(txt("ABCDEFG"), r), "ABCDEFG");
    // The cut-out comes after the right alignment.
    r.StringAuswahlBeg = 2;
    r.StringAuswahlEnd = 4;
    EXPECT_EQ(t.fillText(txt("1234567"), r), "234");
    EXPECT_EQ(t.gauge.count(Counter::AnzFehler), 0);
}

// --- rounding ----------------------------------------------------------------------

TEST(FieldTransform, RoundingGoesHalfAwayFromZeroOnTheDecimalText) {
    Transforming t(typed("Q", FieldType::Float), typed("Z", FieldType::Float));
    MappingRule r = assigned();
    r.Runden = 2;
    EXPECT_DOUBLE_EQ(t.fillNumber(num(2.675), r), 2.67);  // held slightly below 2.675
    EXPECT_DOUBLE_EQ(t.fillNumber(num(0.125), r), 0.13);
    r.Runden = 0;  // filled although 0
    EXPECT_DOUBLE_EQ(t.fillNumber(num(2.5), r), 3);
    EXPECT_DOUBLE_EQ(t.fillNumber(num(-2.5), r), -3);
    EXPECT_DOUBLE_EQ(t.fillNumber(num(2.4), r), 2);
    EXPECT_EQ(t.gauge.count(Counter::AnzFehler), 0);
}

TEST(FieldTransform, RoundingAnEmptyTargetCountsOneErrorPerRecord) {
    Transforming t(typed("Q", FieldType::Float), typed("Z", FieldType::Float));
    MappingRule r = assigned();
    r.Runden = 2;
    for (int record = 1; record <= 3; ++record) {
        EXPECT_TRUE(t.fill(Value::null(), r).isNull());
        EXPECT_EQ(t.lastErrors, 1) << record;
    }
    EXPECT_EQ(t.gauge.counterText(Counter::AnzFehler), "3");
}

// --- formulas and failures -------------------------------------------------------------

TEST(FieldTransform, AFormulaWithoutEvaluatorCountsOneFieldError) {
    Transforming t(text("Q", 10), text("Z", 10));
    MappingRule r = assigned();
    r.Formel_alph = "[Q]";
    EXPECT_EQ(t.fillText(txt("abc"), r), "abc");  // the copy stays
    EXPECT_EQ(t.lastErrors, 1);

    MappingRule unassigned = defaultRule();
    unassigned.Formel_num = "1+2";
    EXPECT_EQ(t.fillText(txt("abc"), unassigned), "(leer)");
    EXPECT_EQ(t.lastErrors, 1);
    unassigned.Vorgabewert_alph = "fest";
    EXPECT_EQ(t.fillText(txt("abc"), unassigned), "fest");
    EXPECT_EQ(t.lastErrors, 1);
}

TEST(FieldTransform, LaterStepsOverwriteEarlierOnes) {
    Transforming t(text("Q", 10), text("Z", 10));
    FixedFormulas formulas;
    t.formulas = &formulas;
    MappingRule r = assigned();
    r.Vorgabewert_alph = "VORGABE";
    r.Quellwert_alph = "abc";
    r.Formel_alph = "[Q]";
    EXPECT_EQ(t.fillText(txt("abc"), r), "FORMEL");

    // The default is written, then the left alignment writes the trimmed source.
    MappingRule aligned = assigned();
    aligned.Vorgabewert_alph = "VORGABE";
    aligned.Quellwert_alph = " 42";
    aligned.Ausrichtung_li = true;
    EXPECT_EQ(t.fillText(txt(" 42"), aligned), "42");

    // Without a source field: text default, number default, text formula, number formula.
    MappingRule unassigned = defaultRule();
    unassigned.Vorgabewert_alph = "VORGABE";
    unassigned.Formel_alph = "[Q]";
    EXPECT_EQ(t.fillText(txt("x"), unassigned), "FORMEL");
    unassigned.Formel_num = "1";
    EXPECT_EQ(t.fillText(txt("x"), unassigned), "42");
    EXPECT_EQ(t.gauge.count(Counter::AnzFehler), 0);
}

TEST(FieldTransform, AValueThatDoesNotConvertIsCountedAndTheNextStepsRun) {
    Transforming t(text("Q", 10), typed("Z", FieldType::Integer));
    EXPECT_TRUE(t.fill(txt("abc"), assigned()).isNull());
    EXPECT_EQ(t.lastErrors, 1);
    // A default after the failed copy is still written.
    MappingRule r = assigned();
    r.Vorgabewert_num = 7;
    r.Quellwert_alph = "abc";
    r.BedGleich = true;
    Value v = t.fill(txt("abc"), r);
    EXPECT_EQ(v.kind, Value::Kind::Integer);
    EXPECT_EQ(v.integer, 7);
    EXPECT_EQ(t.lastErrors, 1);
}

TEST(FieldTransform, ARunCountsFieldErrorsAndGoesOn) {
    Transforming t(text("Q", 10), typed("Z", FieldType::Integer));
    t.store(assigned());
    for (const char* value : {"abc", "12", "x1", "7"}) {
        t.source.BeginAppend();
        t.source.SetValue(0, txt(value));
        t.source.PostRecord();
    }
    ImportRun run(RunTables{t.source, t.target, t.z}, t.gauge, t.prompter, t.formats, t.formats);
    run.RunAppend();
    EXPECT_EQ(t.gauge.counterText(Counter::AnzHinzu), "4");
    EXPECT_EQ(t.gauge.counterText(Counter::AnzFehler), "2");
    std::vector<std::string> written;
    for (t.target.MoveFirst(); !t.target.AtEnd(); t.target.MoveNext())
        written.push_back(t.target.AsString(0, t.formats));
    EXPECT_EQ(written, (std::vector<std::string>{"", "12", "", "7"}));
}
