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
#include <QTimer>
#include <QtTest>

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
};

QTEST_MAIN(TestPrompterOwner)
#include "test_prompter_owner.moc"
