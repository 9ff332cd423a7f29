// A dBase table opened Paged: its save patches the old file, so a failure or a kill at any step of it
// must still leave the old table or the new one, and a large table edited in a few places is never
// held in memory.
#include "support/FaultyFileSystem.h"
#include "tablestore/SaveFaults.h"
#include "tablestore/TableTestSupport.h"
#include "tablestore/dbase/DbfFormat.h"
#include "tablestore/dbase/DbfPagedRecords.h"
#include "tablestore/dbase/DbfReader.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>
#include <functional>
#include <map>

using namespace kimport;
using namespace kimport::test;

namespace {

const FormatSettings kDe = FormatSettings::german();

std::string makeTable(const TempDir& dir, int records) {
    MakeTable(dir.path(), "KUNDEN.DBF", {{"NR", FieldType::Integer}, {"NAME", FieldType::String, 20}});
    appendCustomers(dir.file("KUNDEN.DBF"), records);
    return dir.file("KUNDEN.DBF");
}

// Changes in every way a paged table takes them: an edit, a delete and appends.
void change(Table& t) {
    ASSERT_TRUE(t.GoToRecord(7));
    t.BeginEdit();
    t.SetAsString(1, "Geändert", kDe);
    t.PostRecord();
    ASSERT_TRUE(t.GoToRecord(20));
    t.DeleteRecord();
    for (int i = 0; i < 3; ++i) {
        t.BeginAppend();
        t.SetAsInteger(0, 900 + i);
        t.PostRecord();
    }
}

void openPaged(Table& t, const std::string& path) {
    t.setPath(path);
    t.Exclusive = true;
    t.Paged = true;
    t.OpenTable();
}

}  // namespace

TEST(DbfPaged, AFailureOrAKillAtEveryStepOfASaveLeavesTheOldOrTheNewTable) {
    TempDir dir;
    makeTable(dir, 40);
    expectOldOrNewAfterEveryFault({folderSnapshot(dir.path()), "KUNDEN.DBF", openPaged, change});
}

// A failed save keeps the changes: the next one writes them.
TEST(DbfPaged, ASaveThatFailedCanBeDoneAgain) {
    TempDir dir;
    const std::string path = makeTable(dir, 30);
    TempDir twinDir;
    const std::string twin = makeTable(twinDir, 30);
    {
        Table t;
        openPaged(t, twin);
        change(t);
        t.CloseTable();
    }
    FaultyFileSystem faulty(realFileSystem());
    Table t(faulty);
    openPaged(t, path);
    change(t);
    faulty.failAtOperation = faulty.operationCount() + 2;
    EXPECT_THROW(t.Flush(), TableError);
    faulty.failAtOperation.reset();
    t.CloseTable();
    EXPECT_EQ(dumpOf(path), dumpOf(twin));
}

TEST(DbfPaged, ALargeTableEditedInAFewPlacesIsNotHeldInMemory) {
    TempDir dir;
    const int records = 200000;
    const std::string path = makeTable(dir, records);
    const std::uint64_t tableBytes = readFile(path).size();
    TableStream stream = dbase::openStream(path, realFileSystem());
    stream.feed.reset();
    dbase::PagedRecords store(*stream.image, realFileSystem());
    EXPECT_EQ(store.count(), static_cast<std::uint64_t>(records));
    std::vector<char> row;
    for (int k = 0; k < 1000; ++k) {
        const Place p{static_cast<std::uint64_t>(k) * 199};
        row.assign(store.row(p), store.row(p) + stream.image->recordLength);
        row[row.size() - 1] = 'X';
        store.update(p, row.data());
    }
    for (int k = 0; k < 100; ++k) store.erase(Place{static_cast<std::uint64_t>(k) * 1009 + 1});
    EXPECT_EQ(store.count(), static_cast<std::uint64_t>(records - 100));
    EXPECT_LT(store.heldBytes(), tableBytes / 20);
    store.save(realFileSystem(), nullptr);
    EXPECT_LT(store.heldBytes(), std::size_t{128} << 10);
    Table t;
    t.setPath(path);
    t.OpenTable();
    EXPECT_EQ(t.RecordCount(), records - 100);
    t.MoveFirst();
    EXPECT_EQ(t.AsString(1, kDe), "Kunde 1            X");
}

// A record appended to a Visual FoxPro table in place raises the header's next auto-increment value
// as a whole save does, and both leave the same table.
TEST(DbfPaged, AnAppendInPlaceKeepsTheFoxProAutoIncrementAsAWholeSave) {
    std::map<bool, std::string> dumps;
    for (bool paged : {false, true}) {
        SCOPED_TRACE(paged);
        TempDir dir;
        const std::string path = copyFixture("dbase/infused-dbf/dbase_31.dbf", dir.path());
        Table t;
        t.setPath(path);
        t.Paged = paged;
        t.OpenTable();
        EXPECT_EQ(t.image().rowCount() == 0, paged);
        t.BeginAppend();
        t.SetAsInteger(t.FieldNamed("PRODUCTID"), 200);
        t.SetAsString(t.FieldNamed("PRODUCTNAM"), "Lakkalikööri", kDe);
        t.PostRecord();
        t.CloseTable();
        const std::string file = readFile(path);
        EXPECT_EQ(dbase::le32(file.data() + 32 + 0x13), 201u);
        EXPECT_EQ(file.back(), '\x1A');
        dumps[paged] = dumpOf(path);
    }
    EXPECT_EQ(dumps[true], dumps[false]);
}

// What cannot be done in place: a pack and an insert before a record are refused and change nothing; a
// clear writes the table afresh.
TEST(DbfPaged, PackAndInsertAreRefusedAndAClearWritesTheTableAfresh) {
    TempDir dir;
    const std::string path = makeTable(dir, 10);
    const std::string before = dumpOf(path);
    Table t;
    openPaged(t, path);
    for (const std::function<void()>& refused : std::vector<std::function<void()>>{[&] { t.PackTable(); },
                                                                                   [&] {
                                                                                       t.MoveFirst();
                                                                                       t.BeginInsert();
                                                                                       t.SetAsInteger(0, 99);
                                                                                       t.PostRecord();
                                                                                   }}) {
        try {
            refused();
            ADD_FAILURE() << "not refused";
        } catch (const TableError& e) {
            EXPECT_EQ(e.kind(), TableError::Kind::Usage);
            EXPECT_NE(std::string(e.what()).find("KUNDEN.DBF"), std::string::npos) << e.what();
        }
        t.CancelRecord();
    }
    EXPECT_EQ(t.RecordCount(), 10);
    t.CloseTable();
    EXPECT_EQ(dumpOf(path), before);

    openPaged(t, path);
    t.ClearTable();
    t.BeginAppend();
    t.SetAsInteger(0, 5);
    t.PostRecord();
    t.CloseTable();
    EXPECT_EQ(dumpOf(path), "NR,NAME\n5,\n");
}
