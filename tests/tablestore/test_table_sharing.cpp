// Two users of one table, interrupted saves found again later, and a cursor
// left in an awkward place: nothing committed may be lost.
#include "support/FaultyFileSystem.h"
#include "tablestore/FileSetWriter.h"
#include "tablestore/TableTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

using namespace kimport;
using namespace kimport::test;

namespace {

const FormatSettings kDe = FormatSettings::german();

void makeTable(const std::string& dir, const std::string& name) {
    MakeTable(dir, name, {{"Nr", FieldType::Integer, 0}, {"Notiz", FieldType::Memo, 5}}, 1);
}

void append(Table& t, int nr, const std::string& memo) {
    t.BeginAppend();
    t.SetAsInteger(0, nr);
    t.SetAsString(1, memo, kDe);
    t.PostRecord();
}

// Saves a change but dies after the journal: the new table is committed, not yet in place.
void interruptedSave(const std::string& path, int nr) {
    FaultyFileSystem faulty(realFileSystem());
    Table t(faulty);
    t.setPath(path);
    t.Exclusive = true;
    t.OpenTable();
    append(t, nr, std::string(100, 'n') + std::to_string(nr));  // a memo in the .MB
    // The journal gets into place; the table's own files do not.
    faulty.refuseRename = [](const std::string&, const std::string& to) { return to.find(".journal") == std::string::npos; };
    EXPECT_THROW(t.CloseTable(), TableError);
}

}  // namespace

TEST(TableSharing, ATableOfTheSameNameInTheOtherFormatLeavesAnInterruptedSaveAlone) {
    TempDir dir;
    makeTable(dir.path(), "KUNDEN.DB");
    MakeTable(dir.path(), "KUNDEN.DBF", {{"NR", FieldType::Integer, 0}});
    interruptedSave(dir.file("KUNDEN.DB"), 7);
    dumpOf(dir.file("KUNDEN.DBF"));  // opening the dBase table must not touch the Paradox table's files
    EXPECT_EQ(dumpOf(dir.file("KUNDEN.DB")), "Nr,Notiz\n7," + std::string(100, 'n') + "7\n");
}

TEST(TableSharing, ASaveAfterAnInterruptedOneCompletesItFirst) {
    TempDir dir;
    makeTable(dir.path(), "T.DB");
    interruptedSave(dir.file("T.DB"), 1);
    {
        // The next save dies half-way through writing; the first save's files must stay usable.
        FaultyFileSystem faulty(realFileSystem());
        faulty.spaceLeft = 3000;
        Table t(faulty);
        t.setPath(dir.file("T.DB"));
        t.Exclusive = true;
        t.OpenTable();
        append(t, 2, std::string(5000, 'x'));
        EXPECT_THROW(t.CloseTable(), TableError);
    }
    std::string d = dumpOf(dir.file("T.DB"));
    EXPECT_EQ(d.substr(0, d.find('\n', 9) + 1), "Nr,Notiz\n1," + std::string(100, 'n') + "1\n");
}

TEST(TableSharing, AnInterruptedSaveIsFoundFromAnotherWorkingDirectory) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("sub"));
    makeTable(dir.file("sub"), "T.DB");
    std::string cwd = std::filesystem::current_path().string();
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    interruptedSave("sub/T.DB", 3);  // saved under a relative name
    ASSERT_EQ(chdir("/"), 0);
    std::string d = dumpOf(dir.file("sub/T.DB"));
    ASSERT_EQ(chdir(cwd.c_str()), 0);
    EXPECT_EQ(d, "Nr,Notiz\n3," + std::string(100, 'n') + "3\n");
}

TEST(TableSharing, NoUserWritesWhileAnotherReadsAndNoChangeByOthersIsOverwritten) {
    TempDir dir;
    makeTable(dir.path(), "T.DB");
    makeTable(dir.path(), "ANDERS.DB");
    {
        Table a, b;
        a.setPath(dir.file("T.DB"));
        b.setPath(dir.file("T.DB"));
        a.OpenTable();
        b.OpenTable();
        EXPECT_THROW(a.BeginAppend(), TableError);  // b reads it too
        EXPECT_THROW(b.BeginAppend(), TableError);  // and a still does: its lock was kept
        a.CloseTable();
        append(b, 1, "von B");
    }
    EXPECT_EQ(dumpOf(dir.file("T.DB")), "Nr,Notiz\n1,von B\n");

    // A program that does not lock replaces the table while we read it.
    Table a;
    a.setPath(dir.file("T.DB"));
    a.OpenTable();
    Table other;
    other.setPath(dir.file("ANDERS.DB"));
    other.OpenTable();
    append(other, 9, "fremd");
    other.CloseTable();
    std::filesystem::copy_file(dir.file("ANDERS.DB"), dir.file("T.DB"), std::filesystem::copy_options::overwrite_existing);
    std::filesystem::copy_file(dir.file("ANDERS.MB"), dir.file("T.MB"), std::filesystem::copy_options::overwrite_existing);
    try {
        a.BeginAppend();
        FAIL() << "the change of the other program would have been overwritten";
    } catch (const TableError& e) {
        EXPECT_NE(std::string(e.what()).find("inzwischen von einem anderen Programm geändert"), std::string::npos);
    }
}

TEST(TableSharing, ClosingWithARecordThatCannotBePostedKeepsThePostedOnes) {
    TempDir dir;
    makeTable(dir.path(), "T.DB");
    Table t;
    t.setPath(dir.file("T.DB"));
    t.OpenTable();
    for (int i = 1; i <= 3; ++i) append(t, i, "ok");
    t.BeginAppend();
    t.SetAsInteger(0, 2);  // a duplicate key, still pending
    EXPECT_THROW(t.CloseTable(), TableError);
    EXPECT_EQ(dumpOf(dir.file("T.DB")), "Nr,Notiz\n1,ok\n2,ok\n3,ok\n");
}

TEST(TableSharing, DeletingTheLastVisibleRecordUnderAFilterLeavesNoCurrentRecord) {
    TempDir dir;
    makeTable(dir.path(), "T.DB");
    Table t;
    t.setPath(dir.file("T.DB"));
    t.OpenTable();
    append(t, 1, "y");
    append(t, 2, "x");
    t.FilterRecords("[Notiz]='x'");
    t.DeleteRecord();
    EXPECT_EQ(t.RecordCount(), 0);
    EXPECT_EQ(t.RecordNumber(), 0);
    EXPECT_TRUE(t.IsNull(0));
}
