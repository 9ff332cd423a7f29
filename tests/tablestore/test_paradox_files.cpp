// Paradox files written by other software read exactly as their expected
// dumps; files we write read back the same here and in pxlib; damaged files
// are refused as damaged, and told apart from sound ones we cannot read.
#include "common/FileSets.h"
#include "tablestore/Bytes.h"
#include "tablestore/TableFiles.h"
#include "tablestore/TableTestSupport.h"
#include "tablestore/paradox/ParadoxFormat.h"

#include <gtest/gtest.h>

#include <functional>

using namespace kimport;
using namespace kimport::test;

namespace {
std::string kimportExe() { return KIMPORT_KIMPORT_EXE; }
std::string pxreadExe() { return KIMPORT_PXREAD_EXE; }
}  // namespace

TEST(ParadoxFixtures, EveryTableDumpsExactlyAsExpected) {
    auto tables = fixtureTables("paradox");
    ASSERT_GE(tables.size(), 16u);
    for (const std::string& t : tables) {
        SCOPED_TRACE(t);
        EXPECT_EQ(dumpOf(fixturesDir() + t), readFile(fixturesDir() + "expected/" + t + ".csv"));
    }
}

TEST(ParadoxFixtures, EncryptedAndMemoLessTablesAreRefused) {
    try {
        dumpOf(fixturesDir() + "paradox/paradoxdriver/encrypt/encrypted.db");
        FAIL() << "encrypted table was read";
    } catch (const TableError& e) {
        EXPECT_NE(std::string(e.what()).find("verschlüsselt"), std::string::npos);
        EXPECT_EQ(e.kind(), TableError::Kind::Unsupported);
    }
    TempDir dir;
    std::string copy = copyFixture("paradox/paradoxdriver/fields/memo.db", dir.path());
    std::filesystem::remove(dir.file("memo.mb"));
    try {
        dumpOf(copy);
        FAIL() << "table without its memo file was read";
    } catch (const TableError& e) {
        EXPECT_NE(std::string(e.what()).find("Memodatei"), std::string::npos);
        EXPECT_EQ(e.kind(), TableError::Kind::Missing);
    }
}

namespace {

// A keyed level-4 table with memo values long enough to live in its .MB.
std::string makeTableWithMemos(const std::string& directory) {
    MakeTable(directory, "KUNDEN.DB",
              {{"Nr", FieldType::Integer, 0}, {"Name", FieldType::String, 20}, {"Notiz", FieldType::Memo, 10}}, 1);
    Table t;
    t.setPath(directory + "KUNDEN.DB");
    t.OpenTable();
    for (int i = 1; i <= 50; ++i) {
        t.BeginAppend();
        t.SetAsInteger(0, i);
        t.SetText(1, "Kunde " + std::to_string(i));
        t.SetText(2, std::string(static_cast<std::size_t>(20 + i * 40), 'n'));
        t.PostRecord();
    }
    t.CloseTable();
    return directory + "KUNDEN.DB";
}

void patch(const std::string& path, std::size_t offset, const std::string& bytes) {
    std::string content = readFile(path);
    ASSERT_LE(offset + bytes.size(), content.size());
    content.replace(offset, bytes.size(), bytes);
    writeFile(path, content);
}

std::string u16Bytes(unsigned v) {
    return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8 & 0xFF)};
}

}  // namespace

// Each flaw a reader checks for is reported as damage of the file that has it, whichever part of the
// table it is in; an encrypted table and a missing memo file are sound tables and say so.
TEST(ParadoxDamaged, EachFlawIsReportedAsDamageOfItsFile) {
    using namespace kimport::paradox;
    struct Case {
        const char* what;
        std::function<void(const std::string& db, const std::string& mb, std::size_t blockOne)> damage;
        TableError::Kind kind;
        bool inMemoFile;  // the error names the .MB, not the .DB
    };
    const std::vector<Case> cases = {
        {"header cut short",
         [](const std::string& db, const std::string&, std::size_t) { writeFile(db, readFile(db).substr(0, 0x40)); },
         TableError::Kind::Damaged, false},
        {"an index's file type",
         [](const std::string& db, const std::string&, std::size_t) {
             patch(db, kFileTypeAt, std::string(1, static_cast<char>(kPrimaryIndex)));
         },
         TableError::Kind::Damaged, false},
        {"unknown version",
         [](const std::string& db, const std::string&, std::size_t) { patch(db, kVersionAt, "\x20"); },
         TableError::Kind::Damaged, false},
        {"block size 0",
         [](const std::string& db, const std::string&, std::size_t) { patch(db, kBlockSizeAt, std::string(1, '\0')); },
         TableError::Kind::Damaged, false},
        {"record size that is not the fields'",
         [](const std::string& db, const std::string&, std::size_t) {
             const std::string bytes = readFile(db);
             patch(db, kRecordSizeAt, u16Bytes(kimport::bytes::le16(bytes.data() + kRecordSizeAt) + 1u));
         },
         TableError::Kind::Damaged, false},
        {"chain starting outside the file",
         [](const std::string& db, const std::string&, std::size_t) { patch(db, kFirstBlockAt, u16Bytes(0x7FFF)); },
         TableError::Kind::Damaged, false},
        {"chain running in a loop",
         [](const std::string& db, const std::string&, std::size_t blockOne) {
             patch(db, blockOne + kNextBlockAt, u16Bytes(1));
         },
         TableError::Kind::Damaged, false},
        {"memo file with a scrambled header",
         [](const std::string&, const std::string& mb, std::size_t) {
             patch(mb, kMbTypeAt, std::string(1, static_cast<char>(kMbSubAllocated)));
         },
         TableError::Kind::Damaged, true},
        {"encrypted", [](const std::string& db, const std::string&, std::size_t) { patch(db, kEncryption2At, "\x01"); },
         TableError::Kind::Unsupported, false},
        {"memo file gone", [](const std::string&, const std::string& mb, std::size_t) { std::filesystem::remove(mb); },
         TableError::Kind::Missing, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::string db = makeTableWithMemos(dir.path());
        const std::string mb = dir.file("KUNDEN.MB");
        ASSERT_EQ(paradox::readTable(db, realFileSystem())->rowCount(), 50u);
        const std::size_t blockOne = kimport::bytes::le16(readFile(db).data() + kHeaderSizeAt);
        c.damage(db, mb, blockOne);
        try {
            paradox::readTable(db, realFileSystem());
            ADD_FAILURE() << "read";
        } catch (const TableError& e) {
            EXPECT_EQ(e.kind(), c.kind) << e.what();
            EXPECT_EQ(fileNameOf(e.file()), c.inMemoFile ? "KUNDEN.MB" : "KUNDEN.DB") << e.what();
        }
    }
}

TEST(ParadoxFixtures, CopiesDumpLikeTheirOriginals) {
    TempDir dir;
    for (const std::string& t : fixtureTables("paradox")) {
        SCOPED_TRACE(t);
        std::string dest = dir.file(std::filesystem::path(t).filename().string());
        auto r = runCommand(kimportExe() + " copy '" + fixturesDir() + t + "' '" + dest + "'");
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(dumpOf(dest), readFile(fixturesDir() + "expected/" + t + ".csv"));
        auto schemaSource = runCommand(kimportExe() + " schema '" + fixturesDir() + t + "'");
        auto schemaCopy = runCommand(kimportExe() + " schema '" + dest + "'");
        EXPECT_EQ(schemaCopy.out, schemaSource.out);
    }
}

namespace {
// The secondary index file beside a fixture table, if any.
std::string secondaryIndexOf(const std::string& relative) {
    std::filesystem::path p = fixturesDir() + relative;
    for (const auto& e : std::filesystem::directory_iterator(p.parent_path())) {
        std::string ext = e.path().extension().string();
        if (e.path().stem() == p.stem() && ext.size() == 4 && (ext[1] == 'X' || ext[1] == 'Y'))
            return e.path().filename().string();
    }
    return {};
}
}  // namespace

TEST(ParadoxFixtures, RewritingInPlaceKeepsEveryValue) {
    TempDir dir;
    int refused = 0;
    for (const std::string& t : fixtureTables("paradox")) {
        SCOPED_TRACE(t);
        std::string path = copyFixture(t, dir.path());
        Table table;
        table.setPath(path);
        table.Exclusive = true;
        table.OpenTable();
        if (std::string index = secondaryIndexOf(t); !index.empty()) {
            // A table with a secondary index we cannot maintain is not written at all.
            std::string before = readFile(path);
            try {
                table.BeginAppend();
                FAIL() << "a table with a secondary index was opened for writing";
            } catch (const TableError& e) {
                EXPECT_NE(std::string(e.what()).find(index.substr(0, index.size() - 1)), std::string::npos)
                    << e.what();
            }
            table.CloseTable();
            EXPECT_EQ(readFile(path), before);
            ++refused;
            continue;
        }
        table.BeginAppend();  // a change, then taken back: the table is written as it is
        table.CancelRecord();
        if (table.RecordCount() > 0) {
            table.MoveFirst();
            table.BeginEdit();
            table.PostRecord();
        }
        table.CloseTable();
        EXPECT_EQ(dumpOf(path), readFile(fixturesDir() + "expected/" + t + ".csv"));
    }
    EXPECT_EQ(refused, 2);  // CUSTOMER (.X06/.Y06) and AREACODES (.XG0/.YG0)
}

TEST(ParadoxFixtures, SchemaReportsTypeCodesSizesAndKeys) {
    auto r = runCommand(kimportExe() + " schema '" + fixturesDir() + "paradox/paradoxdriver/db/CUSTOMER.DB'");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out,
              "CustNo\t14\t0\tX\nFirstName\t1\t51\t\nLastName\t1\t50\t\nEMail\t1\t100\t\nStreet\t1\t30\t\n"
              "City\t1\t15\t\nState/Prov\t1\t20\t\nZip/Postal Code\t1\t10\t\nComments\t16\t100\t\n"
              "DateEntered\t9\t0\t\n");
    auto warned = runCommand(kimportExe() + " dump '" + fixturesDir() + "dbase/dbfread/invalid_value.dbf'");
    EXPECT_EQ(warned.exitCode, 0);
    EXPECT_EQ(warned.err, "kimport: Warnung: 1 Wert konnte nicht gelesen werden und ist leer ausgegeben.\n");
    auto bad = runCommand(kimportExe() + " dump /nonexistent/T.DB");
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_NE(bad.err.find("existiert nicht"), std::string::npos);
}

TEST(ParadoxWriter, PxlibReadsWhatWeWrite) {
    TempDir dir;
    MakeTable(dir.path(), "ALLE.DB",
              {{"Nr", FieldType::AutoInc, 0}, {"Name", FieldType::String, 20}, {"Kurz", FieldType::SmallInt, 0},
               {"Lang", FieldType::Integer, 0}, {"Preis", FieldType::Float, 0}, {"Betrag", FieldType::Currency, 0},
               {"Datum", FieldType::Date, 0}, {"Zeit", FieldType::Time, 0}, {"Stempel", FieldType::DateTime, 0},
               {"Ok", FieldType::Boolean, 0}, {"Genau", FieldType::BCD, 2}},
              1);
    Table t;
    t.setPath(dir.file("ALLE.DB"));
    t.OpenTable();
    FormatSettings de = FormatSettings::german();
    const char* rows[][10] = {{"Meier", "-12", "70000", "12,5", "3,25", "24.12.1998", "10:30:00", "01.02.2020 01:00:01",
                               "True", "1,235"},
                              {"Schulz", "7", "-1", "-0,5", "0", "01.01.0100", "00:00:01", "31.12.9999 23:59:59",
                               "False", "-2"}};
    for (auto& row : rows) {
        t.BeginAppend();
        for (int i = 0; i < 10; ++i) t.SetAsString(i + 1, row[i], de);
        t.PostRecord();
    }
    t.CloseTable();
    auto r = runCommand(pxreadExe() + " " + dir.file("ALLE.DB"));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // Dates are day numbers (1 = 0001-01-01), times milliseconds, timestamps milliseconds since day 0.
    EXPECT_EQ(r.out,
              "Nr\tName\tKurz\tLang\tPreis\tBetrag\tDatum\tZeit\tStempel\tOk\tGenau\n"
              "1\tMeier\t-12\t70000\t12.5\t3.25\t729747\t37800000\t63716202001000\ttrue\t1.24\n"
              "2\tSchulz\t7\t-1\t-0.5\t0\t36160\t1000\t315537983999000\tfalse\t-2.00\n");
    EXPECT_EQ(dumpOf(dir.file("ALLE.DB")),
              "Nr,Name,Kurz,Lang,Preis,Betrag,Datum,Zeit,Stempel,Ok,Genau\n"
              "1,Meier,-12,70000,12.5,3.25,1998-12-24,10:30:00,2020-02-01T01:00:01,true,1.24\n"
              "2,Schulz,7,-1,-0.5,0,0100-01-01,00:00:01,9999-12-31T23:59:59,false,-2.00\n");
}

TEST(ParadoxWriter, PxlibReadsCopiedFixturesWithTheSameRecords) {
    TempDir dir;
    for (const std::string& t : fixtureTables("paradox")) {
        if (!secondaryIndexOf(t).empty()) continue;
        std::string path = copyFixture(t, dir.path());
        std::int64_t records = 0;
        {
            Table table;
            table.setPath(path);
            table.Exclusive = true;
            table.OpenTable();
            records = table.RecordCount();
            if (records == 0) continue;
            table.MoveFirst();
            table.BeginEdit();
            table.PostRecord();
        }
        SCOPED_TRACE(t);
        auto r = runCommand(pxreadExe() + " '" + path + "'");
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), records + 1);
    }
}

// Other programs leave block chains that run anywhere in the file. A chain running backwards over
// several megabytes reads the same records as the file in order.
TEST(ParadoxReader, ABlockChainRunningBackwardsReadsTheSameRecords) {
    TempDir dir;
    MakeTable(dir.path(), "Kette.DB", {{"Nr", FieldType::Integer, 0}, {"Name", FieldType::String, 60}}, 0);
    {
        Table t;
        t.setPath(dir.file("Kette.DB"));
        t.Exclusive = true;
        t.OpenTable();
        for (int i = 0; i < 100000; ++i) {
            t.BeginAppend();
            t.SetValue(0, Value::ofInteger(i));
            t.SetValue(1, Value::ofText("Satz " + std::to_string(i)));
            t.PostRecord();
        }
        t.CloseTable();
    }
    const std::string before = dumpOf(dir.file("Kette.DB"));
    std::string bytes = readFile(dir.file("Kette.DB"));
    const std::size_t headerSize = static_cast<unsigned char>(bytes[2]) | static_cast<unsigned char>(bytes[3]) << 8;
    const std::size_t blockSize = static_cast<std::size_t>(static_cast<unsigned char>(bytes[5])) * 1024;
    const std::size_t blocks = (bytes.size() - headerSize) / blockSize;
    ASSERT_GT(blocks * blockSize, std::size_t{3} << 20);
    // Block k moves to place blocks + 1 - k; its links follow it.
    auto moved = [&](unsigned k) { return k == 0 ? 0u : static_cast<unsigned>(blocks + 1 - k); };
    auto le16 = [](const char* p) { return static_cast<unsigned>(static_cast<unsigned char>(p[0]) | static_cast<unsigned char>(p[1]) << 8); };
    auto put16 = [](char* p, unsigned v) { p[0] = static_cast<char>(v & 0xFF); p[1] = static_cast<char>(v >> 8); };
    std::string reversed = bytes;
    for (std::size_t k = 1; k <= blocks; ++k) {
        const char* from = bytes.data() + headerSize + (k - 1) * blockSize;
        char* to = reversed.data() + headerSize + (moved(static_cast<unsigned>(k)) - 1) * blockSize;
        std::copy(from, from + blockSize, to);
        put16(to, moved(le16(from)));
        put16(to + 2, moved(le16(from + 2)));
    }
    put16(reversed.data() + 0x0E, moved(le16(bytes.data() + 0x0E)));
    put16(reversed.data() + 0x10, moved(le16(bytes.data() + 0x10)));
    writeFile(dir.file("Kette.DB"), reversed);
    EXPECT_EQ(dumpOf(dir.file("Kette.DB")), before);
}

// Blob values go into the .MB while the blocks are written: values kept in the record, small ones
// sharing blocks and large ones of several blocks, in every order, read back as they were written.
TEST(ParadoxWriter, MemoValuesOfEverySizeReadBackAsWritten) {
    TempDir dir;
    MakeTable(dir.path(), "NOTIZEN.DB",
              {{"Nr", FieldType::Integer, 0}, {"Notiz", FieldType::Memo, 10}, {"Daten", FieldType::Blob, 10}}, 1);
    Rows expected;
    {
        Table t;
        t.setPath(dir.file("NOTIZEN.DB"));
        t.OpenTable();
        const std::size_t sizes[] = {0, 5, 10, 11, 200, 2048, 2049, 4087, 4088, 9000, 70000};
        for (int i = 0; i < 600; ++i) {
            const std::size_t memoSize = sizes[static_cast<std::size_t>(i) % std::size(sizes)];
            const std::size_t blobSize = sizes[static_cast<std::size_t>(i * 7 + 3) % std::size(sizes)];
            std::string memo(memoSize, static_cast<char>('a' + i % 26)), blob(blobSize, static_cast<char>('A' + i % 26));
            if (!memo.empty()) memo.back() = '!';
            t.BeginAppend();
            t.SetAsInteger(0, i);
            t.SetText(1, memo);
            t.SetValue(2, Value::ofBytes(blob));
            t.PostRecord();
            expected.push_back({std::to_string(i), memo, blob});
        }
        t.CloseTable();
    }
    const auto mbSize = std::filesystem::file_size(dir.file("NOTIZEN.MB"));
    EXPECT_EQ(mbSize % 4096, 0u);
    Table back;
    back.setPath(dir.file("NOTIZEN.DB"));
    back.OpenTable();
    Rows got;
    for (back.MoveFirst(); !back.AtEnd(); back.MoveNext()) {
        Value blob = back.GetValue(2);
        got.push_back({back.AsString(0, FormatSettings::german()), back.AsString(1, FormatSettings::german()),
                       blob.isNull() ? std::string() : blob.text});
    }
    EXPECT_EQ(got, expected);
}
