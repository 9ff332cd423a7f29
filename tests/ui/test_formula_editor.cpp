// The formula editor window: its controls, the memo bound to a rule's
// formula column, the preview of a number and of a text formula against the
// current source record with the layout switch, failures, and help.
#include "support/ScriptedPrompter.h"
#include "formula/TParser.h"
#include "formula/TfrmFormelEdt.h"
#include "tests/formula/SourceRecord.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

using namespace kimport;
using namespace kimport::test;

namespace {

const int kEditClient = TfrmFormelEdt::kEditHeight - TfrmFormelEdt::kFrameHeight;
const int kPreviewClient = TfrmFormelEdt::kPreviewHeight - TfrmFormelEdt::kFrameHeight;

// The window over a source record, bound to one formula column of a rule.
struct Fixture {
    SourceRecord source{{textField("Feld2", "Herr"), textField("Feld3", "Meier"),
                         typedField("Preis", FieldType::Float, "10"), textField("Menge", "abc")}};
    FormatSettings formats = FormatSettings::german();
    ScriptedPrompter prompter;
    QStringList failures;
    TParser parser{&prompter};
    TfrmFormelEdt window{parser, prompter};
    std::string column;  // the rule's formula column
    int writes = 0;

    Fixture(FormulaKind kind, std::string formula, FormulaTarget target) : column(std::move(formula)) {
        prompter.onFailure = [this](const std::string& f) { failures << QString::fromStdString(f); };
        FormulaBinding b;
        b.kind = kind;
        b.read = [this] { return column; };
        b.write = [this](const std::string& text) {
            column = text;
            ++writes;
        };
        b.target = std::move(target);
        b.source = &source.table;
        b.formats = &formats;
        window.bindFormula(std::move(b));
        window.show();
    }
    template <typename T = QWidget>
    T* child(const char* name) {
        T* w = window.findChild<T*>(QLatin1String(name));
        if (!w) failures << QStringLiteral("missing %1").arg(QLatin1String(name));
        return w;
    }
    QPushButton* button(const char* name) { return child<QPushButton>(name); }
    QPlainTextEdit* memo(const char* name) { return child<QPlainTextEdit>(name); }
    void clickPreview() { QTest::mouseClick(button("btnVorschau"), Qt::LeftButton); }
};

}  // namespace

class TestFormulaEditor : public QObject {
    Q_OBJECT
private slots:
    void controlsAndTheEditingLayout() {
        Fixture f(FormulaKind::Text, "#Feld2", {"Anrede", 1, "20"});
        QCOMPARE(f.window.windowTitle(), QStringLiteral("Formeleditor"));
        QVERIFY(!f.window.isModal());
        QCOMPARE(f.button("btnOK")->text(), QStringLiteral("&OK"));
        QCOMPARE(f.button("btnVorschau")->text(), QStringLiteral("&Vorschau"));
        QCOMPARE(f.button("btnHilfe")->text(), QStringLiteral("&Hilfe"));
        QVERIFY(f.memo("memFormel")->isVisible());
        QVERIFY(!f.memo("memVorschau")->isVisible());
        QVERIFY(f.memo("memVorschau")->isReadOnly());
        QCOMPARE(f.window.height(), kEditClient);
        QCOMPARE(f.button("btnVorschau")->geometry().left(), 180);
        QCOMPARE(f.button("btnVorschau")->width(), 75);
        QVERIFY(f.failures.isEmpty());
    }

    void editsGoStraightIntoTheRule() {
        Fixture f(FormulaKind::Text, "#Feld2", {"Anrede", 1, "20"});
        QCOMPARE(f.memo("memFormel")->toPlainText(), QStringLiteral("#Feld2"));
        QCOMPARE(f.writes, 0);  // showing the rule's formula writes nothing back
        f.memo("memFormel")->setFocus();
        f.memo("memFormel")->moveCursor(QTextCursor::End);
        QTest::keyClicks(f.memo("memFormel"), " + #Feld3");
        QCOMPARE(QString::fromStdString(f.column), QStringLiteral("#Feld2 + #Feld3"));
    }

    void previewOfANumberFormulaAndBack() {
        Fixture f(FormulaKind::Number, "#Preis * 1.16", {"Brutto", 6, "8"});
        f.clickPreview();
        QVERIFY(f.memo("memVorschau")->isVisible());
        QVERIFY(!f.memo("memFormel")->isVisible());
        QCOMPARE(f.memo("memVorschau")->toPlainText(), QStringLiteral("Expression: \t10 * 1.16\nWert:\t\t11,6"));
        QCOMPARE(f.window.windowTitle(), QStringLiteral("Vorschau auf Tabellenfeld \"Brutto\""));
        QCOMPARE(f.window.height(), kPreviewClient);
        QCOMPARE(f.button("btnVorschau")->text(), QStringLiteral("Vorschau &schließen"));
        QCOMPARE(f.button("btnVorschau")->geometry().left(), TfrmFormelEdt::kOkLeft);
        QCOMPARE(f.button("btnVorschau")->width(), 130);
        QVERIFY(!f.button("btnOK")->isVisible());
        QVERIFY(f.button("btnVorschau")->geometry().bottom() < kPreviewClient);

        f.clickPreview();
        QVERIFY(f.memo("memFormel")->isVisible());
        QVERIFY(!f.memo("memVorschau")->isVisible());
        QCOMPARE(f.window.windowTitle(), QStringLiteral("Formeleditor"));
        QCOMPARE(f.window.height(), kEditClient);
        QCOMPARE(f.button("btnVorschau")->text(), QStringLiteral("&Vorschau"));
        QCOMPARE(f.button("btnVorschau")->geometry().left(), 180);
        QCOMPARE(f.button("btnVorschau")->width(), 75);
        QVERIFY(f.button("btnOK")->isVisible());
        QCOMPARE(f.button("btnOK")->geometry().left(), TfrmFormelEdt::kOkLeft);
        QVERIFY(f.failures.isEmpty());
    }

    void previewOfATextFormulaWithTheCutOffNote() {
        Fixture f(FormulaKind::Text, "\"Sehr geehrter \" + #Feld2 + \" \" + #Feld3", {"Anrede", 1, "40"});
        f.clickPreview();
        QCOMPARE(f.memo("memVorschau")->toPlainText(), QStringLiteral("\"Sehr geehrter Herr Meier\""));
        QCOMPARE(f.window.windowTitle(), QStringLiteral("Vorschau auf Tabellenfeld \"Anrede\""));
        f.clickPreview();

        // 12 characters for a target of 10.
        Fixture g(FormulaKind::Text, "#Feld2 + #Feld3 + \"!!!\"", {"Kurz", 1, "10"});
        g.clickPreview();
        QCOMPARE(g.memo("memVorschau")->toPlainText(),
                 QStringLiteral("\"HerrMeier!\"\n\n* String wird abgeschnitten, weil das Zielfeld nur 10 Zeichen "
                                "aufnehmen kann *"));
        QVERIFY(f.failures.isEmpty() && g.failures.isEmpty());
    }

    void failuresKeepTheEditingLayout() {
        Fixture f(FormulaKind::Number, "#Preis*#Menge", {"Summe", 6, "8"});
        f.prompter
            .expectError(
                "Das Tabellenfeld:\t\"Menge\"\r\nmit dem Inhalt:\t\t\"abc\"\r\nkann zu keinem gültigen "
                "numerischen Wert konvertiert werden.\r\n\r\nDie Formel kann nicht bearbeitet werden.")
            .expectMessage(MsgKind::Warning, Buttons::Ok, "Syntax Error!")
            .expectError("Der Ausdruck konnte nicht übersetzt werden")
            .expectError("Gleitkommadivision durch Null");
        f.clickPreview();
        QVERIFY(f.memo("memFormel")->isVisible());
        QCOMPARE(f.button("btnVorschau")->text(), QStringLiteral("&Vorschau"));
        QCOMPARE(f.window.height(), kEditClient);
        f.column = "#Preis/0";
        f.clickPreview();
        QVERIFY(f.memo("memFormel")->isVisible());

        Fixture g(FormulaKind::Text, "#Fehlt", {"Anrede", 1, "20"});
        g.prompter.expectError("Das Feld \"Fehlt\" ist nicht in der Tabelle enthalten");
        g.clickPreview();
        QVERIFY(g.memo("memFormel")->isVisible());
        QCOMPARE(g.window.windowTitle(), QStringLiteral("Formeleditor"));
        QVERIFY(f.prompter.finished() && g.prompter.finished());
        QVERIFY2(f.failures.isEmpty() && g.failures.isEmpty(), qPrintable((f.failures + g.failures).join('\n')));
    }

    void closingInPreviewKeepsThePreviewForTheNextOpening() {
        Fixture f(FormulaKind::Number, "#Preis", {"Preis", 6, "8"});
        f.clickPreview();
        f.window.hide();
        f.window.show();
        QVERIFY(f.window.previewShown());
        QCOMPARE(f.button("btnVorschau")->text(), QStringLiteral("Vorschau &schließen"));
        QTest::mouseClick(f.button("btnVorschau"), Qt::LeftButton);
        QVERIFY(!f.window.previewShown());
        QTest::mouseClick(f.button("btnOK"), Qt::LeftButton);
        QVERIFY(!f.window.isVisible());
    }

    void helpOpensTopicNine() {
        Fixture f(FormulaKind::Text, "", {"Anrede", 1, "20"});
        QSignalSpy spy(&f.window, &TfrmFormelEdt::helpRequested);
        QTest::mouseClick(f.button("btnHilfe"), Qt::LeftButton);
        QTest::keyClick(&f.window, Qt::Key_F1);
        QCOMPARE(spy.count(), 2);
        QCOMPARE(spy.at(0).at(0).toInt(), 9);
        QCOMPARE(spy.at(1).at(0).toInt(), 9);
    }
};

QTEST_MAIN(TestFormulaEditor)
#include "test_formula_editor.moc"
