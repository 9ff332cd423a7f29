// The start value of modes 3 and 4: read for the key's type, and the keys the
// run will make looked up in the target, with the refusals' messages.
#include "mapping/StartValueCheck.h"

#include "importrun/Importing.h"

using namespace kimport;
using namespace kimport::test;

namespace {

const std::string kRangeText = "Der Startwert liegt nicht im Wertebereich des\r\nTabellenfeldes.\r\n\r\nBitte wählen Sie "
                               "einen anderen Startwert, oder\r\nändern Sie die Felddefinition Ihres Primärschlüssel-\r\n"
                               "feldes.";
std::string overflowText(const char* verb, const char* hint) {
    return std::string(verb) + " Schlüsselwerte würde der\r\nWertebereich des Primärschlüsselfeldes überschritten.\r\n\r\n"
                               "Bitte wählen Sie einen anderen Startwert, oder\r\nändern Sie die Felddefinition Ihres "
                               "Primärschlüssel-\r\nfeldes." + hint;
}
std::string existsText(const char* you, const char* verb) {
    return std::string("Bitte verwenden ") + you + " einen anderen Startwert!\r\n\r\n" + verb +
           " Schlüsselwerte würde ein\r\nneu gesetzter Wert einen Indexfehler auslösen.";
}

// A source with `count` records and a keyed target holding the given keys.
struct KeyWorld : Importing {
    KeyWorld(FieldSpec key, int count, const Rows& targetRows) {
        Rows rows;
        for (int i = 1; i <= count; ++i) rows.push_back({std::to_string(i), "x"});
        makeSource("Quelle.DB", {typed("NR", FieldType::Integer), text("NAME", 5)}, 1, rows);
        key.name = "NR";
        makeTarget("Ziel.DB", {key, text("NAME", 5)}, 1, targetRows);
        map();
        for (z.MoveFirst(); !z.AtEnd(); z.MoveNext()) ClearAssignment(z);
        z.MoveFirst();
    }
    bool increment(const std::string& start) { return IncrementCheck({z, source, target}, start, prompter, formats); }
    bool rename(const std::string& start) {
        changeRule("NR", [](MappingRule& r) { r.Zuordnung = "NR"; });
        return RenameCheck({z, source, target}, start, prompter, formats);
    }
};

}  // namespace

TEST(StartValueCheck, TextKeysCountTheTrailingNumber) {
    {
        // «A07» with 5 records: A7 ... A11, all within 3 characters and none in the target.
        KeyWorld w(text("", 3), 5, {{"A6", "x"}, {"A12", "x"}});
        EXPECT_TRUE(w.increment("A07"));
        w.prompter.expectMessage(MsgKind::Information, Buttons::OkHelp, existsText("Sie", "Beim Incrementieren der"), Answer::Ok);
        EXPECT_FALSE(w.increment("A08"));  // A8 ... A12
        w.prompter.expectMessage(MsgKind::Information, Buttons::Ok,
                                 "Beim Incrementieren der Schlüsselwerte würde die\r\nLänge des Primärschlüsselfeldes "
                                 "überschritten.\r\n\r\nBitte wählen Sie einen anderen Startwert, oder\r\nändern Sie die "
                                 "Größendefinition Ihres Primärschlüssel-\r\nfeldes.");
        EXPECT_FALSE(w.increment("A98"));  // A100 does not fit
        w.prompter.expectMessage(MsgKind::Information, Buttons::Ok,
                                 "Die Länge des Startwertes ist größer, als das\r\nPrimärschlüsselfeld der Zieltabelle."
                                 "\r\n\r\nBitte geben Sie einen anderen Staretwert ein,\r\noder ändern Sie die "
                                 "Größendefinition des\r\nPrimärschlüsselfeldes Ihrer Zieltabelle.");
        EXPECT_FALSE(w.increment("A0001"));
        EXPECT_TRUE(w.prompter.finished());
    }
    {
        // Without digits the start value is asked about; No keeps the page.
        KeyWorld w(text("", 10), 2, {});
        w.prompter.expectMessage(MsgKind::Confirmation, Buttons::YesNo,
                                 "Sie haben einen Startwert eingegeben, der keine Zahlen enthält.\r\n\r\nMöchten Sie, das "
                                 "die Schlüsselwerte vorhandener Datensätze\r\nfolgendermaßen hochgezählt werden:\r\n\r\n"
                                 "ABC0, ABC1...ABC100",
                                 Answer::No);
        EXPECT_FALSE(w.increment("ABC"));
        w.prompter.expectMessage(MsgKind::Information, Buttons::Ok,
                                 "Sie haben die Importlaufoption\r\n\"Datensätze in die Zieltabelle einfügen, "
                                 "Schlüsselwerte\"\r\nselbständig erhöhen\" gewählt.\r\n\r\nBitte geben Sie einen Startwert "
                                 "ein, ab dem das Primär-\r\nschlüsselfeld hochgezählt werden kann.");
        EXPECT_FALSE(w.increment(""));
        EXPECT_TRUE(w.prompter.finished());
    }
}

TEST(StartValueCheck, NumberKeysStayInTheirRange) {
    {
        KeyWorld w(typed("", FieldType::SmallInt), 10, {{"5", "x"}});
        w.prompter.expectMessage(MsgKind::Information, Buttons::OkHelp, kRangeText + " (z. B. in Longinteger)");
        EXPECT_FALSE(w.increment("-32768"));
        w.prompter.expectMessage(MsgKind::Information, Buttons::OkHelp,
                                 overflowText("Beim Incrementieren der", " (z. B. in Longinteger)"));
        EXPECT_FALSE(w.increment("32760"));  // 32760 ... 32769
        w.prompter.expectMessage(MsgKind::Information, Buttons::OkHelp, existsText("sie", "Beim Incrementieren der"));
        EXPECT_FALSE(w.increment("1"));  // 5 is there
        EXPECT_TRUE(w.increment("6"));
        w.prompter.expectError("'x1' ist keine ganze Zahl");
        EXPECT_FALSE(w.increment("x1"));
        EXPECT_TRUE(w.prompter.finished());
    }
    {
        KeyWorld w(typed("", FieldType::Float), 3, {});
        w.prompter.expectMessage(MsgKind::Information, Buttons::OkHelp, kRangeText);
        EXPECT_FALSE(w.increment("0"));
        EXPECT_TRUE(w.increment("0,5"));
        EXPECT_TRUE(w.prompter.finished());
    }
}

TEST(StartValueCheck, KeysThatCannotBeCountedAndDates) {
    {
        KeyWorld w(typed("", FieldType::BCD, 2), 3, {});
        w.prompter.expectMessage(MsgKind::Information, Buttons::Ok,
                                 "Die automatische Werterhöhung eines Datenbankfeldes vom Typ\r\n\"BCD\"\r\nist derzeit "
                                 "leider nicht möglich.");
        EXPECT_FALSE(w.increment("1"));
        EXPECT_TRUE(w.prompter.finished());
    }
    {
        KeyWorld w(typed("", FieldType::Date), 3, {{"03.01.2024", "x"}});
        w.prompter.expectMessage(MsgKind::Information, Buttons::Ok,
                                 "Das Primärschlüsselfeld Ihrer Zieldatenbank ist vom Typ\r\n\"Datum\"\r\n\r\nBitte geben "
                                 "Sie den Startwert folgendermaßen ein:\r\nTT.MM.JJJJ");
        EXPECT_FALSE(w.increment("2024-01-01"));
        w.prompter.expectMessage(MsgKind::Information, Buttons::OkHelp, existsText("sie", "Beim Incrementieren der"));
        EXPECT_FALSE(w.increment("01.01.2024"));  // the third day exists
        EXPECT_TRUE(w.increment("04.01.2024"));
        EXPECT_TRUE(w.prompter.finished());
    }
    {
        // Without source records only the start value itself is checked.
        KeyWorld w(typed("", FieldType::Integer), 0, {{"1", "x"}});
        EXPECT_TRUE(w.increment("1"));
    }
}

TEST(StartValueCheck, RenamingTestsTheKeysOfRecordsThatExist) {
    // Source keys 1..4; the target holds 2 and 4 (and 101): the two renamed records get 100 and 101.
    KeyWorld w(typed("", FieldType::Integer), 4, {{"2", "x"}, {"4", "x"}, {"101", "x"}});
    w.prompter.expectMessage(MsgKind::Information, Buttons::OkHelp, existsText("sie", "Beim Umbenennen vorhandener"));
    EXPECT_FALSE(w.rename("100"));
    EXPECT_TRUE(w.rename("102"));
    w.prompter.expectMessage(MsgKind::Information, Buttons::OkHelp,
                             overflowText("Beim Umbenennen vorhandener", " (z. B. in Float)"));
    EXPECT_FALSE(w.rename("2147483647"));
    w.prompter.expectMessage(MsgKind::Information, Buttons::Ok,
                             "Sie haben die Importlaufoption\r\n\"Datensätze in die Zieltabelle einfügen, "
                             "Schlüsselwerte\"\r\nvorhandener Datensätze umbenennen\" gewählt.\r\n\r\nBitte geben Sie einen "
                             "Startwert ein, ab dem das Primär-\r\nschlüsselfeld hochgezählt werden kann.");
    EXPECT_FALSE(w.rename(""));
    EXPECT_TRUE(w.prompter.finished());
}
