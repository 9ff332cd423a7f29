// Damaged dBase files: cut short, with wrong counts, lengths and memo
// pointers. Each is either read or refused with a TableError that says what
// kind of file it met (damaged, of a variant we cannot read, missing its memo
// file); nothing crashes, hangs or holds more memory than the files give reason to.
#include "common/FileSets.h"
#include "common/Text.h"
#include "support/FaultyFileSystem.h"
#include "tablestore/FormatCodec.h"
#include "tablestore/TableError.h"
#include "tablestore/TableFiles.h"
#include "tablestore/TableTestSupport.h"
#include "tablestore/dbase/DbfFormat.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <sstream>

using namespace kimport;
using namespace kimport::test;

namespace {

enum class Outcome { Read, Refused };

// What a reader may answer a file with. Anything else (a call it does not allow, a value, a limit)
// would tell the caller to fix the program or the data instead of the file.
bool isAboutTheFile(TableError::Kind kind) {
    return kind == TableError::Kind::Damaged || kind == TableError::Kind::Unsupported ||
           kind == TableError::Kind::Missing;
}

// Reads the table; a table that is read is also dumped and written, which must not fail either.
Outcome readOrRefuse(const std::string& path, std::string* dump = nullptr,
                     TableError::Kind* kind = nullptr) {
    try {
        auto image = dbase::readTable(path, realFileSystem());
        std::string d = dumpImage(*image);
        if (dump) *dump = d;
        try {
            dbase::writeTable(*image, realFileSystem());
        } catch (const TableError&) {
        }
        return Outcome::Read;
    } catch (const TableError& e) {
        EXPECT_FALSE(std::string(e.what()).empty());
        EXPECT_TRUE(isAboutTheFile(e.kind())) << static_cast<int>(e.kind()) << ": " << e.what();
        if (kind) *kind = e.kind();
        return Outcome::Refused;
    }
}

void patch(const std::string& path, std::size_t offset, const std::string& bytes) {
    std::string content = readFile(path);
    ASSERT_LE(offset + bytes.size(), content.size());
    content.replace(offset, bytes.size(), bytes);
    writeFile(path, content);
}

std::vector<std::string> allTables() {
    std::vector<std::string> tables = fixtureTables("dbase", true);
    tables.erase(std::unique(tables.begin(), tables.end()), tables.end());
    return tables;
}

struct Geometry {
    std::size_t headerLength, recordLength, count, fields;
};

Geometry geometryOf(const std::string& bytes) {
    Geometry g{dbase::le16(bytes.data() + 8), dbase::le16(bytes.data() + 10), dbase::le32(bytes.data() + 4), 0};
    for (std::size_t p = 32; p < g.headerLength && bytes[p] != 0x0D; p += 32) ++g.fields;
    return g;
}

std::string memoOf(const std::string& dataPath) {
    for (const char* ext : {".dbt", ".fpt", ".DBT", ".FPT"}) {
        std::string p = dataPath.substr(0, dataPath.size() - 4) + ext;
        if (fileExists(p)) return p;
    }
    return {};
}

}  // namespace

TEST(DbfDamaged, TruncatedTablesAreReadOrRefused) {
    for (const std::string& table : allTables()) {
        SCOPED_TRACE(table);
        const std::string original = readFile(fixturesDir() + table);
        const Geometry g = geometryOf(original);
        const std::size_t needed = g.headerLength + g.count * g.recordLength;
        std::vector<std::size_t> lengths = {
            0,          1,     8, 31, 32, 33, g.headerLength - 1, g.headerLength, g.headerLength + g.recordLength / 2,
            needed - 1, needed};
        for (std::size_t length : lengths) {
            if (length > original.size()) continue;
            SCOPED_TRACE(length);
            TempDir dir;
            std::string path = copyFixture(table, dir.path());
            writeFile(path, original.substr(0, length));
            std::string dump;
            TableError::Kind kind{};
            Outcome outcome = readOrRefuse(path, &dump, &kind);
            std::string expected = fixturesDir() + "expected/" + table + ".csv";
            // Cut in the header: refused as damaged. Cut among the records: the complete ones are read,
            // the rest reported, and the table is not written.
            if (length < g.headerLength) {
                EXPECT_EQ(outcome, Outcome::Refused);
                EXPECT_EQ(kind, TableError::Kind::Damaged);
            }
            if (length >= g.headerLength && length < needed && g.count > 0 && fileExists(expected)) {
                ASSERT_EQ(outcome, Outcome::Read);
                auto image = dbase::readTable(path, realFileSystem());
                EXPECT_EQ(image->rowCount(), (length - g.headerLength) / g.recordLength);
                EXPECT_EQ(image->missingRecords, g.count - image->rowCount());
                Table t;
                t.setPath(path);
                t.OpenTable();
                EXPECT_THROW(t.BeginAppend(), TableError);
            }
            // Only the end mark missing (or never written, as in dbase_31.dbf): the table is whole.
            if (length == needed && fileExists(expected)) {
                EXPECT_EQ(dump, readFile(expected));
            }
        }
    }
}

TEST(DbfDamaged, TruncatedMemoFilesGiveShortOrEmptyValues) {
    for (const std::string& table : allTables()) {
        std::string memo = memoOf(fixturesDir() + table);
        if (memo.empty()) continue;
        SCOPED_TRACE(table);
        const std::string original = readFile(memo);
        for (std::size_t length : {std::size_t{0}, std::size_t{1}, std::size_t{7}, std::size_t{511}, std::size_t{512},
                                   std::size_t{520}, original.size() / 2, original.size() - 1}) {
            SCOPED_TRACE(length);
            TempDir dir;
            std::string path = copyFixture(table, dir.path());
            writeFile(memoOf(path), original.substr(0, length));
            EXPECT_EQ(readOrRefuse(path), Outcome::Read);
        }
    }
}

TEST(DbfDamaged, WrongCountsLengthsAndVersionsAreReadOrRefused) {
    for (const std::string& table : allTables()) {
        SCOPED_TRACE(table);
        const std::string original = readFile(fixturesDir() + table);
        const Geometry g = geometryOf(original);
        std::vector<std::pair<std::size_t, std::string>> changes;
        auto le16 = [](std::uint32_t v) {
            std::string s(2, '\0');
            dbase::putLe16(s.data(), v);
            return s;
        };
        auto le32 = [](std::uint32_t v) {
            std::string s(4, '\0');
            dbase::putLe32(s.data(), v);
            return s;
        };
        for (std::uint32_t count : {0u, 1u, static_cast<std::uint32_t>(g.count + 1), 0x7FFFFFFFu, 0xFFFFFFFFu})
            changes.emplace_back(4, le32(count));
        for (std::uint32_t h : {0u, 1u, 32u, 33u, static_cast<std::uint32_t>(g.headerLength - 1),
                                static_cast<std::uint32_t>(g.headerLength + 1), 0xFFFFu})
            changes.emplace_back(8, le16(h));
        for (std::uint32_t r : {0u, 1u, static_cast<std::uint32_t>(g.recordLength - 1),
                                static_cast<std::uint32_t>(g.recordLength + 1), 0xFFFFu})
            changes.emplace_back(10, le16(r));
        // The first fields and the last one; dbase_30.dbf alone has 145.
        for (std::size_t f = 0; f < g.fields; f = f + 1 == 8 && g.fields > 9 ? g.fields - 1 : f + 1) {
            std::size_t d = 32 + 32 * f;
            auto length = static_cast<unsigned char>(original[d + 16]);
            for (int l : {0, 1, 255, length - 1, length + 1})
                changes.emplace_back(d + 16, std::string(1, static_cast<char>(l)));
            changes.emplace_back(d + 17, std::string(1, '\xFF'));  // decimals
            changes.emplace_back(d + 11, "I");                     // another type letter
            changes.emplace_back(d + 11, "T");
            changes.emplace_back(d + 18, "\x02");  // nullable
        }
        for (char v : {'\x00', '\x02', '\x04', '\x8C', '\x30', '\x32', '\xE5', '\xF5', '\xFF'})
            changes.emplace_back(0, std::string(1, v));
        changes.emplace_back(32 + 32 * g.fields, " ");  // terminator gone
        for (const auto& [offset, bytes] : changes) {
            if (offset + bytes.size() > original.size()) continue;
            SCOPED_TRACE(std::to_string(offset) + ": " + std::to_string(static_cast<unsigned char>(bytes[0])));
            TempDir dir;
            std::string path = copyFixture(table, dir.path());
            patch(path, offset, bytes);
            readOrRefuse(path);
        }
    }
}

TEST(DbfDamaged, RandomCorruptionIsReadOrRefused) {
    std::mt19937 random(20240229);
    const std::vector<std::string> tables = allTables();
    for (int round = 0; round < 1000; ++round) {
        const std::string& table = tables[static_cast<std::size_t>(round) % tables.size()];
        TempDir dir;
        std::string path = copyFixture(table, dir.path());
        std::string content = readFile(path);
        std::string memo = memoOf(path);
        // Mostly the header, sometimes the records or the memo file.
        std::string target = memo.empty() || round % 3 ? path : memo;
        std::string bytes = target == path ? content : readFile(memo);
        std::size_t span = target == path && round % 4
                               ? std::min<std::size_t>(bytes.size(), dbase::le16(content.data() + 8))
                               : bytes.size();
        if (span == 0) continue;
        int flips = 1 + static_cast<int>(random() % 4);
        for (int i = 0; i < flips; ++i) bytes[random() % span] = static_cast<char>(random() & 0xFF);
        writeFile(target, bytes);
        SCOPED_TRACE(table + " round " + std::to_string(round));
        readOrRefuse(path);
    }
}

TEST(DbfDamaged, EncryptedTablesAreRefused) {
    TempDir dir;
    std::string path = copyFixture("dbase/infused-dbf/dbase_8b.dbf", dir.path());
    patch(path, 0x0F, "\x01");
    try {
        dbase::readTable(path, realFileSystem());
        ADD_FAILURE() << "read";
    } catch (const TableError& e) {
        EXPECT_NE(std::string(e.what()).find("verschlüsselt"), std::string::npos) << e.what();
        EXPECT_EQ(e.kind(), TableError::Kind::Unsupported);  // sound, but not for us to read
    }
}

// The kind tells a damaged table from a sound one whose memo file is gone or of a kind we do not read,
// and the error names the file to look at.
TEST(DbfDamaged, AMissingOrForeignMemoFileIsNotCalledDamage) {
    struct Case {
        const char* table;
        const char* memo;  // the memo file removed, "" for none
        std::size_t offset;
        std::string bytes;  // patched into the table
        TableError::Kind kind;
        const char* file;  // the file the error names, relative to the copy's folder
    };
    for (const Case& c : {Case{"dbase/infused-dbf/dbase_83.dbf", "dbase_83.dbt", 0, "", TableError::Kind::Missing,
                               "dbase_83.dbt"},
                          Case{"dbase/infused-dbf/dbase_83.dbf", "", 0, "\xE5", TableError::Kind::Unsupported,
                               "dbase_83.dbf"},
                          Case{"dbase/infused-dbf/dbase_83.dbf", "", 8, std::string(2, '\0'),
                               TableError::Kind::Damaged, "dbase_83.dbf"}}) {
        SCOPED_TRACE(std::string(c.table) + " " + std::to_string(static_cast<int>(c.kind)));
        TempDir dir;
        std::string path = copyFixture(c.table, dir.path());
        if (*c.memo) std::filesystem::remove(dir.file(c.memo));
        if (!c.bytes.empty()) patch(path, c.offset, c.bytes);
        try {
            dbase::readTable(path, realFileSystem());
            ADD_FAILURE() << "read";
        } catch (const TableError& e) {
            EXPECT_EQ(e.kind(), c.kind) << e.what();
            EXPECT_EQ(fileNameOf(e.file()), c.file) << e.what();
        }
    }
}

// A pointer that leads outside the memo file gives an empty value; the other records are unaffected.
TEST(DbfDamaged, MemoPointersPastTheEndReadAsEmpty) {
    struct Case {
        const char* table;
        std::string pointer;
    };
    for (const Case& c :
         {Case{"dbase/infused-dbf/dbase_83.dbf", "9999999999"}, Case{"dbase/infused-dbf/dbase_83.dbf", "   x     1"},
          Case{"dbase/infused-dbf/dbase_8b.dbf", "    100000"},
          Case{"dbase/infused-dbf/dbase_f5.dbf", "         1"},  // inside the header
          Case{"dbase/DBFFile/vfp9_30_memo.dbf", std::string("\xFF\xFF\xFF\xFF", 4)},
          Case{"dbase/DBFFile/vfp9_30_memo.dbf", std::string("\x7F\x00\x00\x00", 4)}}) {
        SCOPED_TRACE(std::string(c.table) + " " + c.pointer);
        TempDir dir;
        std::string path = copyFixture(c.table, dir.path());
        auto image = dbase::readTable(path, realFileSystem());
        const FieldDef* memoField = nullptr;
        for (const FieldDef& f : image->fields)
            if (f.type == FieldType::Memo) memoField = memoField ? memoField : &f;
        ASSERT_NE(memoField, nullptr);
        std::uint32_t first = image->order.at(0);
        std::size_t offset =
            image->originalHeader.size() + std::size_t{first} * image->recordLength + memoField->offset;
        patch(path, offset, c.pointer);

        auto damaged = dbase::readTable(path, realFileSystem());
        EXPECT_TRUE(dbaseCodec().read(*damaged, *memoField, damaged->row(first)).isNull());
        // Every other value is as it was.
        ASSERT_EQ(damaged->order.size(), image->order.size());
        for (std::size_t i = 1; i < image->order.size(); ++i)
            for (const FieldDef& f : image->fields)
                EXPECT_EQ(dbaseCodec().read(*damaged, f, damaged->row(damaged->order.at(i))),
                          dbaseCodec().read(*image, f, image->row(image->order.at(i))))
                    << f.name;
    }
}

TEST(DbfDamaged, MemoLengthsPastTheEndAreCutAtTheFileEnd) {
    TempDir dir;
    std::string fox = copyFixture("dbase/DBFFile/vfp9_30_memo.dbf", dir.path());
    patch(memoOf(fox), 512 + 4, "\xFF\xFF\xFF\xFF");
    EXPECT_EQ(readOrRefuse(fox), Outcome::Read);
    std::string dbase4 = copyFixture("dbase/infused-dbf/dbase_8b.dbf", dir.path());
    patch(memoOf(dbase4), 512 + 4, "\xFF\xFF\xFF\xFF");
    std::string dump;
    EXPECT_EQ(readOrRefuse(dbase4, &dump), Outcome::Read);
    EXPECT_NE(dump.find("First memo"), std::string::npos);
}

// A dBase III memo file without end marks, with every record pointing at another
// block: each value would run to the end of the file. What is held and what is
// read from the disk stay bounded.
TEST(DbfDamaged, OverlappingMemoValuesDoNotMultiplyTheMemoryOrTheReading) {
    TempDir dir;
    const std::size_t records = 4000;
    auto image = dbase::newTable(dir.file("M.DBF"), {{"Notiz", FieldType::Memo}});
    image->dbase.version = 0x83;
    dbase::writeTable(*image, realFileSystem());
    std::string dbf = readFile(dir.file("M.DBF"));
    dbf.resize(dbf.size() - 1);
    dbase::putLe32(dbf.data() + 4, static_cast<std::uint32_t>(records));
    for (std::size_t i = 1; i <= records; ++i) {
        std::string pointer = std::to_string(i);
        dbf += " " + std::string(10 - pointer.size(), ' ') + pointer;
    }
    writeFile(dir.file("M.DBF"), dbf + "\x1A");
    writeFile(dir.file("M.DBT"), std::string(512 * (records + 1), 'x'));

    FaultyFileSystem counting(realFileSystem());
    auto read = dbase::readTable(dir.file("M.DBF"), counting);
    std::size_t held = 0;
    for (std::size_t h = 1; h <= read->blobs.count(); ++h)
        held += read->blobs.get(static_cast<std::uint32_t>(h)).size();
    const std::uint64_t memoBytes = 512 * (records + 1);
    EXPECT_LE(held, 3 * memoBytes + (1u << 20));
    // The values held may reach their allowance (twice the memo file and a megabyte); the search that finds it
    // spent reads at most as much again. Read to their ends, the values would take the memo file 4000 times over.
    EXPECT_LE(counting.bytesRead(), 2 * (2 * memoBytes + (1u << 20)) + dbf.size());
    EXPECT_EQ(read->blobs.get(1).size(), 512 * records);  // the first value is read whole
}
