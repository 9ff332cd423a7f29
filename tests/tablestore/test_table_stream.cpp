// A table read as a stream gives the records of the whole read, in the same order and with the same
// numbers, across its batches; it refuses what would need the whole table.
#include "TableTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace kimport::test {
namespace {

std::vector<std::int64_t> numbersWalked(Table& t) {
    std::vector<std::int64_t> numbers;
    for (t.MoveFirst(); !t.AtEnd(); t.MoveNext()) numbers.push_back(t.RecordNumber());
    return numbers;
}

Rows streamed(const std::string& path, std::int64_t* count = nullptr) {
    Table t;
    t.Sequential = true;
    t.setPath(path);
    t.OpenTable();
    if (count) *count = t.RecordCount();
    return contents(t);
}

std::string openingError(const std::string& path, bool sequential) {
    Table t;
    t.Sequential = sequential;
    t.setPath(path);
    try {
        t.OpenTable();
        contents(t);
    } catch (const TableError& e) {
        return e.what();
    }
    return "";
}

TEST(TableStream, FixtureTablesReadAsTheWholeReadGivesThem) {
    for (const char* format : {"paradox", "dbase"}) {
        for (const std::string& table : fixtureTables(format, true)) {
            SCOPED_TRACE(table);
            const std::string path = fixturesDir() + table;
            const std::string error = openingError(path, false);
            // Damaged, encrypted or incomplete tables are refused with the same message.
            EXPECT_EQ(openingError(path, true), error);
            if (!error.empty()) continue;
            std::int64_t count = -1;
            EXPECT_EQ(streamed(path, &count), contentsOf(path));
            EXPECT_EQ(count, static_cast<std::int64_t>(contentsOf(path).size()));
        }
    }
}

// Enough records for several batches, with memo values and (dBase) deleted records among them.
Rows bigRows(int n) {
    Rows rows;
    for (int i = 0; i < n; ++i)
        rows.push_back({std::to_string(i + 1), "Name " + std::to_string(i * 7919 % 100003),
                        i % 3 == 0 ? "" : "Memo " + std::to_string(i) + std::string(static_cast<std::size_t>(i % 40), 'x')});
    return rows;
}

TEST(TableStream, ManyBatchesKeepOrderNumbersAndMemos) {
    TempDir dir;
    const int n = 30000;  // about 2.5 MB of Paradox records: three batches
    Rows rows = bigRows(n);
    // Keys arrive shuffled: the chain of a keyed table holds them sorted.
    std::shuffle(rows.begin(), rows.end(), std::mt19937(7));
    const std::vector<FieldSpec> fields{{"Nr", FieldType::Integer, 0}, {"Name", FieldType::String, 60},
                                        {"Notiz", FieldType::Memo, 10}};
    const std::string px = makeTableWithRows(dir.path(), "GROSS.DB", fields, 1, rows);
    std::vector<FieldSpec> dbfFields = fields;
    dbfFields[0] = {"NR", FieldType::Float, 10, false, 0};
    const std::string dbf = makeTableWithRows(dir.path(), "GROSS.DBF", dbfFields, 0, rows);
    {
        // Every fifth record deleted, so that batches hold deleted ones between live ones.
        Table t;
        t.setPath(dbf);
        t.Exclusive = true;
        t.OpenTable();
        std::int64_t i = 0;
        for (t.MoveFirst(); !t.AtEnd();) {
            if (i++ % 5 == 0) t.DeleteRecord(); else t.MoveNext();
        }
        t.CloseTable();
    }
    for (const std::string& path : {px, dbf}) {
        SCOPED_TRACE(path);
        const Rows whole = contentsOf(path);
        std::int64_t count = 0;
        EXPECT_EQ(streamed(path, &count), whole);
        EXPECT_EQ(count, static_cast<std::int64_t>(whole.size()));

        Table t;
        t.Sequential = true;
        t.setPath(path);
        t.OpenTable();
        std::vector<std::int64_t> expected(whole.size());
        for (std::size_t i = 0; i < expected.size(); ++i) expected[i] = static_cast<std::int64_t>(i) + 1;
        EXPECT_EQ(numbersWalked(t), expected);
        // At the end the number is still the last record's; a second walk starts again at the first.
        EXPECT_TRUE(t.AtEnd());
        EXPECT_EQ(t.RecordNumber(), count);
        EXPECT_EQ(contents(t), whole);
    }
    EXPECT_EQ(contentsOf(px).front()[0], "1");
}

TEST(TableStream, RefusesWhatNeedsTheWholeTableAndLeavesItUnchanged) {
    TempDir dir;
    const std::string path = dir.file("T.DB");
    makeNumberedTable(path, 5);
    const std::string before = dumpOf(path);
    Table t;
    t.Sequential = true;
    t.Exclusive = true;
    t.setPath(path);
    t.OpenTable();
    const std::string refusal = "Die Tabelle T.DB wird nur der Reihe nach gelesen; dies ist dabei nicht möglich.";
    auto expectRefused = [&](auto&& call) {
        try {
            call();
            ADD_FAILURE() << "not refused";
        } catch (const TableError& e) {
            EXPECT_EQ(std::string(e.what()), refusal);
        }
    };
    expectRefused([&] { t.BeginEdit(); });
    expectRefused([&] { t.BeginAppend(); });
    expectRefused([&] { t.DeleteRecord(); });
    expectRefused([&] { t.ClearTable(); });
    expectRefused([&] { t.SeekKey({Value::ofInteger(3)}); });
    expectRefused([&] { t.MoveLast(); });
    expectRefused([&] { t.GoToRecord(2); });
    expectRefused([&] { t.FilterRecords("[Nr]='2'"); });
    t.MoveNext();
    EXPECT_EQ(t.AsInteger(0), 2);
    t.CloseTable();
    EXPECT_EQ(dumpOf(path), before);
}

}  // namespace
}  // namespace kimport::test

namespace kimport::test {
namespace {

// Records of several batches that share one large memo value all read it: the bound on the values a
// damaged memo file may make us read counts per batch, not across the whole walk.
TEST(TableStream, AMemoSharedAcrossBatchesIsReadForEveryRecord) {
    TempDir dir;
    const std::string path = dir.file("GETEILT.DBF");
    const std::string big(600000, 'm');
    makeTableWithRows(dir.path(), "GETEILT.DBF", {{"NOTIZ", FieldType::Memo, 10}}, 0, {{big}});
    // Copies of the one record, all pointing at the same memo block.
    std::string file = readFile(path);
    const std::uint16_t headerLength = static_cast<unsigned char>(file[8]) | static_cast<unsigned char>(file[9]) << 8;
    const std::uint16_t recordLength = static_cast<unsigned char>(file[10]) | static_cast<unsigned char>(file[11]) << 8;
    const std::string record = file.substr(headerLength, recordLength);
    const std::uint32_t records = 400000;  // about five batches
    std::string body;
    for (std::uint32_t i = 0; i < records; ++i) body += record;
    file = file.substr(0, headerLength) + body + "\x1A";
    for (int b = 0; b < 4; ++b) file[4 + b] = static_cast<char>((records >> (8 * b)) & 0xFF);
    writeFile(path, file);

    Table t;
    t.Sequential = true;
    t.setPath(path);
    t.OpenTable();
    std::uint32_t full = 0, walked = 0;
    for (t.MoveFirst(); !t.AtEnd(); t.MoveNext(), ++walked) {
        if (t.IsNull(0)) continue;
        // The value itself at the start and end of every batch and between.
        if (walked % 20000 == 0 || walked + 1 == records) {
            EXPECT_EQ(t.GetValue(0).text, big) << walked;
        }
        ++full;
    }
    EXPECT_EQ(walked, records);
    EXPECT_EQ(full, records);
    EXPECT_EQ(t.image().unreadableValues, 0u);
}

}  // namespace
}  // namespace kimport::test
