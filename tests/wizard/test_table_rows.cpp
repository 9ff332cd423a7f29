// The content viewer's rows over real tables, and the view it computes: cell
// texts as the table gives them in any order of reading, key order, tables
// left untouched, the messages for tables that cannot be opened and the text
// file page.
#include "common/CodePage.h"
#include "support/ScriptedPrompter.h"
#include "tablestore/TableTestSupport.h"
#include "wizard/ContentViewer.h"

#include <gtest/gtest.h>

#include <random>

using namespace kimport;
using namespace kimport::test;

namespace {

const FormatSettings kDe = FormatSettings::german();

struct Reference {
    std::vector<std::string> names;
    std::vector<std::vector<std::string>> rows;
};

// What walking the table with its own cursor gives.
Reference walk(const std::string& path, const FormatSettings& fs) {
    Table t;
    t.setPath(path);
    t.OpenTable();
    Reference r;
    for (int i = 0; i < t.FieldCount(); ++i) r.names.push_back(t.FieldDefAt(i).name);
    for (t.MoveFirst(); !t.AtEnd(); t.MoveNext()) {
        r.rows.emplace_back();
        for (int i = 0; i < t.FieldCount(); ++i) {
            // Logical values and money read as a user reads them: checked on their own below.
            const FieldType type = t.FieldDefAt(i).type;
            r.rows.back().push_back(type == FieldType::Boolean || type == FieldType::Currency ? "*" : t.AsString(i, fs));
        }
    }
    t.CloseTable();
    return r;
}

void expectRow(TableRows& rows, const Reference& ref, std::size_t r) {
    for (int c = 0; c < rows.columnCount(); ++c) {
        if (ref.rows[r][static_cast<std::size_t>(c)] == "*") continue;
        ASSERT_EQ(rows.text(static_cast<std::int64_t>(r), c), ref.rows[r][static_cast<std::size_t>(c)])
            << "row " << r << " column " << c;
    }
}

std::string makeNumbers(const TempDir& dir, const std::vector<int>& keys) {
    MakeTable(dir.path(), "Zahlen.DB", {{"Nr", FieldType::Integer, 0}, {"Wert", FieldType::Float, 0}}, 1);
    Table t;
    t.setPath(dir.file("Zahlen.DB"));
    t.Exclusive = true;
    t.OpenTable();
    for (int k : keys) {
        t.BeginAppend();
        t.SetAsInteger(0, k);
        t.SetAsFloat(1, k + 0.5);
        t.PostRecord();
    }
    t.CloseTable();
    return dir.file("Zahlen.DB");
}

// A viewer whose prompter collects unexpected messages as test failures.
struct Viewer {
    ScriptedPrompter prompter;
    ContentViewer viewer{prompter, kDe};
    Viewer() {
        prompter.onFailure = [](const std::string& f) { ADD_FAILURE() << f; };
    }
    ~Viewer() { prompter.finished(); }
};

}  // namespace

TEST(TableRows, FixtureTablesReadAsTheirCursorInAnyOrder) {
    // ORDERS has more rows than one cache window and a primary index; the dBase ones carry memos.
    for (const char* table : {"paradox/paradoxReader/ORDERS.DB", "paradox/paradoxReader/CONTACTS.DB",
                              "dbase/DBFFile/dbase_03_fixed.dbf", "dbase/DBFFile/vfp9_30_memo.dbf",
                              "dbase/infused-dbf/dbase_83.dbf"}) {
        SCOPED_TRACE(table);
        const std::string path = fixturesDir() + table;
        const Reference ref = walk(path, kDe);
        TableRows rows(kDe);
        rows.open(path);
        ASSERT_EQ(rows.columnNames(), ref.names);
        ASSERT_EQ(rows.rowCount(), static_cast<std::int64_t>(ref.rows.size()));

        for (std::size_t r = 0; r < ref.rows.size(); ++r) expectRow(rows, ref, r);
        for (std::size_t r = ref.rows.size(); r-- > 0;) expectRow(rows, ref, r);
        std::mt19937 random(7);
        for (int i = 0; i < 300; ++i) expectRow(rows, ref, random() % ref.rows.size());

        // Outside the table there is nothing, and asking does not disturb what follows.
        EXPECT_EQ(rows.text(-1, 0), "");
        EXPECT_EQ(rows.text(rows.rowCount(), 0), "");
        EXPECT_EQ(rows.text(0, rows.columnCount()), "");
        expectRow(rows, ref, ref.rows.size() / 2);
    }
}

TEST(TableRows, ValuesAsAUserReadsThem) {
    TempDir dir;
    const FormatSettings german = FormatSettings::german();
    MakeTable(dir.path(), "Werte.DB",
              {{"Nr", FieldType::Integer, 0}, {"Aktiv", FieldType::Boolean, 0}, {"Preis", FieldType::Currency, 0},
               {"Name", FieldType::String, 10}},
              1);
    Table t;
    t.setPath(dir.file("Werte.DB"));
    t.OpenTable();
    for (auto [nr, active, price] : {std::tuple{1, true, 1234.5}, std::tuple{2, false, -7.0}}) {
        t.BeginAppend();
        t.SetAsInteger(0, nr);
        t.SetValue(1, Value::ofBoolean(active));
        t.SetValue(2, Value::ofFloat(price));
        t.PostRecord();
    }
    t.BeginAppend();
    t.SetAsInteger(0, 3);
    t.PostRecord();
    t.CloseTable();
    TableRows rows(german);
    rows.open(dir.file("Werte.DB"));
    EXPECT_EQ(rows.text(0, 1), "Ja");
    EXPECT_EQ(rows.text(1, 1), "Nein");
    EXPECT_EQ(rows.text(0, 2), "1.234,50");
    EXPECT_EQ(rows.text(1, 2), "-7,00");
    EXPECT_EQ(rows.text(2, 1), "");
    EXPECT_EQ(rows.text(2, 2), "");
    EXPECT_TRUE(rows.alignsRight(0));
    EXPECT_FALSE(rows.alignsRight(1));
    EXPECT_TRUE(rows.alignsRight(2));
    EXPECT_FALSE(rows.alignsRight(3));
}

TEST(TableRows, KeyOrderAndTheCallersFormats) {
    TempDir dir;
    const std::string path = makeNumbers(dir, {30, 10, 20});
    FormatSettings formats = kDe;
    TableRows rows(formats);
    rows.open(path);
    EXPECT_EQ(rows.text(0, 0), "10");
    EXPECT_EQ(rows.text(1, 0), "20");
    EXPECT_EQ(rows.text(2, 0), "30");
    EXPECT_EQ(rows.text(0, 1), "10,5");

    // A table opened again shows the settings of now.
    formats.decimalSeparator = '.';
    rows.open(path);
    EXPECT_EQ(rows.text(2, 1), "30.5");
}

TEST(TableRows, ReadingLeavesTheTableAsItWasAndClosingLetsGo) {
    TempDir dir;
    std::vector<int> keys(450);
    for (int i = 0; i < 450; ++i) keys[static_cast<std::size_t>(i)] = 450 - i;
    const std::string path = makeNumbers(dir, keys);
    const std::string before = readFile(path);
    const auto stamp = std::filesystem::last_write_time(path);
    {
        TableRows rows(kDe);
        rows.open(path);
        // Another reader is welcome meanwhile.
        Table other;
        other.setPath(path);
        other.OpenTable();
        EXPECT_EQ(other.RecordCount(), 450);
        other.CloseTable();
        for (std::int64_t r = 0; r < rows.rowCount(); r += 37) EXPECT_EQ(rows.text(r, 0), std::to_string(r + 1));
        rows.close();
        EXPECT_EQ(rows.rowCount(), 0);
        EXPECT_EQ(rows.columnCount(), 0);
        EXPECT_EQ(rows.text(0, 0), "");
        // Closed, the table may be had alone again.
        Table alone;
        alone.setPath(path);
        alone.Exclusive = true;
        EXPECT_NO_THROW(alone.OpenTable());
        alone.CloseTable();
    }
    EXPECT_EQ(readFile(path), before);
    EXPECT_EQ(std::filesystem::last_write_time(path), stamp);
}

// A table this program holds exclusively cannot be opened a second time: the viewer reads through
// the holder's object, which finds its cursor where it left it, and is never closed by the viewer.
TEST(TableRows, AHeldTableIsReadThroughItsHolderWhoseCursorStays) {
    TempDir dir;
    std::vector<int> keys;
    for (int k = 500; k >= 1; --k) keys.push_back(k);
    const std::string path = makeNumbers(dir, keys);
    Table held;
    held.setPath(path);
    held.Exclusive = true;
    held.OpenTable();
    held.GoToRecord(42);

    ScriptedPrompter prompter;
    ContentViewer viewer(prompter, kDe);
    viewer.heldTable = [&](const std::string& p) { return p == path ? &held : nullptr; };
    viewer.showTargetTable(path, false);
    EXPECT_TRUE(prompter.finished());  // no "nicht zugegriffen"
    TableRows& rows = viewer.targetRows();
    ASSERT_EQ(rows.rowCount(), 500);
    EXPECT_EQ(rows.text(0, 0), "1");
    EXPECT_EQ(rows.text(499, 0), "500");
    EXPECT_EQ(rows.text(250, 1), "251,5");
    EXPECT_EQ(held.RecordNumber(), 42);
    held.MoveLast();
    held.MoveNext();
    ASSERT_TRUE(held.AtEnd());
    EXPECT_EQ(rows.text(100, 0), "101");
    EXPECT_TRUE(held.AtEnd());

    viewer.close();
    EXPECT_TRUE(held.Active());
    // Closed by its holder while shown: the viewer's cells go empty instead of reading a closed table.
    viewer.showTargetTable(path, false);
    held.CloseTable();
    EXPECT_EQ(rows.text(300, 0), "");
}

TEST(ContentViewerErrors, EngineFailuresAndOtherDatabaseFailures) {
    TempDir dir;
    writeFile(dir.file("Kaputt.DB"), std::string(3000, 'x'));
    const std::string good = makeNumbers(dir, {1, 2});
    const char* noAccess = "Auf diese Datenbank konnte nicht zugegriffen werden.";
    const char* notOpened = "Die Datenbank konnte nicht geöffnet werden.";

    Viewer v;
    v.prompter.expectError(noAccess);  // damaged
    v.viewer.showSourceTable(dir.file("Kaputt.DB"));
    EXPECT_TRUE(v.viewer.isShowing());
    EXPECT_EQ(v.viewer.view().sourceStatus.first, "0 Datensätze");
    EXPECT_EQ(v.viewer.sourceRows().columnCount(), 0);

    v.prompter.expectError(noAccess);  // encrypted
    v.viewer.showSourceTable(fixturesDir() + "paradox/paradoxdriver/encrypt/encrypted.db");

    v.prompter.expectError(notOpened);  // missing
    v.viewer.showTargetTable(dir.file("Fehlt.DB"), true);
    EXPECT_EQ(v.viewer.view().targetStatus.first, "0 Datensätze");
    EXPECT_TRUE(v.viewer.view().targetStatus.second);

    {
        Table holder;  // another user has the table to itself
        holder.setPath(good);
        holder.Exclusive = true;
        holder.OpenTable();
        v.prompter.expectError(noAccess).expectError(noAccess);  // each table its own message
        v.viewer.showBoth(good, good, false, false);
        EXPECT_EQ(v.viewer.view().sourceStatus.first, "0 Datensätze");
    }
    // One table failing leaves the other one shown.
    v.prompter.expectError(notOpened);
    v.viewer.showBoth(dir.file("Fehlt.DB"), good, false, true);
    EXPECT_EQ(v.viewer.targetRows().rowCount(), 2);
    EXPECT_EQ(v.viewer.view().targetStatus.first, "2 Datensätze");

    EXPECT_EQ(tableOpenErrorText(CodePageError("Die Codeseite 9999 wird nicht unterstützt"), true), notOpened);
    EXPECT_EQ(tableOpenErrorText(std::runtime_error("Zu wenig Speicher"), true), "Zu wenig Speicher");
}

TEST(ContentViewerText, ReadAsTheTextSourceReadsIt) {
    TempDir dir;
    // "Größe" in DOS 850 bytes; CR, CR LF and LF end lines, 0x1A ends the file.
    writeFile(dir.file("dos.txt"), "Gr\x94\xE1" "e\r\nzwei\rdrei\nvier\r\n\x1A" "danach");
    Viewer v;
    v.viewer.showTextFile(dir.file("dos.txt"), true);
    EXPECT_EQ(v.viewer.text(), "Größe\nzwei\ndrei\nvier");
    EXPECT_EQ(v.viewer.view().textStatus.first, "4 Zeilen");
    EXPECT_EQ(v.viewer.view().caption, "DOS.TXT");
    EXPECT_EQ(v.viewer.view().activePage, ViewerPage::Text);
    EXPECT_FALSE(v.viewer.view().anyTabVisible());

    // Without the conversion the same bytes are Windows text.
    v.viewer.showTextFile(dir.file("dos.txt"), false);
    EXPECT_EQ(v.viewer.text().substr(0, 7), "Gr\xE2\x80\x9D\xC3\xA1");
    // A file marked as UTF-8 stays UTF-8 either way.
    writeFile(dir.file("utf8.txt"), "\xEF\xBB\xBFGröße\n");
    v.viewer.showTextFile(dir.file("utf8.txt"), true);
    EXPECT_EQ(v.viewer.text(), "Größe");
    EXPECT_EQ(v.viewer.view().textStatus.first, "1 Zeilen");

    v.prompter.expectError("Die Datei " + dir.file("fehlt.txt") +
                           " kann nicht geöffnet werden: Datei oder Verzeichnis nicht gefunden");
    v.viewer.showTextFile(dir.file("fehlt.txt"), false);
    EXPECT_EQ(v.viewer.view().textStatus.first, "0 Zeilen");
    EXPECT_TRUE(v.viewer.isShowing());
}

TEST(ContentViewerView, CountsCaptionsAndClosing) {
    TempDir dir;
    std::vector<int> keys(1234);
    for (int i = 0; i < 1234; ++i) keys[static_cast<std::size_t>(i)] = i + 1;
    const std::string big = makeNumbers(dir, keys);
    Viewer v;
    v.viewer.showBoth(big, big, true, false);
    const ViewerView& view = v.viewer.view();
    EXPECT_EQ(view.caption, "Kelvaro Import 1.0c - Datenbankinhalte");
    EXPECT_EQ(view.sourceTab, "Quelldatenbank: ZAHLEN.DB");
    EXPECT_EQ(view.targetTab, "Zieldatenbank: ZAHLEN.DB");
    EXPECT_EQ(view.sourceStatus, (StatusText{"1.234 Datensätze", {}}));
    EXPECT_EQ(view.targetStatus,
              (StatusText{"1.234 Datensätze", std::string("Datenbankinhalt wird vor dem Importlauf gelöscht!")}));

    v.viewer.close();
    EXPECT_FALSE(v.viewer.isShowing());
    EXPECT_FALSE(v.viewer.sourceRows().isOpen());
    EXPECT_FALSE(v.viewer.targetRows().isOpen());
    EXPECT_TRUE(v.viewer.view().tabVisible[0] && v.viewer.view().tabVisible[1]);
}
