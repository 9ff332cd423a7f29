// The progress window drawn from its model: controls and names, counters,
// the cancel question, disabling the wizard, help, the message pump and the bar.
#include "support/ScriptedPrompter.h"
#include "importrun/TfrmGauge.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

using namespace kimport;

namespace {

const char* const kQuestion =
    "Die Operation ist nicht vollständig durchgeführt worden.\r\nWenn Sie jetzt abbrechen kann sich das negativ "
    "auf den \r\nweiteren Ablauf des Programmes auswirken.\r\n\r\nMöchten Sie wirklich abbrechen?";

// One window with its model, a scripted prompter and a wizard to disable.
struct Fixture {
    FormatSettings formats = FormatSettings::german();
    GaugeModel model{formats};
    ScriptedPrompter prompter;
    QStringList failures;
    QWidget wizard;
    TfrmGauge window{model, prompter};

    Fixture() {
        prompter.onFailure = [this](const std::string& f) { failures << QString::fromStdString(f); };
        wizard.setObjectName(QStringLiteral("frmImport1"));
        wizard.resize(200, 100);
        wizard.show();
        window.setWizardWindow(&wizard);
    }
    template <typename T = QWidget>
    T* child(const char* name) {
        return window.findChild<T*>(QLatin1String(name));
    }
    QString text(const char* name) {
        QLabel* l = child<QLabel>(name);
        return l ? l->text() : QStringLiteral("(missing %1)").arg(QLatin1String(name));
    }
};

int countPixels(const QImage& image, const QRect& area, QRgb colour) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF)) ++n;
    return n;
}

}  // namespace

class TestGaugeWindow : public QObject {
    Q_OBJECT
private slots:
    void controlsCarryTheirNames() {
        Fixture f;
        QCOMPARE(f.window.windowTitle(), QStringLiteral("Kelvaro Import 1.0c"));
        QVERIFY(f.window.windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(!(f.window.windowFlags() & Qt::WindowCloseButtonHint));
        for (const char* name : {"panTop", "panImpLauf", "panBottom", "Label1", "lblAnzGeles", "lblAnzGeles2",
                                 "btnGaugeAbbrechen", "btnHilfe"})
            QVERIFY2(f.child(name), name);
        QVERIFY(f.child<TGauge>("Gauge1"));
        for (int i = 0; i < kPictureCount; ++i) {
            const char* name = pictureName(static_cast<Picture>(i));
            QLabel* picture = f.child<QLabel>(name);
            QVERIFY2(picture, name);
            QVERIFY2(!picture->pixmap().isNull(), name);
            QVERIFY(picture->pixmap().width() <= 33 && picture->pixmap().height() <= 33);
        }
        QCOMPARE(f.window.findChild<QTimer*>(QStringLiteral("AnimateTimer1"))->interval(), 175);
        QCOMPARE(f.window.findChild<QTimer*>(QStringLiteral("AnimateTimer2"))->interval(), 100);
        QCOMPARE(f.text("lblAnzGeles"), QStringLiteral("Anzahl gelesener Zeilen"));
        QCOMPARE(f.child<QPushButton>("btnHilfe")->text(), QStringLiteral("&Hilfe"));

        // Each counter row: caption on the left, its number label on the same line.
        for (const CounterRow& row : counterRows()) {
            QLabel* number = f.child<QLabel>(row.labelName);
            QVERIFY2(number, row.labelName);
            QVERIFY(number->alignment() & Qt::AlignRight);
            bool found = false;
            for (QLabel* l : f.child("panImpLauf")->findChildren<QLabel*>())
                if (l->text() == QString::fromUtf8(row.caption) && l->y() == number->y()) {
                    found = true;
                    QVERIFY2(l->fontMetrics().horizontalAdvance(l->text()) <= l->width(), row.caption);
                    QVERIFY(l->x() + l->width() <= number->x());
                }
            QVERIFY2(found, row.caption);
        }
    }

    void showingDisablesTheWizardAndShowsTheCounters() {
        Fixture f;
        QWidget manager;
        f.window.setSettingsManagerWindow(&manager);  // not visible: left alone
        manager.setEnabled(false);
        f.model.prepareImportRun("Datensätze werden hinzugefügt,\r\nvorhandene Datensätze bleiben unberührt...", 50);
        f.model.setCount(Counter::SummeQuelle, 1234);
        f.model.setCount(Counter::AnzHinzu, 55);
        f.model.show();
        QVERIFY(f.window.isVisible());
        QVERIFY(!f.wizard.isEnabled());
        QCOMPARE(f.window.size(), QSize(331, 248));
        QCOMPARE(f.text("Label1"),
                 QStringLiteral("Datensätze werden hinzugefügt,\nvorhandene Datensätze bleiben unberührt..."));
        QCOMPARE(f.text("lblSummeQuelle"), QStringLiteral("1.234"));
        QCOMPARE(f.text("lblAnzHinzu"), QStringLiteral("0"));
        QVERIFY(f.child("panImpLauf")->isVisible());
        QVERIFY(!f.child("lblAnzGeles")->isVisible());
        QVERIFY(f.child("btnHilfe")->isVisible());
        QCOMPARE(f.child("btnGaugeAbbrechen")->x(), 60);

        f.model.setCount(Counter::AnzHinzu, 999);
        f.model.addToCounter(Counter::AnzHinzu);
        f.model.addToCounter(Counter::AnzFehler, 2);
        QTRY_COMPARE(f.text("lblAnzHinzu"), QStringLiteral("1.000"));
        QCOMPARE(f.text("lblAnzFehler"), QStringLiteral("2"));

        f.model.close();
        QVERIFY(!f.window.isVisible());
        QVERIFY(f.wizard.isEnabled());
        QVERIFY(!manager.isEnabled());
    }

    void visibleSettingsManagerIsDisabledToo() {
        Fixture f;
        QWidget manager;
        manager.show();
        f.window.setSettingsManagerWindow(&manager);
        f.model.show();
        QVERIFY(!manager.isEnabled());
        QVERIFY(!f.wizard.isEnabled());
        f.model.close();
        QVERIFY(manager.isEnabled());
        QVERIFY(f.wizard.isEnabled());
    }

    void cancelButtonAsksThenCloses() {
        Fixture f;
        f.prompter.expectMessage(MsgKind::Warning, Buttons::YesNoDefaultNo, kQuestion, Answer::No)
            .expectMessage(MsgKind::Warning, Buttons::YesNoDefaultNo, kQuestion, Answer::Yes);
        f.model.prepareImportRun("Datensätze werden hinzugefügt...", 10);
        f.model.show();
        auto* cancel = f.child<QPushButton>("btnGaugeAbbrechen");
        QCOMPARE(cancel->text(), QStringLiteral("&Abbrechen"));

        QTest::mouseClick(cancel, Qt::LeftButton);  // No: the run goes on
        QVERIFY(f.window.isVisible());
        QVERIFY(!f.model.cancelled());
        QVERIFY(!f.wizard.isEnabled());

        QTest::mouseClick(cancel, Qt::LeftButton);  // Yes
        QVERIFY(!f.window.isVisible());
        QVERIFY(f.model.cancelled());
        QVERIFY(f.wizard.isEnabled());
        QVERIFY(f.prompter.finished());

        // Escape does not hide the window behind the model's back.
        f.model.show();
        QTest::keyClick(&f.window, Qt::Key_Escape);
        QVERIFY(f.window.isVisible());
        QVERIFY(f.model.visible());

        // After the operation the button only closes.
        f.model.finish();
        QTRY_COMPARE(cancel->text(), QStringLiteral("&Schließen"));
        QTest::mouseClick(cancel, Qt::LeftButton);
        QVERIFY(!f.window.isVisible());
        QVERIFY(!f.model.cancelled());
        QVERIFY2(f.failures.isEmpty(), qPrintable(f.failures.join('\n')));
    }

    // After a run with something in its report the window offers the list; it shows every entry, sorts
    // by record, copies to the clipboard and saves the CSV through the prompter's dialog.
    void reportButtonOpensTheSortableListWhichCopiesAndSaves() {
        Fixture f;
        f.model.prepareImportRun("Datensätze werden hinzugefügt...", 10);
        f.model.show();
        auto* button = f.child<QPushButton>("btnFehlerliste");
        QVERIFY(button && !button->isVisible());
        RunReport report;
        report.add({7, 1, "Preis", "zwei", "zwei", "'zwei' ist keine Zahl", ReportCounter::Errors});
        report.add({2, 1, "Nr", "1", "", "Der Schlüssel ist in der Zieltabelle schon vorhanden", ReportCounter::Ignored});
        f.model.finish();
        f.model.showReport(&report);
        QTRY_VERIFY(button->isVisible());
        // The cancel button ("&Schließen" now) stands beside the list's button, not over it.
        auto* cancel = f.child<QPushButton>("btnGaugeAbbrechen");
        QVERIFY(!cancel->geometry().intersects(button->geometry()));
        QCOMPARE(cancel->x(), GaugeModel::kCancelLeftBesideReport);
        QTest::mouseClick(button, Qt::LeftButton);
        auto* list = f.window.findChild<QDialog*>(QStringLiteral("frmFehlerliste"));
        QVERIFY(list && list->isVisible());
        // The progress window stays on top; the list must open above it, not beneath.
        QVERIFY(list->windowFlags() & Qt::WindowStaysOnTopHint);
        auto* grid = list->findChild<QTableWidget*>(QStringLiteral("grdFehler"));
        QCOMPARE(grid->rowCount(), 2);
        QCOMPARE(grid->item(0, 0)->text(), QStringLiteral("2"));  // sorted by record
        QCOMPARE(grid->item(1, 2)->text(), QStringLiteral("Preis"));
        QVERIFY(list->findChild<QLabel*>(QStringLiteral("lblZusammenfassung"))->text().startsWith(
            QStringLiteral("1 Fehler, 1 ignorierte Datensätze")));

        QTest::mouseClick(list->findChild<QPushButton*>(QStringLiteral("btnKopieren")), Qt::LeftButton);
        const QStringList copied = QApplication::clipboard()->text().split(QLatin1Char('\n'));
        QCOMPARE(copied.value(0), QStringLiteral("Datensatz\tArt\tZielfeld\tQuellwert\tVersuchter Wert\tGrund"));
        QCOMPARE(copied.value(1).section(QLatin1Char('\t'), 0, 2), QStringLiteral("2\tignoriert\tNr"));

        QTemporaryDir dir;
        const std::string path = dir.filePath(QStringLiteral("Liste.csv")).toStdString();
        f.prompter.expectSaveFile(path).expectMessage(MsgKind::Information, Buttons::Ok,
                                                      "Die Fehlerliste ist gespeichert worden:\r\n" + path);
        QTest::mouseClick(list->findChild<QPushButton*>(QStringLiteral("btnSpeichern")), Qt::LeftButton);
        QFile saved(QString::fromStdString(path));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QVERIFY(saved.readAll().startsWith("\xEF\xBB\xBF" "Datensatz;Art;Zielfeld"));
        QVERIFY(f.prompter.finished());

        // The next operation starts without the last one's report.
        f.model.close();
        f.model.prepareImportRun("Datensätze werden hinzugefügt...", 10);
        f.model.show();
        QTRY_VERIFY(!button->isVisible());
        QVERIFY2(f.failures.isEmpty(), qPrintable(f.failures.join('\n')));
    }

    void helpButtonAndF1AskForContext19() {
        Fixture f;
        QSignalSpy spy(&f.window, &TfrmGauge::helpRequested);
        f.model.prepareImportRun("x", 1);
        f.model.show();
        QTest::mouseClick(f.child<QPushButton>("btnHilfe"), Qt::LeftButton);
        QTest::keyClick(f.child("btnGaugeAbbrechen"), Qt::Key_F1);  // from a child: the window sees it
        QCOMPARE(spy.count(), 2);
        QCOMPARE(spy.at(0).at(0).toInt(), 19);
        QCOMPARE(spy.at(1).at(0).toInt(), 19);
    }

    void textReadShowsLinesAndAnimates() {
        Fixture f;
        f.model.prepareTextRead("Textdatei wird eingelesen...", 3000);
        f.model.show();
        QCOMPARE(f.window.height(), 220 - TfrmGauge::kFrameHeight);
        QVERIFY(!f.child("panImpLauf")->isVisible());
        QVERIFY(f.child("lblAnzGeles")->isVisible());
        QVERIFY(!f.child("btnHilfe")->isVisible());
        QCOMPARE(f.child("btnGaugeAbbrechen")->x(), 120);
        QCOMPARE(f.text("lblAnzGeles2"), QStringLiteral("0"));
        f.model.addToCounter(Counter::AnzGeles2, 1500);
        QTRY_COMPARE(f.text("lblAnzGeles2"), QStringLiteral("1.500"));
        QVERIFY(f.window.findChild<QTimer*>(QStringLiteral("AnimateTimer1"))->isActive());
        QTRY_VERIFY(f.child("Image3")->isVisible());  // the first tick of animation 1
        QVERIFY(f.child("ImgFolderFull")->isVisible());

        f.model.endTextRead();
        QVERIFY(!f.window.findChild<QTimer*>(QStringLiteral("AnimateTimer1"))->isActive());
        QTRY_VERIFY(f.child("panImpLauf")->isVisible());
        QVERIFY(!f.child("lblAnzGeles")->isVisible());
    }

    void pumpRunsEventsAtMostOncePerInterval() {
        Fixture f;
        f.window.setPumpInterval(60 * 60 * 1000);
        int ran = 0;
        QTimer::singleShot(0, &f.window, [&] { ++ran; });
        f.model.pump();
        QCOMPARE(ran, 1);
        QTimer::singleShot(0, &f.window, [&] { ++ran; });
        f.model.pump();
        QCOMPARE(ran, 1);
        f.window.setPumpInterval(0);
        f.model.pump();
        QCOMPARE(ran, 2);
    }

    void barPaintsBlueOnWhiteWithXorText() {
        Fixture f;
        f.model.prepareImportRun("x", 200);
        f.model.show();
        auto* gauge = f.child<TGauge>("Gauge1");
        QVERIFY(gauge);
        f.model.setPosition(100);  // 50 %
        const QImage image = gauge->grab().toImage();
        const int w = image.width(), h = image.height();
        QCOMPARE(image.pixel(3, h / 2) & 0xFFFFFF, 0x0000FFu);
        QCOMPARE(image.pixel(w - 4, h / 2) & 0xFFFFFF, 0xFFFFFFu);
        QCOMPARE(image.pixel(w / 2 - 30, 1) & 0xFFFFFF, 0x0000FFu);  // the bar ends at half the width
        QCOMPARE(image.pixel(w / 2 + 30, 1) & 0xFFFFFF, 0xFFFFFFu);
        // "50%" straddles the bar's end: white XOR blue is yellow, white XOR white is black.
        QVERIFY(countPixels(image, QRect(0, 0, w / 2, h), 0xFFFF00) > 0);
        QVERIFY(countPixels(image, QRect(w / 2, 0, w - w / 2, h), 0x000000) > 0);

        // A source of 0 records: no bar at all.
        f.model.setRange(0, 0);
        const QImage empty = gauge->grab().toImage();
        QCOMPARE(countPixels(empty, empty.rect(), 0x0000FF), 0);
        QVERIFY(countPixels(empty, empty.rect(), 0x000000) > 0);  // "0%"
    }

    void standaloneGaugeHasItsOwnDefaults() {
        TGauge gauge;
        gauge.resize(100, 20);
        QCOMPARE(gauge.maxValue(), 100);
        QCOMPARE(gauge.foreColor(), QColor(Qt::black));
        QCOMPARE(gauge.backColor(), QColor(Qt::white));
        gauge.setProgress(37);
        gauge.setShowText(false);
        const QImage image = gauge.grab().toImage();
        QCOMPARE(image.pixel(0, 0) & 0xFFFFFF, 0x000000u);  // single border
        // 37 % of the 98 pixels inside the border: 36 black columns, then white.
        QCOMPARE(image.pixel(1 + 35, 10) & 0xFFFFFF, 0x000000u);
        QCOMPARE(image.pixel(1 + 36, 10) & 0xFFFFFF, 0xFFFFFFu);
    }
};

QTEST_MAIN(TestGaugeWindow)
#include "test_gauge_window.moc"
