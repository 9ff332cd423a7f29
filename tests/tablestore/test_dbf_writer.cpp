// Writing dBase tables: deleted records, memo file layouts, index files we
// would leave stale, failures on the way, and the writes a large table takes.
#include "support/FaultyFileSystem.h"
#include "common/FileSets.h"
#include "common/Text.h"
#include "tablestore/FileSetWriter.h"
#include "tablestore/FormatCodec.h"
#include "tablestore/TableError.h"
#include "tablestore/TableFiles.h"
#include "tablestore/TableTestSupport.h"
#include "tablestore/dbase/DbfFormat.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>
#include <sstream>

using namespace kimport;
using namespace kimport::test;

namespace {

std::map<std::string, std::string> snapshot(const std::string& dir) {
    std::map<std::string, std::string> files;
    for (const std::string& name : listNames(dir)) files[name] = readFile(dir + name);
    return files;
}

void put(TableImage& t, std::uint32_t row, const std::string& name, const Value& v) {
    dbaseCodec().write(t, field(t, name), t.row(row), v);
}

std::string expectRefusal(const std::function<void()>& f) {
    try {
        f();
    } catch (const TableError& e) {
        return e.what();
    }
    ADD_FAILURE() << "not refused";
    return {};
}

// Records of a written file, by deletion flag.
std::multiset<std::string> records(const std::string& file, char flag) {
    std::size_t header = dbase::le16(file.data() + 8), length = dbase::le16(file.data() + 10);
    std::multiset<std::string> out;
    for (std::size_t i = 0; i < dbase::le32(file.data() + 4); ++i) {
        std::string r = file.substr(header + i * length, length);
        if (r[0] == flag) out.insert(r);
    }
    return out;
}

}  // namespace

TEST(DbfWriter, DeletedRecordsStayWithTheirFlagAndBytes) {
    TempDir dir;
    std::string path = copyFixture("dbase/DBFFile/PYACFL.DBF", dir.path());
    const std::string before = readFile(path);
    auto image = dbase::readTable(path, realFileSystem());
    dbase::writeTable(*image, realFileSystem());
    const std::string after = readFile(path);
    EXPECT_EQ(records(after, '*'), records(before, '*'));
    EXPECT_EQ(records(after, '*').size(), 30u);
    EXPECT_EQ(records(after, ' '), records(before, ' '));
}

TEST(DbfWriter, DBaseIIIMemoFileEndsValuesWithTwoEndMarks) {
    TempDir dir;
    std::string path = copyFixture("dbase/infused-dbf/dbase_83.dbf", dir.path());
    auto image = dbase::readTable(path, realFileSystem());
    dbase::writeTable(*image, realFileSystem());
    std::string memo = readFile(dir.file("dbase_83.dbt"));
    ASSERT_EQ(memo.size() % 512, 0u);
    EXPECT_EQ(dbase::le32(memo.data()), memo.size() / 512);  // next free block
    EXPECT_EQ(memo.substr(4, 508), std::string(508, '\0'));
    std::string first = image->blobs.get(1);
    EXPECT_EQ(memo.substr(512, first.size() + 2), first + "\x1A\x1A");
    // Pointers: ten digits, right-aligned, the first value in block 1.
    std::string dbf = readFile(path);
    const FieldDef& desc = field(*image, "DESC");
    EXPECT_EQ(dbf.substr(image->originalHeader.size() + desc.offset, 10), "         1");
}

TEST(DbfWriter, DBaseIVMemoFileHasItsHeaderAndLengthPrefixes) {
    TempDir dir;
    std::string path = copyFixture("dbase/infused-dbf/dbase_8b.dbf", dir.path());
    auto image = dbase::readTable(path, realFileSystem());
    dbase::writeTable(*image, realFileSystem());
    std::string memo = readFile(dir.file("dbase_8b.dbt"));
    ASSERT_EQ(memo.size() % 512, 0u);
    EXPECT_EQ(dbase::le32(memo.data()), memo.size() / 512);
    EXPECT_EQ(memo.substr(8, 8), std::string("DBASE_8B", 8));
    EXPECT_EQ(memo.substr(0x10, 4), std::string("\x00\x00\x02\x01", 4));
    EXPECT_EQ(dbase::le16(memo.data() + 0x14), 512u);
    EXPECT_EQ(memo.substr(512, 4), std::string("\xFF\xFF\x08\x00", 4));
    EXPECT_EQ(dbase::le32(memo.data() + 516), 8u + 12u);  // "First memo\r\n" and the block header
    EXPECT_EQ(memo.substr(520, 12), "First memo\r\n");
}

TEST(DbfWriter, FoxProMemoFileIsBigEndianWithSmallBlocks) {
    for (const char* table : {"dbase/infused-dbf/dbase_f5.dbf", "dbase/DBFFile/vfp9_30_memo.dbf"}) {
        SCOPED_TRACE(table);
        TempDir dir;
        std::string path = copyFixture(table, dir.path());
        auto image = dbase::readTable(path, realFileSystem());
        std::uint32_t r = image->newRow();
        image->order.push_back(r);
        const FieldDef* memoField = nullptr;
        for (const FieldDef& f : image->fields)
            if (!memoField && f.type == FieldType::Memo) memoField = &f;
        ASSERT_NE(memoField, nullptr);
        put(*image, r, memoField->name, Value::ofText("Ein neues Memo"));
        const std::string oldMemo = readFile(path.substr(0, path.size() - 4) + ".fpt");
        dbase::writeTable(*image, realFileSystem());
        std::string memo = readFile(path.substr(0, path.size() - 4) + ".fpt");
        EXPECT_EQ(dbase::be32(memo.data()) * 64, memo.size());  // next free block counts from the file start
        EXPECT_EQ(memo.substr(4, 4), std::string("\x00\x00\x00\x40", 4));
        // The old values stay where they were; the new one is appended as a text block.
        EXPECT_EQ(memo.substr(512, oldMemo.size() - 512), oldMemo.substr(512));
        std::size_t at = (oldMemo.size() + 63) / 64 * 64;
        EXPECT_EQ(dbase::be32(memo.data() + at), 1u);
        EXPECT_EQ(memo.substr(at + 8, dbase::be32(memo.data() + at + 4)), "Ein neues Memo");
        EXPECT_EQ(dumpImage(*dbase::readTable(path, realFileSystem())), dumpImage(*image));
    }
}

TEST(DbfWriter, TheImageStaysValidForFurtherEditsAndWrites) {
    TempDir dir;
    std::string path = copyFixture("dbase/infused-dbf/dbase_8b.dbf", dir.path());
    auto image = dbase::readTable(path, realFileSystem());
    dbase::writeTable(*image, realFileSystem());
    std::uint32_t r = image->newRow();
    image->order.push_back(r);
    put(*image, r, "CHARACTER", Value::ofText("Neu"));
    put(*image, r, "MEMO", Value::ofText("neues Memo"));
    put(*image, image->order.at(0), "MEMO", Value::ofText("geändert"));
    const std::string dump = dumpImage(*image);
    dbase::writeTable(*image, realFileSystem());
    EXPECT_EQ(dumpImage(*image), dump);
    EXPECT_EQ(dumpImage(*dbase::readTable(path, realFileSystem())), dump);
}

TEST(DbfWriter, FoxProAutoIncrementNextValueFollowsTheRows) {
    TempDir dir;
    std::string path = copyFixture("dbase/infused-dbf/dbase_31.dbf", dir.path());
    auto image = dbase::readTable(path, realFileSystem());
    std::uint32_t r = image->newRow();
    image->order.push_back(r);
    put(*image, r, "PRODUCTID", Value::ofInteger(200));
    put(*image, r, "PRODUCTNAM", Value::ofText("Lakkalikööri"));
    dbase::writeTable(*image, realFileSystem());
    std::string file = readFile(path);
    EXPECT_EQ(dbase::le32(file.data() + 32 + 0x13), 201u);
    auto back = dbase::readTable(path, realFileSystem());
    EXPECT_EQ(back->lastAutoInc, 200);
    std::uint32_t last = back->order.at(back->order.size() - 1);
    EXPECT_EQ(dbaseCodec().read(*back, field(*back, "PRODUCTNAM"), back->row(last)), Value::ofText("Lakkalikööri"));
    // A nullable field the new record was not given stays empty (0 would be a value).
    EXPECT_TRUE(dbaseCodec().isNull(*back, field(*back, "SUPPLIERID"), back->row(last)));
}

TEST(DbfWriter, RefusesTablesWhoseIndexFilesWouldGoStale) {
    TempDir dir;
    std::string path = copyFixture("dbase/infused-dbf/dbase_8b.dbf", dir.path());
    auto image = dbase::readTable(path, realFileSystem());
    EXPECT_NO_THROW(dbase::checkWritable(*image, realFileSystem()));

    writeFile(dir.file("DBASE_8B.MDX"), "index");
    EXPECT_NO_THROW(dbase::checkWritable(*image, realFileSystem()));  // not the production index
    image->originalHeader[0x1C] = 0x01;
    EXPECT_EQ(expectRefusal([&] { dbase::checkWritable(*image, realFileSystem()); }),
              "Die Tabelle dbase_8b.dbf hat die Indexdatei DBASE_8B.MDX, die beim Schreiben nicht nachgeführt werden "
              "kann. Bitte die Indexdatei entfernen oder die Tabelle mit dBASE neu indizieren.");
    std::filesystem::remove(dir.file("DBASE_8B.MDX"));
    EXPECT_NO_THROW(dbase::checkWritable(*image, realFileSystem()));

    writeFile(dir.file("dbase_8b.ndx"), "index");
    EXPECT_NE(expectRefusal([&] { dbase::checkWritable(*image, realFileSystem()); }).find("Indexdatei dbase_8b.ndx"),
              std::string::npos);

    std::string fox = copyFixture("dbase/infused-dbf/dbase_31.dbf", dir.path());
    auto foxImage = dbase::readTable(fox, realFileSystem());
    EXPECT_NO_THROW(dbase::checkWritable(*foxImage, realFileSystem()));
    writeFile(dir.file("dbase_31.cdx"), "index");
    std::string message = expectRefusal([&] { dbase::checkWritable(*foxImage, realFileSystem()); });
    EXPECT_NE(message.find("Indexdatei dbase_31.cdx"), std::string::npos) << message;
    EXPECT_NE(message.find("mit FoxPro neu indizieren"), std::string::npos) << message;
}

TEST(DbfWriter, RefusesVersionsItDoesNotWrite) {
    TempDir dir;
    std::string path = copyFixture("dbase/dbfread/invalid_value.dbf", dir.path());
    const std::string before = readFile(path);
    for (int version : {0x04, 0x8C, 0x43, 0xCB, 0x02, 0xE5}) {
        SCOPED_TRACE(version);
        auto image = dbase::readTable(path, realFileSystem());
        image->dbase.version = version;
        EXPECT_NE(expectRefusal([&] { dbase::checkWritable(*image, realFileSystem()); }).find("nicht geschrieben"),
                  std::string::npos);
        expectRefusal([&] { dbase::writeTable(*image, realFileSystem()); });
        EXPECT_EQ(readFile(path), before);
    }
}

// Whatever fails on the way, the table on disk is the old one, or (after the
// journal was completed) the new one once recovered; never a mix.
TEST(DbfWriter, FailuresLeaveTheOldOrTheNewTable) {
    TempDir original;
    const std::string source = copyFixture("dbase/infused-dbf/dbase_83.dbf", original.path());
    auto edit = [](TableImage& image) {
        put(image, image.order.at(0), "NAME", Value::ofText("Geändert"));
        put(image, image.order.at(0), "DESC", Value::ofText(std::string(3000, 'n')));
    };
    std::string newDump;
    int operations = 0;
    {
        TempDir dir;
        std::string path = copyFixture("dbase/infused-dbf/dbase_83.dbf", dir.path());
        FaultyFileSystem counting(realFileSystem());
        auto image = dbase::readTable(path, counting);
        int beforeWrite = counting.operationCount();
        edit(*image);
        newDump = dumpImage(*image);
        dbase::writeTable(*image, counting);
        operations = counting.operationCount() - beforeWrite;
    }
    ASSERT_GT(operations, 4);
    int keptOld = 0, gotNew = 0;

    auto attempt = [&](const std::function<void(FaultyFileSystem&)>& arm, const std::string& what) {
        SCOPED_TRACE(what);
        TempDir dir;
        std::string path = copyFixture("dbase/infused-dbf/dbase_83.dbf", dir.path());
        const auto before = snapshot(dir.path());
        auto image = dbase::readTable(path, realFileSystem());
        edit(*image);
        FaultyFileSystem faulty(realFileSystem());
        arm(faulty);
        bool failed = false;
        try {
            dbase::writeTable(*image, faulty);
        } catch (const IoError&) {
            failed = true;
        }
        if (!failed) {
            EXPECT_EQ(dumpImage(*dbase::readTable(path, realFileSystem())), newDump);
            return;
        }
        // What the next open does: finish or roll back an interrupted swap.
        if (fileExists(FileSetWriter::journalPath(path))) FileSetWriter::recover(realFileSystem(), path);
        const auto after = snapshot(dir.path());
        if (after != before) {
            EXPECT_EQ(dumpImage(*dbase::readTable(path, realFileSystem())), newDump);
            ++gotNew;
        } else {
            ++keptOld;
        }
        for (const auto& [name, content] : after) EXPECT_FALSE(endsWith(name, kTempSuffix)) << name;
    };
    for (int n = 1; n <= operations; ++n)
        attempt([n](FaultyFileSystem& f) { f.failAtOperation = n; }, "operation " + std::to_string(n));
    for (std::uint64_t space : {0ull, 100ull, 600ull, 30000ull, 60000ull, 100000ull})
        attempt([space](FaultyFileSystem& f) { f.spaceLeft = space; }, "space " + std::to_string(space));
    attempt([](FaultyFileSystem& f) { f.refuseRenames = true; }, "renames refused");
    EXPECT_GT(keptOld, 5);
    EXPECT_GT(gotNew, 0);  // failures after the journal are completed by recovery
}

// A million records go out in large pieces, each byte once: writing record by record, or rewriting what was
// written, would show in the count of writes or of bytes. (bench_tablestore times it.)
TEST(DbfWriter, WritesAMillionRecordsInLargePiecesEachByteOnce) {
    TempDir dir;
    // 1 + 20 + 11 + 8 = 40 bytes per record.
    auto image = dbase::newTable(
        dir.file("GROSS.DBF"), {{"Name", FieldType::String, 20}, {"Nr", FieldType::Integer}, {"Da", FieldType::Date}});
    ASSERT_EQ(image->recordLength, 40);
    const std::uint32_t count = 1000000;
    std::uint32_t first = image->newRow();
    put(*image, first, "NAME", Value::ofText("Kunde"));
    put(*image, first, "DA", Value::ofDate(dayNumberFromCivil(2024, 1, 2)));
    for (std::uint32_t r = 1; r < count; ++r) image->appendRow(image->row(0));
    for (std::uint32_t r = 0; r < count; ++r) {
        put(*image, r, "NR", Value::ofInteger(r));
        image->order.push_back(r);
    }
    FaultyFileSystem counting(realFileSystem());
    dbase::writeTable(*image, counting);
    std::string file = readFile(dir.file("GROSS.DBF"));
    ASSERT_EQ(file.size(), 32u + 3 * 32 + 1 + std::size_t{count} * 40 + 1);
    EXPECT_EQ(file.substr(32 + 3 * 32 + 1 + 999999 * std::size_t{40}, 40), " Kunde                    99999920240102");
    // The journal and the swap take a dozen operations or so; the data goes in pieces of a megabyte.
    EXPECT_LE(counting.operationCount(), 24 + static_cast<int>(file.size() >> 20));
    EXPECT_LE(counting.bytesWritten(), file.size() + 4096);  // the journal's few bytes besides
    EXPECT_EQ(counting.bytesRead(), 0u);                     // nothing of the new file is read back
}
