#include "wizard/TfrmMappingPanel.h"
#include "common/UserMessage.h"

#include "wizard/QtTableModel.h"
#include "qtshared/QtWidgetHelpers.h"
#include "wizard/TfrmRuleOptions.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTableView>

#include <algorithm>
#include <QVBoxLayout>

namespace kimport {

TfrmMappingPanel::TfrmMappingPanel(ImportWizard& wizard, Runner run, QWidget* parent)
    : QWidget(parent), wizard_(wizard), run_(std::move(run)) {
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    auto* grids = gridsLayout_ = new QHBoxLayout;
    dbgStruktQuelle = named(new QTableView, "dbgStruktQuelle");
    dbgStruktZiel = named(new QTableView, "dbgStruktZiel");
    dbgStruktQuelle->setToolTip(QStringLiteral("Struktur der Quelldatenbanktabelle"));
    dbgStruktZiel->setToolTip(QStringLiteral("Strukturen und Zuordnungen der Zieldatenbanktabelle"));
    sourceModel_ = new QtTableModel(wizard_.context().tblQStrukt, {}, this);
    targetModel_ = new QtTableModel(wizard_.context().tblZStrukt, {}, this);
    targetModel_->setHighlighted(QStringLiteral("Zuordnung"));
    dbgStruktQuelle->setModel(sourceModel_);
    dbgStruktZiel->setModel(targetModel_);
    for (QTableView* grid : {dbgStruktQuelle, dbgStruktZiel}) {
        grid->setSelectionBehavior(QAbstractItemView::SelectRows);
        grid->setSelectionMode(QAbstractItemView::SingleSelection);
        grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
        grid->setTabKeyNavigation(false);  // Tab goes on to the next control; the arrows move within
        grid->verticalHeader()->hide();
        // Rows as high as the text, so that more fields are seen at once.
        grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 6);
    }
    dbgStruktZiel->installEventFilter(this);
    grids->addWidget(dbgStruktQuelle);
    grids->addWidget(dbgStruktZiel);
    v->addLayout(grids, 1);

    auto* lower = new QHBoxLayout;
    auto* buttons = new QVBoxLayout;
    btnZuordnen = named(new QPushButton(QStringLiteral("zuo&rdnen")), "btnZuordnen");
    btnZuordnen->setToolTip(QStringLiteral("Zuordnung zwischen Quell- und Zieltabelle herstellen"));
    btnAufheben = named(new QPushButton(QStringLiteral("auf&heben")), "btnAufheben");
    btnAufheben->setToolTip(QStringLiteral("Aktuelle Zuordnung zwischen Quell- und Zieltabelle aufheben"));
    btnAlleAufheben = named(new QPushButton(QStringLiteral("a&lle aufheben")), "btnAlleAufheben");
    btnAlleAufheben->setToolTip(QStringLiteral("Alle Zuordnungen zwischen Quell- und Zieltabelle aufheben"));
    btnOptionen = named(new QPushButton(QStringLiteral("&Optionen")), "btnOptionen");
    btnOptionen->setToolTip(QStringLiteral("Optionen für einzelne Zielfelder einstellen"));
    btnInhaltAnz4 = named(new QPushButton(QStringLiteral("&Inhalte ansehen")), "btnInhaltAnz4");
    for (QPushButton* b : {btnZuordnen, btnAufheben, btnAlleAufheben, btnOptionen}) buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(btnInhaltAnz4);
    lower->addLayout(buttons);
    panZuordHint = named(new QLabel(QStringLiteral(
                             "Wählen Sie das Feld der Quelldatenbanktabelle aus, dessen\nDaten Sie importieren "
                             "möchten.\n\nWählen Sie das Feld der Zieldatenbanktabelle aus, das die\nDaten des "
                             "Quelldatenbankfeldes erhalten soll.\n\nKlicken Sie mit der Maus auf die Schaltfläche "
                             "'zuordnen'.")),
                         "panZuordHint");
    panZuordHint->setFrameShape(QFrame::StyledPanel);
    panZuordHint->setAlignment(Qt::AlignCenter);
    tpcOptionen = new TfrmRuleOptions;
    lower->addWidget(panZuordHint, 1);
    lower->addWidget(tpcOptionen, 1);
    v->addLayout(lower, 1);

    connect(btnZuordnen, &QPushButton::clicked, this, [this] { run_([this] { wizard_.mappingPage().btnZuordnenClick(); }); });
    connect(btnAufheben, &QPushButton::clicked, this, [this] { run_([this] { wizard_.mappingPage().btnAufhebenClick(); }); });
    connect(btnAlleAufheben, &QPushButton::clicked, this, [this] { run_([this] { wizard_.mappingPage().btnAlleAufhebenClick(); }); });
    connect(btnOptionen, &QPushButton::clicked, this, [this] { run_([this] { wizard_.mappingPage().btnOptionenClick(); }); });
    connect(btnInhaltAnz4, &QPushButton::clicked, this, &TfrmMappingPanel::contentViewerRequested);
    connect(tpcOptionen, &TfrmRuleOptions::clicked, this, [this](const std::string& control, bool on) {
        run_([this, control, on] { wizard_.mappingPage().ruleOptionClick(control, on); });
    });
    connect(tpcOptionen, &TfrmRuleOptions::edited, this, [this](const std::string& control, const std::string& text) {
        run_([this, control, text] { wizard_.mappingPage().ruleOptionEdit(control, text); });
    });
    connect(tpcOptionen, &TfrmRuleOptions::left, this, [this](const std::string& control) {
        run_([this, control] { wizard_.mappingPage().ruleOptionLeave(control); });
    });
    connect(tpcOptionen, &TfrmRuleOptions::zoomRequested, this, &TfrmMappingPanel::formulaEditorRequested);
    // The grids' rows are the tables' current records; moving in the mapping grid shows that rule's options.
    connect(dbgStruktQuelle->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (!applying_ && current.isValid()) goToRow(wizard_.context().tblQStrukt, current.row());
            });
    connect(dbgStruktZiel->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (applying_ || !current.isValid()) return;
                commitEdits();
                goToRow(wizard_.context().tblZStrukt, current.row());
                if (dbgStruktZiel->hasFocus()) run_([this] { wizard_.mappingPage().mappingRowChanged(); });
            });
}

void TfrmMappingPanel::goToRow(Table& table, int row) {
    try {
        table.GoToRecord(row + 1);
    } catch (const std::exception& e) {
        wizard_.environment().prompter.error(userMessage(e));
    }
}

void TfrmMappingPanel::refreshGrids() {
    applying_ = true;
    const int ch = fontMetrics().averageCharWidth();
    const SourceGridLayout& src = wizard_.context().sourceGrid;
    QStringList sourceColumns{QStringLiteral("Index"), QStringLiteral("Feldname"), QStringLiteral("Typbezeichnung"),
                              QStringLiteral("Laenge")};
    if (!src.indexVisible) sourceColumns.removeFirst();
    sourceModel_->setColumns(sourceColumns);
    // Every column as wide as its content (the names must be read whole), the names and the assignment
    // at least as wide as the layout asks.
    auto widths = [ch](QTableView* grid, int nameColumn, int nameWidth) {
        grid->resizeColumnsToContents();
        grid->setColumnWidth(nameColumn, std::max(grid->columnWidth(nameColumn), nameWidth * ch));
    };
    widths(dbgStruktQuelle, src.indexVisible ? 1 : 0, src.feldnameWidth);
    TargetGridLayout tgt = targetGridLayout(wizard_.context().tblZStrukt);
    QStringList targetColumns{QStringLiteral("Index"), QStringLiteral("Feldname"), QStringLiteral("Laenge"),
                              QStringLiteral("Typbezeichnung"), QStringLiteral("Zuordnung")};
    if (!tgt.indexVisible) targetColumns.removeFirst();
    targetModel_->setColumns(targetColumns);
    widths(dbgStruktZiel, tgt.indexVisible ? 1 : 0, tgt.feldnameWidth);
    const int last = static_cast<int>(targetColumns.size()) - 1;
    dbgStruktZiel->setColumnWidth(last, std::max(dbgStruktZiel->columnWidth(last), tgt.zuordnungWidth * ch));
    // The room shared as the columns need it: the mapping grid has the assignment besides.
    auto needed = [](QTableView* grid) {
        int width = 0;
        for (int c = 0; c < grid->model()->columnCount(); ++c) width += grid->columnWidth(c);
        return std::max(width, 1);
    };
    gridsLayout_->setStretch(0, needed(dbgStruktQuelle));
    gridsLayout_->setStretch(1, needed(dbgStruktZiel));
    selectRow(dbgStruktQuelle, wizard_.context().tblQStrukt);
    selectRow(dbgStruktZiel, wizard_.context().tblZStrukt);
    applying_ = false;
}

void TfrmMappingPanel::selectRow(QTableView* grid, Table& table) {
    if (!table.Active() || table.RecordCount() == 0) return;
    const std::int64_t record = std::max<std::int64_t>(table.RecordNumber(), 1);
    grid->setCurrentIndex(grid->model()->index(static_cast<int>(record - 1), std::max(grid->currentIndex().column(), 0)));
    table.GoToRecord(record);
}

void TfrmMappingPanel::syncCursors() {
    for (auto [grid, table] : {std::pair{dbgStruktQuelle, &wizard_.context().tblQStrukt}, std::pair{dbgStruktZiel, &wizard_.context().tblZStrukt}})
        if (grid->currentIndex().isValid() && table->Active()) goToRow(*table, grid->currentIndex().row());
}

void TfrmMappingPanel::commitEdits() {
    if (auto pending = tpcOptionen->focusedEdit()) {
        // Only what the user changed: an untouched edit is no input (an empty position would be refused).
        const auto& texts = wizard_.mappingPage().ruleOptions().view().texts;
        if (auto shown = texts.find(pending->first); shown != texts.end() && shown->second == pending->second) return;
        try {
            wizard_.mappingPage().ruleOptionEdit(pending->first, pending->second);
        } catch (const std::exception& e) {
            wizard_.environment().prompter.error(userMessage(e));
        }
    }
}

void TfrmMappingPanel::applyState() {
    applying_ = true;
    const WizardState& s = wizard_.state();
    // The assignments may have changed: the mapping grid reads its table again at the rule it is on.
    Table& z = wizard_.context().tblZStrukt;
    const std::int64_t record = z.Active() ? z.RecordNumber() : 0;
    targetModel_->refresh();
    if (record > 0) z.GoToRecord(record);
    selectRow(dbgStruktZiel, z);
    const RuleOptionsView& view = wizard_.mappingPage().ruleOptions().view();
    btnAufheben->setEnabled(s.btnAufhebenEnabled);
    btnAlleAufheben->setEnabled(s.btnAufhebenEnabled);
    btnOptionen->setText(QString::fromUtf8(view.optionsCaption()));
    btnOptionen->setEnabled(view.btnOptionenEnabled);
    // What goes away goes first: for a moment both would need room, and the window would grow for it.
    const bool panelShown = view.panelVisible && view.page != OptionsPage::None;
    if (panelShown) panZuordHint->hide();
    tpcOptionen->applyView(view);
    if (!panelShown) panZuordHint->show();
    if (s.focusControl == "btnZuordnen") btnZuordnen->setFocus();
    applying_ = false;
}

bool TfrmMappingPanel::eventFilter(QObject* watched, QEvent* event) {
    // Backspace or Delete in the mapping grid clears the assignment of the current row.
    if (watched == dbgStruktZiel && event->type() == QEvent::KeyRelease) {
        int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Backspace || key == Qt::Key_Delete) && dbgStruktZiel->currentIndex().isValid()) {
            run_([this] { ClearAssignment(wizard_.context().tblZStrukt); });
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace kimport
