// Files as they come from elsewhere: tables naming code pages we convert by
// iconv or not at all, tables naming none, and writes that must not damage a
// field; and the lock file a table leaves beside it.
#include "support/FaultyFileSystem.h"
#include "tablestore/TableFiles.h"
#include "tablestore/TableRoutines.h"
#include "tablestore/TableTestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kimport;
using namespace kimport::test;

namespace {

const FormatSettings kDe = FormatSettings::german();

void patchByte(const std::string& path, std::size_t at, char value) {
    std::string bytes = readFile(path);
    bytes[at] = value;
    writeFile(path, bytes);
}

std::string errorOf(const std::string& path, int codePageIfNone = 0) {
    try {
        Table t;
        t.setPath(path);
        t.CodePageIfNone = codePageIfNone;
        t.OpenTable();
        return {};
    } catch (const TableError& e) {
        return e.what();
    }
}

}  // namespace

TEST(RealWorldFiles, TablesInOtherCodePagesAreConvertedOrRefusedByName) {
    TempDir dir;
    // A Greek dBase table (driver 0xCB = 1253) written and read back.
    auto greek = dbase::newTable(dir.file("GR.DBF"), {{"NAME", FieldType::String, 10}});
    greek->codePage = 1253;
    greek->dbase.languageDriver = 0xCB;
    {
        Table t;
        t.setPath(dir.file("GR.DBF"));
        t.CreateTable(std::move(greek));
        t.BeginAppend();
        t.SetAsString(0, "Αθήνα", kDe);
        t.CloseTable();
    }
    EXPECT_EQ(readFile(dir.file("GR.DBF")).find("\xC1\xE8\xDE\xED\xE1"), 66u);  // after the header and the deletion flag
    EXPECT_EQ(contentsOf(dir.file("GR.DBF")), (Rows{{"Αθήνα"}}));

    // A driver byte naming Kamenický (895): refused with the number, not read as Windows text.
    std::string kam = makeTableWithRows(dir.path(), "KAM.DBF", {{"NAME", FieldType::String, 10}}, 0, {{"x"}});
    patchByte(kam, 0x1D, 0x68);
    EXPECT_NE(errorOf(kam).find("895"), std::string::npos) << errorOf(kam);
    // A Paradox header naming 895 likewise.
    std::string px = makeTableWithRows(dir.path(), "Kam.DB", {{"Name", FieldType::String, 10}}, 0, {{"x"}});
    patchByte(px, 0x6A, static_cast<char>(895 & 0xFF));
    patchByte(px, 0x6B, static_cast<char>(895 >> 8));
    EXPECT_NE(errorOf(px).find("895"), std::string::npos) << errorOf(px);
}

TEST(RealWorldFiles, TablesNamingNoCodePageTakeTheVariantsOrTheOneGiven) {
    TempDir dir;
    // dBase III without a driver byte: DOS 437, where 0x84 is "ä".
    std::string dos = makeTableWithRows(dir.path(), "DOS.DBF", {{"NAME", FieldType::String, 5}}, 0, {{"a"}});
    patchByte(dos, 0x1D, 0);
    std::string bytes = readFile(dos);
    bytes[bytes.size() - 6] = '\x84';
    writeFile(dos, bytes);
    EXPECT_EQ(contentsOf(dos), (Rows{{"ä"}}));
    auto r = runCommand(std::string(KIMPORT_KIMPORT_EXE) + " dump --codepage 1252 '" + dos + "'");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "NAME\n„\n");
    // Visual FoxPro without a driver byte: Windows 1252, where 0xE4 is "ä".
    auto vfp = dbase::newTable(dir.file("VFP.DBF"), {{"NAME", FieldType::String, 5}}, 0x30);
    {
        Table t;
        t.setPath(dir.file("VFP.DBF"));
        t.CreateTable(std::move(vfp));
        t.BeginAppend();
        t.SetAsString(0, "ä", kDe);
        t.CloseTable();
    }
    patchByte(dir.file("VFP.DBF"), 0x1D, 0);
    EXPECT_EQ(contentsOf(dir.file("VFP.DBF")), (Rows{{"ä"}}));
}

TEST(RealWorldFiles, AFailedWriteLeavesTheParadoxFieldAsItWas) {
    TempDir dir;
    std::string path = makeTableWithRows(dir.path(), "Ziel.DB",
                                         {{"Key", FieldType::String, 5}, {"Kurz", FieldType::SmallInt},
                                          {"Lang", FieldType::Integer}, {"Tag", FieldType::Date},
                                          {"Zeit", FieldType::Time}, {"Stempel", FieldType::DateTime}},
                                         1, {{"k1", "5", "6", "24.12.1998", "12:00:00", "24.12.1998 12:00:00"}});
    Table t;
    t.setPath(path);
    t.OpenTable();
    t.BeginEdit();
    EXPECT_THROW(t.SetAsInteger(1, 40000), TableError);
    EXPECT_THROW(t.SetAsFloat(2, 3e9), TableError);
    // Dates and times outside the calendar are field errors too, not unreadable values on disk.
    EXPECT_THROW(t.SetValue(3, Value::ofDate(0)), TableError);
    EXPECT_THROW(t.SetValue(3, Value::ofDate(-1)), TableError);
    EXPECT_THROW(t.SetValue(4, Value::ofTime(kMsPerDay)), TableError);
    EXPECT_THROW(t.SetValue(5, Value::ofDateTime(0.5 * kMsPerDay)), TableError);
    t.PostRecord();
    EXPECT_EQ(contents(t), (Rows{{"k1", "5", "6", "24.12.1998", "12:00:00", "24.12.1998 12:00:00"}}));
}

TEST(RealWorldFiles, ADeletedLockFileLetsNoSecondOpenIn) {
    TempDir dir;
    std::string path = makeTableWithRows(dir.path(), "Steuer.DB", {{"Name", FieldType::String, 5}}, 0, {{"a"}});
    Table first;
    first.setPath(path);
    first.Exclusive = true;
    first.OpenTable();
    ASSERT_TRUE(std::filesystem::remove(dir.file("PKIMPORT.LCK")));
    Table second;
    second.setPath(path);
    second.Exclusive = true;
    EXPECT_THROW(second.OpenTable(), TableError);
    Table reader;
    reader.setPath(path);
    EXPECT_THROW(reader.OpenTable(), TableError);
    first.CloseTable();
    EXPECT_NO_THROW(second.OpenTable());
    second.CloseTable();

    // Whole-file locks of other programs on other files of the folder are none of ours.
    writeFile(dir.file("andere.lock"), "");
    int fd = ::open(dir.file("andere.lock").c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    struct flock whole {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    ASSERT_EQ(::fcntl(fd, F_OFD_SETLK, &whole), 0);
    Table third;
    third.setPath(path);
    third.Exclusive = true;
    EXPECT_NO_THROW(third.OpenTable());
    ::close(fd);
}

TEST(RealWorldFiles, ATableWithAnUnfinishedSaveIsNotReadWhileOthersUseIt) {
    TempDir dir;
    std::string path = makeTableWithRows(dir.path(), "Offen.DB", {{"Name", FieldType::String, 5}}, 0, {{"a"}});
    Table holder;
    holder.setPath(path);
    holder.OpenTable();
    // Another user's save is between its journal and its renames.
    writeFile(path + ".kimp-tmp", readFile(path));
    writeFile(path + ".journal.kimp-tmp", "R\tOffen.DB\nEND\n");
    Table reader;
    reader.setPath(path);
    try {
        reader.OpenTable();
        FAIL() << "opened";
    } catch (const TableError& e) {
        EXPECT_NE(std::string(e.what()).find("Speichern"), std::string::npos) << e.what();
    }
    holder.CloseTable();
    EXPECT_NO_THROW(reader.OpenTable());  // alone now: the save is completed first
    EXPECT_FALSE(std::filesystem::exists(path + ".journal.kimp-tmp"));
}

TEST(RealWorldFiles, CopyingASourceCutShortWarnsOfTheMissingRecords) {
    TempDir dir;
    std::string src = makeTableWithRows(dir.path(), "KURZ.DBF", {{"NAME", FieldType::String, 10}}, 0,
                                        {{"eins"}, {"zwei"}, {"drei"}});
    std::filesystem::resize_file(src, std::filesystem::file_size(src) - 12);
    auto r = runCommand(std::string(KIMPORT_KIMPORT_EXE) + " copy '" + src + "' '" + dir.file("Lang.DB") + "'");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("Warnung: die Quelle ist zu kurz; 1 Datensatz fehlte"), std::string::npos) << r.err;
    EXPECT_EQ(contentsOf(dir.file("Lang.DB")), (Rows{{"eins"}, {"zwei"}}));
}

TEST(RealWorldFiles, ReadingWorksInAFolderTheUserCannotWriteAndWritingIsRefusedClearly) {
    TempDir dir;
    std::string sub = dir.file("nurlesen");
    std::filesystem::create_directory(sub);
    std::string path = makeTableWithRows(sub + "/", "Liste.DB", {{"Name", FieldType::String, 5}}, 0, {{"a"}});
    std::filesystem::remove(sub + "/PKIMPORT.LCK");
    ::chmod(dir.path().c_str(), 0755);
    ::chmod(path.c_str(), 0644);
    ::chmod(sub.c_str(), 0555);
    // As root the test runs the commands as "nobody", for whom the folder is read-only.
    std::string as = ::geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
    auto dump = runCommand(as + KIMPORT_KIMPORT_EXE + " dump '" + path + "'");
    EXPECT_EQ(dump.exitCode, 0) << dump.err;
    EXPECT_EQ(dump.out, "Name\na\n");
    EXPECT_EQ(listNames(sub), std::vector<std::string>{"Liste.DB"});  // not even a lock file
    auto copy = runCommand(as + KIMPORT_KIMPORT_EXE + " copy '" + path + "' '" + sub + "/Neu.DB'");
    EXPECT_EQ(copy.exitCode, 1);
    EXPECT_NE(copy.err.find("dürfen keine Dateien angelegt werden"), std::string::npos) << copy.err;
    ::chmod(sub.c_str(), 0755);
}

TEST(RealWorldFiles, ErrorsSayWhatKindTheyAreAndWhichFile) {
    TempDir dir;
    std::string path = makeTableWithRows(dir.path(), "Art.DB", {{"Nr", FieldType::Integer}}, 1, {{"1"}});
    auto kindOf = [](const std::function<void()>& f) {
        try {
            f();
        } catch (const TableError& e) {
            return e.kind();
        }
        return TableError::Kind::Usage;
    };
    Table holder;
    holder.setPath(path);
    holder.Exclusive = true;
    holder.OpenTable();
    Table other;
    other.setPath(path);
    EXPECT_EQ(kindOf([&] { other.OpenTable(); }), TableError::Kind::Locked);
    holder.BeginAppend();
    holder.SetAsInteger(0, 1);
    EXPECT_EQ(kindOf([&] { holder.PostRecord(); }), TableError::Kind::KeyViolation);
    holder.CancelRecord();
    holder.CloseTable();

    // A file that is no table is damaged, in either format; one that is not there is missing.
    for (const char* name : {"Kaputt.DB", "KAPUTT.DBF"}) {
        writeFile(dir.file(name), std::string(100, 'x'));
        Table damaged;
        damaged.setPath(dir.file(name));
        EXPECT_EQ(kindOf([&] { damaged.OpenTable(); }), TableError::Kind::Damaged) << name;
    }
    Table missing;
    missing.setPath(dir.file("Fehlt.DB"));
    EXPECT_EQ(kindOf([&] { missing.OpenTable(); }), TableError::Kind::Missing);
    // Both readers report a file they cannot read alike: an I/O failure of the table store.
    for (const char* name : {"Weg.DB", "WEG.DBF"}) {
        FaultyFileSystem faulty(realFileSystem());
        std::string p = makeTableWithRows(dir.path(), name, {{"NR", FieldType::String, 3}}, 0, {{"1"}});
        Table t(faulty);
        t.setPath(p);
        faulty.failAtOperation = faulty.operationCount() + 1;
        try {
            t.OpenTable();
            ADD_FAILURE() << name << " opened";
        } catch (const TableError& e) {
            EXPECT_EQ(e.kind(), TableError::Kind::Io) << name << ": " << e.what();
        }
    }
}
