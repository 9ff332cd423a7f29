// The settings manager and the summary as a user sees them: the views with
// their rows and buttons, the details, and the summary's option lines.
#include "support/ScriptedPrompter.h"
#include "importrun/GaugeModel.h"
#include "settings/ControlTables.h"
#include "settings/SettingsStore.h"
#include "settings/TfrmEinstellAEND.h"
#include "settings/TfrmEinstellANZ.h"
#include "support/TestSupport.h"
#include "wizard/TfrmImport1.h"

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>

#include <memory>

using namespace kimport;
using kimport::test::TempDir;

namespace {

struct SettingsWorld {
    TempDir dir;
    ScriptedPrompter prompter;
    MemoryRegistry registry;
    ProcessFormats formats;
    std::unique_ptr<GaugeModel> gauge;
    std::unique_ptr<ImportWizard> wizard;

    SettingsWorld() {
        prompter.onFailure = [](const std::string& f) { QFAIL(f.c_str()); };
        makeControlTables(dir.path());
        Table impList;
        impList.setPath(impListPath(dir.path()));
        impList.OpenTable();
        for (auto [name, own, mode] : {std::tuple{"Eigene Liste", true, 4}, std::tuple{"Vorgabe", false, 1}}) {
            SavedSetting s;
            s.name = name;
            s.own = own;
            s.vorDefTableName = own ? "" : "VORG";
            s.mode = mode;
            s.backupCopy = own;
            s.sourcePath = "Demos/Artikel.DB";
            impList.BeginAppend();
            writeSetting(impList, s);
            impList.PostRecord();
        }
        impList.CloseTable();
        for (const char* file : {"1.DB", "1.MB", "VORG.DB", "VORG.MB"}) test::writeFile(dir.file(file), file);
        gauge = std::make_unique<GaugeModel>(formats.current);
        wizard = std::make_unique<ImportWizard>(
            WizardEnvironment{dir.path(), prompter, registry, formats, realFileSystem(), std::nullopt, gauge.get()});
        wizard->start({});
    }
};

}  // namespace

class TestSettingsWindows : public QObject {
    Q_OBJECT
private slots:
    void theManagerShowsItsViews() {
        SettingsWorld w;
        TfrmEinstellAEND manager(w.wizard->settingsPage().settingsManager(), w.prompter);
        bool checked = false;
        QTimer::singleShot(0, [&] {
            QCOMPARE(manager.dbgEinstellungen->rowCount(), 2);
            QVERIFY(manager.rbtView[2]->isChecked());
            manager.dbgEinstellungen->setCurrentCell(0, 0);
            QCOMPARE(manager.lblImportmodus->text(),
                     QStringLiteral("Importierte Datensätze am Ende anhängen;\nSchlüsselwerte selbständig erhöhen."));
            QVERIFY(manager.cbxSicherungskp->isChecked());
            QCOMPARE(manager.lblBasisname->text(), QStringLiteral("1"));
            manager.rbtView[1]->click();  // the predefined ones
            QCOMPARE(manager.dbgEinstellungen->rowCount(), 1);
            QCOMPARE(manager.dbgEinstellungen->item(0, 0)->text(), QStringLiteral("Vorgabe"));
            QCOMPARE(manager.lblBasisname->text(), QStringLiteral("VORG"));
            QVERIFY(manager.btnLoeschen->isEnabled() && manager.btnImportStarten->isEnabled());
            checked = true;
            manager.btnAbbrechen->click();
        });
        w.wizard->settingsPage().managerOpened();
        QVERIFY(!manager.showManager());
        QVERIFY(checked);
        QVERIFY(w.prompter.finished());
    }

    void copyAndRenameThroughTheWindow() {
        SettingsWorld w;
        TfrmEinstellAEND manager(w.wizard->settingsPage().settingsManager(), w.prompter);
        QTimer::singleShot(0, [&] {
            manager.dbgEinstellungen->setCurrentCell(1, 0);  // "Vorgabe"
            w.prompter.expectInput("Importeinstellung kopieren nach", "Neue Bezeichnung", "Vorgabe 2");
            manager.btnKopierenNach->click();
            QCOMPARE(manager.dbgEinstellungen->rowCount(), 3);
            QCOMPARE(manager.lblBezeichnung->text(), QStringLiteral("Vorgabe 2"));
            QVERIFY(manager.lblBasisname->text().startsWith(QStringLiteral("_")));
            w.prompter.expectInput("Import umbenennen", "Neue Bezeichnung", "Vorgabe neu");
            manager.btnUmbenennen->click();
            QCOMPARE(manager.lblBezeichnung->text(), QStringLiteral("Vorgabe neu"));
            QVERIFY(manager.cbxQuelleAusw->isChecked() && manager.cbxZielAusw->isChecked());
            manager.cbxQuelleAusw->click();  // the stored source is used as it is
            manager.btnImportStarten->click();
        });
        w.wizard->state().cbxQuelleAusw = w.wizard->state().cbxZielAusw = false;  // ticked again on opening
        w.wizard->settingsPage().managerOpened();
        QVERIFY(manager.showManager());
        // Closed without starting: the first page names the renamed setting and keeps the boxes' choice.
        w.wizard->settingsPage().managerClosed(false);
        QCOMPARE(QString::fromStdString(w.wizard->state().edtAktEinstellung), QStringLiteral("Vorgabe neu"));
        QVERIFY(!w.wizard->state().cbxQuelleAusw && w.wizard->state().cbxZielAusw);
        QVERIFY(w.prompter.finished());
    }

    void theSummaryMovesItsLinesUp() {
        SettingsWorld w;
        TfrmEinstellANZ summary;
        std::optional<SavedSetting> s;
        w.wizard->state().edtAktEinstellung = "Eigene Liste";
        s = w.wizard->settingsPage().currentSetting();
        QVERIFY(s.has_value());
        QTimer::singleShot(0, [&] {
            QVERIFY(summary.lblOption[0]->isVisible() && summary.lblOption[1]->isVisible());
            QVERIFY(!summary.lblOption[2]->isVisible());
            QCOMPARE(summary.lblOption[0]->text(), QStringLiteral("- Sicherungskopie der Zieldatenbank erstellen"));
            QVERIFY(summary.lblOption[1]->text().startsWith(QStringLiteral("- Importierte Datensätze am Ende anhängen,")));
            summary.memBemerkung->setPlainText(QStringLiteral("jeden Monat"));
            summary.accept();
        });
        const std::string remark = summary.showSetting(*s);
        QCOMPARE(QString::fromStdString(remark), QStringLiteral("jeden Monat"));
        w.wizard->settingsPage().saveRemark(remark);
        QCOMPARE(QString::fromStdString(w.wizard->settingsPage().currentSetting()->remark), QStringLiteral("jeden Monat"));
    }
};

QTEST_MAIN(TestSettingsWindows)
#include "test_settings_windows.moc"
