// The working part of the mapping page ImportSeite4: the source structure
// grid, the mapping grid, the buttons "zuo&rdnen", "auf&heben", "a&lle
// aufheben", "&Optionen" and, in one place, the hint panZuordHint or the
// options panel tpcOptionen.
#pragma once

#include "wizard/ImportWizard.h"

#include <QWidget>

#include <functional>

class QHBoxLayout;
class QLabel;
class QPushButton;
class QTableView;

namespace kimport {

class QtTableModel;
class TfrmRuleOptions;

class TfrmMappingPanel : public QWidget {
    Q_OBJECT
public:
    // `run` takes the edits into the state, runs a handler guarded and shows the state.
    using Runner = std::function<void(const std::function<void()>&)>;
    TfrmMappingPanel(ImportWizard& wizard, Runner run, QWidget* parent = nullptr);

    // Reads the grids again when the page is entered and applies their column rules.
    void refreshGrids();
    // Shows the state after a handler; the grids keep the rows the tables are on.
    void applyState();
    // The grids' rows become the tables' current records (a refresh moves the tables).
    void syncCursors();
    // An options edit the user is still in goes to its rule.
    void commitEdits();

    QTableView *dbgStruktQuelle = nullptr, *dbgStruktZiel = nullptr;
    QPushButton *btnZuordnen = nullptr, *btnAufheben = nullptr, *btnAlleAufheben = nullptr, *btnOptionen = nullptr,
                *btnInhaltAnz4 = nullptr;
    QLabel* panZuordHint = nullptr;
    TfrmRuleOptions* tpcOptionen = nullptr;

signals:
    void contentViewerRequested();
    // The formula editor on the selected rule's text formula (true) or number formula.
    void formulaEditorRequested(bool textFormula);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void selectRow(QTableView* grid, Table& table);
    void goToRow(Table& table, int row);

    ImportWizard& wizard_;
    Runner run_;
    QtTableModel* sourceModel_ = nullptr;
    QtTableModel* targetModel_ = nullptr;
    bool applying_ = false;
    QHBoxLayout* gridsLayout_ = nullptr;
};

}  // namespace kimport
