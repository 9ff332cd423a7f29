// Edits through the cursor against a plain list: a keyed and an unkeyed Paradox table and a dBase table
// (which has no key) take the same random mix of appends, inserts, edits that keep or move the key,
// deletes, moves, jumps and lookups, with saves, reopens and packs in between. After every step the
// cursor stands where the list says, with the values, number, count and ends it says; the tables read
// back from their files as they were held. A filter then shows only the records it lets through.
#include "tablestore/TableTestSupport.h"
#include "tablestore/dbase/DbfFormat.h"
#include "tablestore/dbase/DbfNewTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>

using namespace kimport;
using namespace kimport::test;

namespace {

const FormatSettings kDe = FormatSettings::german();

struct Row {
    std::int64_t nr = 0;
    std::string name, memo;
};

// The records as a list and where the cursor should stand, moved by the cursor's rules: a move past
// either end keeps the record and sets the flag, the last record counts as at the end.
struct Model {
    std::vector<Row> rows;
    std::size_t at = 0;
    bool eof = true, bof = true;

    bool hasCurrent() const { return !rows.empty() && !(eof && bof); }
    std::size_t keyPlace(std::int64_t nr) const {
        return static_cast<std::size_t>(
            std::lower_bound(rows.begin(), rows.end(), nr, [](const Row& r, std::int64_t n) { return r.nr < n; }) -
            rows.begin());
    }
    bool hasKey(std::int64_t nr) const {
        const std::size_t p = keyPlace(nr);
        return p < rows.size() && rows[p].nr == nr;
    }
    void stand(std::size_t p) {
        at = p;
        eof = bof = false;
    }
    void first() {
        at = 0;
        eof = rows.empty();
        bof = true;
    }
    void last() {
        at = rows.empty() ? 0 : rows.size() - 1;
        eof = true;
        bof = rows.empty();
    }
    void next() {
        if (eof) return;
        bof = false;
        if (at + 1 < rows.size())
            ++at;
        else
            eof = true;
    }
    void prior() {
        if (at == 0 || rows.empty())
            bof = true;
        else
            stand(at - 1);
    }
    void remove() {
        rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(at));
        if (at < rows.size())
            eof = false;
        else
            last();
    }
};

void set(Table& t, const Row& r) {
    t.SetAsInteger(0, r.nr);
    t.SetAsString(1, r.name, kDe);
    t.SetAsString(2, r.memo, kDe);
}

void expectAsModel(Table& t, const Model& m, int step) {
    SCOPED_TRACE("step " + std::to_string(step));
    ASSERT_EQ(t.RecordCount(), static_cast<std::int64_t>(m.rows.size()));
    ASSERT_EQ(t.AtEnd(), m.eof);
    ASSERT_EQ(t.AtStart(), m.bof);
    ASSERT_EQ(t.RecordNumber(), m.hasCurrent() ? static_cast<std::int64_t>(m.at) + 1 : 0);
    if (!m.hasCurrent()) return;
    const Row& r = m.rows[m.at];
    ASSERT_EQ(t.AsInteger(0), r.nr);
    ASSERT_EQ(t.AsString(1, kDe), r.name);
    ASSERT_EQ(t.AsString(2, kDe), r.memo);
}

// Posts what is being edited, or expects the key violation a keyed table must raise and drops it.
void post(Table& t, bool duplicate) {
    if (!duplicate) return t.PostRecord();
    try {
        t.PostRecord();
        ADD_FAILURE() << "a duplicate key was posted";
    } catch (const TableError& e) {
        EXPECT_EQ(e.kind(), TableError::Kind::KeyViolation);
    }
    t.CancelRecord();
}

// A filter limits the walk both ways, the count, the numbers and the jumps to the records it lets through,
// and a delete among them moves on to the next one it lets through.
void expectFiltered(Table& t, Model& m) {
    std::vector<std::size_t> shown;
    for (std::size_t i = 0; i < m.rows.size(); ++i)
        if (m.rows[i].memo.empty()) shown.push_back(i);
    ASSERT_GE(shown.size(), 3u);
    std::vector<std::string> expected, forward, backward;
    for (std::size_t i : shown) expected.push_back(std::to_string(m.rows[i].nr) + m.rows[i].name);
    auto current = [&] { return std::to_string(t.AsInteger(0)) + t.AsString(1, kDe); };
    t.FilterRecords("[Notiz]=''");
    EXPECT_EQ(t.RecordCount(), static_cast<std::int64_t>(shown.size()));
    for (t.MoveFirst(); !t.AtEnd(); t.MoveNext()) forward.push_back(current());
    EXPECT_EQ(forward, expected);
    t.MoveLast();
    for (;;) {
        backward.push_back(current());
        t.MovePrior();
        if (t.AtStart()) break;
    }
    std::reverse(backward.begin(), backward.end());
    EXPECT_EQ(backward, expected);
    for (std::size_t k = 0; k < shown.size(); ++k) {
        ASSERT_TRUE(t.GoToRecord(static_cast<std::int64_t>(k) + 1));
        EXPECT_EQ(current(), expected[k]);
        EXPECT_EQ(t.RecordNumber(), static_cast<std::int64_t>(k) + 1);
    }
    EXPECT_FALSE(t.GoToRecord(static_cast<std::int64_t>(shown.size()) + 1));
    const std::size_t k = shown.size() / 2;
    ASSERT_TRUE(t.GoToRecord(static_cast<std::int64_t>(k) + 1));
    t.DeleteRecord();
    EXPECT_EQ(current(), expected[k + 1]);
    EXPECT_EQ(t.RecordNumber(), static_cast<std::int64_t>(k) + 1);
    EXPECT_EQ(t.RecordCount(), static_cast<std::int64_t>(shown.size()) - 1);
    m.rows.erase(m.rows.begin() + static_cast<std::ptrdiff_t>(shown[k]));
    t.FilterRecords("");
}

// How a run opens its table. A paged table takes no insert before a record and no pack: those steps
// append and save instead (for its whole twin too, so that both end alike).
struct Opening {
    bool paged = false;
    bool inPlaceSteps = false;
};

void runEdits(const std::string& path, bool keyed, unsigned seed, Opening opening = {}) {
    std::mt19937 rng(seed);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    auto newRow = [&] {
        // Keys from a small range, so that they collide; memos short enough for the record and longer.
        return Row{pick(150) + 1, "N" + std::to_string(pick(1000)),
                   std::string(static_cast<std::size_t>(pick(3) * 70), 'm')};
    };
    Model m;
    Table t;
    t.setPath(path);
    t.Exclusive = true;
    t.Paged = opening.paged;
    t.OpenTable();
    if (opening.paged) {
        EXPECT_EQ(t.image().rowCount(), 0u) << "held whole";
    }
    if (!keyed) {
        EXPECT_THROW(t.SeekKey({Value::ofInteger(1)}), TableError);
    }
    for (int step = 0; step < 1500; ++step) {
        int what = pick(14);
        if (opening.inPlaceSteps && what == 3) what = 0;
        switch (what) {
            case 0:
            case 1:
            case 2: {  // append
                Row r = newRow();
                t.BeginAppend();
                set(t, r);
                const bool duplicate = keyed && m.hasKey(r.nr);
                post(t, duplicate);
                if (duplicate) break;
                const std::size_t p = keyed ? m.keyPlace(r.nr) : m.rows.size();
                m.rows.insert(m.rows.begin() + static_cast<std::ptrdiff_t>(p), r);
                m.stand(p);
                break;
            }
            case 3: {  // insert before the current record
                Row r = newRow();
                t.BeginInsert();
                set(t, r);
                const bool duplicate = keyed && m.hasKey(r.nr);
                post(t, duplicate);
                if (duplicate) break;
                const std::size_t p = keyed ? m.keyPlace(r.nr) : (!m.rows.empty() && !m.eof ? m.at : m.rows.size());
                m.rows.insert(m.rows.begin() + static_cast<std::ptrdiff_t>(p), r);
                m.stand(p);
                break;
            }
            case 4: {  // an edit that keeps the key
                if (!m.hasCurrent()) break;
                Row r = newRow();
                r.nr = m.rows[m.at].nr;
                t.BeginEdit();
                set(t, r);
                t.PostRecord();
                m.rows[m.at] = r;
                m.stand(m.at);
                break;
            }
            case 5: {  // an edit that gives another key: the record moves to it
                if (!m.hasCurrent()) break;
                const std::int64_t nr = pick(150) + 1;
                t.BeginEdit();
                t.SetAsInteger(0, nr);
                const bool duplicate = keyed && nr != m.rows[m.at].nr && m.hasKey(nr);
                post(t, duplicate);
                if (duplicate) break;
                Row r = m.rows[m.at];
                r.nr = nr;
                if (!keyed) {
                    m.rows[m.at] = r;
                    m.stand(m.at);
                    break;
                }
                m.rows.erase(m.rows.begin() + static_cast<std::ptrdiff_t>(m.at));
                const std::size_t p = m.keyPlace(nr);
                m.rows.insert(m.rows.begin() + static_cast<std::ptrdiff_t>(p), r);
                m.stand(p);
                break;
            }
            case 6:
            case 7:  // delete
                if (!m.hasCurrent()) {
                    EXPECT_THROW(t.DeleteRecord(), TableError);
                    break;
                }
                t.DeleteRecord();
                m.remove();
                break;
            case 8:
                t.MoveNext();
                m.next();
                break;
            case 9:
                t.MovePrior();
                m.prior();
                break;
            case 10:
                if (pick(2)) {
                    t.MoveFirst();
                    m.first();
                } else {
                    t.MoveLast();
                    m.last();
                }
                break;
            case 11: {
                const auto n = static_cast<std::int64_t>(pick(static_cast<int>(m.rows.size()) + 3)) - 1;
                const bool found = n >= 1 && n <= static_cast<std::int64_t>(m.rows.size());
                ASSERT_EQ(t.GoToRecord(n), found);
                if (found) m.stand(static_cast<std::size_t>(n - 1));
                break;
            }
            case 12: {
                if (!keyed) break;
                const std::int64_t nr = pick(160) + 1;
                ASSERT_EQ(t.SeekKey({Value::ofInteger(nr)}), m.hasKey(nr));
                if (m.hasKey(nr)) m.stand(m.keyPlace(nr));
                break;
            }
            case 13:  // save, reopen or pack (dBase drops its deleted records; Paradox has none)
                if (pick(3) == 0) {
                    t.Flush();
                } else if (pick(2) == 0) {
                    t.CloseTable();
                    t.OpenTable();
                    m.first();
                } else if (opening.inPlaceSteps) {
                    t.Flush();
                } else if (t.format() == TableFormat::DBase) {
                    t.PackTable();
                    m.first();
                } else {
                    t.PackTable();
                }
                break;
        }
        expectAsModel(t, m, step);
        if (testing::Test::HasFatalFailure()) return;
    }
    expectFiltered(t, m);
    std::vector<std::int64_t> walked;
    for (t.MoveFirst(); !t.AtEnd(); t.MoveNext()) walked.push_back(t.AsInteger(0));
    std::vector<std::int64_t> listed;
    for (const Row& r : m.rows) listed.push_back(r.nr);
    EXPECT_EQ(walked, listed);
    if (opening.paged) {
        t.CloseTable();
        return;
    }
    const std::string held = dumpImage(t.image());
    t.CloseTable();
    EXPECT_EQ(dumpOf(path), held);
}

// Every record of a .DBF as Perl's XBase module reads it: the live ones in file order, then the deleted
// ones sorted (a save in place leaves them where they were, a whole save may gather them).
std::string readByXBase(const std::string& path) {
    CommandResult out = runCommand(
        "perl -MXBase -e '$t = XBase->new(name => $ARGV[0]) or die XBase->errstr; "
        "for $i (0 .. $t->last_record) { @r = $t->get_record($i); "
        "print join(\"|\", map { defined $_ ? $_ : \"<undef>\" } @r), \"\\n\" }' " +
        path);
    EXPECT_EQ(out.exitCode, 0) << out.err;
    std::istringstream lines(out.out);
    std::string live, line;
    std::vector<std::string> deleted;
    while (std::getline(lines, line)) {
        if (line.starts_with("1|"))
            deleted.push_back(line);
        else
            live += line + "\n";
    }
    std::sort(deleted.begin(), deleted.end());
    for (const std::string& d : deleted) live += d + "\n";
    return live;
}

}  // namespace

TEST(CursorEdits, KeyedParadoxTableFollowsAPlainList) {
    TempDir dir;
    MakeTable(dir.path(), "K.DB",
              {{"Nr", FieldType::Integer}, {"Name", FieldType::String, 20}, {"Notiz", FieldType::Memo, 10}}, 1);
    runEdits(dir.file("K.DB"), true, 11);
}

TEST(CursorEdits, UnkeyedParadoxTableFollowsAPlainList) {
    TempDir dir;
    MakeTable(dir.path(), "U.DB",
              {{"Nr", FieldType::Integer}, {"Name", FieldType::String, 20}, {"Notiz", FieldType::Memo, 10}});
    runEdits(dir.file("U.DB"), false, 12);
}

TEST(CursorEdits, DBaseTableFollowsAPlainList) {
    TempDir dir;
    MakeTable(dir.path(), "D.DBF",
              {{"NR", FieldType::Integer}, {"NAME", FieldType::String, 20}, {"NOTIZ", FieldType::Memo}});
    runEdits(dir.file("D.DBF"), false, 13);
}

// Without memo fields a dBase table is read and changed in place when opened paged: the same steps on a
// twin held whole leave the same records, live and deleted, as we and Perl's XBase read them.
TEST(CursorEdits, PagedDBaseTableFollowsAPlainListAndItsWholeTwin) {
    TempDir dir;
    const std::vector<FieldSpec> fields = {
        {"NR", FieldType::Integer}, {"NAME", FieldType::String, 20}, {"NOTIZ", FieldType::String, 140}};
    MakeTable(dir.path(), "P.DBF", fields);
    MakeTable(dir.path(), "W.DBF", fields);
    runEdits(dir.file("P.DBF"), false, 14, {true, true});
    runEdits(dir.file("W.DBF"), false, 14, {false, true});
    EXPECT_EQ(dumpOf(dir.file("P.DBF")), dumpOf(dir.file("W.DBF")));
    EXPECT_EQ(readByXBase(dir.file("P.DBF")), readByXBase(dir.file("W.DBF")));
}

// With a memo field, in each memo file layout: values are read as the cursor needs them, and the new
// ones are appended to the memo file at each save.
TEST(CursorEdits, PagedDBaseTableWithMemosFollowsAPlainListAndItsWholeTwin) {
    const std::vector<FieldSpec> fields = {
        {"NR", FieldType::Integer}, {"NAME", FieldType::String, 20}, {"NOTIZ", FieldType::Memo}};
    for (int version : {dbase::kDBaseIIIMemo, dbase::kDBaseIVMemo, dbase::kFoxPro2Memo, dbase::kVisualFoxPro}) {
        SCOPED_TRACE(version);
        TempDir dir;
        for (const char* name : {"P.DBF", "W.DBF"}) {
            Table t;
            t.setPath(dir.file(name));
            t.CreateTable(dbase::newTable(dir.file(name), fields, version));
            t.CloseTable();
        }
        const auto seed = static_cast<unsigned>(15 + version);
        runEdits(dir.file("P.DBF"), false, seed, {true, true});
        runEdits(dir.file("W.DBF"), false, seed, {false, true});
        EXPECT_EQ(dumpOf(dir.file("P.DBF")), dumpOf(dir.file("W.DBF")));
        EXPECT_EQ(readByXBase(dir.file("P.DBF")), readByXBase(dir.file("W.DBF")));
    }
}

// A Paradox table opened paged, keyed and without key, with a memo field: changed in its blocks, it
// follows the list as the table held whole does, and both read back the same by us and by pxlib.
TEST(CursorEdits, PagedParadoxTablesFollowAPlainListAndTheirWholeTwins) {
    for (int keys : {1, 0}) {
        SCOPED_TRACE(keys);
        TempDir dir;
        const std::vector<FieldSpec> fields = {
            {"Nr", FieldType::Integer}, {"Name", FieldType::String, 20}, {"Notiz", FieldType::Memo, 10}};
        MakeTable(dir.path(), "P.DB", fields, keys);
        MakeTable(dir.path(), "W.DB", fields, keys);
        const auto seed = static_cast<unsigned>(30 + keys);
        runEdits(dir.file("P.DB"), keys == 1, seed, {true, true});
        runEdits(dir.file("W.DB"), keys == 1, seed, {false, true});
        EXPECT_EQ(dumpOf(dir.file("P.DB")), dumpOf(dir.file("W.DB")));
        const CommandResult paged = runCommand(std::string(KIMPORT_PXREAD_EXE) + " " + dir.file("P.DB"));
        const CommandResult whole = runCommand(std::string(KIMPORT_PXREAD_EXE) + " " + dir.file("W.DB"));
        EXPECT_EQ(paged.exitCode, 0) << paged.err;
        EXPECT_EQ(paged.out, whole.out);
    }
}
