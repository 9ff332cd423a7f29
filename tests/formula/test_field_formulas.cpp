// Text and number formulas over the fields of a real source record: the
// reading of literals and references, the values fields contribute, the three
// messages with what is returned after them, and the routines the run uses.
#include "support/ScriptedPrompter.h"
#include "formula/FieldFormulas.h"
#include "formula/Formel.h"
#include "formula/TParser.h"
#include "tests/formula/SourceRecord.h"

#include <gtest/gtest.h>

using namespace kimport;
using namespace kimport::test;

namespace {

const FormatSettings kGerman = FormatSettings::german();
const FormatSettings kEnglish = FormatSettings::make('.', ',', ':', '/', "MM/DD/YYYY");

// Runs one routine with a prompter that expects exactly the given error messages.
template <typename Routine>
std::string withErrors(std::vector<std::string> errors, Routine routine) {
    ScriptedPrompter prompter;
    prompter.onFailure = [](const std::string& f) { ADD_FAILURE() << f; };
    for (auto& e : errors) prompter.expectError(e);
    std::string result = routine(prompter);
    EXPECT_TRUE(prompter.finished());
    return result;
}

std::string text(const Table& t, std::string_view formula, const FormatSettings& fs = kGerman) {
    return withErrors({}, [&](Prompter& p) { return EvalTextFormula(formula, t, fs, p); });
}

std::string prepared(const Table& t, std::string_view formula, const FormatSettings& fs = kGerman) {
    return withErrors({}, [&](Prompter& p) { return PrepareNumberFormula(formula, t, fs, p); });
}

double number(const Table& t, std::string_view formula, const FormatSettings& fs = kGerman) {
    TParser parser;
    return EvalNumberFormula(formula, t, fs, parser);
}

const char* const kAbcMessage =
    "Das Tabellenfeld:\t\"Menge\"\r\nmit dem Inhalt:\t\t\"abc\"\r\nkann zu keinem gültigen numerischen Wert "
    "konvertiert werden.\r\n\r\nDie Formel kann nicht bearbeitet werden.";

}  // namespace

TEST(TextFormula, LiteralsAndFieldsJoinFromLeftToRight) {
    SourceRecord s({textField("Feld1", "x"), textField("Feld2", "Herr"), textField("Feld3", "Meier"),
                    textField("PLZ", "12345"), textField("Ort", "Berlin"), textField("Vor", "Anna"),
                    typedField("Preis", FieldType::Float, "2,5"), typedField("Datum", FieldType::Date, "03.04.2021")});
    const Table& t = s.table;
    EXPECT_EQ(text(t, "\"Sehr geehrter \" + #Feld2 + \" \" + #Feld3"), "Sehr geehrter Herr Meier");
    EXPECT_EQ(text(t, "#PLZ#Ort"), "12345Berlin");
    EXPECT_EQ(text(t, "#PLZ \"-\" #Ort"), "12345-Berlin");
    EXPECT_EQ(text(t, "#Vor Name"), "Anna");                  // the name ends at the blank; the rest is skipped
    EXPECT_EQ(text(t, "  #feld2\r\n"), "Herr");               // trimmed; names in any letter case
    EXPECT_EQ(text(t, "\"a+b#c\""), "a+b#c");                 // nothing is special inside a literal
    EXPECT_EQ(text(t, "#Feld2 + \" und so"), "Herr und so");  // an open literal takes the rest
    EXPECT_EQ(text(t, "\"\""), "");
    // What starts at the very last character is not read.
    EXPECT_EQ(text(t, "\"a\"#"), "a");
    EXPECT_EQ(text(t, "#Feld2 \""), "Herr");
    EXPECT_EQ(text(t, "#"), "");
    // Other characters contribute nothing; values come as the table store writes them.
    EXPECT_EQ(text(t, "1 * #Preis / #Datum"), "2,503.04.2021");
    EXPECT_EQ(text(t, "#Preis", kEnglish), "2.5");
}

TEST(TextFormula, MissingFieldsAndEmptyFormulasAreReported) {
    SourceRecord s({textField("Feld2", "Herr")});
    const Table& t = s.table;
    EXPECT_EQ(withErrors({"Das Feld \"Fehlt\" ist nicht in der Tabelle enthalten"},
                         [&](Prompter& p) { return EvalTextFormula("\"Lieber \" + #Feld2 + #Fehlt ", t, kGerman, p); }),
              "");
    EXPECT_EQ(withErrors({"Es wurde keine Formel eingegeben"},
                         [&](Prompter& p) { return EvalTextFormula(" \t\r\n", t, kGerman, p); }),
              "");
    EXPECT_EQ(withErrors({"Das Feld \"\" ist nicht in der Tabelle enthalten"},
                         [&](Prompter& p) { return EvalTextFormula("# + \"x\"", t, kGerman, p); }),
              "");
    try {
        EvalTextFormulaOrThrow("#Fehlt", t, kGerman);
        ADD_FAILURE() << "no failure";
    } catch (const FieldFormulaError& e) {
        EXPECT_STREQ(e.what(), "Das Feld \"Fehlt\" ist nicht in der Tabelle enthalten");
        EXPECT_EQ(e.partial(), "");
    }
}

TEST(NumberFormula, FieldsBecomeNumbersForTheParser) {
    SourceRecord s({typedField("Preis", FieldType::Float, "10"), textField("Menge", "2,5"),
                    typedField("Anzahl", FieldType::SmallInt, "3"), typedField("Rabatt", FieldType::Integer, "-5"),
                    typedField("Betrag", FieldType::Currency, "12,75"), typedField("Leer", FieldType::Float, ""),
                    textField("Punkt", "0.125"), textField("Gross", "1,5E20"),
                    typedField("Bcd", FieldType::BCD, "1,5", 2)});
    const Table& t = s.table;
    EXPECT_EQ(prepared(t, "#Preis * 1.16"), "10 * 1.16");
    EXPECT_EQ(number(t, "#Preis * 1.16"), 11.6);
    // A decimal comma in a text field, and one in the formula, reach the parser as points.
    EXPECT_EQ(prepared(t, "#Menge*#Preis"), "2.5*10");
    EXPECT_EQ(number(t, "#Menge*#Preis"), 25);
    EXPECT_EQ(prepared(t, "1,16*#Preis"), "1.16*10");
    EXPECT_EQ(number(t, "1,16*#Preis"), 11.6);
    EXPECT_EQ(prepared(t, "#Betrag+#Anzahl"), "12.75+3");
    EXPECT_EQ(prepared(t, "#Punkt"), "0.125");
    EXPECT_EQ(prepared(t, "#Gross/1E20"), "150000000000000000000/1E20");
    EXPECT_EQ(prepared(t, "#Bcd*2"), "1.5*2");
    // The character that ends a reference stays part of the expression.
    EXPECT_EQ(prepared(t, "(#Preis)^2-#Anzahl/#Preis"), "(10)^2-3/10");
    EXPECT_EQ(prepared(t, "  #preis  "), "10");
    EXPECT_EQ(number(t, "10-#Rabatt"), 15);  // "10--5"
    EXPECT_EQ(number(t, "#Rabatt*2"), -10);
    // An empty number field contributes nothing, which the parser then refuses.
    EXPECT_EQ(prepared(t, "#Leer*2"), "*2");
    // The comma of a two-argument function becomes a point too, and a comma
    // does not end a reference: MAX over fields cannot be written.
    EXPECT_EQ(prepared(t, "MAX(#Preis ,#Anzahl)"), "MAX(10 .3)");
    TParser parser;
    EXPECT_THROW(EvalNumberFormula("MAX(#Preis ,#Anzahl)", t, kGerman, parser), ExpressionError);
    EXPECT_THROW(EvalNumberFormula("MAX(2,3)", t, kGerman, parser), ExpressionError);
    EXPECT_EQ(withErrors({"Das Feld \"Preis,#Anzahl\" ist nicht in der Tabelle enthalten"},
                         [&](Prompter& p) { return PrepareNumberFormula("MAX(#Preis,#Anzahl)", t, kGerman, p); }),
              "");
    EXPECT_THROW(EvalNumberFormula("#Preis/(#Anzahl-3)", t, kGerman, parser), FloatingPointError);
    // With "." as the decimal separator the values are written with it already.
    EXPECT_EQ(prepared(t, "#Betrag*#Menge", kEnglish), "12.75*2.5");
}

TEST(NumberFormula, MessagesAndWhatIsReturnedAfterThem) {
    SourceRecord s({typedField("Preis", FieldType::Float, "2,5"), textField("Menge", "abc"), textField("Leer", ""),
                    typedField("Datum", FieldType::Date, "03.04.2021")});
    const Table& t = s.table;
    // The text prepared so far comes back, without the comma step.
    EXPECT_EQ(withErrors({kAbcMessage},
                         [&](Prompter& p) { return PrepareNumberFormula("1,5+#Preis*#Menge", t, kGerman, p); }),
              "1,5+2,5*");
    EXPECT_EQ(withErrors({kAbcMessage}, [&](Prompter& p) { return PrepareNumberFormula("#Menge", t, kGerman, p); }),
              "");
    EXPECT_EQ(withErrors({"Das Tabellenfeld:\t\"Leer\"\r\nmit dem Inhalt:\t\t\"\"\r\nkann zu keinem gültigen "
                          "numerischen Wert konvertiert werden.\r\n\r\nDie Formel kann nicht bearbeitet werden."},
                         [&](Prompter& p) { return PrepareNumberFormula("#Leer", t, kGerman, p); }),
              "");
    EXPECT_EQ(withErrors({notNumericMessage("Datum", "03.04.2021")},
                         [&](Prompter& p) { return PrepareNumberFormula("#Datum+1", t, kGerman, p); }),
              "");
    EXPECT_EQ(withErrors({"Das Feld \"Menge2\" ist nicht in der Tabelle enthalten"},
                         [&](Prompter& p) { return PrepareNumberFormula("#Preis*#Menge2", t, kGerman, p); }),
              "");
    EXPECT_EQ(withErrors({"Es wurde keine Formel eingegeben"},
                         [&](Prompter& p) { return PrepareNumberFormula("", t, kGerman, p); }),
              "");
    try {
        PrepareNumberFormulaOrThrow("#Preis-#Menge", t, kGerman);
        ADD_FAILURE() << "no failure";
    } catch (const FieldFormulaError& e) {
        EXPECT_EQ(e.what(), std::string(kAbcMessage));
        EXPECT_EQ(e.partial(), "2,5-");
    }
}

TEST(NumberFormula, TheRunsRoutinesThrowInsteadOfShowing) {
    SourceRecord s(
        {typedField("Preis", FieldType::Float, "2,5"), textField("Anrede", "Frau"), textField("Menge", "abc")});
    FormatSettings formats = kGerman;
    FieldFormulas formulas(formats);
    EXPECT_EQ(formulas.evalText("#Anrede + \" \" + #Preis", s.table), "Frau 2,5");
    EXPECT_EQ(formulas.evalNumber("#Preis * 4", s.table), 10);
    EXPECT_THROW(formulas.evalText("#Fehlt", s.table), FieldFormulaError);
    EXPECT_THROW(formulas.evalNumber("#Menge", s.table), FieldFormulaError);
    EXPECT_THROW(formulas.evalNumber("#Preis*", s.table), ExpressionError);
    EXPECT_THROW(formulas.evalNumber("#Preis/0", s.table), FloatingPointError);
    // The formats are read at each call.
    formats = kEnglish;
    EXPECT_EQ(formulas.evalText("#Preis", s.table), "2.5");
    EXPECT_EQ(formulas.evalNumber("#Preis * 4", s.table), 10);
}

TEST(NumberFormula, AFieldReferenceStandsForItsNumberWhateverItsSign) {
    SourceRecord s({typedField("Neg", FieldType::Float, "-3"), typedField("Gross", FieldType::Float, "1000000000000001"),
                    typedField("Klein", FieldType::Float, "1000000000000000"), textField("Text", "-2,5")});
    const Table& t = s.table;
    EXPECT_EQ(number(t, "#Neg^2"), 9);
    EXPECT_EQ(number(t, "-#Neg"), 3);
    EXPECT_EQ(number(t, "2*#Neg^2"), 18);
    EXPECT_EQ(number(t, "2^#Neg"), 0.125);
    EXPECT_EQ(number(t, "#Text*2"), -5);
    // Every digit of a double counts, not only 15 of them.
    EXPECT_EQ(number(t, "#Gross-#Klein"), 1);
}

TEST(NumberFormula, HyperbolicSineKeepsItsPrecisionNearZero) {
    TParser parser;
    parser.SetExpression("SINH(1E-15)");
    EXPECT_DOUBLE_EQ(parser.Value(), 1e-15);
    parser.SetExpression("SINH(1E-20)");
    EXPECT_DOUBLE_EQ(parser.Value(), 1e-20);
}

TEST(TextFormula, FieldNamesWithHashTakeTheLongestNameThatExists) {
    SourceRecord s({textField("Nr#", "A-7"), textField("Nr", "falsch"), textField("PLZ", "12345"),
                    textField("Ort", "Berlin")});
    const Table& t = s.table;
    EXPECT_EQ(text(t, "#Nr#"), "A-7");
    EXPECT_EQ(text(t, "#Nr# \"/\" #Nr"), "A-7/falsch");
    EXPECT_EQ(text(t, "#PLZ#Ort"), "12345Berlin");  // no field "PLZ#Ort": "#" joins two fields
}
