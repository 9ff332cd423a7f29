// The tab TXTVariabel of the text page: the separator switches, the quote
// character, the first-line flag and the preview grid stgQuellDatVar. It shows
// the layout and preview the wizard holds and writes the user's changes back.
#pragma once

#include "wizard/WizardState.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace kimport {

class TfrmTextVariabel : public QWidget {
    Q_OBJECT
public:
    explicit TfrmTextVariabel(WizardState& state, QWidget* parent = nullptr);
    // Shows the state's layout and preview.
    void applyState();
    // The grid gives way to "Vorschau wird bearbeitet..." until applyState shows the new preview.
    void previewBusy();

    QCheckBox *cbxSemic = nullptr, *cbxKomma = nullptr, *cbxTab = nullptr, *cbxSpace = nullptr, *cbxAndere = nullptr;
    QLineEdit* edtAndere = nullptr;
    QComboBox* comDelimiter = nullptr;
    QCheckBox* cbxErsteZeile = nullptr;
    QTableWidget* stgQuellDatVar = nullptr;
    QLabel* lblVorschauVorber = nullptr;
    QLineEdit* edtRenCols = nullptr;
    QPushButton *btnErste = nullptr, *btnLinks = nullptr, *btnRechts = nullptr, *btnLetzte = nullptr;

signals:
    // A switch, the quote, the first-line flag or edtAndere changed: the preview is to be rebuilt.
    void layoutEdited();
    // A column of the grid was clicked (renaming moves there).
    void columnClicked(int column);

private:
    void pull();
    WizardState& state_;
    bool applying_ = false;
};

}  // namespace kimport
