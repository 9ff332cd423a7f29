// The options window "Allgemeine Einstellungen": the DOS conversion and the
// separators and date order of text values. It does not block the wizard;
// closing it hands its settings to the wizard.
#pragma once

#include "textsource/TextOptions.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace kimport {

class TfrmQOptionen : public QDialog {
    Q_OBJECT
public:
    explicit TfrmQOptionen(QWidget* parent = nullptr);
    // FormShow: the form's values into the controls.
    void showForm(const TextOptionsForm& form);
    // The controls' values.
    TextOptionsForm form() const;
    // Shown only to look at: every control disabled until the window closes.
    void setLookOnly(bool lookOnly);
    bool lookOnly() const { return lookOnly_; }

    QCheckBox* cbxDosToWin = nullptr;
    QLineEdit *edtDecimal = nullptr, *edtTausend = nullptr, *edtTime = nullptr, *edtDate = nullptr;
    QComboBox* comTMJ = nullptr;

signals:
    void closedWithForm();
    void helpRequested(int context);

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool lookOnly_ = false;
};

}  // namespace kimport
