// The content viewer window on the offscreen platform: its controls, the
// status panels, which page and tabs show, the ways of closing it, a table
// that cannot be opened, and grids that read only the rows they show.
#include "support/ScriptedPrompter.h"
#include "tablestore/TableTestSupport.h"
#include "wizard/TfrmInhaltAnz.h"

#include <QHeaderView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QtTest>

using namespace kimport;
using namespace kimport::test;

namespace {

const FormatSettings kDe = FormatSettings::german();

std::string makeTable(const TempDir& dir, const std::string& name, int records) {
    MakeTable(dir.path(), name, {{"Nr", FieldType::Integer, 0}, {"Name", FieldType::String, 20}}, 1);
    appendCustomers(dir.file(name), records);
    return dir.file(name);
}

struct Fixture {
    TempDir dir;
    std::string source = makeTable(dir, "Quelle.DB", 3);
    std::string target = makeTable(dir, "Ziel.DB", 1500);
    ScriptedPrompter prompter;
    QStringList failures;
    TfrmInhaltAnz window{prompter, kDe};
    QSignalSpy closed{&window, &TfrmInhaltAnz::closed};

    Fixture() {
        prompter.onFailure = [this](const std::string& f) { failures << QString::fromStdString(f); };
    }
    template <typename T = QWidget>
    T* child(const char* name) {
        return window.findChild<T*>(QLatin1String(name));
    }
    QTabWidget* pages() { return child<QTabWidget>("PageControl1"); }
    QTableView* grid(const char* name) { return child<QTableView>(name); }
};

const QString kWird = QStringLiteral("Datenbankinhalt wird vor dem Importlauf gelöscht!");
const QString kWurde = QStringLiteral("Datenbankinhalt wurde vor dem Importlauf gelöscht!");

}  // namespace

class TestContentViewer : public QObject {
    Q_OBJECT
private slots:
    void controlsCarryTheirNames() {
        Fixture f;
        for (const char* name : {"PageControl1", "TabSheet1", "TabSheet2", "TabSheet3", "dbgInhaltQuellDB",
                                 "dbgInhaltZielDB", "retEditor", "stbInhaltQuelle", "stbInhaltZiel", "stbInhaltText",
                                 "btnInhSchliessen"})
            QVERIFY2(f.child(name), name);
        QCOMPARE(f.child<QPushButton>("btnInhSchliessen")->text(), QStringLiteral("&Schließen"));
        QVERIFY(f.child<QPlainTextEdit>("retEditor")->isReadOnly());
        QCOMPARE(f.grid("dbgInhaltZielDB")->editTriggers(), QAbstractItemView::NoEditTriggers);
        QVERIFY(f.window.windowFlags() & Qt::WindowMaximizeButtonHint);
        QVERIFY(f.window.windowFlags() & Qt::WindowSystemMenuHint);
        QVERIFY(f.window.isWindow());
        QVERIFY(!f.window.isShowing());
    }

    void targetTableWithItsEmptyingNotice() {
        Fixture f;
        f.window.showTargetTable(f.target, true);
        QVERIFY(f.window.isVisible());
        QCOMPARE(f.window.windowTitle(), QStringLiteral("ZIEL.DB"));
        QCOMPARE(f.pages()->currentIndex(), 1);
        QVERIFY(f.pages()->tabBar()->isHidden());
        QCOMPARE(f.window.statusTexts(ViewerPage::Target), (QStringList{QStringLiteral("1.500 Datensätze"), kWird}));

        f.window.showTargetTable(f.target, false);
        QCOMPARE(f.window.statusTexts(ViewerPage::Target), QStringList{QStringLiteral("1.500 Datensätze")});
        QVERIFY(f.failures.isEmpty());
    }

    void bothTablesBeforeAndAfterTheRun() {
        Fixture f;
        f.window.showBoth(f.source, f.target, true, false);
        QCOMPARE(f.window.windowTitle(), QStringLiteral("Kelvaro Import 1.0c - Datenbankinhalte"));
        QVERIFY(!f.pages()->tabBar()->isHidden());
        QVERIFY(f.pages()->isTabVisible(0) && f.pages()->isTabVisible(1) && !f.pages()->isTabVisible(2));
        QCOMPARE(f.pages()->tabText(0), QStringLiteral("Quelldatenbank: QUELLE.DB"));
        QCOMPARE(f.pages()->tabText(1), QStringLiteral("Zieldatenbank: ZIEL.DB"));
        QCOMPARE(f.pages()->currentIndex(), 0);
        QCOMPARE(f.window.statusTexts(ViewerPage::Source), QStringList{QStringLiteral("3 Datensätze")});
        QCOMPARE(f.window.statusTexts(ViewerPage::Target), (QStringList{QStringLiteral("1.500 Datensätze"), kWird}));

        f.window.showBoth(f.source, f.target, true, true);
        QCOMPARE(f.pages()->currentIndex(), 1);
        QCOMPARE(f.window.statusTexts(ViewerPage::Target), (QStringList{QStringLiteral("1.500 Datensätze"), kWurde}));
        QCOMPARE(f.grid("dbgInhaltQuellDB")->model()->index(2, 1).data().toString(), QStringLiteral("Kunde 3"));
        QVERIFY(f.failures.isEmpty());
    }

    void singleViewsHideTheTabsUntilClosed() {
        Fixture f;
        f.window.showSourceTable(f.source);
        QCOMPARE(f.window.windowTitle(), QStringLiteral("QUELLE.DB"));
        QCOMPARE(f.pages()->currentIndex(), 0);
        QVERIFY(f.pages()->tabBar()->isHidden());
        QVERIFY(!f.pages()->isTabVisible(1));

        // Each way of closing hides the window, brings both tabs back and reports it once.
        const std::function<void()> closers[] = {
            [&] { QTest::mouseClick(f.child<QPushButton>("btnInhSchliessen"), Qt::LeftButton); },
            [&] { QTest::keyClick(&f.window, Qt::Key_Escape); },
            [&] { f.window.close(); },
        };
        int expected = 0;
        for (const auto& close : closers) {
            f.window.showSourceTable(f.source);
            QVERIFY(f.window.isShowing());
            close();
            QCOMPARE(f.closed.count(), ++expected);
            QVERIFY(!f.window.isVisible());
            QVERIFY(!f.window.isShowing());
            QVERIFY(!f.pages()->tabBar()->isHidden());
            QVERIFY(f.pages()->isTabVisible(0) && f.pages()->isTabVisible(1));
            QCOMPARE(f.grid("dbgInhaltQuellDB")->model()->rowCount(), 0);
        }
        QVERIFY(f.failures.isEmpty());
    }

    void textFilePage() {
        Fixture f;
        writeFile(f.dir.file("liste.txt"), "Gr\x94\xE1" "e\r\nzwei\r\n");
        f.window.showTextFile(f.dir.file("liste.txt"), true);
        QCOMPARE(f.window.windowTitle(), QStringLiteral("LISTE.TXT"));
        QCOMPARE(f.pages()->currentIndex(), 2);
        QVERIFY(f.pages()->tabBar()->isHidden());
        QCOMPARE(f.child<QPlainTextEdit>("retEditor")->toPlainText(), QStringLiteral("Größe\nzwei"));
        QCOMPARE(f.window.statusTexts(ViewerPage::Text), QStringList{QStringLiteral("2 Zeilen")});
        f.window.close();
        QVERIFY(f.child<QPlainTextEdit>("retEditor")->toPlainText().isEmpty());
    }

    void unreadableTableStillShowsTheWindow() {
        Fixture f;
        writeFile(f.dir.file("Kaputt.DB"), std::string(4096, '\x7F'));
        f.prompter.expectError("Auf diese Datenbank konnte nicht zugegriffen werden.");
        f.window.showTargetTable(f.dir.file("Kaputt.DB"), true);
        QVERIFY(f.prompter.finished());
        QVERIFY(f.window.isVisible());
        QCOMPARE(f.grid("dbgInhaltZielDB")->model()->rowCount(), 0);
        QCOMPARE(f.grid("dbgInhaltZielDB")->model()->columnCount(), 0);
        QCOMPARE(f.window.statusTexts(ViewerPage::Target), (QStringList{QStringLiteral("0 Datensätze"), kWird}));

        f.prompter.expectError("Die Datenbank konnte nicht geöffnet werden.");
        f.window.showBoth(f.dir.file("Fehlt.DB"), f.target, false, false);
        QVERIFY(f.prompter.finished());
        QCOMPARE(f.grid("dbgInhaltZielDB")->model()->rowCount(), 1500);
        QVERIFY(f.failures.isEmpty());
    }

    void gridsKeepOneRowHeightAndFollowTheScrolling() {
        Fixture f;
        f.window.showTargetTable(f.target, false);
        QTableView* grid = f.grid("dbgInhaltZielDB");
        QCOMPARE(grid->verticalHeader()->sectionResizeMode(0), QHeaderView::Fixed);
        QCOMPARE(grid->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Name"));
        QVERIFY(grid->columnWidth(1) >= grid->fontMetrics().horizontalAdvance(QStringLiteral("Kunde 1")));
        const QModelIndex last = grid->model()->index(1499, 1);
        grid->scrollTo(last);
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        QVERIFY(grid->visualRect(last).isValid());
        QCOMPARE(grid->indexAt(grid->visualRect(last).center()).data().toString(), QStringLiteral("Kunde 1500"));
        grid->scrollToTop();
        QCOMPARE(grid->indexAt(QPoint(5, 5)).data().toString(), QStringLiteral("1"));
    }
};

QTEST_MAIN(TestContentViewer)
#include "test_content_viewer.moc"
