// The working part of the mode page ImportSeite5: the source file's name, the
// append and update choices with their descriptions, the three ways of
// handling existing keys and the start value.
#pragma once

#include "wizard/ImportWizard.h"

#include <QWidget>

#include <functional>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace kimport {

class TfrmModePanel : public QWidget {
    Q_OBJECT
public:
    using Runner = std::function<void(const std::function<void()>&)>;
    TfrmModePanel(ImportWizard& wizard, Runner run, QWidget* parent = nullptr);
    void applyState();

    QLabel *lblQuelldatei = nullptr, *lblEndeAnhaengen = nullptr, *lblAktualisieren = nullptr,
           *lblAktNichtMoeglich = nullptr, *lblStartwert = nullptr, *lblIndexfeld = nullptr;
    QRadioButton *rbtEndeAnhaengen = nullptr, *rbtIgnorieren = nullptr, *rbtUmbenennen = nullptr, *rbtSelfInc = nullptr,
                 *rbtAktualisieren = nullptr;
    QGroupBox* gbxImportmodus = nullptr;
    QLineEdit* edtStartwert = nullptr;
    QPushButton* btnInhaltAnz5 = nullptr;

signals:
    void contentViewerRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    ImportWizard& wizard_;
    Runner run_;
};

}  // namespace kimport
