// The import run in each of its five modes on real Paradox and dBase tables:
// what lands in the target, the counters of the progress window, the key
// lookup, generated keys, cancelling, and the failures that end a run.
#include "importrun/Importing.h"

#include "common/Numbers.h"
#include "tablestore/TableRoutines.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

using namespace kimport;
using namespace kimport::test;

// --- mode 1 ------------------------------------------------------------------------

TEST(ImportRunModes, AppendWritesEveryRecordAndCounts) {
    for (const char* targetName : {"Ziel.DB", "ZIEL.DBF"}) {
        SCOPED_TRACE(targetName);
        Importing r;
        r.makeSource("Quelle.DB", kNumbered, 1, kThree);
        r.makeTarget(targetName, kNumbered, std::string(targetName).ends_with(".DB") ? 1 : 0, {});
        r.map();
        EXPECT_TRUE(r.runner().run(ImportMode::Append, "", false));
        EXPECT_EQ(contents(r.target), (Rows{{"1", "Eins"}, {"2", "Zwei"}, {"3", "Drei"}}));
        EXPECT_EQ(r.counters(), expectedCounters({{"lblAnzHinzu", "3"}, {"lblSumme", "3"}}));
        EXPECT_EQ(r.gauge.status(), "Datensätze werden hinzugefügt...fertig.");
        EXPECT_EQ(r.gauge.cancelCaption(), "&Schließen");
        r.target.CloseTable();
        EXPECT_EQ(contentsOf(r.dir.file(targetName)), (Rows{{"1", "Eins"}, {"2", "Zwei"}, {"3", "Drei"}}));
    }
}

TEST(ImportRunModes, ACharacterTheTargetCannotHoldIsAFieldErrorNotAQuestionMark) {
    Importing r;
    r.makeSource("Quelle.DB", kNumbered, 1, {{"1", "5 € ok"}, {"2", "Zwei"}});
    r.makeTarget("ZIEL.DBF", kNumbered, 0, {});
    {
        // The target is a DOS table: "€" is not in code page 437.
        std::string path = r.dir.file("ZIEL.DBF");
        std::string bytes = kimport::test::readFile(path);
        bytes[0x1D] = 0x01;
        kimport::test::writeFile(path, bytes);
    }
    r.map();
    EXPECT_TRUE(r.runner().run(ImportMode::Append, "", false));
    EXPECT_EQ(contents(r.target), (Rows{{"1", ""}, {"2", "Zwei"}}));
    EXPECT_EQ(r.counter(Counter::AnzFehler), "1");
}

TEST(ImportRunModes, AKeyViolationInAppendEndsTheRunAndKeepsWhatWasPosted) {
    Importing r;
    r.makeSource("Quelle.DB", kNumbered, 1, kThree);
    r.makeTarget("Ziel.DB", kNumbered, 1, {{"2", "Alt"}});
    r.map();
    ImportRun run = r.runner();
    try {
        run.RunAppend();
        ADD_FAILURE() << "the duplicate key was accepted";
    } catch (const TableError& e) {
        EXPECT_EQ(std::string(e.what()), "Schlüsselverletzung.\r\nTabelle: " + r.dir.file("Ziel.DB"));
    }
    EXPECT_NE(r.gauge.cancelCaption(), "&Schließen");
    // The caller drops the record that failed and saves the target as far as the run got.
    r.target.CancelRecord();
    EXPECT_NO_THROW(r.target.CloseTable());
    EXPECT_EQ(contentsOf(r.dir.file("Ziel.DB")), (Rows{{"1", "Eins"}, {"2", "Alt"}}));
}

TEST(ImportRunModes, ARunEndedByAKeyViolationCountsOnlyTheRecordsKept) {
    Importing r;
    r.makeSource("Quelle.DB", kNumbered, 1, kThree);
    r.makeTarget("Ziel.DB", kNumbered, 1, {{"2", "Alt"}});
    r.map();
    EXPECT_THROW(r.runner().run(ImportMode::Append, "", false), TableError);
    // "1" was added; "2" failed and is not in the table, so it is not counted as added.
    EXPECT_EQ(contents(r.target), (Rows{{"1", "Eins"}, {"2", "Alt"}}));
    EXPECT_EQ(r.counter(Counter::AnzHinzu), "1");
    EXPECT_EQ(r.counter(Counter::Summe), "1");
}

TEST(ImportRunModes, AFailureEndingAnAppendKeepsTheFieldsWrittenBeforeItInItsRecord) {
    // Four fields, the last with a comparison its text cannot take part in: the run ends there,
    // and the record holds what the rules before it wrote, as if each write had been stored alone.
    Importing r;
    const Fields fields{typed("Nr", FieldType::Integer), text("Name", 10), text("Ort", 10), typed("Menge", FieldType::Float)};
    r.makeSource("QUELLE.DBF", {typed("NR", FieldType::Integer), text("NAME", 10), text("ORT", 10), text("MENGE", 10)}, 0,
                 {{"1", "Eins", "Bonn", "5"}, {"2", "Zwei", "Köln", "viele"}, {"3", "Drei", "Ulm", "7"}});
    r.makeTarget("Ziel.DB", fields, 1, {});
    r.map();
    r.changeRule("Menge", [](MappingRule& m) {
        m.Vorgabewert_num = 0;
        m.Quellwert_num = 3;
        m.BedGleich = true;
    });
    EXPECT_THROW(r.runner().run(ImportMode::Append, "", false), ConversionError);
    r.target.CancelRecord();
    EXPECT_EQ(contents(r.target), (Rows{{"1", "Eins", "Bonn", "5"}, {"2", "Zwei", "Köln", ""}}));
}

// --- mode 2 ------------------------------------------------------------------------

TEST(ImportRunModes, AppendNewSkipsKeysThatExist) {
    Importing r;
    r.makeSource("QUELLE.DBF", {text("KEY", 5), text("WERT", 10)}, 0, {{"A", "a1"}, {"B", "b1"}, {"A", "a2"}});
    r.makeTarget("Ziel.DB", {text("Key", 5), text("Wert", 10)}, 1, {{"B", "alt"}});
    r.map();
    EXPECT_TRUE(r.runner().run(ImportMode::AppendNew, "", false));
    EXPECT_EQ(contents(r.target), (Rows{{"A", "a1"}, {"B", "alt"}}));
    EXPECT_EQ(r.counters(), expectedCounters({{"lblAnzHinzu", "1"}, {"lblIgnor", "2"}, {"lblSumme", "3"}}));
    EXPECT_EQ(r.gauge.status(), "Datensätze werden hinzugefügt,\r\nvorhandene Datensätze bleiben unberührt...fertig.");
    EXPECT_EQ(r.gauge.cancelCaption(), "&Schließen");
}

TEST(ImportRunModes, AppendNewIntoAnEmptiedTargetCountsRepeatedKeysAsErrors) {
    Importing r;
    r.makeSource("QUELLE.DBF", {text("KEY", 5), text("WERT", 10)}, 0, {{"A", "a1"}, {"A", "a2"}});
    r.makeTarget("Ziel.DB", {text("Key", 5), text("Wert", 10)}, 1, {{"B", "alt"}});
    r.map();
    ASSERT_TRUE(ClearTableExclusive(r.target, r.prompter));
    EXPECT_TRUE(r.runner().run(ImportMode::AppendNew, "", true));
    EXPECT_EQ(contents(r.target), (Rows{{"A", "a1"}}));
    EXPECT_EQ(r.counters(), expectedCounters({{"lblAnzHinzu", "1"}, {"lblAnzFehler", "1"}, {"lblSumme", "1"}}));
    EXPECT_EQ(r.gauge.status(), "Datensätze werden hinzugefügt...");
}

TEST(ImportRunModes, DigitKeysAreLookedUpRightAligned) {
    Importing r;
    r.makeSource("QUELLE.DBF", {text("KEY", 5), text("WERT", 10)}, 0, {{"7", "neu7"}, {"8", "neu8"}});
    // An earlier import stored the digit key aligned to the field's length.
    r.makeTarget("Ziel.DB", {text("Key", 5), text("Wert", 10)}, 1, {{"    7", "alt"}});
    r.map();
    r.runner().run(ImportMode::AppendNew, "", false);
    EXPECT_EQ(contents(r.target), (Rows{{"    7", "alt"}, {"    8", "neu8"}}));
    EXPECT_EQ(r.counter(Counter::AnzHinzu), "1");
    EXPECT_EQ(r.counter(Counter::Ignor), "1");
}

// --- mode 3 ------------------------------------------------------------------------

TEST(ImportRunModes, RenameExistingAddsExistingKeysUnderTextKeysFromTheStartValue) {
    Importing r;
    r.makeSource("QUELLE.DBF", {text("KEY", 10), text("WERT", 10)}, 0,
                 {{"X", "x-neu"}, {"Y", "y-neu"}, {"Z", "z-neu"}});
    r.makeTarget("Ziel.DB", {text("Key", 10), text("Wert", 10)}, 1, {{"Y", "y-alt"}, {"Z", "z-alt"}});
    r.map();
    EXPECT_TRUE(r.runner().run(ImportMode::RenameExisting, "K100", false));
    // Existing records stay; the others arrive under their own key in the second pass.
    EXPECT_EQ(contents(r.target),
              (Rows{{"K100", "y-neu"}, {"K101", "z-neu"}, {"X", "x-neu"}, {"Y", "y-alt"}, {"Z", "z-alt"}}));
    EXPECT_EQ(r.counter(Counter::Umben), "2");
    EXPECT_EQ(r.counter(Counter::AnzHinzu), "1");
    EXPECT_EQ(r.counter(Counter::AnzFehler), "0");
}

TEST(ImportRunModes, RenameExistingCountsNumberKeysFromTheStartValue) {
    Importing r;
    r.makeSource("Quelle.DB", kNumbered, 0, {{"1", "neu1"}, {"2", "neu2"}, {"3", "neu3"}});
    r.makeTarget("Ziel.DB", kNumbered, 1, {{"1", "alt1"}, {"2", "alt2"}});
    r.map();
    EXPECT_TRUE(r.runner().run(ImportMode::RenameExisting, "1000", false));
    EXPECT_EQ(contents(r.target),
              (Rows{{"1", "alt1"}, {"2", "alt2"}, {"3", "neu3"}, {"1000", "neu1"}, {"1001", "neu2"}}));
    EXPECT_EQ(r.counter(Counter::Umben), "2");
    EXPECT_EQ(r.counter(Counter::AnzHinzu), "1");
}

// --- mode 4 ------------------------------------------------------------------------

TEST(ImportRunModes, SelfIncrementGeneratesTimeAndTextKeys) {
    {
        SCOPED_TRACE("time key");
        Importing r;
        r.makeSource("Quelle.DB", {text("Wert", 10)}, 0, {{"a"}, {"b"}, {"c"}});
        r.makeTarget("Ziel.DB", {typed("Zeit", FieldType::Time), text("Wert", 10)}, 1, {});
        r.map();
        EXPECT_TRUE(r.runner().run(ImportMode::SelfIncrement, "08:00:00", false));
        EXPECT_EQ(contents(r.target), (Rows{{"08:00:00", "a"}, {"08:00:01", "b"}, {"08:00:02", "c"}}));
        EXPECT_EQ(r.counters(), expectedCounters({{"lblAnzHinzu", "3"}, {"lblSumme", "3"}}));
    }
    {
        SCOPED_TRACE("text key");
        Importing r;
        r.makeSource("Quelle.DB", {text("Wert", 10)}, 0, {{"a"}, {"b"}});
        r.makeTarget("Ziel.DB", {text("Key", 10), text("Wert", 10)}, 1, {});
        r.map();
        r.runner().run(ImportMode::SelfIncrement, "A007", false);
        EXPECT_EQ(contents(r.target), (Rows{{"A7", "a"}, {"A8", "b"}}));
    }
}

TEST(ImportRunModes, SelfIncrementRefusesKeyTypesItCannotCount) {
    struct Case {
        FieldSpec key;
        std::string message;
    };
    const std::vector<Case> cases{
        {typed("Flag", FieldType::Boolean),
         "Die automatische Werterhöhung eines Datenbankfeldes vom Typ\r\n\"Logisch J/N\"\r\nist leider nicht möglich."},
        {typed("Betrag", FieldType::BCD, 2),
         "Die automatische Werterhöhung eines Datenbankfeldes vom Typ\r\n\"BCD\"\r\nist derzeit leider nicht "
         "möglich."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key.name);
        Importing r;
        r.makeSource("Quelle.DB", {text("Wert", 10)}, 0, {{"a"}, {"b"}});
        r.makeTarget("Ziel.DB", {c.key, text("Wert", 10)}, 1, {});
        r.map();
        r.prompter.expectMessage(MsgKind::Information, Buttons::Ok, c.message);
        ImportRun run = r.runner();
        run.RunSelfIncrement("1");
        EXPECT_TRUE(run.stoppedEarly());
        EXPECT_TRUE(r.prompter.finished());
        r.target.CloseTable();
        EXPECT_EQ(contentsOf(r.dir.file("Ziel.DB")), Rows{});
    }
}

// --- mode 5 ------------------------------------------------------------------------

TEST(ImportRunModes, UpdateLeavesFieldsWithoutFeldAktButFillsNewRecords) {
    Importing r;
    const Fields fields{typed("Nr", FieldType::Integer), text("Name", 10), text("Ort", 10)};
    r.makeSource("Quelle.DB", fields, 0, {{"1", "Neu", "Neuort"}, {"2", "Zwei", "Zweiort"}});
    r.makeTarget("Ziel.DB", fields, 1, {{"1", "Alt", "Altort"}});
    r.map();
    r.changeRule("Ort", [](MappingRule& m) { m.FeldAkt = false; });
    EXPECT_TRUE(r.runner().run(ImportMode::Update, "", false));
    EXPECT_EQ(contents(r.target), (Rows{{"1", "Neu", "Altort"}, {"2", "Zwei", "Zweiort"}}));
    EXPECT_EQ(r.counters(), expectedCounters({{"lblAnzAkt", "1"}, {"lblAnzHinzu", "1"}, {"lblSumme", "2"}}));
    EXPECT_EQ(r.gauge.status(), "Vorhandene Datensätze werden aktualisiert,\r\nneue Datensätze hinzugefügt...fertig.");
}

// A full table is refused only what certainly cannot fit: records updated in place need no room.
TEST(ImportRunModes, AnUpdateOfAFullTableIsRefusedOnlyForItsNewKeys) {
    Importing r;
    const Fields fields{typed("Nr", FieldType::Integer), text("Name", 10)};
    r.makeSource("Quelle.DB", fields, 0, {{"1", "Neu"}, {"2", "Neu"}, {"3", "Neu"}, {"1", "Neuer"}});
    r.makeTarget("Ziel.DB", fields, 1, {{"1", "Alt"}, {"2", "Alt"}, {"3", "Alt"}});
    r.map();
    r.target.LimitRecords(4);  // room for one record more
    EXPECT_TRUE(r.runner().run(ImportMode::Update, "", false));
    EXPECT_EQ(contents(r.target), (Rows{{"1", "Neuer"}, {"2", "Neu"}, {"3", "Neu"}}));

    // Two new keys (one of them twice) where one more fits: refused before the first record.
    Importing full;
    full.makeSource("Quelle.DB", fields, 0, {{"4", "Vier"}, {"5", "Fünf"}, {"4", "Vier"}, {"1", "Eins"}});
    full.makeTarget("Ziel.DB", fields, 1, {{"1", "Alt"}, {"2", "Alt"}, {"3", "Alt"}});
    full.map();
    full.target.LimitRecords(4);
    EXPECT_THROW(full.runner().check(ImportMode::AppendNew), TableError);
    full.target.LimitRecords(5);
    EXPECT_NO_THROW(full.runner().check(ImportMode::AppendNew));
    // Appending adds every record: four do not fit in room for two.
    EXPECT_THROW(full.runner().check(ImportMode::Append), TableError);
}

// --- a key rule without source field -------------------------------------------------

TEST(ImportRunModes, AKeyRuleWithoutSourceFieldStopsTheModesThatLookUp) {
    auto prepared = [](Importing& r) {
        r.makeSource("QUELLE.DBF", {text("ANDERS", 5), text("WERT", 10)}, 0, {{"A", "a"}});
        r.makeTarget("Ziel.DB", {text("Key", 5), text("Wert", 10)}, 1, {});
        r.map();
    };
    {
        SCOPED_TRACE("mode 2");
        Importing r;
        prepared(r);
        r.prompter.expectError(kKeyRuleMissing);
        ImportRun run = r.runner();
        EXPECT_TRUE(run.run(ImportMode::AppendNew, "", false));
        EXPECT_TRUE(run.keyRuleMissing());
        EXPECT_FALSE(r.gauge.visible());
        EXPECT_EQ(contents(r.target), Rows{});
        EXPECT_TRUE(r.prompter.finished());
    }
    {
        SCOPED_TRACE("mode 3");
        Importing r;
        prepared(r);
        r.prompter.expectError(kKeyRuleMissing);
        ImportRun run = r.runner();
        EXPECT_FALSE(run.run(ImportMode::RenameExisting, "K1", false));
        EXPECT_TRUE(run.keyRuleMissing());
        EXPECT_EQ(contents(r.target), Rows{});
        EXPECT_TRUE(r.prompter.finished());
    }
    {
        SCOPED_TRACE("mode 5: the empty field name is not found");
        Importing r;
        prepared(r);
        EXPECT_THROW(r.runner().run(ImportMode::Update, "", false), TableError);
        EXPECT_EQ(contents(r.target), Rows{});
    }
}

// --- cancelling ----------------------------------------------------------------------

TEST(ImportRunModes, CancellingAfterTenOfHundredRecordsLeavesTenWritten) {
    Rows hundred;
    for (int i = 1; i <= 100; ++i) hundred.push_back({std::to_string(i), "n" + std::to_string(i)});
    for (ImportMode mode : {ImportMode::Append, ImportMode::AppendNew, ImportMode::SelfIncrement, ImportMode::Update}) {
        SCOPED_TRACE(static_cast<int>(mode));
        Importing r;
        r.makeSource("Quelle.DB", kNumbered, 0, hundred);
        r.makeTarget("Ziel.DB", kNumbered, 1, {});
        r.map();
        int pumps = 0;
        // The user presses the cancel button while the tenth record is worked on and confirms.
        r.gauge.onPump = [&] {
            if (++pumps == 10) r.gauge.btnGaugeAbbrechenClick(r.prompter);
        };
        r.prompter.expectMessage(MsgKind::Warning, Buttons::YesNoDefaultNo, kCancelQuestionText, Answer::Yes);
        r.runner().run(mode, "1", false);
        EXPECT_EQ(r.target.RecordCount(), 10);
        EXPECT_EQ(r.counter(Counter::AnzHinzu), "10");
        // The window is back, saying what was kept, its counters and error list there to read.
        EXPECT_TRUE(r.gauge.visible());
        EXPECT_EQ(r.gauge.status(), "Der Import wurde abgebrochen. Bis dahin sind\r\n10 Datensätze importiert und gespeichert.");
        EXPECT_EQ(r.gauge.cancelCaption(), "&Schließen");
        EXPECT_TRUE(r.prompter.finished());
        r.target.CloseTable();
        EXPECT_EQ(contentsOf(r.dir.file("Ziel.DB")).size(), 10u);
    }
}

// --- generated text keys ----------------------------------------------------------------

TEST(ImportRunModes, NextKeyTextCountsTheTrailingNumber) {
    EXPECT_EQ(NextKeyText("K100", 2), "K102");
    EXPECT_EQ(NextKeyText("A007", 0), "A7");
    EXPECT_EQ(NextKeyText("ABC", 0), "ABC0");
    EXPECT_EQ(NextKeyText("ABC", 1), "ABC1");
    EXPECT_EQ(NextKeyText("500", 0), "500");
    EXPECT_EQ(NextKeyText("500", 1), "501");
    EXPECT_EQ(NextKeyText("K1A9", 1), "K1A10");
    EXPECT_EQ(NextKeyText("", 3), "3");
    EXPECT_EQ(NextKeyText("A2147483647", 0), "A2147483647");
    EXPECT_THROW(NextKeyText("A2147483648", 0), ConversionError);
    EXPECT_THROW(NextKeyText("K99999999999999999999", 0), ConversionError);
}

TEST(ImportRunModes, AStartValueWhoseNumberDoesNotFitEndsTheRun) {
    for (ImportMode mode : {ImportMode::RenameExisting, ImportMode::SelfIncrement}) {
        SCOPED_TRACE(static_cast<int>(mode));
        Importing r;
        r.makeSource("QUELLE.DBF", {text("KEY", 10)}, 0, {{"A"}});
        r.makeTarget("Ziel.DB", {text("Key", 20)}, 1, {{"A"}});
        r.map();
        EXPECT_THROW(r.runner().run(mode, "K4294967296", false), ConversionError);
        r.target.CancelRecord();  // as the caller does after a failed run
        EXPECT_EQ(contents(r.target), (Rows{{"A"}}));
    }
}
