// What a save must respect: read-only files, the files' mode, owner and links,
// another program's change, readers that look between two renames, and the
// record positions of dBase files.
#include "tablestore/TableFiles.h"
#include "tablestore/TableTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

using namespace kimport;
using namespace kimport::test;

namespace {

const FormatSettings kDe = FormatSettings::german();

struct stat statOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st;
}

}  // namespace

TEST(SaveGuards, AReadOnlyTableIsRefusedBeforeAnythingChanges) {
    TempDir dir;
    std::string path = makeTableWithRows(dir.path(), "Fest.DB", {{"Name", FieldType::String, 10}}, 0, {{"a"}});
    ::chmod(path.c_str(), 0444);
    const std::string before = readFile(path);
    Table t;
    t.setPath(path);
    t.OpenTable();  // reading stays possible
    try {
        t.CheckWritable();
        FAIL() << "writable";
    } catch (const TableError& e) {
        EXPECT_NE(std::string(e.what()).find("schreibgeschützt"), std::string::npos) << e.what();
    }
    EXPECT_THROW(t.BeginAppend(), TableError);
    t.CloseTable();
    EXPECT_EQ(readFile(path), before);
    EXPECT_EQ(statOf(path).st_mode & 07777, 0444u);
}

TEST(SaveGuards, ASaveKeepsModeOwnerAndGroupOfEveryFile) {
    TempDir dir;
    std::string path = makeTableWithRows(dir.path(), "Privat.DB",
                                         {{"Nr", FieldType::Integer}, {"Name", FieldType::String, 10},
                                          {"Notiz", FieldType::Memo, 5}},
                                         1, {{"1", "a", std::string(50, 'x')}});
    const std::string mb = dir.file("Privat.MB"), px = dir.file("Privat.PX");
    const bool root = ::geteuid() == 0;
    const gid_t group = root ? 100 : ::getegid();
    const uid_t owner = root ? 65534 : ::geteuid();
    for (const std::string& f : {path, mb, px}) {
        ::chmod(f.c_str(), 0640);
        if (root) {
            ASSERT_EQ(::chown(f.c_str(), owner, group), 0);
        }
    }
    {
        Table t;
        t.setPath(path);
        t.OpenTable();
        t.BeginAppend();
        t.SetAsInteger(0, 2);
        t.SetAsString(1, "b", kDe);
        t.SetAsString(2, std::string(60, 'y'), kDe);
        t.CloseTable();
    }
    EXPECT_EQ(contentsOf(path).size(), 2u);
    for (const std::string& f : {path, mb, px}) {
        SCOPED_TRACE(f);
        struct stat st = statOf(f);
        EXPECT_EQ(st.st_mode & 07777, 0640u);
        EXPECT_EQ(st.st_gid, group);
        EXPECT_EQ(st.st_uid, owner);
    }
}

TEST(SaveGuards, ATableReachedThroughASymbolicLinkIsWrittenWhereTheLinkPoints) {
    TempDir real, elsewhere;
    std::string path = makeTableWithRows(real.path(), "Echt.DB", {{"Nr", FieldType::Integer}, {"Name", FieldType::String, 10}},
                                         1, {{"1", "a"}});
    const std::string link = elsewhere.file("Echt.DB");
    std::filesystem::create_symlink(path, link);
    Table t;
    t.setPath(link);
    t.OpenTable();
    t.BeginAppend();
    t.SetAsInteger(0, 2);
    t.SetAsString(1, "b", kDe);
    t.CloseTable();
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(contentsOf(path), (Rows{{"1", "a"}, {"2", "b"}}));
    EXPECT_EQ(contentsOf(link), contentsOf(path));
    // The index beside the real table was rebuilt; nothing was put beside the link.
    EXPECT_EQ(listNames(elsewhere.path()), std::vector<std::string>{"Echt.DB"});
    auto px = runCommand(std::string(KIMPORT_PXREAD_EXE) + " '" + path + "'");
    EXPECT_EQ(px.exitCode, 0) << px.err;
}

TEST(SaveGuards, ATableChangedOrDeletedByAnotherProgramMeanwhileIsNotOverwritten) {
    TempDir dir;
    std::string path = makeTableWithRows(dir.path(), "Kunden.DBF", {{"Name", FieldType::String, 10}}, 0, {{"a"}});
    std::string other = makeTableWithRows(dir.path(), "Andere.DBF", {{"Name", FieldType::String, 10}}, 0,
                                          {{"fremd"}, {"daten"}});
    Table t;
    t.setPath(path);
    t.OpenTable();
    t.BeginAppend();
    t.SetAsString(0, "meins", kDe);
    t.PostRecord();
    // Another program that does not lock copies its table over ours during the run.
    std::filesystem::copy_file(other, path, std::filesystem::copy_options::overwrite_existing);
    const std::string theirs = readFile(path);
    try {
        t.CloseTable();
        FAIL() << "saved";
    } catch (const TableError& e) {
        EXPECT_NE(std::string(e.what()).find("inzwischen von einem anderen Programm geändert"), std::string::npos)
            << e.what();
    }
    EXPECT_EQ(readFile(path), theirs);

    Table u;
    u.setPath(path);
    u.OpenTable();
    u.BeginAppend();
    u.SetAsString(0, "weg", kDe);
    u.PostRecord();
    std::filesystem::remove(path);
    EXPECT_THROW(u.Flush(), TableError);
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(SaveGuards, DBaseMemoFilesOnlyGrowSoAnOldDataFileStillFindsItsMemos) {
    TempDir dir, snapshot;
    std::string path = copyFixture("dbase/infused-dbf/dbase_8b.dbf", dir.path());
    const std::string memo = dir.file("dbase_8b.dbt");
    const std::string oldDump = dumpOf(path);
    std::filesystem::copy_file(path, snapshot.file("dbase_8b.dbf"));
    {
        Table t;
        t.setPath(path);
        t.OpenTable();
        t.MoveFirst();
        t.BeginEdit();
        t.SetAsString(t.FieldNamed("MEMO"), "geändert", kDe);
        t.PostRecord();
        t.BeginAppend();
        t.SetAsString(t.FieldNamed("MEMO"), "ganz neu", kDe);
        t.CloseTable();
    }
    // A reader between the two renames sees the old .DBF with the new .DBT: the old table, whole.
    std::filesystem::copy_file(memo, snapshot.file("dbase_8b.dbt"));
    EXPECT_EQ(dumpOf(snapshot.file("dbase_8b.dbf")), oldDump);
    EXPECT_NE(dumpOf(path).find("geändert"), std::string::npos);
    EXPECT_NE(dumpOf(path).find("ganz neu"), std::string::npos);
    // Packing writes the memo file afresh, without the replaced value.
    const auto grown = std::filesystem::file_size(memo);
    {
        Table t;
        t.setPath(path);
        t.OpenTable();
        t.PackTable();
        t.CloseTable();
    }
    EXPECT_LT(std::filesystem::file_size(memo), grown);
    EXPECT_NE(dumpOf(path).find("ganz neu"), std::string::npos);
}

TEST(SaveGuards, DeletedDBaseRecordsStayWhereTheyWereUntilTheTableIsPacked) {
    TempDir dir;
    std::string path = makeTableWithRows(dir.path(), "Liste.DBF", {{"Name", FieldType::String, 5}}, 0,
                                         {{"r1"}, {"r2"}, {"r3"}, {"r4"}});
    {
        Table t;
        t.setPath(path);
        t.OpenTable();
        t.GoToRecord(2);
        t.DeleteRecord();
        t.CloseTable();
    }
    {
        Table t;
        t.setPath(path);
        t.OpenTable();
        t.GoToRecord(3);  // r4
        t.BeginEdit();
        t.SetAsString(0, "r4neu", kDe);
        t.BeginAppend();
        t.SetAsString(0, "r5", kDe);
        t.CloseTable();
    }
    auto image = dbase::readTable(path, realFileSystem());
    std::string flags, names;
    for (std::uint32_t r = 0; r < image->rowCount(); ++r) {
        flags += image->row(r)[0];
        names += std::string(image->row(r) + 1, 5) + "|";
    }
    EXPECT_EQ(flags, " *   ");
    EXPECT_EQ(names, "r1   |r2   |r3   |r4neu|r5   |");
    // A deleted last record stays before records appended later.
    {
        Table t;
        t.setPath(path);
        t.OpenTable();
        t.GoToRecord(4);  // r5
        t.DeleteRecord();
        t.CloseTable();
        t.OpenTable();
        t.BeginAppend();
        t.SetAsString(0, "r6", kDe);
        t.CloseTable();
    }
    image = dbase::readTable(path, realFileSystem());
    flags.clear();
    for (std::uint32_t r = 0; r < image->rowCount(); ++r) flags += image->row(r)[0];
    EXPECT_EQ(flags, " *  * ");
    {
        Table t;
        t.setPath(path);
        t.OpenTable();
        t.PackTable();
        t.CloseTable();
    }
    EXPECT_EQ(dbase::readTable(path, realFileSystem())->rowCount(), 4u);
    EXPECT_EQ(contentsOf(path), (Rows{{"r1"}, {"r3"}, {"r4neu"}, {"r6"}}));
}

TEST(SaveGuards, NewParadoxTablesWith16KBlocksAreLevel7AndTheBlockSizeGrowsWithTheRecords) {
    TempDir dir;
    std::vector<FieldSpec> wide;
    for (int i = 0; i < 6; ++i) wide.push_back({"T" + std::to_string(i), FieldType::String, 250});
    std::string path = makeTableWithRows(dir.path(), "Breit.DB", wide, 0, {{"a"}});
    std::string bytes = readFile(path);
    EXPECT_EQ(static_cast<unsigned char>(bytes[0x05]), 16);
    EXPECT_EQ(static_cast<unsigned char>(bytes[0x39]), 0x0C);
    EXPECT_EQ(runCommand(std::string(KIMPORT_PXREAD_EXE) + " '" + path + "'").exitCode, 0);

    // 1000-byte records in 1 KB blocks: one per block, 65535 at most; one more needs 2 KB blocks.
    auto image = paradox::newTable(dir.file("Viele.DB"), {{"A", FieldType::String, 250}, {"B", FieldType::String, 250},
                                                           {"C", FieldType::String, 250}, {"D", FieldType::String, 250}},
                                   0);
    image->paradox.blockSizeKb = 1;
    for (int i = 0; i < 65536; ++i) {
        std::uint32_t r = image->newRow();
        image->row(r)[0] = 'x';
        image->order.push_back(r);
    }
    paradox::writeTable(*image, realFileSystem());
    bytes = readFile(dir.file("Viele.DB"));
    EXPECT_EQ(static_cast<unsigned char>(bytes[0x05]), 2);
    EXPECT_EQ(paradox::readTable(dir.file("Viele.DB"), realFileSystem())->order.size(), 65536u);

    // A level-4 table keeps its level: at most 4 KB blocks, and what cannot fit is refused before any work.
    Table t;
    t.setPath(dir.file("Viele.DB"));
    t.OpenTable();
    EXPECT_NO_THROW(t.CheckCapacity(65535ull * 4));
    EXPECT_THROW(t.CheckCapacity(65535ull * 4 + 1), TableError);
}

TEST(SaveGuards, DBaseIVMemosArePaddedAsDBasePadsThem) {
    TempDir dir;
    std::string path = makeTableWithRows(dir.path(), "Memo.DBF", {{"Notiz", FieldType::Memo}}, 0, {{"Hallo"}});
    std::string dbt = readFile(dir.file("Memo.DBT"));
    ASSERT_GE(dbt.size(), 1024u);
    EXPECT_EQ(dbt.substr(512, 4), std::string("\xFF\xFF\x08\x00", 4));
    EXPECT_EQ(dbt.substr(520, 5), "Hallo");
    EXPECT_EQ(dbt.substr(525, 4), "\x1F \x1F ");  // readers that stop at 0x1F take the value whole
}

TEST(SaveGuards, AParadoxTableWhoseLastBlockIsCutShortIsReadWhole) {
    int checked = 0;
    for (const std::string& table : fixtureTables("paradox")) {
        std::string bytes = readFile(fixturesDir() + table);
        auto le16 = [&](std::size_t at) {
            return static_cast<std::size_t>(static_cast<unsigned char>(bytes[at]) |
                                            static_cast<unsigned char>(bytes[at + 1]) << 8);
        };
        const std::size_t recordSize = le16(0), headerSize = le16(2), blockSize = 1024 * static_cast<unsigned char>(bytes[5]);
        std::size_t used = headerSize;
        for (std::size_t b = headerSize; b + 6 <= bytes.size(); b += blockSize) {
            auto add = static_cast<std::int16_t>(le16(b + 4));
            used = std::max(used, b + 6 + (add < 0 ? 0 : static_cast<std::size_t>(add) + recordSize));
        }
        if (used >= bytes.size()) continue;
        SCOPED_TRACE(table);
        TempDir dir;
        std::string path = copyFixture(table, dir.path());
        writeFile(path, bytes.substr(0, used));
        EXPECT_EQ(dumpOf(path), readFile(fixturesDir() + "expected/" + table + ".csv"));
        ++checked;
    }
    EXPECT_GE(checked, 5);
}
