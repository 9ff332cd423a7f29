// A new import setting through the wizard's pages up to "Fertigstellen", in
// every mode: structures read, mapping proposed, records carried over.
#include "common/FileSets.h"
#include "support/ScriptedPrompter.h"
#include "importrun/GaugeModel.h"
#include "settings/ControlTables.h"
#include "support/TestSupport.h"
#include "wizard/TfrmImport1.h"

#include <QAbstractItemModel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTableView>
#include <QtTest>

#include <filesystem>
#include <memory>

using namespace kimport;
using kimport::test::TempDir;

namespace {

// The name field left empty: the run goes ahead without saving.
const char* const kSaveQuestion = "Möchten Sie die vorgenommenen Importeinstellungen speichern";

const FormatSettings kDe = FormatSettings::german();

struct RunWorld {
    TempDir dir;
    std::string source = dir.file("daten/Artikel.DB"), target = dir.file("daten/Ziel.DB");
    ScriptedPrompter prompter;
    MemoryRegistry registry;
    ProcessFormats formats;
    std::unique_ptr<GaugeModel> gauge;
    std::unique_ptr<ImportWizard> wizard;
    std::unique_ptr<TfrmImport1> window;

    explicit RunWorld(FieldType targetKey = FieldType::Integer) {
        makeControlTables(dir.path());
        std::filesystem::create_directory(dir.file("daten"));
        std::vector<FieldSpec> fields{{"ArtNr", FieldType::Integer, 0}, {"Name", FieldType::String, 20},
                                      {"Preis", FieldType::Currency, 0}};
        MakeTable(dir.file("daten"), "Artikel.DB", fields, 1);
        fields[0].type = targetKey;
        MakeTable(dir.file("daten"), "Ziel.DB", fields, 1);
        fill(source, {{1, "Schraube"}, {2, "Mutter"}, {3, "Scheibe"}});
        fill(target, {{2, "alt"}});
        prompter.onFailure = [](const std::string& f) { QFAIL(f.c_str()); };
        gauge = std::make_unique<GaugeModel>(formats.current);
        wizard = std::make_unique<ImportWizard>(
            WizardEnvironment{dir.path(), prompter, registry, formats, realFileSystem(), std::nullopt, gauge.get()});
        window = std::make_unique<TfrmImport1>(*wizard);
        wizard->start({source, target});
        window->applyState();
        window->show();
    }

    static void fill(const std::string& path, std::vector<std::pair<int, const char*>> rows) {
        Table t;
        t.setPath(path);
        t.OpenTable();
        for (auto [nr, name] : rows) {
            t.BeginAppend();
            t.SetAsInteger(0, nr);
            t.SetAsString(1, name, kDe);
            t.SetAsFloat(2, nr * 1.5);
            t.PostRecord();
        }
    }

    void click(const char* name) {
        auto* b = window->findChild<QAbstractButton*>(QString::fromLatin1(name));
        QVERIFY2(b && b->isVisible() && b->isEnabled(), name);
        // Radio buttons react only on their indicator and text, not across their whole width.
        QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(4, b->height() / 2));
    }
    QString page() { return window->PageControl1->currentWidget()->objectName(); }
    // The wizard keeps the target open after the run (for the content viewer): read it there,
    // and check that what it holds also reached the disk.
    std::vector<std::string> targetNames() {
        Table& t = wizard->context().tblZiel;
        std::vector<std::string> names;
        for (t.MoveFirst(); !t.AtEnd(); t.MoveNext()) names.push_back(t.AsString(1, kDe));
        t.CloseTable();
        Table onDisk;
        onDisk.setPath(target);
        onDisk.OpenTable();
        if (onDisk.RecordCount() != static_cast<std::int64_t>(names.size())) names.push_back("<nicht gespeichert>");
        return names;
    }
};

}  // namespace

class TestWizardRun : public QObject {
    Q_OBJECT
private slots:
    void theMappingPageShowsBothStructuresWithTheProposal() {
        RunWorld w;
        w.click("btnWeiter1");
        w.click("btnWeiter2");
        w.click("btnWeiter3");
        QCOMPARE(w.page(), QStringLiteral("ImportSeite4"));
        QAbstractItemModel* source = w.window->dbgStruktQuelle->model();
        QAbstractItemModel* target = w.window->dbgStruktZiel->model();
        QCOMPARE(source->rowCount(), 3);
        QCOMPARE(target->rowCount(), 3);
        QCOMPARE(source->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Index"));
        QCOMPARE(target->headerData(4, Qt::Horizontal).toString(), QStringLiteral("Zuordnung"));
        QCOMPARE(target->data(target->index(1, 1)).toString(), QStringLiteral("Name"));
        QCOMPARE(target->data(target->index(1, 4)).toString(), QStringLiteral("Name"));  // equal names
        QCOMPARE(target->data(target->index(0, 4)).toString(), QStringLiteral("ArtNr"));  // key fields
        QCOMPARE(target->data(target->index(0, 3)).toString(), QStringLiteral("Ganzzahl - lang"));
        QCOMPARE(source->data(source->index(0, 2)).toString(), QStringLiteral("Ganzzahl lang"));
        // Delete clears only the assignment.
        w.window->dbgStruktZiel->setFocus();
        w.window->dbgStruktZiel->setCurrentIndex(target->index(2, 1));
        QTest::keyClick(w.window->dbgStruktZiel, Qt::Key_Delete);
        QCOMPARE(target->data(target->index(2, 4)).toString(), QString());
        QVERIFY(w.prompter.finished());
    }

    void everyModeRunsToTheEnd() {
        struct Case {
            const char* button;
            const char* start;
            std::vector<std::string> names;
            std::int64_t added, ignored, updated;
        };
        const Case cases[] = {
            {"rbtIgnorieren", "", {"Schraube", "alt", "Scheibe"}, 2, 1, 0},
            {"rbtAktualisieren", "", {"Schraube", "Mutter", "Scheibe"}, 2, 0, 1},
            {"rbtSelfInc", "100", {"alt", "Schraube", "Mutter", "Scheibe"}, 3, 0, 0},
            {"rbtUmbenennen", "500", {"Schraube", "alt", "Scheibe", "Mutter"}, 2, 1, 0},
        };
        for (const Case& c : cases) {
            RunWorld w;
            w.click("btnWeiter1");
            w.click("btnWeiter2");
            w.click("btnWeiter3");
            // Counting keys from a start value needs the key field without an assignment.
            if (std::string(c.button) == "rbtSelfInc") {
                w.window->dbgStruktZiel->setFocus();
                w.window->dbgStruktZiel->setCurrentIndex(w.window->dbgStruktZiel->model()->index(0, 1));
                w.click("btnAufheben");
            }
            w.click("btnWeiter4");
            QCOMPARE(w.page(), QStringLiteral("ImportSeite5"));
            // The sub-options show once "An das Ende anhängen" is chosen (or when they are the only way).
            if (!w.window->findChild<QWidget*>(QStringLiteral("gbxImportmodus"))->isVisible() &&
                std::string(c.button) != "rbtAktualisieren")
                w.click("rbtEndeAnhaengen");
            w.click(c.button);
            QVERIFY2(w.window->findChild<QRadioButton*>(QString::fromLatin1(c.button))->isChecked(), c.button);
            w.window->edtStartwert->setText(QString::fromLatin1(c.start));
            w.click("btnWeiter5");
            w.window->rbtTabNichtAnz->setChecked(true);
            w.prompter.expectMessage(MsgKind::Confirmation, Buttons::YesNoCancel, kSaveQuestion, Answer::No);
        w.click("btnFertigstellen");
            QVERIFY2(w.prompter.finished(), c.button);
            QCOMPARE(w.targetNames(), c.names);
            QCOMPARE(w.gauge->count(Counter::AnzHinzu), c.added);
            QCOMPARE(w.gauge->count(Counter::Ignor), c.ignored);
            QCOMPARE(w.gauge->count(Counter::AnzAkt), c.updated);
            QCOMPARE(w.gauge->cancelCaption(), std::string("&Schließen"));
            // After the run only "Abbrechen" and "Hilfe" are left to click.
            QVERIFY(!w.window->btnFertigstellen->isEnabled());
            QVERIFY(!w.window->edtImpSpeich->isEnabled());
            QVERIFY(w.window->findChild<QPushButton*>(QStringLiteral("btnAbbrechen6"))->isEnabled());
            QVERIFY(w.window->findChild<QPushButton*>(QStringLiteral("btnHilfe6"))->isEnabled());
        }
    }

    void aKeyViolationInModeOneEndsTheRunWithTheStoresMessage() {
        // A counter key that is assigned leaves "An das Ende anhängen" without a sub-option.
        RunWorld w(FieldType::AutoInc);
        w.click("btnWeiter1");
        w.click("btnWeiter2");
        w.click("btnWeiter3");
        w.click("btnWeiter4");
        w.click("btnWeiter5");
        w.prompter.expectMessage(MsgKind::Confirmation, Buttons::YesNoCancel, kSaveQuestion, Answer::No);
        w.prompter.expectError("Schlüsselverletzung.\r\nTabelle: " + w.target);
        w.click("btnFertigstellen");
        QVERIFY(w.prompter.finished());
        QCOMPARE(w.targetNames(), (std::vector<std::string>{"Schraube", "alt"}));  // what was posted stays
        QCOMPARE(w.gauge->cancelCaption(), std::string("&Abbrechen"));
    }
};

QTEST_MAIN(TestWizardRun)
#include "test_wizard_run.moc"
