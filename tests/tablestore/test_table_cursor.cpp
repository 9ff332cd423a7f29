// The cursor over Paradox tables we create: key order, lookups, edits,
// filters and the messages callers rely on.
#include "common/Numbers.h"
#include "support/ScriptedPrompter.h"
#include "common/Text.h"
#include "tablestore/PxValidator.h"
#include "tablestore/TableRoutines.h"
#include "tablestore/TableTestSupport.h"

#include <gtest/gtest.h>

#include <random>

using namespace kimport;
using namespace kimport::test;

namespace {

const FormatSettings kDe = FormatSettings::german();

std::string makeArticles(const TempDir& dir, int keyFields = 1) {
    MakeTable(dir.path(), "Artikel.DB",
              {{"ArtNr", FieldType::Integer, 0}, {"Name", FieldType::String, 10}, {"Preis", FieldType::Float, 0}},
              keyFields);
    return dir.file("Artikel.DB");
}

void append(Table& t, std::int64_t nr, const std::string& name, double price = 0) {
    t.BeginAppend();
    t.SetAsInteger(0, nr);
    t.SetAsString(1, name, kDe);
    if (price != 0) t.SetAsFloat(2, price);
    t.PostRecord();
}

std::vector<std::int64_t> keys(Table& t) {
    std::vector<std::int64_t> out;
    for (t.MoveFirst(); !t.AtEnd(); t.MoveNext()) out.push_back(t.AsInteger(0));
    return out;
}

}  // namespace

TEST(TableCursor, KeyedTablesStayInKeyOrderWithAValidIndex) {
    TempDir dir;
    std::string path = makeArticles(dir);
    std::vector<std::int64_t> expected;
    {
        Table t;
        t.setPath(path);
        t.OpenTable();
        std::mt19937 rng(7);
        std::vector<std::int64_t> numbers(3000);
        for (std::size_t i = 0; i < numbers.size(); ++i) numbers[i] = static_cast<std::int64_t>(i) * 3 - 4000;
        std::shuffle(numbers.begin(), numbers.end(), rng);
        for (auto n : numbers) append(t, n, "A" + std::to_string(n));
        expected = numbers;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(keys(t), expected);
        // Change a key: the record moves to its new place.
        ASSERT_TRUE(t.SeekKey({Value::ofInteger(-4000)}));
        t.BeginEdit();
        t.SetAsInteger(0, 100000);
        t.PostRecord();
        EXPECT_EQ(t.AsInteger(0), 100000);
        expected.erase(expected.begin());
        expected.push_back(100000);
        // Delete one in the middle.
        ASSERT_TRUE(t.SeekKey({Value::ofInteger(2)}));
        t.DeleteRecord();
        EXPECT_EQ(t.AsInteger(0), 5);  // the cursor stands on the next record
        expected.erase(std::find(expected.begin(), expected.end(), 2));
    }
    Table t;
    t.setPath(path);
    t.OpenTable();
    EXPECT_EQ(keys(t), expected);
    EXPECT_EQ(checkPrimaryIndex(path, dir.file("Artikel.PX")), "");
}

TEST(TableCursor, DuplicateKeysAreRefusedAndNothingIsLost) {
    TempDir dir;
    Table t;
    t.setPath(makeArticles(dir));
    t.OpenTable();
    append(t, 1, "eins");
    append(t, 2, "zwei");
    t.BeginAppend();
    t.SetAsInteger(0, 1);
    t.SetAsString(1, "doppelt", kDe);
    try {
        t.PostRecord();
        FAIL() << "duplicate key posted";
    } catch (const TableError& e) {
        EXPECT_TRUE(startsWith(e.what(), "Schlüsselverletzung")) << e.what();
    }
    t.CancelRecord();
    // Editing a record to another's key is refused too; editing it in place is not.
    ASSERT_TRUE(t.SeekKey({Value::ofInteger(2)}));
    t.BeginEdit();
    t.SetAsInteger(0, 1);
    EXPECT_THROW(t.PostRecord(), TableError);
    t.CancelRecord();
    t.BeginEdit();
    t.SetAsString(1, "ZWEI", kDe);
    t.PostRecord();
    EXPECT_EQ(keys(t), (std::vector<std::int64_t>{1, 2}));
    EXPECT_EQ(t.RecordCount(), 2);
}

TEST(TableCursor, SeekKeyOnTheFirstFieldOfAMultiFieldKey) {
    TempDir dir;
    MakeTable(dir.path(), "Lager.DB",
              {{"Lager", FieldType::String, 5}, {"Fach", FieldType::SmallInt, 0}, {"Menge", FieldType::Integer, 0}}, 2);
    Table t;
    t.setPath(dir.file("lager.db"));  // any letter case finds the file
    t.OpenTable();
    for (auto [lager, fach] : std::vector<std::pair<const char*, int>>{{"B", 2}, {"A", 9}, {"B", 1}, {"C", 1}}) {
        t.BeginAppend();
        t.SetAsString(0, lager, kDe);
        t.SetAsInteger(1, fach);
        t.PostRecord();
    }
    ASSERT_TRUE(t.SeekKey({Value::ofText("B")}));
    EXPECT_EQ(t.AsInteger(1), 1);  // the first B in key order
    ASSERT_TRUE(t.SeekKey({Value::ofText("B"), Value::ofInteger(2)}));
    EXPECT_EQ(t.RecordNumber(), 3);
    EXPECT_FALSE(t.SeekKey({Value::ofText("D")}));
    EXPECT_TRUE(t.InPrimaryIndex(1));
    EXPECT_FALSE(t.InPrimaryIndex(2));
}

TEST(TableCursor, UnkeyedTablesKeepInsertionOrderAndInsertBeforeTheCurrentRecord) {
    TempDir dir;
    Table t;
    t.setPath(makeArticles(dir, 0));
    t.OpenTable();
    append(t, 3, "c");
    append(t, 1, "a");
    t.MoveFirst();
    t.MoveNext();  // on 1
    t.BeginInsert();
    t.SetAsInteger(0, 2);
    t.PostRecord();
    EXPECT_EQ(keys(t), (std::vector<std::int64_t>{3, 2, 1}));
    t.CloseTable();
    t.OpenTable();
    EXPECT_EQ(keys(t), (std::vector<std::int64_t>{3, 2, 1}));
}

TEST(TableCursor, FieldsByNameTextConversionAndOverlongText) {
    TempDir dir;
    Table t;
    t.setPath(makeArticles(dir));
    t.OpenTable();
    EXPECT_EQ(t.FieldNamed("artnr"), 0);
    EXPECT_EQ(t.LookupField("fehlt"), std::nullopt);
    try {
        t.FieldNamed("Fehlt");
        FAIL();
    } catch (const TableError& e) {
        EXPECT_STREQ(e.what(), "Artikel.DB: Feld 'Fehlt' nicht gefunden");
    }
    EXPECT_EQ(t.DataSize(1), 11);
    t.BeginAppend();
    t.SetAsString(0, "17", kDe);
    t.SetAsString(1, "Überlänge-Text", kDe);
    t.SetAsString(2, "1234,5", kDe);
    EXPECT_THROW(t.SetAsString(2, "12x", kDe), ConversionError);
    t.PostRecord();
    EXPECT_EQ(t.AsString(1, kDe), "Überlänge-");  // ten characters
    EXPECT_EQ(t.AsString(2, kDe), "1234,5");
    EXPECT_EQ(t.AsString(2, FormatSettings::make('.', ',', ':', '/', "MM/DD/YYYY")), "1234.5");
    t.BeginEdit();
    t.Clear(2);
    t.PostRecord();
    EXPECT_TRUE(t.IsNull(2));
    EXPECT_THROW(t.SetAsInteger(0, 1), TableError);  // not editing
}

TEST(TableCursor, ACharacterTheCodePageCannotHoldIsRefusedAndTheFieldKeepsItsValue) {
    TempDir dir;
    Table t;
    t.setPath(makeArticles(dir));
    t.OpenTable();
    t.BeginAppend();
    t.SetAsInteger(0, 1);
    t.SetAsString(1, "5 € ok", kDe);  // 1252 holds "€" but not "≈"
    EXPECT_THROW(t.SetAsString(1, "5 € ≈ ok", kDe), TableError);
    t.PostRecord();
    EXPECT_EQ(t.AsString(1, kDe), "5 € ok");
}

TEST(TableCursor, AutoIncrementFieldsCountOnFromTheHighestValue) {
    TempDir dir;
    MakeTable(dir.path(), "Zaehler.DB", {{"Id", FieldType::AutoInc, 0}, {"Text", FieldType::String, 5}}, 1);
    {
        Table t;
        t.setPath(dir.file("Zaehler.DB"));
        t.OpenTable();
        for (const char* s : {"a", "b"}) {
            t.BeginAppend();
            t.SetAsString(1, s, kDe);
            t.PostRecord();
        }
        t.BeginAppend();
        t.SetAsInteger(0, 10);  // an explicit value is kept
        t.PostRecord();
    }
    Table t;
    t.setPath(dir.file("Zaehler.DB"));
    t.OpenTable();
    t.BeginAppend();
    t.PostRecord();
    EXPECT_EQ(keys(t), (std::vector<std::int64_t>{1, 2, 10, 11}));
}

TEST(TableCursor, FiltersLimitWalkAndCount) {
    TempDir dir;
    MakeTable(dir.path(), "ImpList.DB", {{"Bezeichnung", FieldType::String, 20}, {"Eigene", FieldType::Boolean, 0}}, 1);
    Table t;
    t.setPath(dir.file("ImpList.DB"));
    t.OpenTable();
    for (auto [name, own] : std::vector<std::pair<const char*, bool>>{{"A", true}, {"B", false}, {"C", true}}) {
        t.BeginAppend();
        t.SetAsString(0, name, kDe);
        t.SetAsBoolean(1, own);
        t.PostRecord();
    }
    t.FilterRecords("[Eigene]='True'");
    EXPECT_EQ(t.RecordCount(), 2);
    std::vector<std::string> seen;
    for (t.MoveFirst(); !t.AtEnd(); t.MoveNext()) seen.push_back(t.AsString(0, kDe));
    EXPECT_EQ(seen, (std::vector<std::string>{"A", "C"}));
    t.FilterRecords("[Eigene]<>'True'");
    EXPECT_EQ(t.RecordCount(), 1);
    EXPECT_EQ(t.AsString(0, kDe), "B");
    t.FilterRecords("");
    EXPECT_EQ(t.RecordCount(), 3);
    EXPECT_THROW(t.FilterRecords("Eigene = True"), TableError);
}

TEST(TableRoutines, HasUniqueValues) {
    TempDir dir;
    Table t;
    t.setPath(makeArticles(dir, 0));
    t.OpenTable();
    append(t, 1, "x");
    append(t, 2, "y");
    EXPECT_TRUE(HasUniqueValues(t, "ArtNr"));
    append(t, 1, "z");
    EXPECT_FALSE(HasUniqueValues(t, "ArtNr"));
    EXPECT_TRUE(HasUniqueValues(t, "Name"));
    t.BeginAppend();
    t.SetAsInteger(0, 3);
    t.PostRecord();
    EXPECT_FALSE(HasUniqueValues(t, "Name"));  // an empty value
}

TEST(TableRoutines, ClearingNeedsTheTableForItself) {
    TempDir dir;
    std::string path = makeArticles(dir);
    Table t;
    t.setPath(path);
    t.OpenTable();
    append(t, 1, "x");
    ScriptedPrompter quiet;
    EXPECT_TRUE(ClearTableExclusive(t, quiet));
    EXPECT_FALSE(t.Active());
    EXPECT_FALSE(t.Exclusive);
    t.OpenTable();
    EXPECT_EQ(t.RecordCount(), 0);
    EXPECT_THROW(t.ClearTable(), TableError);  // not exclusive

    Table other;
    other.setPath(path);
    other.OpenTable();  // another user holds it
    Table u;
    u.setPath(path);
    ScriptedPrompter p;
    p.expectError("Leeren der Datenbank Artikel.DB ist fehlgeschlagen.\r\n"
                  "Die Datenbank konnte nicht exclusiv geöffnet werden\r\n\r\nMögliche Problemlösung:\r\n"
                  "Löschen Sie die Dateien P*.lck im aktuellen Programmverzeichnis");
    EXPECT_FALSE(ClearTableExclusive(u, p));
    EXPECT_TRUE(u.Exclusive);
    EXPECT_TRUE(p.finished());
}
