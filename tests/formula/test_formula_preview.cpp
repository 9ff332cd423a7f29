// The preview text of the formula editor for both kinds of formula: the
// prepared expression with its value, the text result with the cut-off note,
// and the messages of a formula that cannot be previewed.
#include "common/Numbers.h"
#include "support/ScriptedPrompter.h"
#include "formula/Formel.h"
#include "formula/FormelPreview.h"
#include "formula/TParser.h"
#include "tests/formula/SourceRecord.h"

#include <gtest/gtest.h>

using namespace kimport;
using namespace kimport::test;

namespace {

struct Previewing {
    SourceRecord source{{textField("Feld2", "Herr"), textField("Feld3", "Meier"),
                         typedField("Preis", FieldType::Float, "10"), textField("Menge", "abc")}};
    ScriptedPrompter prompter;
    TParser parser{&prompter};
    FormatSettings formats = FormatSettings::german();

    Previewing() {
        prompter.onFailure = [](const std::string& f) { ADD_FAILURE() << f; };
    }

    std::optional<std::string> preview(FormulaKind kind, const std::string& formula,
                                       FormulaTarget target = {"Ziel", 1, "40"}) {
        return FormulaPreview(kind, formula, target, source.table, formats, parser, prompter);
    }
};

}  // namespace

TEST(FormulaPreview, NumberFormulaShowsItsExpressionAndValue) {
    Previewing p;
    EXPECT_EQ(p.preview(FormulaKind::Number, "#Preis * 1.16"), "Expression: \t10 * 1.16\r\nWert:\t\t11,6");
    EXPECT_EQ(p.preview(FormulaKind::Number, "#Preis/4"), "Expression: \t10/4\r\nWert:\t\t2,5");
    p.formats = FormatSettings::make('.', ',', ':', '/', "MM/DD/YYYY");
    EXPECT_EQ(p.preview(FormulaKind::Number, "#Preis/4"), "Expression: \t10/4\r\nWert:\t\t2.5");
    EXPECT_EQ(p.preview(FormulaKind::Number, "-#Preis^-7"), "Expression: \t-10^-7\r\nWert:\t\t-0.0000001");
}

TEST(FormulaPreview, NumberFormulaFailuresReachTheCaller) {
    Previewing p;
    // A text that is no number: its message, the parser's warning on the partial
    // text, then the error of reading the value.
    p.prompter.expectError(notNumericMessage("Menge", "abc"))
        .expectMessage(MsgKind::Warning, Buttons::Ok, "Syntax Error!");
    EXPECT_THROW(p.preview(FormulaKind::Number, "#Preis*#Menge"), ExpressionError);
    EXPECT_THROW(p.preview(FormulaKind::Number, "#Preis/0"), FloatingPointError);
    EXPECT_TRUE(p.prompter.finished());
}

TEST(FormulaPreview, TextFormulaIsQuotedAndCutToTheTargetLength) {
    Previewing p;
    const std::string formula = "#Feld2 + \" \" + #Feld3 + \"-Ott\"";  // "Herr Meier-Ott", 14 characters
    EXPECT_EQ(p.preview(FormulaKind::Text, formula), "\"Herr Meier-Ott\"");
    EXPECT_EQ(p.preview(FormulaKind::Text, formula, {"Name", 1, "14"}), "\"Herr Meier-Ott\"");
    EXPECT_EQ(p.preview(FormulaKind::Text, "#Feld2 + #Feld3 + \"Müll\"", {"Name", 1, "10"}),
              "\"HerrMeierM\"\r\n\r\n* String wird abgeschnitten, weil das Zielfeld nur 10 Zeichen aufnehmen kann *");
    // Memo targets (16, 18) take any length; their Laenge is "-".
    EXPECT_EQ(p.preview(FormulaKind::Text, formula, {"Notiz", 16, "-"}), "\"Herr Meier-Ott\"");
    EXPECT_EQ(p.preview(FormulaKind::Text, formula, {"Notiz", 18, "-"}), "\"Herr Meier-Ott\"");
    EXPECT_THROW(p.preview(FormulaKind::Text, formula, {"Feld", 0, "-"}), ConversionError);
    // An empty result ends without a preview, after the message that caused it.
    EXPECT_EQ(p.preview(FormulaKind::Text, "\"\""), std::nullopt);
    p.prompter.expectError("Das Feld \"Fehlt\" ist nicht in der Tabelle enthalten");
    EXPECT_EQ(p.preview(FormulaKind::Text, "#Fehlt"), std::nullopt);
    EXPECT_TRUE(p.prompter.finished());
    EXPECT_EQ(previewCaption("Anrede"), "Vorschau auf Tabellenfeld \"Anrede\"");
}
