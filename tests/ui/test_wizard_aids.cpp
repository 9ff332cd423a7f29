// The aids on the wizard's pages, clicked in the main window on the offscreen platform with a scripted
// Prompter: browse dialogs, the backup copy, the content viewer's requests, the remark editor, help,
// the Info buttons, and closing the window while a handler still works.
#include "common/FileSets.h"
#include "support/ScriptedPrompter.h"
#include "settings/ControlTables.h"
#include "support/TestSupport.h"
#include "tablestore/Table.h"
#include "tablestore/TableTestSupport.h"
#include "wizard/TfrmImport1.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTabWidget>
#include <QtTest>

#include <filesystem>
#include <memory>

using namespace kimport;
using kimport::test::TempDir;

namespace {

struct World {
    TempDir dir;
    std::string source, target;
    ScriptedPrompter prompter;
    MemoryRegistry registry;
    ProcessFormats formats;
    std::unique_ptr<ImportWizard> wizard;
    std::unique_ptr<TfrmImport1> window;

    explicit World(std::optional<std::string> alias = std::nullopt) {
        makeControlTables(dir.path());
        std::filesystem::create_directory(dir.file("daten"));
        source = dir.file("daten/Quelle.DB");
        target = dir.file("daten/Ziel.DB");
        for (const std::string& p : {source, target}) test::makeNumberedTable(p, 1);
        prompter.onFailure = [](const std::string& f) { QFAIL(f.c_str()); };
        wizard = std::make_unique<ImportWizard>(
            WizardEnvironment{dir.path(), prompter, registry, formats, realFileSystem(),
                              alias ? std::optional<std::string>(dir.file(*alias)) : std::nullopt});
        window = std::make_unique<TfrmImport1>(*wizard);
        wizard->start({});
        window->applyState();
        window->show();
    }

    template <class W = QAbstractButton>
    W* find(const char* name) {
        auto* w = window->findChild<W*>(QString::fromLatin1(name));
        if (!w) QTest::qFail(name, __FILE__, __LINE__);
        return w;
    }
    void click(const char* name) {
        auto* b = find(name);
        QVERIFY2(b->isVisible() && b->isEnabled(), name);
        QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(4, b->height() / 2));
    }
    void type(const char* name, const std::string& text) { find<QLineEdit>(name)->setText(QString::fromStdString(text)); }
    QString page() { return window->PageControl1->currentWidget()->objectName(); }
    void toPage3() {
        click("btnWeiter1");
        type("edtQuelle", source);
        click("btnWeiter2");
    }
};

}  // namespace

class TestWizardAids : public QObject {
    Q_OBJECT
private slots:
    void browseDialogsStartBesideTheNamesAndFillTheFields();
    void backupCopyChecksTheNameThenCopiesTheSetUnderTheChosenName();
    void backupCopyOntoTheTargetItselfIsRefused();
    void contentViewerRequestsDisableTheOpeningButtonUntilClosed();
    void closingTheViewerOnTheLastPageEndsTheProgram();
    void remarkEditorAsksForANameFirstAndKeepsOrDiscardsTheText();
    void f1OpensTheActivePagesHelpAndRightClickShowsInfo();
    void closingWhileAHandlerWorksWaitsForIt();
    void withTheAliasTheComboIsTheOneNameField();
};

void TestWizardAids::browseDialogsStartBesideTheNamesAndFillTheFields() {
    World w;
    w.click("btnWeiter1");
    w.type("edtQuelle", w.source);
    w.prompter.expectOpenFile(w.dir.file("daten/Andere.txt"));
    w.click("btnQBrowse");
    const FileDialogSpec& d = w.prompter.lastFileDialog();
    QCOMPARE(QString::fromStdString(d.title), QStringLiteral("Quelldatei auswählen"));
    QCOMPARE(QString::fromStdString(d.initialDir), QString::fromStdString(w.dir.file("daten/")));
    QCOMPARE(d.filters.size(), std::size_t(5));
    QCOMPARE(QString::fromStdString(d.filters.front().description), QStringLiteral("Alle Dateien"));
    QCOMPARE(QString::fromStdString(d.filters.back().pattern), QStringLiteral("*.txt *.TXT"));
    QCOMPARE(w.find<QLineEdit>("edtQuelle")->text(), QString::fromStdString(w.dir.file("daten/Andere.txt")));

    // The target's dialog: no text filter; the source's folder while the target names none that exists.
    w.type("edtQuelle", w.source);
    w.click("btnWeiter2");
    w.type("edtZiel", "/gibt/es/nicht/Ziel.DB");
    w.prompter.expectOpenFile(std::nullopt);
    w.click("btnZBrowse");
    QCOMPARE(QString::fromStdString(w.prompter.lastFileDialog().title), QStringLiteral("Zieldatenbank auswählen"));
    QCOMPARE(w.prompter.lastFileDialog().filters.size(), std::size_t(4));
    QCOMPARE(QString::fromStdString(w.prompter.lastFileDialog().initialDir), QString::fromStdString(w.dir.file("daten/")));
    QCOMPARE(w.find<QLineEdit>("edtZiel")->text(), QStringLiteral("/gibt/es/nicht/Ziel.DB"));  // cancelled: kept
    QVERIFY(w.prompter.finished());
}

void TestWizardAids::backupCopyChecksTheNameThenCopiesTheSetUnderTheChosenName() {
    World w;
    w.toPage3();
    w.type("edtZiel", w.dir.file("fehlt/Ziel.DB"));
    w.prompter.expectError("Der von Ihnen eingegebene Verzeichnispfad existiert leider nicht.");
    w.click("btnSicherungskopie");
    w.type("edtZiel", w.dir.file("daten/Fehlt.DB"));
    w.prompter.expectError("Der von Ihnen eingegebene Dateiname existiert leider nicht.");
    w.click("btnSicherungskopie");
    QVERIFY(!std::filesystem::exists(w.dir.file("daten/CP_ZIEL.DB")));

    // The dialog proposes CP_ + the name in capitals beside the target; a name without extension is the base.
    w.type("edtZiel", w.target);
    w.prompter.expectSaveFile(w.dir.file("Sicherung"))
        .expectMessage(MsgKind::Information, Buttons::Ok, "Die Sicherungskopie ist erstellt worden");
    w.click("btnSicherungskopie");
    QCOMPARE(QString::fromStdString(w.prompter.lastFileDialog().initialFile), QStringLiteral("CP_ZIEL.DB"));
    QCOMPARE(QString::fromStdString(w.prompter.lastFileDialog().title), QStringLiteral("Sicherungskopie speichern unter"));
    QVERIFY(std::filesystem::exists(w.dir.file("Sicherung.DB")));
    QVERIFY(std::filesystem::exists(w.dir.file("Sicherung.PX")));  // the whole set, the index too
    Table copy;
    copy.setPath(w.dir.file("Sicherung.DB"));
    copy.OpenTable();
    QCOMPARE(copy.RecordCount(), std::int64_t(1));
    QVERIFY(w.find<QCheckBox>("cbxSicherungskopie")->isChecked());
    // Cancelling the dialog copies nothing and says nothing.
    w.prompter.expectSaveFile(std::nullopt);
    w.click("btnSicherungskopie");
    QVERIFY(w.prompter.finished());
}

void TestWizardAids::backupCopyOntoTheTargetItselfIsRefused() {
    World w;
    w.toPage3();
    w.type("edtZiel", w.target);
    w.prompter.expectSaveFile(w.target).expectError("Die Sicherungskopie konnte nicht erstellt werden");
    w.click("btnSicherungskopie");
    Table t;
    t.setPath(w.target);
    t.OpenTable();
    QCOMPARE(t.RecordCount(), std::int64_t(1));
    QVERIFY(w.prompter.finished());
}

void TestWizardAids::contentViewerRequestsDisableTheOpeningButtonUntilClosed() {
    World w;
    QSignalSpy requests(w.window.get(), &TfrmImport1::contentViewerRequested);
    w.toPage3();
    w.type("edtZiel", w.target);
    w.find<QCheckBox>("cbxZielLeeren")->setChecked(true);
    QVERIFY(w.find<QLabel>("lblZielLeeren")->font().bold());
    w.click("btnInhaltAnz3");
    QCOMPARE(requests.count(), 1);
    auto r = requests.takeFirst().at(0).value<ContentViewerRequest>();
    QCOMPARE(r.kind, ContentViewerRequest::Kind::TargetTable);
    QVERIFY(r.targetEmptied);
    QVERIFY(!w.find("btnInhaltAnz3")->isEnabled());
    // "Zurück" closes the viewer first.
    w.click("btnZurueck3");
    QCOMPARE(requests.count(), 1);
    QCOMPARE(requests.takeFirst().at(0).value<ContentViewerRequest>().kind, ContentViewerRequest::Kind::Close);
    w.window->handle([&] { w.wizard->contentViewer().contentViewerClosed(); });
    QVERIFY(w.find("btnInhaltAnz3")->isEnabled());
    QCOMPARE(w.page(), QStringLiteral("ImportSeite2"));
    QVERIFY(w.window->isVisible());  // closing it before the last page ends nothing
}

void TestWizardAids::closingTheViewerOnTheLastPageEndsTheProgram() {
    World w;
    QSignalSpy ended(w.window.get(), &TfrmImport1::programEnded);
    w.wizard->state().page = WizardPage::Seite6;
    w.window->applyState();
    w.window->handle([&] { w.wizard->contentViewer().contentViewerClosed(); });
    QCOMPARE(ended.count(), 1);
    QVERIFY(!w.window->isVisible());
}

void TestWizardAids::remarkEditorAsksForANameFirstAndKeepsOrDiscardsTheText() {
    World w;
    w.wizard->state().page = WizardPage::Seite6;
    w.window->applyState();
    w.prompter.expectMessage(MsgKind::Information, Buttons::Ok,
                             "Bitte geben Sie zuerst einen Namen ein, unter der Sie\r\ndie erstellte Importeinstellung "
                             "speichern möchten");
    w.click("btnBemerkung");
    QVERIFY(!w.find<QPlainTextEdit>("edtBemerkung")->isVisible());

    w.type("edtImpSpeich", "Preise");
    w.click("btnBemerkung");
    auto* memo = w.find<QPlainTextEdit>("edtBemerkung");
    QVERIFY(memo->isVisible() && !w.find("btnBemerkung")->isVisible());
    memo->setPlainText(QStringLiteral("Jeden Montag"));
    w.prompter.expectMessage(MsgKind::Information, Buttons::Ok, "Ihre Bemerkung wurde gespeichert");
    w.click("btnBemerkSpeichern");
    QVERIFY(!memo->isVisible());
    QCOMPARE(QString::fromStdString(w.wizard->state().edtBemerkung), QStringLiteral("Jeden Montag"));

    const char* discard = "Möchten Sie, daß die Bemerkung zu Ihrer Importeinstellung wieder gelöscht wird";
    w.click("btnBemerkung");
    w.prompter.expectMessage(MsgKind::Confirmation, Buttons::YesNo, discard, Answer::No);
    w.click("btnBemerkVerwerfen");
    QVERIFY(memo->isVisible());
    QCOMPARE(memo->toPlainText(), QStringLiteral("Jeden Montag"));
    w.prompter.expectMessage(MsgKind::Confirmation, Buttons::YesNo, discard, Answer::Yes);
    w.click("btnBemerkVerwerfen");
    QVERIFY(!memo->isVisible());
    QVERIFY(w.wizard->state().edtBemerkung.empty());
    QVERIFY(w.prompter.finished());
}

void TestWizardAids::f1OpensTheActivePagesHelpAndRightClickShowsInfo() {
    World w;
    QSignalSpy help(w.window.get(), &TfrmImport1::helpRequested);
    QSignalSpy about(w.window.get(), &TfrmImport1::aboutRequested);
    QApplication::setActiveWindow(w.window.get());
    QVERIFY(QTest::qWaitForWindowActive(w.window.get()));
    QTest::keyClick(w.window.get(), Qt::Key_F1);
    QCOMPARE(help.count(), 1);
    QCOMPARE(help.takeFirst().at(0).toInt(), 1);
    for (auto [sub, context] : {std::pair{TextPage::TXTDatensatzlaenge, 11}, {TextPage::TXTFix, 12},
                                {TextPage::TXTVariabel, 13}}) {
        w.wizard->state().page = WizardPage::Seite1txt;
        w.wizard->state().textPage = sub;
        w.window->applyState();
        QTest::keyClick(w.window.get(), Qt::Key_F1);
        QCOMPARE(help.takeFirst().at(0).toInt(), context);
    }

    w.wizard->state().page = WizardPage::Seite1;
    w.window->applyState();
    auto* info = w.find<QPushButton>("btnInfo1");
    QVERIFY(info->isHidden());
    QTest::mouseClick(w.window->ImportSeite1, Qt::RightButton, {}, QPoint(200, 150));
    QVERIFY(info->isVisible());
    QCOMPARE(info->pos(), QPoint(200, 150));
    QTest::mouseClick(w.window->ImportSeite1, Qt::LeftButton, {}, QPoint(20, 150));
    QVERIFY(info->isHidden());
    QTest::mouseClick(w.window->ImportSeite1, Qt::RightButton, {}, QPoint(100, 100));
    QTest::mouseClick(info, Qt::LeftButton);
    QVERIFY(info->isHidden());
    QCOMPARE(about.count(), 1);
}

// A close from the window manager while a handler pumps events (a run) must not tear the tables down
// under it: it is asked whether to stop, and the window closes once the handler has returned.
void TestWizardAids::closingWhileAHandlerWorksWaitsForIt() {
    World w;
    QSignalSpy ended(w.window.get(), &TfrmImport1::programEnded);
    int asked = 0;
    bool stop = false;
    w.window->confirmCloseWhileBusy = [&] {
        ++asked;
        return stop;
    };
    // The program's end writes the window's state into the registry: not before the handler is done.
    bool endedInsideHandler = false;
    auto handler = [&] {
        w.window->close();  // as the window manager's button during the run's event pumping
        endedInsideHandler = !w.registry.values.empty();
    };
    w.window->handle(handler);
    QCOMPARE(asked, 1);
    QVERIFY(!endedInsideHandler);
    QVERIFY(w.window->isVisible());  // answered No: the program goes on
    QCOMPARE(ended.count(), 0);
    stop = true;
    w.window->handle(handler);
    QCOMPARE(asked, 2);
    QVERIFY(!endedInsideHandler);
    QVERIFY(!w.registry.values.empty());
    QVERIFY(!w.window->isVisible());
    QCOMPARE(ended.count(), 1);
}

// With the alias the editable combo box takes the edit's place: a preset choice fills it with the
// alias's table, and a path typed into it is the source.
void TestWizardAids::withTheAliasTheComboIsTheOneNameField() {
    World w("daten");
    w.click("btnWeiter1");
    auto* combo = w.find<QComboBox>("comQuelle");
    QVERIFY(combo->isVisible());
    QVERIFY(!w.find<QLineEdit>("edtQuelle")->isVisible());
    combo->setEditText(QString::fromStdString(w.source));
    w.click("btnWeiter2");
    QCOMPARE(w.page(), QStringLiteral("ImportSeite3"));
    QCOMPARE(QString::fromStdString(w.wizard->state().edtQuelle), QString::fromStdString(w.source));
    auto* target = w.find<QComboBox>("comZiel");
    QVERIFY(target->isVisible());
    emit target->activated(1);  // "Kunden-Datei von Brisko"
    QCOMPARE(target->currentText(), QString::fromStdString(w.dir.file("daten/Kunden.DB")));
}

QTEST_MAIN(TestWizardAids)
#include "test_wizard_aids.moc"
