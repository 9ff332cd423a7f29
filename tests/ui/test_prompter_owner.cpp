// The message boxes of the windows open above the window the user works in:
// the progress window while it is shown, a modal dialog while it is open,
// else the main window.
#include "app/QtPrompter.h"
#include "importrun/GaugeModel.h"
#include "importrun/TfrmGauge.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <vector>

using namespace kimport;

class TestPrompterOwner : public QObject {
    Q_OBJECT
private slots:
    void aBoxBelongsToTheWindowTheUserWorksIn() {
        QWidget main;
        main.resize(300, 200);
        main.show();
        QtPrompter prompter(&main);
        FormatSettings formats = FormatSettings::german();
        GaugeModel model(formats);
        TfrmGauge gauge(model, prompter);
        gauge.setWizardWindow(&main);

        // Which window the open box was given, and its answer.
        auto answerSeen = [](QWidget** parent) {
            QTimer::singleShot(50, [parent] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                QVERIFY(box);
                *parent = box->parentWidget();
                box->button(QMessageBox::Ok)->click();
            });
        };
        QWidget* parent = nullptr;
        answerSeen(&parent);
        prompter.error("ohne Fortschrittsfenster");
        QCOMPARE(parent, &main);

        model.prepareImportRun("Datensätze werden hinzugefügt...", 10);
        model.show();
        QVERIFY(gauge.isVisible());
        answerSeen(&parent);
        prompter.error("während des Laufs");
        QCOMPARE(parent, static_cast<QWidget*>(&gauge));
        model.close();

        // A modal dialog (the settings manager, the summary) takes the boxes of its time.
        QDialog dialog(&main);
        QTimer::singleShot(0, [&] {
            answerSeen(&parent);
            prompter.error("aus dem Dialog");
            dialog.accept();
        });
        dialog.exec();
        QCOMPARE(parent, static_cast<QWidget*>(&dialog));

        // A window of its own that the user works in (the content viewer): its boxes are its own.
        QDialog viewer;
        viewer.show();
        QApplication::setActiveWindow(&viewer);
        QVERIFY(QTest::qWaitForWindowActive(&viewer));
        answerSeen(&parent);
        prompter.error("aus der Inhaltsanzeige");
        QCOMPARE(parent, static_cast<QWidget*>(&viewer));
    }

    // "Hilfe" in a box with a help context opens that page, and the box stays to be answered; Enter in
    // the cancel question answers No.
    void helpOpensItsPageAndTheBoxStays() {
        QWidget main;
        main.show();
        QtPrompter prompter(&main);
        std::vector<int> opened;
        prompter.onHelp = [&](int context) { opened.push_back(context); };
        int shown = 0;
        std::function<void()> press = [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) {
                QTimer::singleShot(20, press);
                return;
            }
            ++shown;
            box->button(shown == 1 ? QMessageBox::Help : QMessageBox::Ok)->click();
            if (shown == 1) QTimer::singleShot(20, press);
        };
        QTimer::singleShot(20, press);
        QCOMPARE(prompter.message(MsgKind::Error, Buttons::OkHelp, "Spaltenname doppelt", 18), Answer::Ok);
        QCOMPARE(opened, std::vector<int>{18});
        QCOMPARE(shown, 2);

        QTimer::singleShot(20, [] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            QCOMPARE(static_cast<QAbstractButton*>(box->defaultButton()), box->button(QMessageBox::No));
            box->defaultButton()->click();
        });
        QCOMPARE(prompter.message(MsgKind::Warning, Buttons::YesNoDefaultNo, "Wirklich abbrechen?"), Answer::No);
    }
};

QTEST_MAIN(TestPrompterOwner)
#include "test_prompter_owner.moc"
