// The mapping page as a user works it: assigning by hand, the options panel
// and its switches, taking all assignments back, and the mode page that the
// check on leaving decides; the options' effect seen in the imported table.
#include "support/ScriptedPrompter.h"
#include "formula/FieldFormulas.h"
#include "importrun/GaugeModel.h"
#include "settings/ControlTables.h"
#include "support/TestSupport.h"
#include "tablestore/Dump.h"
#include "tablestore/TableTestSupport.h"
#include "wizard/TfrmImport1.h"
#include "wizard/TfrmRuleOptions.h"

#include <QAbstractItemModel>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTableView>
#include "tablestore/TableTestSupport.h"

#include <QtTest>

#include <filesystem>
#include <memory>
#include <sstream>

using namespace kimport;
using kimport::test::TempDir;

namespace {

// The name field left empty: the run goes ahead without saving.
const char* const kSaveQuestion = "Möchten Sie die vorgenommenen Importeinstellungen speichern";

const FormatSettings kDe = FormatSettings::german();

struct MappingWorld {
    TempDir dir;
    std::string source = dir.file("daten/Artikel.DB"), target;
    ScriptedPrompter prompter;
    MemoryRegistry registry;
    ProcessFormats formats;
    std::unique_ptr<GaugeModel> gauge;
    FieldFormulas formulas{formats.current};
    std::unique_ptr<ImportWizard> wizard;
    std::unique_ptr<TfrmImport1> window;

    explicit MappingWorld(const char* targetName = "Ziel.DB") : target(dir.file(std::string("daten/") + targetName)) {
        makeControlTables(dir.path());
        std::filesystem::create_directory(dir.file("daten"));
        MakeTable(dir.file("daten"), "Artikel.DB",
                  {{"NR", FieldType::Integer, 0}, {"NAME", FieldType::String, 20}, {"MENGE", FieldType::Integer, 0}}, 1);
        const bool dbase = std::string(targetName).ends_with(".DBF");
        MakeTable(dir.file("daten"), targetName,
                  {{"NR", FieldType::Integer, 0}, {"NAME", FieldType::String, 10}, {"MENGE", FieldType::Float, 0},
                   {"ANTEIL", FieldType::Float, 0}, {"CODE", FieldType::String, 8}},
                  dbase ? 0 : 1);
        Table t;
        t.setPath(source);
        t.OpenTable();
        for (auto [nr, name, menge] : {std::tuple{1, "Schraube M4", 10}, std::tuple{2, "Mutter", 0}}) {
            t.BeginAppend();
            t.SetAsInteger(0, nr);
            t.SetAsString(1, name, kDe);
            t.SetAsInteger(2, menge);
            t.PostRecord();
        }
        t.CloseTable();
        prompter.onFailure = [](const std::string& f) { QFAIL(f.c_str()); };
        gauge = std::make_unique<GaugeModel>(formats.current);
        wizard = std::make_unique<ImportWizard>(
            WizardEnvironment{dir.path(), prompter, registry, formats, realFileSystem(), std::nullopt, gauge.get(),
                              &formulas});
        window = std::make_unique<TfrmImport1>(*wizard);
        wizard->start({source, target});
        window->applyState();
        window->show();
        // Focus decides what a grid's cursor move does: the window must be the active one.
        window->activateWindow();
        if (!QTest::qWaitForWindowActive(window.get())) qWarning("the wizard window did not become active");
        click("btnWeiter1");
        click("btnWeiter2");
        click("btnWeiter3");
    }

    // The program ends and starts again on the same program directory, without names on the command line.
    void restart() {
        window->close();
        window.reset();
        wizard.reset();
        wizard = std::make_unique<ImportWizard>(WizardEnvironment{dir.path(), prompter, registry, formats, realFileSystem(),
                                                                  std::nullopt, gauge.get(), &formulas});
        window = std::make_unique<TfrmImport1>(*wizard);
        wizard->start({});
        window->applyState();
        window->show();
        window->activateWindow();
        if (!QTest::qWaitForWindowActive(window.get())) qWarning("the wizard window did not become active");
    }
    std::string targetDump() {
        wizard->context().tblZiel.CloseTable();
        Table t;
        t.setPath(target);
        t.OpenTable();
        std::ostringstream dump;
        dumpTable(t.image(), dump);
        return dump.str();
    }

    template <class W = QWidget>
    W* find(const char* name) {
        auto* w = window->findChild<W*>(QString::fromLatin1(name));
        if (!w) qWarning("no control %s", name);
        return w;
    }
    void click(const char* name) {
        auto* b = find<QAbstractButton>(name);
        QVERIFY2(b && b->isVisible() && b->isEnabled(), name);
        QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(4, b->height() / 2));
    }
    void type(const char* name, const char* text) {
        auto* e = find<QLineEdit>(name);
        QVERIFY2(e && e->isEnabled(), name);
        e->setFocus();
        e->selectAll();
        QTest::keyClicks(e, QString::fromUtf8(text));
        QTest::keyClick(e, Qt::Key_Return);
    }
    // Selects a row of a grid as a click does (the grid has the focus).
    void selectRow(QTableView* grid, const char* feldname) {
        QAbstractItemModel* m = grid->model();
        for (int r = 0; r < m->rowCount(); ++r) {
            for (int c = 0; c < m->columnCount(); ++c) {
                if (m->data(m->index(r, c)).toString() != QString::fromLatin1(feldname)) continue;
                grid->setFocus();
                grid->setCurrentIndex(m->index(r, c));
                return;
            }
        }
        QFAIL(feldname);
    }
    void assign(const char* sourceField, const char* targetField) {
        selectRow(window->dbgStruktQuelle, sourceField);
        selectRow(window->dbgStruktZiel, targetField);
        click("btnZuordnen");
    }
    QString shownPage() { return window->findChild<TfrmRuleOptions*>()->currentWidget()->objectName(); }
    bool checked(const char* name) { return find<QCheckBox>(name)->isChecked(); }
};

}  // namespace

class TestMappingPage : public QObject {
    Q_OBJECT
private slots:
    void optionsChangeWhatIsImported() {
        MappingWorld w;
        auto* options = w.window->findChild<TfrmRuleOptions*>();
        QVERIFY(options && !options->isVisible());
        QVERIFY(w.find<QLabel>("panZuordHint")->isVisible());
        QVERIFY(w.find<QPushButton>("btnAufheben")->isEnabled());  // the proposal assigned something

        // A number into a text field by hand: its page, its label, and the alignment switches.
        w.assign("MENGE", "CODE");
        QVERIFY(options->isVisible());
        QVERIFY(!w.find<QLabel>("panZuordHint")->isVisible());
        QCOMPARE(w.shownPage(), QStringLiteral("Zahl_String"));
        QCOMPARE(w.find<QLabel>("lblZS_Optionen")->text(), QStringLiteral("Optionen für Zielfeld \"CODE\""));
        QCOMPARE(w.find<QPushButton>("btnOptionen")->text(), QStringLiteral("Optionen &schließen"));
        QVERIFY(w.checked("cbxZS_Ausrichtung_re"));
        w.click("cbxZS_Ausrichtung_li");
        QVERIFY(!w.checked("cbxZS_Ausrichtung_re"));

        // Division, then multiplication: the division is cleared, its edit closed.
        w.selectRow(w.window->dbgStruktZiel, "MENGE");
        QCOMPARE(w.shownPage(), QStringLiteral("Zahl_Zahl"));
        w.click("cbxZZ_Div");
        w.type("edtZZ_DivWert", "4");
        w.click("cbxZZ_Mul");
        QVERIFY(!w.checked("cbxZZ_Div"));
        QVERIFY(!w.find<QLineEdit>("edtZZ_DivWert")->isEnabled());
        QCOMPARE(w.find<QLineEdit>("edtZZ_DivWert")->text(), QString());
        w.click("cbxZZ_Div");
        w.type("edtZZ_DivWert", "4");
        // A default of 99 where the source value is 0.
        w.click("cbxZZ_Vorgabe");
        w.type("edtZZ_Vorgabe_Wert", "99");
        w.click("cbxZZ_Vorgabe_Gleich");
        w.type("edtZZ_Vorgabe_Quelltxt", "0");

        // A formula with rounding on a field assigned by hand.
        w.assign("MENGE", "ANTEIL");
        QCOMPARE(w.shownPage(), QStringLiteral("Zahl_Zahl"));
        QVERIFY(!w.find<QCheckBox>("cbxZZ_Runden")->isEnabled());
        w.click("cbxZZ_Formel");
        auto* memo = w.find<QPlainTextEdit>("memZZ_Formel");
        memo->setFocus();
        QTest::keyClicks(memo, QStringLiteral("#MENGE / 3"));
        w.click("cbxZZ_Runden");
        w.type("edtZZ_Runden", "2");

        // Only the first five characters of the name.
        w.selectRow(w.window->dbgStruktZiel, "NAME");
        QCOMPARE(w.shownPage(), QStringLiteral("String_String"));
        w.click("cbxSS_Ausschnitt");
        w.type("edtSS_AusschnittBegString", "1");
        w.type("edtSS_AusschnittEndString", "5");

        w.click("btnWeiter4");
        QCOMPARE(w.window->PageControl1->currentWidget()->objectName(), QStringLiteral("ImportSeite5"));
        w.click("rbtEndeAnhaengen");
        w.click("rbtIgnorieren");
        w.click("btnWeiter5");
        w.window->rbtTabNichtAnz->setChecked(true);
        w.prompter.expectMessage(MsgKind::Confirmation, Buttons::YesNoCancel, kSaveQuestion, Answer::No);
        w.click("btnFertigstellen");
        QVERIFY(w.prompter.finished());
        QCOMPARE(w.gauge->count(Counter::AnzFehler), std::int64_t{0});
        w.wizard->context().tblZiel.CloseTable();
        Table t;
        t.setPath(w.target);
        t.OpenTable();
        std::ostringstream dump;
        dumpTable(t.image(), dump);
        QCOMPARE(QString::fromStdString(dump.str()),
                 QStringLiteral("NR,NAME,MENGE,ANTEIL,CODE\n1,Schra,2.5,3.33,10\n2,Mutte,99,0,0\n"));
    }

    // The cut-out positions taken as a user types them: a digit, then Tab to the next edit.
    void aCutOutPositionIsKeptWhenTabLeavesIt() {
        MappingWorld w;
        w.selectRow(w.window->dbgStruktZiel, "NAME");
        w.click("btnOptionen");
        QCOMPARE(w.shownPage(), QStringLiteral("String_String"));
        w.click("cbxSS_Ausschnitt");
        auto* from = w.find<QLineEdit>("edtSS_AusschnittBegString");
        auto* to = w.find<QLineEdit>("edtSS_AusschnittEndString");
        from->setFocus();
        QTest::keyClicks(from, QStringLiteral("5"));
        QTest::keyClick(from, Qt::Key_Tab);
        QCOMPARE(from->text(), QStringLiteral("5"));
        to->setFocus();
        QTest::keyClicks(to, QStringLiteral("8"));
        QTest::keyClick(to, Qt::Key_Tab);
        QCOMPARE(from->text(), QStringLiteral("5"));
        QCOMPARE(to->text(), QStringLiteral("8"));
        QVERIFY(w.checked("cbxSS_Ausschnitt"));
        QVERIFY(w.prompter.finished());  // no message came

        // The end typed first: kept, cutting from the first character.
        w.click("cbxSS_Ausschnitt");
        w.click("cbxSS_Ausschnitt");
        to->setFocus();
        QTest::keyClicks(to, QStringLiteral("7"));
        QTest::keyClick(to, Qt::Key_Tab);
        QCOMPARE(to->text(), QStringLiteral("7"));
        QCOMPARE(from->text(), QStringLiteral("1"));
        QVERIFY(w.prompter.finished());
    }

    // Tab goes from a grid to the next control; the arrows move within it.
    void tabLeavesTheMappingGrids() {
        MappingWorld w;
        QTableView* grid = w.window->dbgStruktZiel;
        grid->setFocus();
        grid->setCurrentIndex(grid->model()->index(0, 1));
        QTest::keyClick(grid, Qt::Key_Down);
        QCOMPARE(grid->currentIndex().row(), 1);
        QTest::keyClick(grid, Qt::Key_Tab);
        QVERIFY(!grid->hasFocus());
    }

    // The mode page as a user meets it: the choices of the preselected "An das Ende anhängen" are there at
    // once, and the start value's button shows as the start value gets the focus.
    void theModePageShowsWhatItAsksFor() {
        MappingWorld w;
        w.click("btnWeiter4");
        QCOMPARE(w.window->PageControl1->currentWidget()->objectName(), QStringLiteral("ImportSeite5"));
        QVERIFY(w.find<QRadioButton>("rbtEndeAnhaengen")->isChecked());
        QVERIFY(w.find<QWidget>("gbxImportmodus")->isVisible());
        QVERIFY(!w.find<QPushButton>("btnInhaltAnz5")->isVisible());
        w.click("rbtUmbenennen");  // the start value gets the focus
        QVERIFY(w.find<QLineEdit>("edtStartwert")->hasFocus());
        QVERIFY(w.find<QPushButton>("btnInhaltAnz5")->isVisible());
    }

    void aSavedSettingRunsAgainUnchanged() {
        MappingWorld w;
        w.selectRow(w.window->dbgStruktZiel, "MENGE");
        w.click("btnOptionen");
        w.click("cbxZZ_Div");
        w.type("edtZZ_DivWert", "4");
        w.click("btnWeiter4");
        w.click("rbtEndeAnhaengen");
        w.click("rbtIgnorieren");
        w.click("btnWeiter5");
        auto* name = w.find<QLineEdit>("edtImpSpeich");
        name->setFocus();
        QTest::keyClicks(name, QStringLiteral("Artikel monatlich"));  // Enter here would finish at once
        w.prompter.expectMessage(MsgKind::Information, Buttons::Ok,
                                 "Die Importeinstellung \r\n\"Artikel monatlich\"\r\nist gespeichert worden.");
        w.window->rbtTabNichtAnz->setChecked(true);
        w.click("btnFertigstellen");
        const std::string first = w.targetDump();
        QVERIFY(first.find("1,Schraube M,2.5") != std::string::npos);
        kimport::test::emptyTable(w.target);
        // Next month: the setting from the first page, unchanged, straight to the last page.
        w.restart();
        QVERIFY(w.window->rbtVorhEinst_oAE->isVisible());
        w.click("rbtVorhEinst_oAE");
        QCOMPARE(w.find<QLineEdit>("edtAktEinstellung")->text(), QStringLiteral("Artikel monatlich"));
        w.click("btnWeiter1");
        QCOMPARE(w.window->PageControl1->currentWidget()->objectName(), QStringLiteral("ImportSeite6"));
        QVERIFY(!w.find<QLineEdit>("edtImpSpeich")->isEnabled());
        w.window->rbtTabNichtAnz->setChecked(true);
        w.click("btnFertigstellen");
        QCOMPARE(QString::fromStdString(w.targetDump()), QString::fromStdString(first));
        QVERIFY(w.prompter.finished());
    }

    void unassigningAllLeavesNothingToRun() {
        MappingWorld w;
        w.prompter.expectMessage(MsgKind::Confirmation, Buttons::YesNo, "Möchten Sie wirklich alle Zuordnungen aufheben",
                                 Answer::Yes);
        w.click("btnAlleAufheben");
        QAbstractItemModel* m = w.window->dbgStruktZiel->model();
        for (int r = 0; r < m->rowCount(); ++r) QCOMPARE(m->data(m->index(r, m->columnCount() - 1)).toString(), QString());
        QVERIFY(!w.find<QPushButton>("btnAufheben")->isEnabled());
        QVERIFY(!w.find<QPushButton>("btnAlleAufheben")->isEnabled());
        w.prompter.expectBeep().expectError(
            "Es sind keine Zuordnungen zwischen Quell- und\r\nZieldatenbank eingetragen.\r\n\r\nSie können diese jetzt "
            "vornehmen");
        w.click("btnWeiter4");
        QCOMPARE(w.window->PageControl1->currentWidget()->objectName(), QStringLiteral("ImportSeite4"));
        QVERIFY(w.find<QPushButton>("btnZuordnen")->hasFocus());
        QVERIFY(w.prompter.finished());
    }

    void aDBaseTargetOnlyAppends() {
        MappingWorld w("ZIEL.DBF");
        w.click("btnWeiter4");
        QCOMPARE(w.window->PageControl1->currentWidget()->objectName(), QStringLiteral("ImportSeite5"));
        QVERIFY(w.window->rbtEndeAnhaengen->isChecked() && w.window->rbtEndeAnhaengen->isEnabled());
        QVERIFY(!w.find("gbxImportmodus")->isVisible());
        QVERIFY(!w.window->rbtAktualisieren->isEnabled());
        QVERIFY(w.find("lblAktualisieren")->isVisible() && !w.find("lblAktNichtMoeglich")->isVisible());
        w.click("btnWeiter5");
        QCOMPARE(w.window->PageControl1->currentWidget()->objectName(), QStringLiteral("ImportSeite6"));
        QVERIFY(w.prompter.finished());
    }
};

QTEST_MAIN(TestMappingPage)
#include "test_mapping_page.moc"
