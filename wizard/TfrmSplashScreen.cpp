#include "wizard/TfrmSplashScreen.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace kimport {

TfrmSplashScreen::TfrmSplashScreen(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmSplashScreen"));
    setWindowTitle(QStringLiteral("Informationen über " KIMPORT_VERSION_TEXT));
    setAutoFillBackground(true);
    auto* frame = new QFrame(this);
    frame->setFrameStyle(QFrame::Box | QFrame::Raised);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(frame);
    auto* v = new QVBoxLayout(frame);
    auto* title = new QLabel(QStringLiteral(KIMPORT_VERSION_TEXT));
    QFont big = title->font();
    big.setPointSize(big.pointSize() + 8);
    big.setBold(true);
    title->setFont(big);
    title->setAlignment(Qt::AlignCenter);
    v->addWidget(title);
    auto* line = new QLabel(QStringLiteral("Das Daten-Importprogramm für Windows 95/ 98 / NT 4.0"));
    line->setAlignment(Qt::AlignCenter);
    v->addWidget(line);
    btnOK = new QPushButton(QStringLiteral("&OK"));
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setVisible(false);
    v->addWidget(btnOK, 0, Qt::AlignCenter);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(5000);
    Timer1->setSingleShot(true);
    connect(Timer1, &QTimer::timeout, this, [this] {
        Timer1->stop();
        close();
        QApplication::restoreOverrideCursor();
    });
}

void TfrmSplashScreen::showAtStart() {
    setWindowFlags(Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    btnOK->setVisible(false);
    resize(360, 200);
    centreOnScreen();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    show();
    Timer1->start();
}

void TfrmSplashScreen::showAsAbout() {
    // A single fixed frame with a close button only: no minimise or maximise.
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    btnOK->setVisible(true);
    setFixedSize(360, 335);
    centreOnScreen();
    show();
    raise();
    activateWindow();
    btnOK->setDefault(true);
    btnOK->setFocus();
}

void TfrmSplashScreen::centreOnScreen() {
    if (QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
}

}  // namespace kimport
