// The start window, also shown as the about box.
#pragma once

#include <QDialog>

class QPushButton;
class QTimer;

namespace kimport {

class TfrmSplashScreen : public QDialog {
    Q_OBJECT
public:
    explicit TfrmSplashScreen(QWidget* parent = nullptr);
    // At start: borderless, on top, closed by a 5-second timer; the OK button hidden.
    void showAtStart();
    // As the about box: a frame, the OK button visible and focused.
    void showAsAbout();

    QPushButton* btnOK = nullptr;
    QTimer* Timer1 = nullptr;

private:
    void centreOnScreen();
};

}  // namespace kimport
