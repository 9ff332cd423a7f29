#include "importrun/TfrmFehlerliste.h"

#include "common/ProgramDirectory.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cstdlib>

namespace kimport {

namespace {

QString qs(const std::string& s) { return QString::fromStdString(s); }

// A cell that sorts by its number, not its text.
// The record as the report names it; sorted by its first number.
QTableWidgetItem* numberItem(const ReportEntry& e) {
    auto* item = new QTableWidgetItem;
    if (e.records <= 1 && e.record > 0)
        item->setData(Qt::DisplayRole, static_cast<qlonglong>(e.record));  // sorts as a number
    else
        item->setData(Qt::DisplayRole, QString::fromStdString(recordText(e)));
    item->setData(Qt::UserRole, static_cast<qlonglong>(e.record));
    return item;
}

}  // namespace

TfrmFehlerliste::TfrmFehlerliste(Prompter& prompter, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint),
      prompter_(prompter) {
    // Opened from the progress window, which stays on top: without the same hint the list would
    // open beneath it.
    if (parent && (parent->window()->windowFlags() & Qt::WindowStaysOnTopHint))
        setWindowFlag(Qt::WindowStaysOnTopHint);
    setObjectName(QStringLiteral("frmFehlerliste"));
    setWindowTitle(QStringLiteral("Fehlerliste - " KIMPORT_VERSION_TEXT));
    auto* v = new QVBoxLayout(this);
    lblZusammenfassung = new QLabel;
    lblZusammenfassung->setObjectName(QStringLiteral("lblZusammenfassung"));
    lblZusammenfassung->setWordWrap(true);
    v->addWidget(lblZusammenfassung);
    grdFehler = new QTableWidget(0, 6);
    grdFehler->setObjectName(QStringLiteral("grdFehler"));
    grdFehler->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdFehler->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdFehler->verticalHeader()->hide();
    grdFehler->verticalHeader()->setDefaultSectionSize(grdFehler->fontMetrics().height() + 6);
    grdFehler->horizontalHeader()->setStretchLastSection(true);
    v->addWidget(grdFehler, 1);
    auto* buttons = new QHBoxLayout;
    btnKopieren = new QPushButton(QStringLiteral("&Kopieren"));
    btnKopieren->setObjectName(QStringLiteral("btnKopieren"));
    btnKopieren->setToolTip(QStringLiteral("Die markierten Zeilen (ohne Markierung alle) in die Zwischenablage"));
    btnSpeichern = new QPushButton(QStringLiteral("&Speichern unter…"));
    btnSpeichern->setObjectName(QStringLiteral("btnSpeichern"));
    btnSpeichern->setToolTip(QStringLiteral("Die Liste als CSV-Datei speichern (für eine Tabellenkalkulation)"));
    btnSchliessen = new QPushButton(QStringLiteral("S&chließen"));
    btnSchliessen->setObjectName(QStringLiteral("btnSchliessen"));
    buttons->addWidget(btnKopieren);
    buttons->addWidget(btnSpeichern);
    buttons->addStretch();
    buttons->addWidget(btnSchliessen);
    v->addLayout(buttons);
    connect(btnKopieren, &QPushButton::clicked, this, &TfrmFehlerliste::copyToClipboard);
    connect(btnSpeichern, &QPushButton::clicked, this, &TfrmFehlerliste::saveAs);
    connect(btnSchliessen, &QPushButton::clicked, this, &QDialog::accept);
    resize(760, 420);
}

void TfrmFehlerliste::showReport(const RunReport& report) {
    report_ = &report;
    grdFehler->setSortingEnabled(false);
    QStringList headings;
    for (const std::string& h : reportHeadings(report)) headings << QString::fromStdString(h);
    grdFehler->setHorizontalHeaderLabels(headings);
    const auto& entries = report.entries();
    grdFehler->setRowCount(static_cast<int>(entries.size()));
    for (int r = 0; r < static_cast<int>(entries.size()); ++r) {
        const ReportEntry& e = entries[static_cast<std::size_t>(r)];
        grdFehler->setItem(r, 0, numberItem(e));
        grdFehler->setItem(r, 1, new QTableWidgetItem(QString::fromUtf8(counterName(e.counter))));
        grdFehler->setItem(r, 2, new QTableWidgetItem(qs(e.field)));
        grdFehler->setItem(r, 3, new QTableWidgetItem(qs(e.sourceValue)));
        grdFehler->setItem(r, 4, new QTableWidgetItem(qs(e.triedValue)));
        auto* reason = new QTableWidgetItem(qs(e.reason));
        reason->setToolTip(qs(e.reason));  // the column is seldom wide enough for the whole text
        grdFehler->setItem(r, 5, reason);
    }
    grdFehler->setSortingEnabled(true);
    grdFehler->sortByColumn(0, Qt::AscendingOrder);
    for (int c = 0; c < 5; ++c) grdFehler->resizeColumnToContents(c);
    QString summary = QStringLiteral("%1 Fehler, %2 ignorierte Datensätze")
                          .arg(report.recordsFor(ReportCounter::Errors))
                          .arg(report.recordsFor(ReportCounter::Ignored));
    if (report.omitted() > 0)
        summary += QStringLiteral("; %1 weitere Einträge sind nicht aufgeführt").arg(report.omitted());
    lblZusammenfassung->setText(summary + QStringLiteral(". Klicken Sie auf eine Spaltenüberschrift, um zu sortieren."));
    show();
    raise();
    activateWindow();
}

// Tab-separated, as a spreadsheet takes it from the clipboard.
void TfrmFehlerliste::copyToClipboard() {
    QStringList lines;
    QStringList header;
    for (int c = 0; c < grdFehler->columnCount(); ++c) header << grdFehler->horizontalHeaderItem(c)->text();
    lines << header.join(QLatin1Char('\t'));
    const bool selectedOnly = !grdFehler->selectionModel()->selectedRows().isEmpty();
    for (int r = 0; r < grdFehler->rowCount(); ++r) {
        if (selectedOnly && !grdFehler->selectionModel()->isRowSelected(r, {})) continue;
        QStringList cells;
        for (int c = 0; c < grdFehler->columnCount(); ++c)
            cells << (grdFehler->item(r, c) ? grdFehler->item(r, c)->text().replace(QLatin1Char('\t'), QLatin1Char(' '))
                                            : QString());
        lines << cells.join(QLatin1Char('\t'));
    }
    QApplication::clipboard()->setText(lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
}

void TfrmFehlerliste::saveAs() {
    if (!report_) return;
    FileDialogSpec dialog;
    dialog.title = "Fehlerliste speichern unter";
    const std::string home = userHomeDirectory();
    dialog.initialDir = home.empty() ? std::string(".") : home;
    dialog.initialFile = "Fehlerliste.csv";
    dialog.filters = {{"CSV-Dateien", "*.csv *.CSV"}, {"Alle Dateien", "*"}};
    dialog.defaultExtension = "csv";
    std::optional<std::string> path = prompter_.saveFile(dialog);
    if (!path) return;
    try {
        saveReportCsv(*report_, *path);
        prompter_.message(MsgKind::Information, Buttons::Ok, "Die Fehlerliste ist gespeichert worden:\r\n" + *path);
    } catch (const std::exception& e) {
        prompter_.error("Die Fehlerliste konnte nicht gespeichert werden.\r\n" + std::string(e.what()));
    }
}

}  // namespace kimport
