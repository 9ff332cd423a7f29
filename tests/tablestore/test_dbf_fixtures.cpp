// The real dBase and FoxPro sample tables: each dumps exactly as its expected
// file, or is refused; the ones we write come back unchanged after a write.
#include "common/FileSets.h"
#include "common/Text.h"
#include "tablestore/TableError.h"
#include "tablestore/TableFiles.h"
#include "tablestore/TableTestSupport.h"
#include "tablestore/dbase/DbfFormat.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

using namespace kimport;
using namespace kimport::test;

namespace {

std::string dumpFile(const std::string& path) {
    return dumpImage(*dbase::readTable(path, realFileSystem()));
}

std::string expectedDump(const std::string& table) {
    return readFile(fixturesDir() + "expected/" + table + ".csv");
}

}  // namespace

TEST(DbfFixtures, EveryTableDumpsExactlyAsExpected) {
    std::vector<std::string> tables = fixtureTables("dbase");
    ASSERT_GE(tables.size(), 10u);
    for (const std::string& table : tables) {
        SCOPED_TRACE(table);
        std::string dump;
        ASSERT_NO_THROW(dump = dumpFile(fixturesDir() + table));
        EXPECT_EQ(dump, expectedDump(table));
    }
}

TEST(DbfFixtures, TablesWithoutTheirMemoFileAreRefused) {
    int refused = 0;
    for (const std::string& table : fixtureTables("dbase", true)) {
        std::string error = readFile(fixturesDir() + "expected/" + table + ".error.txt");
        if (error.empty()) continue;
        SCOPED_TRACE(table);
        ASSERT_EQ(error, "refuse: memo file missing\n");
        try {
            dbase::readTable(fixturesDir() + table, realFileSystem());
            ADD_FAILURE() << "read without its memo file";
        } catch (const TableError& e) {
            EXPECT_NE(std::string(e.what()).find("Memodatei dbase_8b_missing_memo.dbt"), std::string::npos) << e.what();
        }
        ++refused;
    }
    EXPECT_EQ(refused, 1);
}

TEST(DbfFixtures, MemoFileIsFoundWhateverItsLetterCase) {
    TempDir dir;
    copyFixture("dbase/infused-dbf/dbase_8b.dbf", dir.path());
    std::filesystem::rename(dir.file("dbase_8b.dbt"), dir.file("DBASE_8B.DBT"));
    EXPECT_EQ(dumpFile(dir.file("dbase_8b.dbf")), expectedDump("dbase/infused-dbf/dbase_8b.dbf"));
}

TEST(DbfFixtures, ReportsTypesSizesAndCodePagesOfTheSamples) {
    auto foxpro = dbase::readTable(fixturesDir() + "dbase/infused-dbf/dbase_31.dbf", realFileSystem());
    EXPECT_EQ(foxpro->codePage, 1252);
    ASSERT_EQ(foxpro->fields.size(), 11u);
    EXPECT_EQ(foxpro->fields[0].type, FieldType::Integer);
    EXPECT_EQ(foxpro->fields[1].type, FieldType::String);
    EXPECT_EQ(foxpro->fields[1].size, 40);
    EXPECT_EQ(foxpro->fields[5].type, FieldType::Currency);
    EXPECT_EQ(foxpro->fields[9].type, FieldType::Boolean);
    EXPECT_TRUE(foxpro->fields[10].hidden);
    EXPECT_EQ(foxpro->fields[2].nullBit, 0);  // SUPPLIERID is the first nullable field
    EXPECT_EQ(foxpro->lastAutoInc, 77);       // next value 78 after 77 rows

    auto dbase4 = dbase::readTable(fixturesDir() + "dbase/infused-dbf/dbase_8b.dbf", realFileSystem());
    EXPECT_EQ(dbase4->codePage, 437);  // no language driver: DOS
    std::vector<FieldType> types;
    for (const FieldDef& f : dbase4->fields) types.push_back(f.type);
    EXPECT_EQ(types, (std::vector<FieldType>{FieldType::String, FieldType::Float, FieldType::Date, FieldType::Boolean,
                                             FieldType::Float, FieldType::Memo}));
    EXPECT_EQ(dbase4->fields[0].size, 100);
    EXPECT_EQ(dbase4->fields[1].size, 0);
    EXPECT_TRUE(dbase4->hasMemoFile);

    auto deleted = dbase::readTable(fixturesDir() + "dbase/DBFFile/PYACFL.DBF", realFileSystem());
    EXPECT_EQ(deleted->rowCount(), 45u);
    EXPECT_EQ(deleted->dbase.deletedRows.size(), 30u);
    EXPECT_EQ(deleted->order.size(), 15u);
}

// Writing keeps every value, the deleted records, and each table's own version.
TEST(DbfFixtures, WritingEveryWritableSampleKeepsItsDump) {
    int written = 0;
    for (const std::string& table : fixtureTables("dbase")) {
        SCOPED_TRACE(table);
        TempDir dir;
        std::string path = copyFixture(table, dir.path());
        std::vector<char> original = realFileSystem().readAll(path);
        auto image = dbase::readTable(path, realFileSystem());
        const std::size_t deleted = image->dbase.deletedRows.size();
        dbase::writeTable(*image, realFileSystem());
        EXPECT_EQ(dumpImage(*image), expectedDump(table)) << "image changed by writing";

        auto again = dbase::readTable(path, realFileSystem());
        EXPECT_EQ(dumpImage(*again), expectedDump(table));
        EXPECT_EQ(again->dbase.deletedRows.size(), deleted);
        EXPECT_EQ(again->dbase.version, static_cast<unsigned char>(original[0]));

        std::vector<char> rewritten = realFileSystem().readAll(path);
        const std::size_t headerLength = dbase::le16(original.data() + 8);
        ASSERT_GE(rewritten.size(), headerLength);
        // Header length as read (PYACFL.DBF counts an extra byte), records, then one EOF mark.
        EXPECT_EQ(dbase::le16(rewritten.data() + 8), headerLength);
        EXPECT_EQ(rewritten.size(), headerLength + std::size_t{again->rowCount()} * again->recordLength + 1);
        EXPECT_EQ(rewritten.back(), '\x1A');
        // Bytes we do not interpret stay: everything after the date and the count.
        EXPECT_TRUE(std::equal(original.begin() + 8, original.begin() + static_cast<std::ptrdiff_t>(headerLength),
                               rewritten.begin() + 8));
        ++written;
    }
    EXPECT_EQ(written, 10);
}

// An independent reader sees the same records, deleted flags and memos in our files as in the originals.
TEST(DbfFixtures, PerlXBaseReadsOurRewrittenFilesLikeTheOriginals) {
    for (const char* table :
         {"dbase/DBFFile/PYACFL.DBF", "dbase/infused-dbf/dbase_83.dbf", "dbase/infused-dbf/dbase_8b.dbf",
          "dbase/infused-dbf/dbase_f5.dbf", "dbase/DBFFile/vfp9_30_memo.dbf", "dbase/dbfread/invalid_value.dbf"}) {
        SCOPED_TRACE(table);
        TempDir dir;
        std::string path = copyFixture(table, dir.path());
        std::string before = perlView(path);
        ASSERT_FALSE(before.empty());
        auto image = dbase::readTable(path, realFileSystem());
        dbase::writeTable(*image, realFileSystem());
        EXPECT_EQ(perlView(path), before);
    }
}

// Opened Paged, every sample walks as expected, and a record posted unchanged is saved without touching
// any other byte than the header's date: records are read and written in place, and the memo values
// kept stay where they are, the memo file untouched.
TEST(DbfFixtures, PagedSamplesWalkAsExpectedAndSaveInPlace) {
    int inPlace = 0;
    for (const std::string& table : fixtureTables("dbase")) {
        SCOPED_TRACE(table);
        TempDir dir;
        const std::string path = copyFixture(table, dir.path());
        const std::vector<char> original = realFileSystem().readAll(path);
        auto companions = folderSnapshot(dir.path());
        companions.erase(std::filesystem::path(path).filename().string());
        const std::string perlBefore = perlView(path);
        Table t;
        t.setPath(path);
        t.Paged = true;
        t.OpenTable();
        const bool paged = t.image().rowCount() == 0;
        EXPECT_EQ(dumpByCursor(t), expectedDump(table));
        if (t.RecordCount() == 0) continue;
        ASSERT_TRUE(t.GoToRecord(t.RecordCount()));
        t.BeginEdit();
        t.PostRecord();
        t.CloseTable();
        EXPECT_EQ(dumpFile(path), expectedDump(table));
        EXPECT_EQ(perlView(path), perlBefore);
        if (!paged) continue;
        ++inPlace;
        const std::vector<char> saved = realFileSystem().readAll(path);
        ASSERT_EQ(saved.size(), original.size());
        EXPECT_EQ(saved[0], original[0]);
        EXPECT_TRUE(std::equal(original.begin() + 4, original.end(), saved.begin() + 4));
        auto companionsAfter = folderSnapshot(dir.path());
        companionsAfter.erase(std::filesystem::path(path).filename().string());
        EXPECT_EQ(companionsAfter, companions);
    }
    // Every sample with records is held paged, those with memo fields too.
    EXPECT_GE(inPlace, 8);
}
