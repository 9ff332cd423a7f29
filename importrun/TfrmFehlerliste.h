// The list of a run's report: which record, which field, why; sortable, copied to the clipboard and
// saved as CSV.
#pragma once

#include "common/Prompter.h"
#include "progress/RunReport.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTableWidget;

namespace kimport {

class TfrmFehlerliste : public QDialog {
    Q_OBJECT
public:
    TfrmFehlerliste(Prompter& prompter, QWidget* parent = nullptr);

    // Shows the report (kept by reference while the window is open).
    void showReport(const RunReport& report);

    QLabel* lblZusammenfassung = nullptr;
    QTableWidget* grdFehler = nullptr;
    QPushButton *btnKopieren = nullptr, *btnSpeichern = nullptr, *btnSchliessen = nullptr;

private:
    void copyToClipboard();
    void saveAs();

    Prompter& prompter_;
    const RunReport* report_ = nullptr;
};

}  // namespace kimport
