// The help window: shows the German help topic of a context number from the
// help folder of the program directory.
#pragma once

#include <QDialog>

class QTextBrowser;

namespace kimport {

class TfrmHilfe : public QDialog {
    Q_OBJECT
public:
    TfrmHilfe(const QString& helpDirectory, QWidget* parent = nullptr);
    void showTopic(int context);
    QTextBrowser* browser() const { return browser_; }

private:
    QString directory_;
    QTextBrowser* browser_;
};

}  // namespace kimport
