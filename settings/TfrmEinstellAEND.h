// The settings manager window: the saved settings in a grid with the view
// switch, the selected one's details, and the buttons copy, read in, delete,
// rename, options, start, cancel and help.
#pragma once

#include "common/Prompter.h"
#include "settings/SettingsManager.h"

#include <functional>

#include <QDialog>

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTableWidget;

namespace kimport {

class TfrmEinstellAEND : public QDialog {
    Q_OBJECT
public:
    TfrmEinstellAEND(SettingsManager& manager, Prompter& prompter, QWidget* parent = nullptr);
    // Shows the manager as its model was opened; true when "&Import starten" closed it.
    bool showManager();
    // "&Von Diskette einlesen": reads settings in; true when their error list is to be shown.
    std::function<bool()> readInSettings;

    QTableWidget* dbgEinstellungen = nullptr;
    QRadioButton* rbtView[3] = {nullptr, nullptr, nullptr};
    QLabel *lblBezeichnung = nullptr, *lblLetzterImport = nullptr, *lblQuelldatei = nullptr, *lblZieldatei = nullptr,
           *lblImportmodus = nullptr, *lblBasisname = nullptr;
    QPlainTextEdit* memBemerkung = nullptr;
    QCheckBox *cbxSicherungskp = nullptr, *cbxZielLeer = nullptr, *cbxQuelleAusw = nullptr, *cbxZielAusw = nullptr;
    QPushButton *btnKopierenNach = nullptr, *btnVonDiskEinlesen = nullptr, *btnLoeschen = nullptr,
                *btnUmbenennen = nullptr, *btnOptionen = nullptr, *btnExportieren = nullptr,
                *btnImportStarten = nullptr, *btnAbbrechen = nullptr, *btnHilfe = nullptr;

signals:
    void helpRequested(int context);
    void optionsRequested();
    void errorListRequested();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void apply();
    void act(const std::function<void()>& handler);
    SettingsManager& manager_;
    Prompter& prompter_;
    bool applying_ = false;
};

}  // namespace kimport
