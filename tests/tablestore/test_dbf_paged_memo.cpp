// A dBase table with memo fields opened Paged: its memo values are read as the cursor needs them, new
// ones are appended to the memo file at the save, and the .DBF and the memo file are swapped together.
// The same changes made to a twin held whole must leave the same table, and the memo file must grow by
// the new values only.
#include "common/Text.h"
#include "support/FaultyFileSystem.h"
#include "tablestore/SaveFaults.h"
#include "tablestore/TableTestSupport.h"
#include "tablestore/dbase/DbfFormat.h"
#include "tablestore/dbase/DbfMemo.h"
#include "tablestore/dbase/DbfNewTable.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>
#include <filesystem>
#include <map>

using namespace kimport;
using namespace kimport::test;

namespace {

const FormatSettings kDe = FormatSettings::german();

// The memo layouts a save appends to: made by our own table creation, and real samples.
struct Sample {
    const char* name;
    int version = 0;              // made with this version ...
    const char* fixture = nullptr;  // ... or copied from this fixture
};
const Sample kSamples[] = {
    {"dBase III", dbase::kDBaseIIIMemo},
    {"dBase IV", dbase::kDBaseIVMemo},
    {"FoxPro 2", dbase::kFoxPro2Memo},
    {"Visual FoxPro", dbase::kVisualFoxPro},
    {"dBase III sample", 0, "dbase/infused-dbf/dbase_83.dbf"},
    {"dBase IV sample", 0, "dbase/infused-dbf/dbase_8b.dbf"},
    {"FoxPro sample", 0, "dbase/infused-dbf/dbase_f5.dbf"},
    {"Visual FoxPro sample", 0, "dbase/infused-dbf/dbase_30.dbf"},
};

// A memo text of this length that no two records share.
std::string memoText(int record, std::size_t length) {
    std::string text = "Notiz " + std::to_string(record) + ": ";
    while (text.size() < length) text += "Zeile " + std::to_string(text.size()) + ". ";
    return text.substr(0, length);
}

std::string makeSample(const Sample& s, const TempDir& dir) {
    if (s.fixture) return copyFixture(s.fixture, dir.path());
    const std::string path = dir.file("NOTIZEN.DBF");
    Table t;
    t.setPath(path);
    t.CreateTable(dbase::newTable(
        path, {{"NR", FieldType::Integer}, {"NAME", FieldType::String, 20}, {"NOTIZ", FieldType::Memo}}, s.version));
    for (int i = 1; i <= 12; ++i) {
        t.BeginAppend();
        t.SetAsInteger(0, i);
        t.SetAsString(1, "Name " + std::to_string(i), kDe);
        // Empty, short and longer than a block.
        if (i % 4 != 0) t.SetAsString(2, memoText(i, static_cast<std::size_t>(i * 97)), kDe);
        t.PostRecord();
    }
    t.CloseTable();
    return path;
}

std::string memoFileOf(const std::string& dataPath) {
    const std::filesystem::path data(dataPath);
    for (const auto& e : std::filesystem::directory_iterator(data.parent_path())) {
        const std::string ext = asciiUpper(e.path().extension().string());
        if (e.path().stem() == data.stem() && (ext == ".DBT" || ext == ".FPT")) return e.path().string();
    }
    return {};
}

// The first memo field and the longest text field of a table.
struct Fields {
    int memo = -1, text = -1;
};
Fields fieldsOf(Table& t) {
    Fields f;
    for (int i = 0; i < t.FieldCount(); ++i) {
        const FieldDef& d = t.FieldDefAt(i);
        if (f.memo < 0 && d.type == FieldType::Memo) f.memo = i;
        if (d.type == FieldType::String && (f.text < 0 || d.length > t.FieldDefAt(f.text).length)) f.text = i;
    }
    return f;
}

void open(Table& t, const std::string& path, bool paged) {
    t.setPath(path);
    t.Exclusive = true;
    t.Paged = paged;
    t.OpenTable();
}

// Changes of every kind a memo table takes: new, cleared and kept memo values, a non-memo edit, a
// delete, appends with and without a memo, and a record changed twice before the save.
void change(Table& t) {
    const Fields f = fieldsOf(t);
    ASSERT_GE(f.memo, 0);
    ASSERT_GE(f.text, 0);
    ASSERT_GE(t.RecordCount(), 6);
    ASSERT_TRUE(t.GoToRecord(1));
    t.BeginEdit();
    t.SetAsString(f.memo, memoText(101, 1300), kDe);
    t.PostRecord();
    ASSERT_TRUE(t.GoToRecord(2));
    t.BeginEdit();
    t.SetAsString(f.text, "Nur der Name", kDe);
    t.PostRecord();
    ASSERT_TRUE(t.GoToRecord(3));
    t.BeginEdit();
    t.Clear(f.memo);
    t.PostRecord();
    ASSERT_TRUE(t.GoToRecord(4));
    t.DeleteRecord();
    ASSERT_TRUE(t.GoToRecord(5));
    t.BeginEdit();
    t.SetAsString(f.memo, "Erst so", kDe);
    t.PostRecord();
    t.BeginEdit();
    t.SetAsString(f.memo, memoText(105, 40), kDe);
    t.PostRecord();
    t.BeginAppend();
    t.SetAsString(f.text, "Angehängt", kDe);
    t.SetAsString(f.memo, memoText(201, 700), kDe);
    t.PostRecord();
    t.BeginAppend();
    t.SetAsString(f.text, "Ohne Memo", kDe);
    t.PostRecord();
    t.MovePrior();
    t.BeginEdit();
    t.SetAsString(f.memo, memoText(202, 20), kDe);
    t.PostRecord();
}

// The memo file's block size and layout as its reader sees them.
struct MemoFacts {
    std::uint64_t blockSize = 0;
    dbase::MemoStyle style = dbase::MemoStyle::None;
};
MemoFacts memoFacts(const std::string& dataPath) {
    Table t;
    t.setPath(dataPath);
    t.OpenTable();
    const std::string memo = memoFileOf(dataPath);
    MemoFacts facts;
    facts.style = asciiUpper(std::filesystem::path(memo).extension().string()) == ".FPT"
                      ? dbase::MemoStyle::Fpt
                      : dbase::memoStyleOf(t.image().dbase.version);
    facts.blockSize = dbase::MemoFileReader(realFileSystem().openRead(memo), facts.style).blockSize();
    return facts;
}

std::uint64_t roundUp(std::uint64_t n, std::uint64_t unit) { return (n + unit - 1) / unit * unit; }

}  // namespace

// The same changes made Paged and whole leave the same table: as the cursor shows it before the save,
// as it reads back, paged or whole, and as Perl's XBase reads it.
TEST(DbfPagedMemo, ChangesLeaveTheSameTablePagedAsWhole) {
    for (const Sample& s : kSamples) {
        SCOPED_TRACE(s.name);
        TempDir pagedDir, wholeDir;
        const std::string paged = makeSample(s, pagedDir);
        const std::string whole = makeSample(s, wholeDir);
        Table p, w;
        open(p, paged, true);
        open(w, whole, false);
        EXPECT_EQ(p.image().rowCount(), 0u) << "held whole";
        change(p);
        change(w);
        if (testing::Test::HasFatalFailure()) return;
        EXPECT_EQ(dumpByCursor(p), dumpByCursor(w));
        p.CloseTable();
        w.CloseTable();
        const std::string dump = dumpOf(whole);
        EXPECT_EQ(dumpOf(paged), dump);
        Table again;
        open(again, paged, true);
        EXPECT_EQ(dumpByCursor(again), dump);
        again.CloseTable();
        EXPECT_EQ(perlView(paged), perlView(whole));
    }
}

namespace {

// The memo fields' bytes of every record in a .DBF (the pointers), record by record.
std::vector<std::string> memoPointers(const std::string& path, std::uint32_t records) {
    Table t;
    t.setPath(path);
    t.OpenTable();
    const TableImage& image = t.image();
    const std::string data = readFile(path);
    std::vector<std::string> pointers;
    for (std::uint32_t r = 0; r < records; ++r) {
        std::string fields;
        for (const FieldDef& f : image.fields)
            if (dbase::isMemoField(f))
                fields += data.substr(image.originalHeader.size() + std::size_t{r} * static_cast<std::size_t>(image.recordLength) +
                                          static_cast<std::size_t>(f.offset),
                                      static_cast<std::size_t>(f.length));
        pointers.push_back(fields);
    }
    return pointers;
}

}  // namespace

// A save in place writes the new values after the memo file's last block and nothing else of it but
// the header's next free block; the records whose memo values were kept still point where they did.
TEST(DbfPagedMemo, TheMemoFileGrowsByTheNewValuesOnly) {
    for (const Sample& s : kSamples) {
        SCOPED_TRACE(s.name);
        TempDir dir;
        const std::string path = makeSample(s, dir);
        const std::string memoPath = memoFileOf(path);
        const std::string memoBefore = readFile(memoPath);
        const std::uint32_t records = dbase::le32(readFile(path).data() + dbase::kRecordCountAt);
        const std::vector<std::string> pointersBefore = memoPointers(path, records);
        const MemoFacts facts = memoFacts(path);
        const std::string added = memoText(301, 1000);
        std::string kept;
        {
            Table t;
            open(t, path, true);
            const Fields f = fieldsOf(t);
            // A record with a memo value gets a new name only.
            for (t.MoveFirst(); !t.AtEnd() && t.IsNull(f.memo); t.MoveNext()) {
            }
            if (t.AtEnd()) t.MoveFirst();
            kept = t.AsString(f.memo, kDe);
            t.BeginEdit();
            t.SetAsString(f.text, "Neuer Name", kDe);
            t.PostRecord();
            t.BeginAppend();
            t.SetAsString(f.memo, added, kDe);
            t.PostRecord();
            t.CloseTable();
        }
        EXPECT_EQ(memoPointers(path, records), pointersBefore);
        const std::string memoAfter = readFile(memoPath);
        const std::uint64_t head = facts.style == dbase::MemoStyle::DbtIII ? 2 : 8;  // end marks or value head
        EXPECT_EQ(memoAfter.size(),
                  roundUp(memoBefore.size(), facts.blockSize) + roundUp(added.size() + head, facts.blockSize));
        EXPECT_EQ(memoAfter.substr(4, memoBefore.size() - 4), memoBefore.substr(4));
        const std::uint32_t nextFree = facts.style == dbase::MemoStyle::Fpt ? dbase::be32(memoAfter.data())
                                                                           : dbase::le32(memoAfter.data());
        EXPECT_EQ(nextFree * facts.blockSize, memoAfter.size());
        Table back;
        open(back, path, false);
        const Fields f = fieldsOf(back);
        back.MoveLast();
        EXPECT_EQ(back.AsString(f.memo, kDe), added);
        back.FilterRecords("[" + back.FieldDefAt(f.text).name + "]='Neuer Name'");
        EXPECT_EQ(back.RecordCount(), 1);
        EXPECT_EQ(back.AsString(f.memo, kDe), kept);
    }
}

// A failure or a kill at any step of the save leaves the old table or the new one, memo values included:
// the .DBF never points into a memo file that lacks its values.
TEST(DbfPagedMemo, AFailureOrAKillAtEveryStepOfASaveLeavesTheOldOrTheNewTable) {
    for (const Sample& s : {kSamples[0], kSamples[1], kSamples[2], kSamples[3]}) {
        SCOPED_TRACE(s.name);
        TempDir dir;
        const std::string path = makeSample(s, dir);
        expectOldOrNewAfterEveryFault({folderSnapshot(dir.path()), std::filesystem::path(path).filename().string(),
                                       [](Table& t, const std::string& p) { open(t, p, true); }, change, {}, 6});
    }
}

// A memo file another program replaced since the open is not appended to: the save is refused, the
// changes stay pending and nothing is written.
TEST(DbfPagedMemo, AMemoFileReplacedMeanwhileIsNotAppendedTo) {
    TempDir dir;
    const std::string path = makeSample(kSamples[0], dir);
    const std::string memoPath = memoFileOf(path);
    Table t;
    open(t, path, true);
    t.BeginAppend();
    t.SetAsString(2, "Neu", kDe);
    t.PostRecord();
    const std::string memo = readFile(memoPath);
    std::filesystem::remove(memoPath);
    writeFile(memoPath, memo + std::string(512, '\0'));
    const auto files = folderSnapshot(dir.path());
    try {
        t.Flush();
        ADD_FAILURE() << "saved";
    } catch (const TableError& e) {
        EXPECT_EQ(e.kind(), TableError::Kind::Changed);
        EXPECT_NE(std::string(e.what()).find("NOTIZEN.DBT"), std::string::npos) << e.what();
    }
    EXPECT_TRUE(t.HasUnsavedChanges());
    t.CloseDiscarding();
    EXPECT_EQ(folderSnapshot(dir.path()), files);
}

// The values of the records walked past are let go of; those of the record the cursor stands on, and
// the ones set in a record being edited, stay while a filter walks the table (a count, a number).
TEST(DbfPagedMemo, MemoValuesStayWhileNeededAndDoNotPileUp) {
    TempDir dir;
    const std::string path = dir.file("VIELE.DBF");
    MakeTable(dir.path(), "VIELE.DBF",
              {{"NR", FieldType::Integer}, {"NAME", FieldType::String, 20}, {"NOTIZ", FieldType::Memo}});
    {
        Table t;
        open(t, path, false);
        for (int i = 1; i <= 400; ++i) {
            t.BeginAppend();
            t.SetAsInteger(0, i);
            if (i % 3 != 0) t.SetAsString(2, memoText(i, 50 + static_cast<std::size_t>(i % 7) * 100), kDe);
            t.PostRecord();
        }
        t.CloseTable();
    }
    const std::uint64_t memoSize = std::filesystem::file_size(memoFileOf(path));
    Table t;
    open(t, path, true);
    int walked = 0;
    for (t.MoveFirst(); !t.AtEnd(); t.MoveNext()) {
        const int nr = static_cast<int>(t.AsInteger(0));
        EXPECT_EQ(t.AsString(2, kDe), nr % 3 ? memoText(nr, 50 + static_cast<std::size_t>(nr % 7) * 100) : "");
        ++walked;
    }
    EXPECT_EQ(walked, 400);
    t.FilterRecords("[NOTIZ]<>''");
    EXPECT_EQ(t.RecordCount(), 267);
    EXPECT_LE(t.image().blobs.count(), 4u) << "values of records walked past are held";

    ASSERT_TRUE(t.GoToRecord(100));
    const std::int64_t nr = t.AsInteger(0);
    const std::string kept = t.AsString(2, kDe);
    t.BeginEdit();
    t.SetAsString(1, "Bearbeitet", kDe);
    EXPECT_EQ(t.RecordCount(), 267);
    EXPECT_EQ(t.AsString(2, kDe), kept);
    t.PostRecord();
    EXPECT_EQ(t.AsString(2, kDe), kept);

    t.BeginAppend();
    t.SetAsInteger(0, 401);
    t.SetAsString(2, "Angehängt", kDe);
    EXPECT_EQ(t.RecordCount(), 267);
    EXPECT_EQ(t.AsString(2, kDe), "Angehängt");
    t.PostRecord();
    EXPECT_EQ(t.RecordCount(), 268);
    t.MoveLast();
    EXPECT_EQ(t.AsString(2, kDe), "Angehängt");
    t.CloseTable();

    // The edited record kept its block: the memo file grew by the appended value's one block.
    EXPECT_EQ(std::filesystem::file_size(memoFileOf(path)), roundUp(memoSize, 512) + 512);
    Table back;
    open(back, path, false);
    back.FilterRecords("[NR]='" + std::to_string(nr) + "'");
    EXPECT_EQ(back.AsString(1, kDe), "Bearbeitet");
    EXPECT_EQ(back.AsString(2, kDe), kept);
}

// A pack is refused as for any paged table; a clear writes the table afresh, new memo values with it.
TEST(DbfPagedMemo, APackIsRefusedAndAClearWritesTheTableAfresh) {
    TempDir dir;
    const std::string path = makeSample(kSamples[2], dir);
    const std::string before = dumpOf(path);
    Table t;
    open(t, path, true);
    try {
        t.PackTable();
        ADD_FAILURE() << "packed";
    } catch (const TableError& e) {
        EXPECT_EQ(e.kind(), TableError::Kind::Usage);
    }
    t.CloseTable();
    EXPECT_EQ(dumpOf(path), before);

    open(t, path, true);
    t.ClearTable();
    t.BeginAppend();
    t.SetAsInteger(0, 7);
    t.SetAsString(2, "Nach dem Leeren", kDe);
    t.PostRecord();
    t.CloseTable();
    EXPECT_EQ(dumpOf(path), "NR,NAME,NOTIZ\n7,,Nach dem Leeren\n");
}
