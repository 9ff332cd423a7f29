// What the run must get right beyond the modes themselves: keys matched by
// their value and by every assigned key field, empty keys, targets that cannot
// be looked up in, and one meaning for dates and logical values as numbers.
#include "importrun/Importing.h"

#include "support/FaultyFileSystem.h"
#include "tablestore/ValueConversion.h"

using namespace kimport;
using namespace kimport::test;

namespace {

// Writes one record of typed values into a table (values that text cannot carry exactly).
void putRecord(const std::string& path, const std::vector<Value>& values) {
    Table t;
    t.setPath(path);
    t.OpenTable();
    t.BeginAppend();
    for (std::size_t i = 0; i < values.size(); ++i) t.SetValue(static_cast<int>(i), values[i]);
    t.CloseTable();
}

}  // namespace

TEST(RunKeys, AreMatchedByTheirValueNotByTheirText) {
    for (FieldType type : {FieldType::Float, FieldType::Time, FieldType::DateTime}) {
        SCOPED_TRACE(typeCode(type));
        Importing r;
        const Fields fields{typed("Key", type), text("Name", 10)};
        r.makeSource("Quelle.DB", fields, 0, {});
        r.makeTarget("Ziel.DB", fields, 1, {});
        Value key = type == FieldType::Float ? Value::ofFloat(0.30000000000000004)
                    : type == FieldType::Time ? Value::ofTime(12 * 3600000 + 250)
                                              : Value::ofDateTime((730000.0 + 0.5) * kMsPerDay + 250);
        putRecord(r.dir.file("Quelle.DB"), {key, Value::ofText("neu")});
        putRecord(r.dir.file("Ziel.DB"), {key, Value::ofText("alt")});
        r.map();
        EXPECT_TRUE(r.runner().run(ImportMode::Update, "", false));
        EXPECT_EQ(r.counter(Counter::AnzAkt), "1");
        EXPECT_EQ(r.counter(Counter::AnzHinzu), "0");
        EXPECT_EQ(r.counter(Counter::AnzFehler), "0");
    }
}

TEST(RunKeys, AnEmptyOrUnusableSourceKeyCountsOneErrorAndTheRunGoesOn) {
    for (ImportMode mode : {ImportMode::AppendNew, ImportMode::Update}) {
        Importing r;
        r.makeSource("Quelle.DB", {text("Nr", 5), text("Name", 10)}, 0, {{"", "Leer"}, {"abc", "Text"}, {"2", "Zwei"}});
        r.makeTarget("Ziel.DB", kNumbered, 1, {{"1", "Eins"}});
        r.map();
        EXPECT_TRUE(r.runner().run(mode, "", false));
        EXPECT_EQ(contents(r.target), (Rows{{"1", "Eins"}, {"2", "Zwei"}}));
        EXPECT_EQ(r.counter(Counter::AnzFehler), "2");
        EXPECT_EQ(r.counter(Counter::AnzHinzu), "1");
        EXPECT_EQ(r.counter(Counter::Ignor), "0");
    }
}

TEST(RunKeys, ATargetWithSeveralKeyFieldsIsMatchedOnEveryAssignedOne) {
    const Fields fields{text("A", 5), text("B", 5), text("Wert", 10)};
    for (ImportMode mode : {ImportMode::Update, ImportMode::AppendNew}) {
        Importing r;
        r.makeSource("Quelle.DB", fields, 0, {{"A1", "B2", "zwei"}, {"A1", "B3", "drei"}});
        r.makeTarget("Ziel.DB", fields, 2, {{"A1", "B1", "eins"}});
        r.map();
        EXPECT_TRUE(r.runner().run(mode, "", false));
        EXPECT_EQ(contents(r.target), (Rows{{"A1", "B1", "eins"}, {"A1", "B2", "zwei"}, {"A1", "B3", "drei"}}));
        EXPECT_EQ(r.counter(Counter::AnzHinzu), "2");
        EXPECT_EQ(r.counter(Counter::AnzAkt), "0");
    }
    // A key field assigned behind one that is not cannot be looked up: refused before the run.
    Importing r;
    r.makeSource("Quelle.DB", {text("A", 5), text("C", 5)}, 0, {{"A1", "C1"}});
    r.makeTarget("Ziel.DB", {text("A", 5), text("B", 5), text("C", 5)}, 3, {});
    r.map();
    try {
        r.runner().run(ImportMode::Update, "", false);
        FAIL() << "ran";
    } catch (const TableError& e) {
        EXPECT_NE(std::string(e.what()).find("bitte ordnen Sie auch B zu"), std::string::npos) << e.what();
    }
    EXPECT_EQ(contents(r.target), Rows{});
}

TEST(RunKeys, ModesThatLookUpAreRefusedForATargetWithoutKey) {
    for (ImportMode mode : {ImportMode::AppendNew, ImportMode::RenameExisting, ImportMode::Update}) {
        Importing r;
        r.makeSource("Quelle.DB", kNumbered, 1, kThree);
        r.makeTarget("ZIEL.DBF", kNumbered, 0, {{"1", "Eins"}});
        r.map();
        try {
            r.runner().run(mode, "100", false);
            FAIL() << "ran";
        } catch (const TableError& e) {
            EXPECT_NE(std::string(e.what()).find("keinen Primärschlüssel"), std::string::npos) << e.what();
        }
        EXPECT_FALSE(r.gauge.visible());
        EXPECT_EQ(contents(r.target), (Rows{{"1", "Eins"}}));
    }
}

TEST(RunValues, DatesAndLogicalValuesMeanTheSameNumberEverywhere) {
    const FormatSettings de = FormatSettings::german();
    // 24.12.1998 is day 36153 counted from 30.12.1899, in writes and back.
    EXPECT_EQ(convertValue(Value::ofDate(dayNumberFromCivil(1998, 12, 24)), Value::Kind::Float, de).number, 36153);
    EXPECT_EQ(convertValue(Value::ofDate(dayNumberFromCivil(1998, 12, 24)), Value::Kind::Integer, de).integer, 36153);
    EXPECT_EQ(convertValue(Value::ofFloat(36153), Value::Kind::Date, de), Value::ofDate(dayNumberFromCivil(1998, 12, 24)));
    EXPECT_EQ(convertValue(Value::ofFloat(36153.5), Value::Kind::DateTime, de),
              Value::ofDateTime((dayNumberFromCivil(1998, 12, 24) + 0.5) * kMsPerDay));
    EXPECT_EQ(convertValue(Value::ofBoolean(true), Value::Kind::Float, de).number, 1);

    // In a run: the date goes into a number field as 36153, and the comparison of a default sees the same.
    Importing r;
    r.makeSource("Quelle.DB", {typed("Tag", FieldType::Date), typed("Ja", FieldType::Boolean)}, 0, {{"24.12.1998", "True"}});
    r.makeTarget("Ziel.DB", {typed("Tag", FieldType::Float), typed("Ja", FieldType::Float)}, 0, {});
    r.map();
    r.changeRule("Ja", [](MappingRule& m) {
        m.Vorgabewert_num = 7;
        m.Quellwert_num = 1;
        m.BedGleich = true;
    });
    EXPECT_TRUE(r.runner().run(ImportMode::Append, "", false));
    EXPECT_EQ(contents(r.target), (Rows{{"36153", "7"}}));
}

TEST(RunValues, DatesAndTimesAreReadFromTextInTheOrderOfTheSettings) {
    const FormatSettings de = FormatSettings::german();
    EXPECT_EQ(parseDate("24.12.1998", de), dayNumberFromCivil(1998, 12, 24));
    EXPECT_EQ(parseDate(" 1 . 2 . 98 ", de), dayNumberFromCivil(1998, 2, 1));  // pieces are trimmed
    EXPECT_EQ(parseDate("1.2.10", de), dayNumberFromCivil(2010, 2, 1));        // two digits: within 50 years
    EXPECT_EQ(parseDate("1.2.0010", de), dayNumberFromCivil(10, 2, 1));        // four digits stay as written
    const FormatSettings us = FormatSettings::make('.', ',', ':', '/', "MM/DD/YYYY");
    EXPECT_EQ(parseDate("12/24/1998", us), dayNumberFromCivil(1998, 12, 24));
    for (const char* bad : {"", "1.2", "1.2.3.4", "31.02.2010", "1.x.2010", "1..2010", "1.2.2010.", "-1.2.2010"})
        EXPECT_THROW(parseDate(bad, de), ConversionError) << bad;
    EXPECT_EQ(parseTime("12:30", de), (12 * 3600 + 30 * 60) * 1000);
    EXPECT_EQ(parseTime(" 7:05:09 ", de), (7 * 3600 + 5 * 60 + 9) * 1000);
    for (const char* bad : {"12", "24:00", "12:60", "1:2:3:4", "12:", "ab:cd"})
        EXPECT_THROW(parseTime(bad, de), ConversionError) << bad;
}

TEST(RunOutcome, ASaveThatFailsIsShownAsFailureAndTheCountersClaimNothing) {
    Importing r;
    r.makeSource("Quelle.DB", kNumbered, 1, kThree);
    r.makeTarget("Ziel.DB", kNumbered, 1, {{"9", "Neun"}});
    r.map();
    r.target.CloseTable();
    const std::string before = readFile(r.dir.file("Ziel.DB"));
    FaultyFileSystem full(realFileSystem());
    Table target(full);
    target.setPath(r.dir.file("Ziel.DB"));
    target.Exclusive = true;
    target.OpenTable();
    full.spaceLeft = full.bytesWritten() + 100;  // the save at the end runs out of space
    ImportRun run(RunTables{r.source, target, r.z}, r.gauge, r.prompter, r.formats, r.formats);
    EXPECT_THROW(run.run(ImportMode::Append, "", false), TableError);
    EXPECT_EQ(r.gauge.status(), "Datensätze werden hinzugefügt... nicht gespeichert; die Zieltabelle ist unverändert.");
    EXPECT_EQ(r.counter(Counter::AnzHinzu), "0");
    EXPECT_EQ(r.counter(Counter::Summe), "0");
    EXPECT_EQ(r.gauge.cancelCaption(), "&Schließen");
    target.CloseDiscarding();
    EXPECT_EQ(readFile(r.dir.file("Ziel.DB")), before);
}

TEST(RunOutcome, AMappingThatFillsNoFieldNeverStarts) {
    Importing r;
    r.makeSource("Quelle.DB", {text("Anders", 5)}, 0, {{"x"}});
    r.makeTarget("Ziel.DB", kNumbered, 1, {});
    r.map();
    try {
        r.runner().run(ImportMode::Append, "", false);
        FAIL() << "ran";
    } catch (const TableError& e) {
        EXPECT_NE(std::string(e.what()).find("Der Import wird nicht gestartet"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(r.gauge.visible());
    EXPECT_EQ(contents(r.target), Rows{});
}

TEST(RunValues, FieldNamesAreMatchedAsTheMappingMatchesThem) {
    // "GRöSSE" and "GRÖSSE" are two fields: only a-z count without letter case.
    auto twoFields = [](const std::string& path) {
        std::string bytes = readFile(path);
        bytes[32 + 2] = '\xF6';  // ö in the table's code page 1252
        bytes[64 + 2] = '\xD6';  // Ö
        writeFile(path, bytes);
    };
    Importing r;
    r.makeSource("QUELLE.DBF", {text("GRXSSE", 5), text("GRYSSE", 5)}, 0, {{"klein", "GROSS"}});
    r.makeTarget("ZIEL.DBF", {text("GRXSSE", 5), text("GRYSSE", 5)}, 0, {});
    twoFields(r.dir.file("QUELLE.DBF"));
    twoFields(r.dir.file("ZIEL.DBF"));
    r.map();
    EXPECT_TRUE(r.runner().run(ImportMode::Append, "", false));
    EXPECT_EQ(contents(r.target), (Rows{{"klein", "GROSS"}}));
}

TEST(RunKeys, AnUnusableKeyCountsOnceAlsoInTheTwoPassesOfRenaming) {
    Importing r;
    r.makeSource("Quelle.DB", {text("Nr", 5), text("Name", 10)}, 0, {{"", "Leer"}, {"1", "Eins neu"}, {"2", "Zwei"}});
    r.makeTarget("Ziel.DB", kNumbered, 1, {{"1", "Eins"}});
    r.map();
    EXPECT_TRUE(r.runner().run(ImportMode::RenameExisting, "100", false));
    EXPECT_EQ(contents(r.target), (Rows{{"1", "Eins"}, {"2", "Zwei"}, {"100", "Eins neu"}}));
    EXPECT_EQ(r.counter(Counter::AnzFehler), "1");
}
