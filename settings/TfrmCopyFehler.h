// The error list of reading in predefined settings: what went wrong, in a
// read-only text, with one button to close it.
#pragma once

#include <QDialog>

#include <string>

class QPlainTextEdit;

namespace kimport {

class TfrmCopyFehler : public QDialog {
    Q_OBJECT
public:
    explicit TfrmCopyFehler(QWidget* parent = nullptr);
    // Shows the entries under the list's heading.
    void showEntries(const std::string& entries);

    QPlainTextEdit* memFehler = nullptr;
};

}  // namespace kimport
