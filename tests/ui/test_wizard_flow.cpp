// The wizard's pages, checks and messages, clicked through the main window
// on the offscreen platform with a scripted Prompter.
#include "common/FileSets.h"
#include "support/ScriptedPrompter.h"
#include "importrun/GaugeModel.h"
#include "settings/ControlTables.h"
#include "settings/SettingsStore.h"
#include "support/TestSupport.h"
#include "tablestore/TableTestSupport.h"
#include "tablestore/Table.h"
#include "mapping/StructureMapping.h"
#include "wizard/TfrmImport1.h"
#include "wizard/TfrmTextFix.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTableWidget>
#include <QtTest>

#include <filesystem>
#include <functional>
#include <memory>
#include <unistd.h>

using namespace kimport;
using kimport::test::TempDir;

namespace {

// The name field left empty: the run goes ahead without saving.
const char* const kSaveQuestion = "Möchten Sie die vorgenommenen Importeinstellungen speichern";

const char* const kWhichSubOption =
    "Sie haben die Importlaufoption \"Datensätze am Ende anhängen\" gewählt.\r\n\r\nBitte geben Sie noch an, ob in "
    "der Zieltabelle die Schlüsselwerte\r\nvorhandener Datensätze umbenannt werden sollen,\r\noder\r\nob nur die "
    "Datensätze, die noch nicht in der Zieltabelle\r\nenthalten sind hinzugefügt werden sollen.";

// A program directory with its control tables, a source and a target table.
struct World {
    TempDir dir;
    std::string source, target, emptySource, text;
    ScriptedPrompter prompter;
    MemoryRegistry registry;
    ProcessFormats formats;
    std::unique_ptr<ImportWizard> wizard;
    std::unique_ptr<TfrmImport1> window;

    World() {
        makeControlTables(dir.path());
        std::filesystem::create_directory(dir.file("daten"));
        source = dir.file("daten/Quelle.DB");
        target = dir.file("daten/Ziel.DB");
        emptySource = dir.file("daten/Leer.DB");
        text = dir.file("daten/Preise.txt");
        for (const std::string& p : {source, target}) test::makeNumberedTable(p, 1);
        test::makeNumberedTable(emptySource, 0);
        test::writeFile(text, "Nr;Name;Preis\r\n1;Schraube;0,10\r\n");
        prompter.onFailure = [](const std::string& f) { QFAIL(f.c_str()); };
    }

    void start(const std::vector<std::string>& parameters = {}) {
        wizard = std::make_unique<ImportWizard>(
            WizardEnvironment{dir.path(), prompter, registry, formats, realFileSystem(), std::nullopt});
        window = std::make_unique<TfrmImport1>(*wizard);
        wizard->start(parameters);
        window->applyState();
        window->show();
    }

    // Started with the text file as source: through to the text page.
    void toTextPage() {
        start({text, target});
        click("btnWeiter1");
        click("btnWeiter2");
        click("btnWeiter3");
    }

    // A new setting through pages 1 to 3, with the world's source and target.
    void throughPage3() {
        click("btnWeiter1");
        type("edtQuelle", source);
        click("btnWeiter2");
        type("edtZiel", target);
    }

    void click(const char* name) {
        auto* b = window->findChild<QAbstractButton*>(QString::fromLatin1(name));
        QVERIFY2(b, name);
        QVERIFY2(b->isVisible() && b->isEnabled(), name);
        // Radio buttons react only on their indicator and text, not across their whole width.
        QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(4, b->height() / 2));
    }
    void type(const char* name, const std::string& text) {
        auto* e = window->findChild<QLineEdit*>(QString::fromLatin1(name));
        QVERIFY2(e, name);
        e->setText(QString::fromStdString(text));
    }
    QString textOf(const char* name) { return window->findChild<QLineEdit*>(QString::fromLatin1(name))->text(); }
    QString page() { return window->PageControl1->currentWidget()->objectName(); }
    bool visible(const char* name) {
        auto* w = window->findChild<QWidget*>(QString::fromLatin1(name));
        return w && !w->isHidden();
    }
};

void addSetting(const std::string& dir, const std::string& name, const std::string& source, const std::string& target,
                int mode) {
    Table t;
    t.setPath(impListPath(dir));
    t.OpenTable();
    t.BeginAppend();
    FormatSettings fs = FormatSettings::german();
    t.SetAsString(t.FieldNamed("Bezeichnung"), name, fs);
    t.SetAsString(t.FieldNamed("Quelldatei"), source, fs);
    t.SetAsString(t.FieldNamed("Zieldatei"), target, fs);
    t.SetAsString(t.FieldNamed("Quellformat"), "Paradox", fs);
    t.SetAsInteger(t.FieldNamed("Importmodus"), mode);
    t.SetAsBoolean(t.FieldNamed("Eigene"), true);
    t.PostRecord();
}

// ZStrukt describing the world's target, as a loaded setting leaves it; with assignByName, the world's
// source fields assigned to the target's of the same names.
void describeTarget(World& w, bool assignByName = false) {
    Table source, target, q, z, temp;
    source.setPath(w.source);
    target.setPath(w.target);
    z.setPath(zStruktPath(w.dir.path()));
    q.setPath(qStruktPath(w.dir.path()));
    ScriptedPrompter quiet;
    MappingTables t{source, target, q, z, temp, quiet, realFileSystem(), w.dir.path(), nullptr};
    if (assignByName) ReadSourceStructure(t);
    ReadTargetStructure(t);
    if (assignByName) AutoMap(t);
}

// Changes a stored setting's row of ImpList, as the wizard or a read-in would have written it.
void changeSetting(World& w, const std::string& name, const std::function<void(Table&)>& change) {
    Table t;
    t.setPath(impListPath(w.dir.path()));
    t.OpenTable();
    QVERIFY(t.SeekKey({Value::ofText(name)}));
    t.BeginEdit();
    change(t);
    t.PostRecord();
    t.CloseTable();
}

// The working mapping ZStrukt copied as a setting's mapping table (its TableName number).
void storeMappingAs(World& w, const std::string& number) {
    for (const char* extension : {".DB", ".MB"})
        std::filesystem::copy_file(w.dir.file(std::string("ZStrukt") + extension), w.dir.file(number + extension),
                                   std::filesystem::copy_options::overwrite_existing);
}

}  // namespace

class TestWizardFlow : public QObject {
    Q_OBJECT
private slots:
    void startsWithOnlyTheNewChoicesWhenNoSettingExists() {
        World w;
        w.start();
        QCOMPARE(w.window->windowTitle(), QStringLiteral("Kelvaro Import 1.0c"));
        QCOMPARE(w.page(), QStringLiteral("ImportSeite1"));
        QVERIFY(w.window->rbtNeueImport->isChecked());
        QVERIFY(w.visible("rbtImpEinlesen"));
        QVERIFY(!w.visible("rbtVorhEinst_oAE"));
        QVERIFY(!w.visible("rbtVorhEinst_mAE"));
        QVERIFY(!w.visible("gbxAktEinstellung"));
        QVERIFY(!w.visible("comQuelle"));  // no alias: the preset choices are not offered
        QCOMPARE(w.formats.current.shortDateFormat, std::string("DD/MM/YYYY"));
        QVERIFY(w.prompter.finished());
    }

    void sourcePageChecksEveryName() {
        World w;
        w.start();
        w.click("btnWeiter1");
        QCOMPARE(w.page(), QStringLiteral("ImportSeite2"));
        w.prompter.expectError("Bitte geben Sie den Verzeichnispfad und den Dateinamen der Quelldatei ein.");
        w.click("btnWeiter2");
        w.type("edtQuelle", w.dir.file("nirgends/x.db"));
        w.prompter.expectError("Der von Ihnen eingegebene Verzeichnispfad existiert leider nicht.");
        w.click("btnWeiter2");
        w.type("edtQuelle", w.dir.file("daten/fehlt.db"));
        w.prompter.expectError("Der von Ihnen eingegebene Dateiname existiert leider nicht.");
        w.click("btnWeiter2");
        test::writeFile(w.dir.file("daten/Archiv.Zip"), "PK");
        w.type("edtQuelle", w.dir.file("daten/Archiv.Zip"));
        w.prompter.expectMessage(MsgKind::Warning, Buttons::YesNo,
                                 "Die Datei \"Archiv.Zip\" ist vermutlich\r\neine komprimierte Datei, die vor dem "
                                 "Import entpackt\r\nwerden muß.\r\n\r\nMöchten Sie die Datei wirklich verwenden?",
                                 Answer::No);
        w.click("btnWeiter2");
        QCOMPARE(w.page(), QStringLiteral("ImportSeite2"));
        w.type("edtQuelle", w.dir.file("zstrukt.db"));  // the program's own table, any letter case
        w.prompter.expectBeep().expectError("Bitte verwenden Sie keine Datenbank, die von diesem Programm benutzt wird.");
        w.click("btnWeiter2");
        QCOMPARE(w.textOf("edtQuelle"), QString());
        w.type("edtQuelle", w.emptySource);
        w.prompter.expectMessage(MsgKind::Information, Buttons::Ok,
                                 "Die von Ihnen gewählte Quelldatenbank ist leer.\r\n\r\nBitte wählen Sie eine andere "
                                 "Quelldatenbank.");
        w.click("btnWeiter2");
        QCOMPARE(w.page(), QStringLiteral("ImportSeite2"));
        w.type("edtQuelle", w.source);
        w.click("btnWeiter2");
        QCOMPARE(w.page(), QStringLiteral("ImportSeite3"));
        QVERIFY(w.prompter.finished());
    }

    void targetPageChecksAndBackAgain() {
        World w;
        w.start();
        w.click("btnWeiter1");
        w.type("edtQuelle", w.source);
        w.click("btnWeiter2");
        w.prompter.expectError("Bitte geben Sie den Verzeichnispfad und den Dateinamen der Zieldatenbank ein.");
        w.click("btnWeiter3");
        QString upper = QString::fromStdString(w.source).replace(QStringLiteral("Quelle.DB"), QStringLiteral("QUELLE.db"));
        w.type("edtZiel", upper.toStdString());
        w.prompter.expectError("Quell- und Zieldatenbank sind identisch!\r\n\r\nBitte korrigieren Sie Ihre Eingaben.");
        w.click("btnWeiter3");
        QCOMPARE(w.textOf("edtZiel"), QString());
        w.type("edtZiel", w.dir.file("ImpList.DB"));
        w.prompter.expectBeep().expectError("Bitte verwenden Sie keine Datenbank, die von diesem Programm benutzt wird.");
        w.click("btnWeiter3");
        QCOMPARE(w.textOf("edtZiel"), QString());
        // Going back on a new setting unticks the two boxes.
        w.window->cbxZielLeeren->setChecked(true);
        w.click("btnZurueck3");
        QCOMPARE(w.page(), QStringLiteral("ImportSeite2"));
        QVERIFY(!w.window->cbxZielLeeren->isChecked());
        w.click("btnWeiter2");
        w.type("edtZiel", w.target);
        w.click("btnWeiter3");
        QCOMPARE(w.page(), QStringLiteral("ImportSeite4"));
        w.click("btnWeiter4");
        QCOMPARE(w.page(), QStringLiteral("ImportSeite5"));
        QCOMPARE(w.window->lblQuelldatei->text(), QStringLiteral("QUELLE.DB"));
        // The target's key is assigned: appending asks how existing keys are handled.
        w.prompter.expectMessage(MsgKind::Information, Buttons::Ok, kWhichSubOption, Answer::Ok);
        w.click("btnWeiter5");
        QCOMPARE(w.page(), QStringLiteral("ImportSeite5"));
        w.click("rbtEndeAnhaengen");
        w.click("rbtIgnorieren");
        w.click("btnWeiter5");
        QCOMPARE(w.page(), QStringLiteral("ImportSeite6"));
        w.type("edtImpSpeich", "Test");
        w.click("btnZurueck6");
        QCOMPARE(w.page(), QStringLiteral("ImportSeite5"));
        QCOMPARE(w.textOf("edtImpSpeich"), QString());
        w.click("btnZurueck5");
        QCOMPARE(w.page(), QStringLiteral("ImportSeite4"));
        w.click("btnZurueck4");
        QCOMPARE(w.page(), QStringLiteral("ImportSeite3"));
        w.click("btnZurueck3");
        w.click("btnZurueck2");
        QCOMPARE(w.page(), QStringLiteral("ImportSeite1"));
        QVERIFY(w.prompter.finished());
    }

    void aTextSourceLeadsToTheLayoutPages() {
        World w;
        w.toTextPage();
        QCOMPARE(w.page(), QStringLiteral("ImportSeite1txt"));
        QVERIFY(w.window->rgrVariabel->isChecked());  // the first two lines differ in length
        QVERIFY(w.window->retQuellDat->toPlainText().contains(QStringLiteral("Schraube")));
        w.click("btnZurueckTxt");
        QCOMPARE(w.page(), QStringLiteral("ImportSeite3"));
        QVERIFY(w.prompter.finished());
    }

    // Enter presses "&Weiter -->" from wherever the focus is (a focused button is pressed itself); the
    // buttons carry their captions.
    void enterGoesOnAndTheButtonsSaySo() {
        World w;
        w.start();
        w.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.window.get()));
        QCOMPARE(w.window->findChild<QPushButton*>(QStringLiteral("btnWeiter1"))->text(), QStringLiteral("&Weiter -->"));
        w.window->rbtNeueImport->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(w.page(), QStringLiteral("ImportSeite2"));
        QCOMPARE(w.window->findChild<QPushButton*>(QStringLiteral("btnZurueck2"))->text(), QStringLiteral("<-- &Zurück"));
        auto* source = w.window->findChild<QLineEdit*>(QStringLiteral("edtQuelle"));
        source->setFocus();
        source->setText(QString::fromStdString(w.source));
        QTest::keyClick(source, Qt::Key_Return);
        QCOMPARE(w.page(), QStringLiteral("ImportSeite3"));
        auto* back = w.window->findChild<QPushButton*>(QStringLiteral("btnZurueck3"));
        back->setFocus();
        QTest::keyClick(back, Qt::Key_Return);
        QCOMPARE(w.page(), QStringLiteral("ImportSeite2"));
        QVERIFY(w.prompter.finished());
    }

    // A column name refused on the way on: the focus is back in the name for the next try.
    void aRefusedColumnNameKeepsTheFocus() {
        World w;
        test::writeFile(w.text, "Nr;Name\r\n1;Schraube\r\n");
        w.toTextPage();
        w.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.window.get()));
        w.click("btnWeiterTxt");
        auto* name = w.window->findChild<QLineEdit*>(QStringLiteral("edtRenCols"));
        QCOMPARE(w.window->findChild<QCheckBox*>(QStringLiteral("cbxTab"))->text(), QStringLiteral("&Tabulator"));
        w.wizard->state().edtRenCols = "FELD_2";  // the second column's name for the first
        name->setText(QStringLiteral("FELD_2"));
        w.prompter.expectMessage(MsgKind::Error, Buttons::OkHelp,
                                 "Die Spaltenbezeichnung \"FELD_2\"\r\nwurde bereits für die Spalte 2\r\nvergeben.");
        w.click("btnWeiterTxt");
        QCOMPARE(w.page(), QStringLiteral("ImportSeite1txt"));
        QVERIFY(name->hasFocus());
        QVERIFY(w.prompter.finished());
    }

    void aCsvIsPreviewedReadIntoItsStagingTableAndImported() {
        World w;
        test::writeFile(w.text, "Nr;Name;Preis\r\n7;Mutter M4;0,10\r\n8;\"Dübel \"\"S6\"\"\";0,05\r\n");
        w.toTextPage();
        QCOMPARE(w.page(), QStringLiteral("ImportSeite1txt"));
        w.click("btnWeiterTxt");
        // The semicolon and the double quote are found in the first line; the preview follows every switch.
        auto* grid = w.window->findChild<QTableWidget*>(QStringLiteral("stgQuellDatVar"));
        QVERIFY(grid);
        QVERIFY(w.window->findChild<QCheckBox*>(QStringLiteral("cbxSemic"))->isChecked());
        QCOMPARE(grid->columnCount(), 3);
        QCOMPARE(grid->horizontalHeaderItem(0)->text(), QStringLiteral("FELD_1"));
        w.click("cbxErsteZeile");
        QCOMPARE(grid->horizontalHeaderItem(0)->text(), QStringLiteral("NR"));
        QCOMPARE(grid->rowCount(), 2);
        // The header line shows no quote: the user chooses the double quote, and the preview follows.
        w.window->findChild<QComboBox*>(QStringLiteral("comDelimiter"))->setCurrentIndex(1);
        QCOMPARE(grid->item(1, 1)->text(), QStringLiteral("Dübel \"S6\""));
        w.click("btnWeiterTxt");
        QCOMPARE(w.page(), QStringLiteral("ImportSeite4"));
        QVERIFY(test::fileExists(w.dir.file("Temp/Preise.db")));
        QCOMPARE(w.wizard->context().tblQStrukt.RecordCount(), 3);
        w.click("btnWeiter4");
        w.click("rbtEndeAnhaengen");
        w.click("rbtIgnorieren");
        w.click("btnWeiter5");
        w.prompter.expectMessage(MsgKind::Confirmation, Buttons::YesNoCancel, kSaveQuestion, Answer::No);
        w.click("btnFertigstellen");
        w.wizard->context().tblZiel.CloseTable();
        Table t;
        t.setPath(w.target);
        t.OpenTable();
        QCOMPARE(t.RecordCount(), 3);  // the one record before and the two of the file
        t.CloseTable();
        QVERIFY(w.prompter.finished());
    }

    // A separator beyond ASCII typed into "Andere", a quote inside a value, a file in UTF-16: the
    // preview shows the values the run will read.
    void anyCharacterSeparatesAndAQuoteInsideAValueIsACharacter() {
        World w;
        const std::u16string text = u"\"Nr\"§\"Artikel\"§\"Preis\"\r\n1§Monitor 24\"§199,00\r\n2§Kabel§5,00\r\n3§Maus§9,00\r\n";
        std::string bytes = "\xFF\xFE";
        for (char16_t c : text) bytes += std::string{static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
        test::writeFile(w.text, bytes);
        w.toTextPage();
        QVERIFY(w.window->retQuellDat->toPlainText().contains(QStringLiteral("Monitor 24\"§199,00")));
        w.click("btnWeiterTxt");
        auto* grid = w.window->findChild<QTableWidget*>(QStringLiteral("stgQuellDatVar"));
        QCOMPARE(grid->columnCount(), 1);
        w.click("cbxAndere");
        auto* other = w.window->findChild<QLineEdit*>(QStringLiteral("edtAndere"));
        other->setFocus();
        QTest::keyClicks(other, QStringLiteral("§"));
        QCOMPARE(grid->columnCount(), 3);
        w.click("cbxErsteZeile");
        QCOMPARE(grid->rowCount(), 3);  // three lines below the names: none joined to another
        QCOMPARE(grid->item(0, 1)->text(), QStringLiteral("Monitor 24\""));
        QCOMPARE(grid->item(2, 1)->text(), QStringLiteral("Maus"));
        QCOMPARE(grid->horizontalHeaderItem(1)->text(), QStringLiteral("ARTIKEL"));
        w.click("btnWeiterTxt");
        QCOMPARE(w.page(), QStringLiteral("ImportSeite4"));
        Table& staged = w.wizard->context().tblQuelle;
        if (!staged.Active()) staged.OpenTable();
        QCOMPARE(staged.RecordCount(), 3);
    }

    void aFixedWidthFileGetsItsBreaksOnTheCharacterGrid() {
        World w;
        test::writeFile(w.text, "0001Anna\r\n0002Bert\r\n0003Carl\r\n");
        w.toTextPage();
        QVERIFY(w.window->rgrFest->isChecked());  // the first two lines are equally long
        w.click("btnWeiterTxt");
        auto* grid = w.window->findChild<CharacterGrid*>(QStringLiteral("stgQuellDatFix"));
        QVERIFY(grid);
        QCOMPARE(grid->columnCount(), 9);  // "0001Anna": 8 characters, and one column more
        auto cellCentre = [&](int column) {
            return QPoint(grid->columnViewportPosition(column) + grid->columnWidth(column) / 2, 5);
        };
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cellCentre(4));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cellCentre(6));
        QCOMPARE(w.wizard->state().textLayout.sortedBreaks(), (std::vector<int>{4, 6}));
        // Dragging the marker at 6 onto the one at 4 leaves one marker.
        QTest::mousePress(grid->viewport(), Qt::LeftButton, {}, cellCentre(6));
        QMouseEvent move(QEvent::MouseMove, QPointF(cellCentre(4)), grid->viewport()->mapToGlobal(QPointF(cellCentre(4))),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(grid->viewport(), &move);
        QTest::mouseRelease(grid->viewport(), Qt::LeftButton, {}, cellCentre(4));
        QCOMPARE(w.wizard->state().textLayout.sortedBreaks(), (std::vector<int>{4}));
        w.click("btnWeiterTxt");
        auto* values = w.window->findChild<QTableWidget*>(QStringLiteral("stgQuellDatVar"));
        QCOMPARE(values->columnCount(), 2);
        QCOMPARE(values->item(1, 1)->text(), QStringLiteral("Bert"));
        // The columns get names: the first one "Nr", then on to the second.
        w.type("edtRenCols", "nr");
        w.wizard->state().edtRenCols = "nr";
        w.click("btnRechts");
        QCOMPARE(values->horizontalHeaderItem(0)->text(), QStringLiteral("NR"));
        w.wizard->state().edtRenCols = "name";
        w.click("btnWeiterTxt");
        QCOMPARE(w.page(), QStringLiteral("ImportSeite4"));
        Table& staged = w.wizard->context().tblQuelle;  // the staging table is the source now
        QCOMPARE(QString::fromStdString(staged.TableName), QStringLiteral("Preise.db"));
        if (!staged.Active()) staged.OpenTable();
        QCOMPARE(QString::fromStdString(staged.FieldDefAt(1).name), QStringLiteral("NAME"));
        QCOMPARE(staged.RecordCount(), 3);

        // Saved under a name and run; then next time loaded unchanged from the first page and run again.
        w.click("btnWeiter4");
        w.click("rbtEndeAnhaengen");
        w.click("rbtIgnorieren");
        w.click("btnWeiter5");
        w.type("edtImpSpeich", "Fest");
        w.prompter.expectMessage(MsgKind::Information, Buttons::Ok,
                                 "Die Importeinstellung \r\n\"Fest\"\r\nist gespeichert worden.");
        w.click("btnFertigstellen");
        w.wizard->context().tblZiel.CloseTable();
        const std::size_t imported = test::contentsOf(w.target).size();
        QVERIFY(imported >= 3);
        test::emptyTable(w.target);
        w.window->close();
        w.start();
        w.click("rbtVorhEinst_oAE");
        w.window->comVorh_Einstellg->setCurrentText(QStringLiteral("Fest"));
        emit w.window->comVorh_Einstellg->activated(0);
        w.click("btnWeiter1");
        QCOMPARE(w.page(), QStringLiteral("ImportSeite6"));
        w.click("btnFertigstellen");
        w.wizard->context().tblZiel.CloseTable();
        QCOMPARE(test::contentsOf(w.target).size(), std::size_t{3});  // the three lines of the file, split as saved

        // Loaded for editing, the pages show what was saved; saved again under a new name.
        w.window->close();
        w.start();
        w.click("rbtVorhEinst_mAE");
        w.window->comVorh_Einstellg->setCurrentText(QStringLiteral("Fest"));
        emit w.window->comVorh_Einstellg->activated(0);
        w.click("btnWeiter1");
        QCOMPARE(w.page(), QStringLiteral("ImportSeite2"));  // "Datei auswählen" is ticked at first
        w.click("btnWeiter2");
        w.click("btnWeiter3");
        QCOMPARE(w.page(), QStringLiteral("ImportSeite1txt"));
        QVERIFY(w.window->rgrFest->isChecked());
        w.click("btnWeiterTxt");
        QCOMPARE(w.wizard->state().textLayout.sortedBreaks(), (std::vector<int>{4}));
        w.click("btnWeiterTxt");
        w.click("btnWeiterTxt");
        QCOMPARE(w.page(), QStringLiteral("ImportSeite4"));
        w.click("btnWeiter4");
        QVERIFY(w.window->rbtIgnorieren->isChecked());  // the stored mode
        w.click("btnWeiter5");
        w.type("edtImpSpeich", "Fest 2");
        w.prompter.expectMessage(MsgKind::Information, Buttons::Ok,
                                 "Die Importeinstellung \r\n\"Fest 2\"\r\nist gespeichert worden.");
        w.click("btnFertigstellen");
        QVERIFY(seekSetting(w.wizard->context().tblImpList, "Fest 2"));
        const SavedSetting second = readSetting(w.wizard->context().tblImpList);
        QCOMPARE(second.layout.kind, LayoutKind::Fixed);
        QCOMPARE(second.layout.breaks[0], 4);
        QCOMPARE(second.layout.columnNames, (std::vector<std::string>{"NR", "NAME"}));
        QVERIFY(seekSetting(w.wizard->context().tblImpList, "Fest"));  // the loaded setting stays as it was
        QVERIFY(w.prompter.finished());
    }

    void theOptionsWindowSetsSeparatorsAndConvertsTheTextAtOnce() {
        World w;
        test::writeFile(w.text, "Nr;Name\r\n1;M\x81nchen\r\n");  // DOS 850: "München"
        w.toTextPage();
        QVERIFY(!w.window->retQuellDat->toPlainText().contains(QStringLiteral("München")));
        w.click("btnQOptionen2");
        auto* options = w.window->findChild<QDialog*>(QStringLiteral("frmQOptionen"));
        QVERIFY(options && options->isVisible());
        options->findChild<QCheckBox*>(QStringLiteral("cbxDosToWin"))->setChecked(true);
        options->findChild<QComboBox*>(QStringLiteral("comTMJ"))->setCurrentText(QStringLiteral("JJJJ/MM/TT"));
        options->findChild<QLineEdit*>(QStringLiteral("edtDate"))->setText(QStringLiteral("-"));
        QTest::mouseClick(options->findChild<QPushButton*>(QStringLiteral("btnOK")), Qt::LeftButton);
        QVERIFY(!options->isVisible());
        QCOMPARE(w.formats.current.shortDateFormat, std::string("YYYY/MM/DD"));
        QCOMPARE(w.formats.current.dateSeparator, '-');
        QVERIFY(w.window->retQuellDat->toPlainText().contains(QStringLiteral("München")));
        QVERIFY(w.prompter.finished());
    }

    void aSavedMappingTableIsRefusedAsSource() {
        World w;
        addSetting(w.dir.path(), "Artikel", w.source, w.target, 1);
        Table t;
        t.setPath(impListPath(w.dir.path()));
        t.OpenTable();
        std::string number = t.AsString(t.FieldNamed("TableName"), FormatSettings::german());
        t.CloseTable();
        test::writeFile(w.dir.file(number + ".db"), "x");
        w.start();
        w.click("rbtNeueImport");
        w.click("btnWeiter1");
        w.type("edtQuelle", w.dir.file(number + ".db"));
        w.prompter.expectBeep().expectError("Bitte verwenden Sie keine Datenbank, die von diesem Programm benutzt wird.");
        w.click("btnWeiter2");
        QVERIFY(w.prompter.finished());
    }

    void aSavedSettingUnchangedGoesToTheLastPage() {
        World w;
        addSetting(w.dir.path(), "Artikel", w.source, w.target, 1);
        addSetting(w.dir.path(), "Kunden", w.source, w.target, 4);
        addSetting(w.dir.path(), "alt", w.source, w.target, 1);
        describeTarget(w);  // the stored mapping matches the target
        // Each setting's mapping table: a copy of that ZStrukt under its TableName number.
        for (const char* number : {"1", "2"}) storeMappingAs(w, number);
        w.registry.writeString("1.0/ImportMain/edtAktEinstellung", "Kunden");
        w.registry.writeBool("1.0/ImportMain/rbtVorhEinst_oAE", true);
        w.start();
        QVERIFY(w.window->rbtVorhEinst_oAE->isChecked());
        QVERIFY(!w.visible("rbtImpEinlesen"));
        QCOMPARE(w.textOf("edtAktEinstellung"), QStringLiteral("Kunden"));
        // The list: by name without regard to letter case, each with its source and target.
        QAbstractItemModel* list = w.window->comVorh_Einstellg->model();
        QCOMPARE(list->rowCount(), 3);
        QCOMPARE(list->index(0, 0).data().toString(), QStringLiteral("alt"));
        QCOMPARE(list->index(1, 0).data().toString(), QStringLiteral("Artikel"));
        QCOMPARE(list->index(2, 0).data().toString(), QStringLiteral("Kunden"));
        QCOMPARE(list->index(1, 1).data().toString().toStdString(), w.source);
        QCOMPARE(list->index(1, 2).data().toString().toStdString(), w.target);
        w.click("btnWeiter1");
        QCOMPARE(w.page(), QStringLiteral("ImportSeite5"));  // mode 4 needs a start value
        w.click("btnZurueck5");
        QCOMPARE(w.page(), QStringLiteral("ImportSeite1"));
        w.window->comVorh_Einstellg->setCurrentText(QStringLiteral("Artikel"));
        emit w.window->comVorh_Einstellg->activated(0);
        QCOMPARE(w.textOf("edtAktEinstellung"), QStringLiteral("Artikel"));
        w.click("btnWeiter1");
        QCOMPARE(w.page(), QStringLiteral("ImportSeite6"));
        w.click("btnZurueck6");
        QCOMPARE(w.page(), QStringLiteral("ImportSeite1"));
        QVERIFY(w.prompter.finished());
    }

    // A setting whose source is gone stops on the first page and names the file; one that runs records
    // the day only once it saved records.
    void aSavedSettingWithoutItsSourceStaysOnTheFirstPage() {
        World w;
        addSetting(w.dir.path(), "Artikel", w.source, w.target, 5);  // updates: the one record is there
        describeTarget(w);
        storeMappingAs(w, "1");
        auto noDayRecorded = [&] {
            Table& t = w.wizard->context().tblImpList;  // the wizard holds it
            if (!t.Active()) t.OpenTable();
            t.SeekKey({Value::ofText("Artikel")});
            return t.IsNull(t.FieldNamed("LetzterImport"));
        };
        auto moveSource = [&](const std::string& from, const std::string& to) {
            for (const auto& e : std::filesystem::directory_iterator(w.dir.file("daten")))
                if (e.path().stem() == from) std::filesystem::rename(e.path(), w.dir.file("daten/" + to + e.path().extension().string()));
        };
        moveSource("Quelle", "Weg");
        w.registry.writeString("1.0/ImportMain/edtAktEinstellung", "Artikel");
        w.registry.writeBool("1.0/ImportMain/rbtVorhEinst_oAE", true);
        w.start();
        w.prompter.expectError("Es wurde keine Quelldatei gespeichert, oder\r\nPfad- bzw. Dateinamen sind geändert "
                               "worden.\r\n\r\n" + w.source);
        w.click("btnWeiter1");
        QCOMPARE(w.page(), QStringLiteral("ImportSeite1"));
        QVERIFY(noDayRecorded());  // nothing ran
        QVERIFY(w.prompter.finished());

        // Back in place, the setting runs, and only now records the day.
        moveSource("Weg", "Quelle");
        w.click("btnWeiter1");
        QCOMPARE(w.page(), QStringLiteral("ImportSeite6"));
        // The stored mapping assigns nothing: the run is refused, and that is no import either.
        w.window->rbtTabNichtAnz->setChecked(true);
        w.prompter.expectError("Der Import wird nicht gestartet: kein Feld der Zieltabelle Ziel.DB hat eine "
                               "Zuordnung, eine Formel oder einen Vorgabewert.");
        w.click("btnFertigstellen");
        QVERIFY(noDayRecorded());
        QVERIFY(w.prompter.finished());

        // With a mapping that fills the target the run saves records, and the day is recorded.
        w.window->close();
        w.wizard.reset();
        describeTarget(w, true);
        storeMappingAs(w, "1");
        w.start();
        w.click("btnWeiter1");
        QCOMPARE(w.page(), QStringLiteral("ImportSeite6"));
        w.window->rbtTabNichtAnz->setChecked(true);
        w.click("btnFertigstellen");
        QVERIFY(!noDayRecorded());
        QVERIFY(w.prompter.finished());
    }

    // A text setting loaded for editing: the options window shows the setting's separators and date order.
    void theOptionsOfATextSettingAreItsOwn() {
        World w;
        addSetting(w.dir.path(), "Preise", w.text, w.target, 1);
        changeSetting(w, "Preise", [](Table& t) {
            const FormatSettings fs = FormatSettings::german();
            t.SetAsString(t.FieldNamed("Quellformat"), "Text", fs);
            t.SetAsString(t.FieldNamed("Decimal"), ".", fs);
            t.SetAsString(t.FieldNamed("Tausend"), ",", fs);
            t.SetAsString(t.FieldNamed("TMJ"), "YYYY/MM/DD", fs);
            t.SetAsInteger(t.FieldNamed("FixVar"), 0);
            t.SetAsString(t.FieldNamed("Semic"), "T", fs);
        });
        describeTarget(w);
        storeMappingAs(w, "1");
        w.registry.writeString("1.0/ImportMain/edtAktEinstellung", "Preise");
        w.registry.writeBool("1.0/ImportMain/rbtVorhEinst_mAE", true);
        w.start();
        // The summary's look at the options, before anything is loaded: the setting's, not the wizard's.
        QCOMPARE(QString::fromStdString(w.wizard->settingsPage().optionsOfCurrentSetting().edtDecimal), QStringLiteral("."));
        QCOMPARE(QString::fromStdString(w.wizard->settingsPage().optionsOfCurrentSetting().comTMJ), QStringLiteral("JJJJ/MM/TT"));
        QCOMPARE(w.formats.current.decimalSeparator, ',');
        w.click("btnWeiter1");
        w.wizard->textPages().btnQOptionenClick();
        const TextOptionsForm& shown = w.wizard->state().qOptionen;
        QCOMPARE(QString::fromStdString(shown.edtDecimal), QStringLiteral("."));
        QCOMPARE(QString::fromStdString(shown.edtTausend), QStringLiteral(","));
        QCOMPARE(QString::fromStdString(shown.comTMJ), QStringLiteral("JJJJ/MM/TT"));

        // The text shown in the content viewer follows the DOS switch.
        w.wizard->contentViewer().btnInhaltAnzClick(2);
        w.wizard->state().viewerRequest = ContentViewerRequest{};  // shown
        w.wizard->textPages().btnQOptionenClick();
        w.wizard->state().qOptionen.cbxDosToWin = true;
        w.wizard->textPages().qOptionenClose();
        QCOMPARE(static_cast<int>(w.wizard->state().viewerRequest.kind), static_cast<int>(ContentViewerRequest::Kind::SourceText));
        QVERIFY(w.wizard->state().viewerRequest.dosConversion);
    }

    void commandLineFillsTheNames() {
        {
            World w;
            w.start({w.source, w.target});
            QCOMPARE(w.textOf("edtQuelle").toStdString(), w.source);
            QCOMPARE(w.textOf("edtZiel").toStdString(), w.target);
            QVERIFY(w.window->rbtNeueImport->isChecked());
        }
        {
            World w;
            w.start({"/z", w.target});
            QCOMPARE(w.textOf("edtQuelle"), QString());
            QCOMPARE(w.textOf("edtZiel").toStdString(), w.target);
        }
        {
            World w;
            w.prompter.expectError("Die übergebenen Parameter sind ungültig.\r\n\r\nHinweis: Möglicherweise haben "
                                   "Sie\r\nzu viele Parameter eingegeben.");
            w.registry.writeString("1.0/ImportMain/edtQuelle", "gespeichert");
            w.start({"/q", w.source, "/z", w.target, "x"});
            QCOMPARE(w.textOf("edtQuelle"), QString());
            QCOMPARE(w.textOf("edtZiel"), QString());
            QVERIFY(w.prompter.finished());
        }
        {
            World w;  // both given, but the target is the program's own table
            w.prompter.expectBeep().expectError(
                "Bitte verwenden Sie keine Datenbank, die von diesem Programm benutzt wird.");
            w.start({w.source, w.dir.file("ZStrukt.DB")});
            QCOMPARE(w.textOf("edtQuelle").toStdString(), w.source);
            QCOMPARE(w.textOf("edtZiel"), QString());
            QVERIFY(w.prompter.finished());
        }
    }

    void cancellingAsksAndTheEndCleansUp() {
        World w;
        w.start();
        w.type("edtQuelle", w.source);
        w.type("edtZiel", w.target);
        std::filesystem::create_directory(w.dir.file("Temp"));
        test::writeFile(w.dir.file("Temp/ZSP.db"), "x");
        {
            // The wizard holds its control tables for as long as it runs: a rule through its own cursor.
            Table& z = w.wizard->context().tblZStrukt;
            z.BeginAppend();
            z.SetAsString(z.FieldNamed("Feldname"), "Rest", FormatSettings::german());
            z.PostRecord();
        }
        w.prompter.expectMessage(MsgKind::Confirmation, Buttons::YesNo, "Möchten Sie die Anwendung wirklich beenden?",
                                 Answer::No);
        w.click("btnAbbrechen1");
        QVERIFY(w.window->isVisible());
        w.prompter.expectMessage(MsgKind::Confirmation, Buttons::YesNo, "Möchten Sie die Anwendung wirklich beenden?",
                                 Answer::Yes);
        w.click("btnAbbrechen1");
        QVERIFY(!w.window->isVisible());
        QVERIFY(w.prompter.finished());
        QCOMPARE(w.registry.values["1.0/ImportMain/edtQuelle"], w.source);
        QCOMPARE(w.registry.values["1.0/ImportMain/rbtNeueImport"], std::string("true"));
        QVERIFY(!test::fileExists(w.dir.file("Temp/ZSP.db")));
        Table z;
        z.setPath(zStruktPath(w.dir.path()));
        z.OpenTable();
        QCOMPARE(z.RecordCount(), 0);

        // The next start takes the names back from the registry.
        World next;
        next.registry = w.registry;
        next.start();
        QCOMPARE(next.textOf("edtQuelle").toStdString(), w.source);
        QCOMPARE(next.textOf("edtZiel").toStdString(), w.target);
    }

    void aMissingControlTableIsReportedAndTheProgramStaysUsable() {
        World w;
        std::filesystem::remove(w.dir.file("ImpList.DB"));
        w.prompter.expectError("Die Tabelle " + w.dir.file("ImpList.DB") + " existiert nicht.");
        w.start();
        QCOMPARE(w.page(), QStringLiteral("ImportSeite1"));
        w.click("btnWeiter1");
        QCOMPARE(w.page(), QStringLiteral("ImportSeite2"));
        QVERIFY(w.prompter.finished());
    }

    void anUnreadableDBaseSourceIsReportedAndTheWizardStays() {
        World w;
        // A table file the user may not read: the reader fails on the file, not on a table.
        std::string dbf = w.dir.file("daten/KAPUTT.DBF");
        MakeTable(directoryOf(dbf), fileNameOf(dbf), {{"NAME", FieldType::String, 10}});
        std::filesystem::permissions(dbf, std::filesystem::perms::none);
        std::filesystem::permissions(w.dir.path(), std::filesystem::perms::all);
        w.start();
        w.click("btnWeiter1");
        w.type("edtQuelle", dbf);
        w.prompter.expectError("Die Datei " + dbf + " kann nicht geöffnet werden: Zugriff verweigert");
        // Root may read anything: the click is made as "nobody", for whom the file is unreadable.
        const bool root = ::geteuid() == 0;
        if (root) QVERIFY(::seteuid(65534) == 0);
        w.click("btnWeiter2");
        if (root) QVERIFY(::seteuid(0) == 0);
        QCOMPARE(w.page(), QStringLiteral("ImportSeite2"));
        QVERIFY(w.prompter.finished());
    }

    void aLockedTargetIsReadAgainOnceItIsFree() {
        World w;
        w.start();
        w.throughPage3();
        {
            Table holder;  // another program has the target
            holder.setPath(w.target);
            holder.Exclusive = true;
            holder.OpenTable();
            w.prompter.expectError("Die Tabelle Ziel.DB wird von einem anderen Benutzer oder Programm verwendet und "
                                   "kann nicht geöffnet werden.");
            w.click("btnWeiter3");
            QCOMPARE(w.page(), QStringLiteral("ImportSeite3"));
        }
        w.click("btnWeiter3");
        QCOMPARE(w.page(), QStringLiteral("ImportSeite4"));
        Table& z = w.wizard->context().tblZStrukt;
        QCOMPARE(z.RecordCount(), 2);  // the target's two fields, not an empty grid
        QVERIFY(w.prompter.finished());
    }

    void aReadOnlyTargetIsRefusedAndNothingClaimsSuccess() {
        World w;
        std::filesystem::permissions(w.target, std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
        const std::string before = test::readFile(w.target);
        GaugeModel gauge(w.formats.current);
        w.wizard = std::make_unique<ImportWizard>(WizardEnvironment{w.dir.path(), w.prompter, w.registry, w.formats,
                                                                    realFileSystem(), std::nullopt, &gauge});
        w.window = std::make_unique<TfrmImport1>(*w.wizard);
        w.wizard->start({});
        w.window->applyState();
        w.window->show();
        w.throughPage3();
        // Refused on the target's page, before anything is set up or saved for it.
        w.prompter.expectError("Die Tabelle Ziel.DB ist schreibgeschützt (Datei Ziel.DB) und kann nicht geändert "
                               "werden.");
        w.click("btnWeiter3");
        QCOMPARE(w.page(), QStringLiteral("ImportSeite3"));
        QVERIFY(!gauge.visible());  // no window that could claim anything
        QCOMPARE(gauge.counterText(Counter::AnzHinzu), std::string("0"));
        QCOMPARE(test::readFile(w.target), before);
        QVERIFY(w.prompter.finished());
    }

    void aSecondInstanceSaysSoOnceAndLeavesTheFirstOnesFilesAlone() {
        World w;
        w.start();
        w.throughPage3();
        w.click("btnWeiter3");
        QCOMPARE(w.page(), QStringLiteral("ImportSeite4"));
        std::filesystem::create_directory(w.dir.file("Temp"));
        test::writeFile(w.dir.file("Temp/Preise.db"), "the first instance's staging table");

        ScriptedPrompter second;
        second.onFailure = [](const std::string& f) { QFAIL(f.c_str()); };
        second.expectError("Kelvaro Import wird bereits in einem anderen Fenster ausgeführt: die Steuertabellen im "
                           "Programmverzeichnis\r\n" + w.dir.path() + "\r\nwerden dort verwendet. Dieses Fenster "
                           "wird geschlossen; bitte arbeiten Sie im anderen weiter.");
        {
            ImportWizard other(WizardEnvironment{w.dir.path(), second, w.registry, w.formats, realFileSystem(),
                                                 std::nullopt});
            other.start({});
            QVERIFY(!other.ownsControlTables());
            QVERIFY(other.state().closeRequested);
            other.finish();
        }
        QVERIFY(second.finished());
        QVERIFY(test::fileExists(w.dir.file("Temp/Preise.db")));
        QCOMPARE(w.wizard->context().tblZStrukt.RecordCount(), 2);
        w.click("btnWeiter4");
        QCOMPARE(w.page(), QStringLiteral("ImportSeite5"));
        QVERIFY(w.prompter.finished());
    }
};

QTEST_MAIN(TestWizardFlow)
#include "test_wizard_flow.moc"
