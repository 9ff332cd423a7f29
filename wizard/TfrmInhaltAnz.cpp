#include "wizard/TfrmInhaltAnz.h"

#include "wizard/QtTableRowsModel.h"
#include "qtshared/QtWidgetHelpers.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

namespace kimport {

namespace {

// Column widths come from the header and these first rows: sizing by every row of a large table
// would read it all.
constexpr int kSizingRows = 50;
// A long memo must not push every other column out of sight.
constexpr int kMaxColumnWidth = 320;

}  // namespace

TfrmInhaltAnz::TfrmInhaltAnz(Prompter& prompter, const FormatSettings& formats, QWidget* parent)
    : QDialog(parent),
      viewer_(prompter, formats),
      sourceModel_(new QtTableRowsModel(viewer_.sourceRows(), this)),
      targetModel_(new QtTableRowsModel(viewer_.targetRows(), this)) {
    setObjectName(QStringLiteral("frmInhaltAnz"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint |
                   Qt::WindowCloseButtonHint);

    PageControl1 = named(new QTabWidget(this), "PageControl1");
    PageControl1->addTab(makeTablePage("TabSheet1", "dbgInhaltQuellDB", "stbInhaltQuelle", sourceModel_,
                                       dbgInhaltQuellDB, stbInhaltQuelle),
                         QString());
    PageControl1->addTab(makeTablePage("TabSheet2", "dbgInhaltZielDB", "stbInhaltZiel", targetModel_, dbgInhaltZielDB,
                                       stbInhaltZiel),
                         QString());

    auto* textPage = named(new QWidget, "TabSheet3");
    auto* textLayout = new QVBoxLayout(textPage);
    textLayout->setContentsMargins(0, 0, 0, 0);
    textLayout->setSpacing(0);
    retEditor = named(new QPlainTextEdit(textPage), "retEditor");
    retEditor->setReadOnly(true);
    retEditor->setLineWrapMode(QPlainTextEdit::NoWrap);
    retEditor->setFont(fixedPitchFont());  // fixed-width files line up
    textLayout->addWidget(retEditor);
    stbInhaltText = makeStatusBar(textPage, "stbInhaltText");
    textLayout->addWidget(stbInhaltText.bar);
    PageControl1->addTab(textPage, QStringLiteral("Textdatei"));

    btnInhSchliessen = named(new QPushButton(QStringLiteral("&Schließen"), this), "btnInhSchliessen");
    connect(btnInhSchliessen, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnInhSchliessen);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(PageControl1, 1);
    layout->addLayout(buttons);

    resize(640, 440);
    applyView();
}

TfrmInhaltAnz::~TfrmInhaltAnz() {
    // The views go before the rows they read.
    dbgInhaltQuellDB->setModel(nullptr);
    dbgInhaltZielDB->setModel(nullptr);
    delete sourceModel_;
    delete targetModel_;
}

QWidget* TfrmInhaltAnz::makeTablePage(const char* pageName, const char* gridName, const char* statusName,
                                      QtTableRowsModel* model, QTableView*& grid, StatusPanels& status) {
    auto* page = named(new QWidget, pageName);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    grid = named(new QTableView(page), gridName);
    grid->setModel(model);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setWordWrap(false);
    // One height for every row: the view then places a million rows without asking for any of them.
    QHeaderView* rows = grid->verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(grid->fontMetrics().height() + 6);
    grid->horizontalHeader()->setResizeContentsPrecision(kSizingRows);
    layout->addWidget(grid, 1);
    status = makeStatusBar(page, statusName);
    layout->addWidget(status.bar);
    return page;
}

TfrmInhaltAnz::StatusPanels TfrmInhaltAnz::makeStatusBar(QWidget* page, const char* name) {
    StatusPanels panels;
    panels.bar = named(new QStatusBar(page), name);
    panels.bar->setSizeGripEnabled(false);
    panels.first = new QLabel(panels.bar);
    panels.second = new QLabel(panels.bar);
    panels.first->setMinimumWidth(150);
    panels.bar->addWidget(panels.first);
    panels.bar->addWidget(panels.second, 1);
    panels.second->hide();
    return panels;
}

template <class Change>
void TfrmInhaltAnz::present(Change&& change) {
    // The models may not count rows of a table being replaced.
    sourceModel_->beginReset();
    targetModel_->beginReset();
    change();
    sourceModel_->endReset();
    targetModel_->endReset();
    fitColumns(dbgInhaltQuellDB);
    fitColumns(dbgInhaltZielDB);
    applyView();
    if (!isVisible())
        if (QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
    show();
    raise();
    activateWindow();
}

void TfrmInhaltAnz::showSourceTable(const std::string& path) {
    present([&] { viewer_.showSourceTable(path); });
}

void TfrmInhaltAnz::showTextFile(const std::string& path, bool dosConversion) {
    present([&] { viewer_.showTextFile(path, dosConversion); });
}

void TfrmInhaltAnz::showTargetTable(const std::string& path, bool emptiedBeforeRun) {
    present([&] { viewer_.showTargetTable(path, emptiedBeforeRun); });
}

void TfrmInhaltAnz::showBoth(const std::string& sourcePath, const std::string& targetPath, bool emptiedBeforeRun,
                             bool afterRun) {
    present([&] { viewer_.showBoth(sourcePath, targetPath, emptiedBeforeRun, afterRun); });
}

void TfrmInhaltAnz::done(int result) {
    const bool wasShowing = viewer_.isShowing();
    sourceModel_->beginReset();
    targetModel_->beginReset();
    viewer_.close();
    sourceModel_->endReset();
    targetModel_->endReset();
    applyView();
    QDialog::done(result);
    if (wasShowing) emit closed();
}

void TfrmInhaltAnz::fitColumns(QTableView* grid) {
    grid->scrollToTop();
    grid->resizeColumnsToContents();
    QHeaderView* columns = grid->horizontalHeader();
    for (int c = 0; c < columns->count(); ++c)
        if (columns->sectionSize(c) > kMaxColumnWidth) columns->resizeSection(c, kMaxColumnWidth);
}

void TfrmInhaltAnz::applyView() {
    const ViewerView& v = viewer_.view();
    setWindowTitle(qs(v.caption));
    PageControl1->setTabText(0, qs(v.sourceTab));
    PageControl1->setTabText(1, qs(v.targetTab));
    const int active = static_cast<int>(v.activePage);
    // Without tabs only the active page shows; it keeps its (hidden) tab so the page stays current.
    for (int i = 0; i < PageControl1->count(); ++i)
        PageControl1->setTabVisible(i, v.tabVisible[static_cast<std::size_t>(i)] || (!v.anyTabVisible() && i == active));
    PageControl1->tabBar()->setVisible(v.anyTabVisible());
    PageControl1->setCurrentIndex(active);

    auto put = [](StatusPanels& panels, const StatusText& text) {
        panels.first->setText(qs(text.first));
        panels.second->setText(text.second ? qs(*text.second) : QString());
        panels.second->setVisible(text.second.has_value());
    };
    put(stbInhaltQuelle, v.sourceStatus);
    put(stbInhaltZiel, v.targetStatus);
    put(stbInhaltText, v.textStatus);
    retEditor->setPlainText(qs(viewer_.text()));
}

QStringList TfrmInhaltAnz::statusTexts(ViewerPage page) const {
    const StatusPanels& panels = page == ViewerPage::Source   ? stbInhaltQuelle
                                 : page == ViewerPage::Target ? stbInhaltZiel
                                                              : stbInhaltText;
    QStringList texts{panels.first->text()};
    if (!panels.second->isHidden()) texts << panels.second->text();
    return texts;
}

}  // namespace kimport
