// The summary of a saved setting, shown by "&Details" while the setting is to
// be used unchanged: its files, last import, remark (editable), mapping base
// name and the options of its run.
#pragma once

#include "settings/SavedSetting.h"

#include <QDialog>

class QLabel;
class QPlainTextEdit;

namespace kimport {

class TfrmEinstellANZ : public QDialog {
    Q_OBJECT
public:
    explicit TfrmEinstellANZ(QWidget* parent = nullptr);
    // Fills the window for the setting and shows it; returns the remark as it is when the window closes.
    std::string showSetting(const SavedSetting& setting);

    QLabel *lblBezeichnung = nullptr, *lblQuelldatei = nullptr, *lblZieldatei = nullptr, *lblLetzterImport = nullptr,
           *lblBasisname = nullptr;
    QLabel* lblOption[3] = {nullptr, nullptr, nullptr};
    QPlainTextEdit* memBemerkung = nullptr;

signals:
    void optionsRequested();
    void helpRequested(int context);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace kimport
