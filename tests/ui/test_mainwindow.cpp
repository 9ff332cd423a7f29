#include "wizard/TfrmImport1.h"

#include <QtTest>

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void captionIsTheProductTitle() {
        kimport::TfrmImport1 window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.windowTitle(), QStringLiteral("Kelvaro Import 1.0c"));
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
