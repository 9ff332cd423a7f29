#include "wizard/TfrmImport1.h"
#include "common/UserMessage.h"

#include "qtshared/QtWidgetHelpers.h"

#include "textsource/TfrmQOptionen.h"
#include "wizard/TfrmTextFix.h"
#include "wizard/TfrmMappingPanel.h"
#include "wizard/TfrmRuleOptions.h"
#include "wizard/TfrmModePanel.h"
#include "wizard/TfrmTextVariabel.h"

#include "common/FileSets.h"
#include "wizard/QtTableModel.h"
#include "mapping/StructureMapping.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QShortcut>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QApplication>
#include <QKeyEvent>
#include <QRadioButton>
#include <QStackedWidget>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableView>
#include <QHeaderView>
#include <QVBoxLayout>

namespace kimport {

void applyToggle(QAbstractButton* b, const Toggle& t) {
    b->setChecked(t.checked);
    b->setEnabled(t.enabled);
    b->setVisible(t.visible);
}

TfrmImport1::TfrmImport1(ImportWizard& wizard, QWidget* parent) : QMainWindow(parent), wizard_(wizard) {
    setObjectName(QStringLiteral("frmImport1"));
    setWindowTitle(QStringLiteral(KIMPORT_VERSION_TEXT));
    resize(800, 600);  // room for both structure grids with the assignment column
    PageControl1 = named(new QStackedWidget(this), "PageControl1");
    setCentralWidget(PageControl1);
    buildPage1();
    buildPage2();
    buildPage3();
    buildTextPages();
    buildPage4();
    buildPage5();
    buildPage6();
    wizard_.context().onLeavePage = [this] { closeAidsOnPageChange(); };
    // F1 anywhere in the window: the active page's help (on the text pages, the active sub-page's).
    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
    f1->setContext(Qt::WindowShortcut);
    connect(f1, &QShortcut::activated, this, [this] {
        const WizardState& s = wizard_.state();
        emit helpRequested(helpContextOf(s.page, s.textPage));
    });
    applyState();
}

// Enter that no control took presses the page's default button, "&Weiter -->" (or "&Fertigstellen"), as
// in a dialog. Not from the rule options, whose edits take their value with Enter.
void TfrmImport1::keyPressEvent(QKeyEvent* event) {
    const bool enter = (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
                       (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    QWidget* focused = QApplication::focusWidget();
    const bool inOptions = focused && mappingPanel && mappingPanel->tpcOptionen->isAncestorOf(focused);
    if (enter && !inOptions) {
        // A button with the focus is the one Enter presses.
        if (auto* button = qobject_cast<QPushButton*>(focused)) {
            button->click();
            return;
        }
        if (QWidget* page = PageControl1->currentWidget()) {
            for (auto* button : page->findChildren<QPushButton*>()) {
                const QString name = button->objectName();
                if ((name.startsWith(QStringLiteral("btnWeiter")) || name == QStringLiteral("btnFertigstellen")) &&
                    button->isVisible() && button->isEnabled()) {
                    button->click();
                    return;
                }
            }
        }
    }
    QMainWindow::keyPressEvent(event);
}

// "Weiter" and "Zurück" close the content viewer first, and on the source and text pages the options.
void TfrmImport1::closeAidsOnPageChange() {
    const WizardState& s = wizard_.state();
    if (s.contentViewerOpenedFrom != 0) {
        ContentViewerRequest close;
        close.kind = ContentViewerRequest::Kind::Close;
        emit contentViewerRequested(close);
    }
    if ((s.page == WizardPage::Seite2 || s.page == WizardPage::Seite1txt) && QOptionen && QOptionen->isVisible())
        QOptionen->close();
}

void TfrmImport1::installInfoButton(QWidget* page, const QString& name) {
    auto* info = new QPushButton(QStringLiteral("&Info"), page);
    info->setObjectName(name);
    info->adjustSize();
    info->hide();
    page->setProperty("infoButton", QVariant::fromValue<QObject*>(info));
    page->installEventFilter(this);
    connect(info, &QPushButton::clicked, this, [this, info] {
        info->hide();
        emit aboutRequested();
    });
}

// A right-button press on a page's background brings its "&Info" button there; any other press hides it.
bool TfrmImport1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) {
        auto* page = qobject_cast<QWidget*>(watched);
        auto* press = static_cast<QMouseEvent*>(event);
        if (auto* info = page ? qobject_cast<QPushButton*>(page->property("infoButton").value<QObject*>()) : nullptr) {
            if (press->button() == Qt::RightButton) {
                info->move(press->position().toPoint());
                info->show();
                info->raise();
            } else {
                info->hide();
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

QWidget* TfrmImport1::navigationRow(int page, QPushButton** back, QPushButton** next, const QString& nextCaption) {
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addStretch();
    // Enter goes to "Weiter" (keyPressEvent), not to whichever button last had the focus.
    if (back) {
        *back = new QPushButton(QStringLiteral("<-- &Zurück"));
        (*back)->setObjectName(QStringLiteral("btnZurueck%1").arg(page));
        layout->addWidget(*back);
    }
    *next = new QPushButton(nextCaption.isEmpty() ? QStringLiteral("&Weiter -->") : nextCaption);
    (*next)->setObjectName(nextCaption.isEmpty() ? QStringLiteral("btnWeiter%1").arg(page)
                                                 : QStringLiteral("btnFertigstellen"));
    layout->addWidget(*next);
    auto* cancel = new QPushButton(QStringLiteral("&Abbrechen"));
    cancel->setObjectName(QStringLiteral("btnAbbrechen%1").arg(page));
    layout->addWidget(cancel);
    auto* help = new QPushButton(QStringLiteral("&Hilfe"));
    help->setObjectName(QStringLiteral("btnHilfe%1").arg(page));
    layout->addWidget(help);
    connect(cancel, &QPushButton::clicked, this, [this] { run([this] { wizard_.btnAbbrechenClick(); }); });
    connect(help, &QPushButton::clicked, this, [this, page] {
        const WizardState& s = wizard_.state();
        emit helpRequested(page == 0 ? helpContextOf(s.page, s.textPage) : page);
    });
    return row;
}

void TfrmImport1::buildPage1() {
    ImportSeite1 = named(new QWidget, "ImportSeite1");
    auto* v = new QVBoxLayout(ImportSeite1);
    v->addWidget(new QLabel(QStringLiteral("Dieses Programm hilft Ihnen beim Importieren von Textdateien oder "
                                           "Datenbanken")));
    rbtNeueImport = named(new QRadioButton(QStringLiteral("Neue &Importeinstellungen erstellen")), "rbtNeueImport");
    rbtVorhEinst_oAE = named(new QRadioButton(QStringLiteral("Vorhandene Einstellungen &ohne Änderungen verwenden")),
                             "rbtVorhEinst_oAE");
    rbtVorhEinst_mAE = named(new QRadioButton(QStringLiteral("Vorhandene Einstellungen ä&ndern")), "rbtVorhEinst_mAE");
    rbtImpEinlesen = named(new QRadioButton(QStringLiteral("Importeinstellungen einlesen")), "rbtImpEinlesen");
    for (QRadioButton* b : {rbtNeueImport, rbtVorhEinst_oAE, rbtVorhEinst_mAE, rbtImpEinlesen}) v->addWidget(b);
    connect(rbtNeueImport, &QRadioButton::clicked, this, [this] { run([this] { wizard_.settingsPage().rbtNeueImportClick(); }); });
    connect(rbtVorhEinst_oAE, &QRadioButton::clicked, this, [this] { run([this] { wizard_.settingsPage().rbtVorhEinst_oAEClick(); }); });
    connect(rbtVorhEinst_mAE, &QRadioButton::clicked, this, [this] { run([this] { wizard_.settingsPage().rbtVorhEinst_mAEClick(); }); });
    connect(rbtImpEinlesen, &QRadioButton::clicked, this, [this] { run([this] { wizard_.settingsPage().rbtImpEinlesenClick(); }); });

    gbxAktEinstellung = named(new QGroupBox(QStringLiteral("Aktuelle Einstellung:")), "gbxAktEinstellung");
    auto* g = new QHBoxLayout(gbxAktEinstellung);
    edtAktEinstellung = named(new QLineEdit, "edtAktEinstellung");
    edtAktEinstellung->setReadOnly(true);
    g->addWidget(edtAktEinstellung);
    v->addWidget(gbxAktEinstellung);

    auto* row = new QHBoxLayout;
    lblWeitere = named(new QLabel(QStringLiteral("Alle &Einstellungen")), "lblWeitere");
    comVorh_Einstellg = named(new QComboBox, "comVorh_Einstellg");
    comVorh_Einstellg->setToolTip(QStringLiteral("Liste aller gespeicherten Importeinstellungen"));
    comVorh_Einstellg->setMaxVisibleItems(10);
    // The drop-down list shows each setting's name, source and target file in columns.
    auto* settingsView = new QTableView(comVorh_Einstellg);
    settingsView->horizontalHeader()->hide();
    settingsView->verticalHeader()->hide();
    settingsView->setSelectionBehavior(QAbstractItemView::SelectRows);
    settingsView->setShowGrid(false);
    settingsView->horizontalHeader()->setStretchLastSection(true);
    comVorh_Einstellg->setView(settingsView);
    lblWeitere->setBuddy(comVorh_Einstellg);
    btnDetails = named(new QPushButton(QStringLiteral("&Details")), "btnDetails");
    row->addWidget(lblWeitere);
    row->addWidget(comVorh_Einstellg, 1);
    row->addWidget(btnDetails);
    v->addLayout(row);
    connect(comVorh_Einstellg, &QComboBox::activated, this, [this](int) {
        run([this] { wizard_.settingsPage().comVorh_EinstellgSelect(ss(comVorh_Einstellg->currentText())); });
    });
    connect(btnDetails, &QPushButton::clicked, this, [this] {
        run([this] { wizard_.settingsPage().btnDetailsClick(); });
        if (wizard_.state().showDetailsSummary || wizard_.state().showDetailsManager)
            emit settingsDetailsRequested(wizard_.state().showDetailsManager);
    });
    v->addStretch();
    QPushButton* next = nullptr;
    QWidget* nav = navigationRow(1, nullptr, &next);
    btnInfoVisible = named(new QPushButton(QStringLiteral("In&fo")), "btnInfoVisible");
    static_cast<QHBoxLayout*>(nav->layout())->insertWidget(0, btnInfoVisible);
    connect(btnInfoVisible, &QPushButton::clicked, this, &TfrmImport1::aboutRequested);
    v->addWidget(nav);
    installInfoButton(ImportSeite1, QStringLiteral("btnInfo1"));
    connect(next, &QPushButton::clicked, this, [this] { run([this] { wizard_.settingsPage().btnWeiter1Click(); }); });
    PageControl1->addWidget(ImportSeite1);
}

void TfrmImport1::buildTextPages() {
    ImportSeite1txt = named(new QWidget, "ImportSeite1txt");
    auto* v = new QVBoxLayout(ImportSeite1txt);
    tpcTXT = named(new QTabWidget, "tpcTXT");
    tpcTXT->tabBar()->hide();
    auto* first = named(new QWidget, "TXTDatensatzlaenge");
    auto* fv = new QVBoxLayout(first);
    retQuellDat = named(new QPlainTextEdit, "retQuellDat");
    retQuellDat->setReadOnly(true);
    retQuellDat->setLineWrapMode(QPlainTextEdit::NoWrap);
    retQuellDat->setFont(fixedPitchFont());
    retQuellDat->setToolTip(QStringLiteral("Vorschau auf die zu importierende Textdatei"));
    auto* lblVorschau = new QLabel(QStringLiteral("&Vorschau"));
    lblVorschau->setBuddy(retQuellDat);
    fv->addWidget(lblVorschau);
    fv->addWidget(retQuellDat, 1);
    auto* gbxFeldlaenge = named(new QGroupBox, "gbxFeldlaenge");
    auto* gv = new QVBoxLayout(gbxFeldlaenge);
    auto* lblAufbau = new QLabel(QStringLiteral("Wie ist die Textdatei aufgebaut?"));
    QFont bold = lblAufbau->font();
    bold.setBold(true);
    lblAufbau->setFont(bold);
    gv->addWidget(lblAufbau);
    rgrVariabel = named(new QRadioButton(QStringLiteral("&Variable Feldlänge")), "rgrVariabel");
    rgrFest = named(new QRadioButton(QStringLiteral("&Feste Feldlänge")), "rgrFest");
    const QString layoutHint = QStringLiteral("Variable Feldlänge:\nFelder werden durch bestimmte Feldtrennzeichen "
                                              "begrenzt.\n\nFeste Feldlänge:\nDie Spaltenbreite begrenzt die Felder.");
    auto* rgrRow = new QHBoxLayout;
    for (QRadioButton* r : {rgrVariabel, rgrFest}) {
        r->setToolTip(layoutHint);
        rgrRow->addWidget(r);
    }
    rgrRow->addStretch();
    btnQOptionen2 = named(new QPushButton(QStringLiteral("&Optionen")), "btnQOptionen2");
    btnQOptionen2->setToolTip(QStringLiteral("Allgemeine Einstellungen"));
    rgrRow->addWidget(btnQOptionen2);
    gv->addLayout(rgrRow);
    fv->addWidget(gbxFeldlaenge);
    connect(btnQOptionen2, &QPushButton::clicked, this, [this] { openOptions(); });
    connect(rgrFest, &QRadioButton::toggled, this, [this](bool on) { wizard_.state().rgrDatsatzlaenge = on ? 1 : 0; });
    connect(rgrVariabel, &QRadioButton::toggled, this, [this](bool on) { wizard_.state().rgrDatsatzlaenge = on ? 0 : 1; });
    installInfoButton(first, QStringLiteral("btnInfo1TXT"));
    tpcTXT->addTab(first, QStringLiteral("Datensatzlänge"));
    txtFix = new TfrmTextFix(wizard_.state());
    CharacterGrid* grid = txtFix->stgQuellDatFix;
    connect(grid, &CharacterGrid::cellClicked2, this, [this](int c) { run([this, c] { wizard_.textPages().stgQuellDatFixClick(c); }); });
    connect(grid, &CharacterGrid::markerPressed, this,
            [this](int c) { run([this, c] { wizard_.textPages().stgQuellDatFixMouseDown(c); }); });
    connect(grid, &CharacterGrid::markerDragged, this,
            [this](int c) { run([this, c] { wizard_.textPages().stgQuellDatFixDragOver(c); }); });
    connect(grid, &CharacterGrid::markerDropped, this, [this] { run([this] { wizard_.textPages().stgQuellDatFixDragDrop(); }); });
    connect(grid, &CharacterGrid::cellDoubleClicked2, this,
            [this](int c) { run([this, c] { wizard_.textPages().stgQuellDatFixDblClick(c); }); });
    installInfoButton(txtFix, QStringLiteral("btnInfo2TXT"));
    tpcTXT->addTab(txtFix, QStringLiteral("Feste Feldlänge"));
    txtVariabel = new TfrmTextVariabel(wizard_.state());
    connect(txtVariabel, &TfrmTextVariabel::layoutEdited, this, [this] {
        txtVariabel->previewBusy();
        run([this] { wizard_.textPages().textLayoutChanged(); });
    });
    connect(txtVariabel, &TfrmTextVariabel::columnClicked, this,
            [this](int c) { run([this, c] { wizard_.textPages().stgQuellDatVarSelect(c); }); });
    connect(txtVariabel->btnErste, &QPushButton::clicked, this, [this] { run([this] { wizard_.textPages().btnErsteClick(); }); });
    connect(txtVariabel->btnLinks, &QPushButton::clicked, this, [this] { run([this] { wizard_.textPages().btnLinksClick(); }); });
    connect(txtVariabel->btnRechts, &QPushButton::clicked, this, [this] { run([this] { wizard_.textPages().btnRechtsClick(); }); });
    connect(txtVariabel->btnLetzte, &QPushButton::clicked, this, [this] { run([this] { wizard_.textPages().btnLetzteClick(); }); });
    installInfoButton(txtVariabel, QStringLiteral("btnInfo3TXT"));
    tpcTXT->addTab(txtVariabel, QStringLiteral("Variable Feldlänge"));
    v->addWidget(tpcTXT);
    QPushButton *back = nullptr, *next = nullptr;
    QWidget* nav = navigationRow(0, &back, &next);
    back->setObjectName(QStringLiteral("btnZurueckTxt"));
    next->setObjectName(QStringLiteral("btnWeiterTxt"));
    v->addWidget(nav);
    connect(back, &QPushButton::clicked, this, [this] { run([this] { wizard_.textPages().btnZurueckTxtClick(); }); });
    connect(next, &QPushButton::clicked, this, [this] { run([this] { wizard_.textPages().btnWeiterTxtClick(); }); });
    PageControl1->addWidget(ImportSeite1txt);
}

void TfrmImport1::buildPage4() {
    ImportSeite4 = named(new QWidget, "ImportSeite4");
    auto* v = new QVBoxLayout(ImportSeite4);
    mappingPanel = new TfrmMappingPanel(wizard_, [this](const std::function<void()>& handler) { run(handler); });
    v->addWidget(mappingPanel, 1);
    dbgStruktQuelle = mappingPanel->dbgStruktQuelle;
    dbgStruktZiel = mappingPanel->dbgStruktZiel;
    btnInhaltAnz4 = mappingPanel->btnInhaltAnz4;
    connect(mappingPanel, &TfrmMappingPanel::contentViewerRequested, this,
            [this] { run([this] { wizard_.contentViewer().btnInhaltAnzClick(4); }); });
    connect(mappingPanel, &TfrmMappingPanel::formulaEditorRequested, this, &TfrmImport1::formulaEditorRequested);
    QPushButton *back = nullptr, *next = nullptr;
    v->addWidget(navigationRow(4, &back, &next));
    installInfoButton(ImportSeite4, QStringLiteral("btnInfo4"));
    connect(back, &QPushButton::clicked, this, [this] { run([this] { wizard_.mappingPage().btnZurueck4Click(); }); });
    connect(next, &QPushButton::clicked, this, [this] { run([this] { wizard_.mappingPage().btnWeiter4Click(); }); });
    PageControl1->addWidget(ImportSeite4);
}

void TfrmImport1::buildPage5() {
    ImportSeite5 = named(new QWidget, "ImportSeite5");
    auto* v = new QVBoxLayout(ImportSeite5);
    modePanel = new TfrmModePanel(wizard_, [this](const std::function<void()>& handler) { run(handler); });
    v->addWidget(modePanel, 1);
    lblQuelldatei = modePanel->lblQuelldatei;
    rbtEndeAnhaengen = modePanel->rbtEndeAnhaengen;
    rbtIgnorieren = modePanel->rbtIgnorieren;
    rbtUmbenennen = modePanel->rbtUmbenennen;
    rbtSelfInc = modePanel->rbtSelfInc;
    rbtAktualisieren = modePanel->rbtAktualisieren;
    edtStartwert = modePanel->edtStartwert;
    connect(modePanel, &TfrmModePanel::contentViewerRequested, this,
            [this] { run([this] { wizard_.contentViewer().btnInhaltAnzClick(5); }); });
    QPushButton *back = nullptr, *next = nullptr;
    v->addWidget(navigationRow(5, &back, &next));
    installInfoButton(ImportSeite5, QStringLiteral("btnInfo5"));
    connect(back, &QPushButton::clicked, this, [this] { run([this] { wizard_.modePage().btnZurueck5Click(); }); });
    connect(next, &QPushButton::clicked, this, [this] { run([this] { wizard_.modePage().btnWeiter5Click(); }); });
    PageControl1->addWidget(ImportSeite5);
}

void TfrmImport1::pullEdits() {
    WizardState& s = wizard_.state();
    pullFileNames();
    s.edtImpSpeich = ss(edtImpSpeich->text());
    s.edtBemerkung = ss(edtBemerkung->toPlainText());
    s.mode.edtStartwert = ss(edtStartwert->text());
    if (s.page == WizardPage::Seite4) {
        mappingPanel->commitEdits();
        mappingPanel->syncCursors();
    }
}

void TfrmImport1::showOptionsLookOnly() {
    ensureOptions();
    // Over the summary, which waits for its own close: this window must take the input meanwhile.
    QOptionen->setWindowModality(Qt::ApplicationModal);
    QOptionen->setLookOnly(true);
    QOptionen->showForm(wizard_.settingsPage().optionsOfCurrentSetting());
}

void TfrmImport1::ensureOptions() {
    if (!QOptionen) {
        QOptionen = new TfrmQOptionen(this);
        connect(QOptionen, &TfrmQOptionen::closedWithForm, this, [this] {
            run([this] {
                wizard_.state().qOptionen = QOptionen->form();
                wizard_.textPages().qOptionenClose();
            });
        });
        connect(QOptionen, &TfrmQOptionen::helpRequested, this, &TfrmImport1::helpRequested);
    }
}

void TfrmImport1::openOptions() {
    ensureOptions();
    QOptionen->setWindowModality(Qt::NonModal);
    run([this] { wizard_.textPages().btnQOptionenClick(); });
    QOptionen->showForm(wizard_.state().qOptionen);
}

void TfrmImport1::run(const std::function<void()>& handler) {
    // A handler started while another one works (a window closed by it, say) only runs: the outer
    // one takes the edits before and shows the state after.
    if (busy_ > 0) {
        guarded(handler);
        return;
    }
    pullEdits();
    wizard_.state().focusControl.clear();
    ++busy_;
    guarded(handler);
    --busy_;
    applyState();
    WizardState& s = wizard_.state();
    if (s.viewerRequest.kind != ContentViewerRequest::Kind::None) {
        const ContentViewerRequest request = s.viewerRequest;
        s.viewerRequest = ContentViewerRequest{};
        emit contentViewerRequested(request);
    }
    if (s.showErrorList) emit errorListRequested();
    if (s.closeRequested || closePending_) close();
}

// Every handler runs through here: no failure reaches the event loop. It is shown, and the wizard
// stays where it was.
void TfrmImport1::guarded(const std::function<void()>& handler) {
    Prompter& prompter = wizard_.environment().prompter;
    try {
        handler();
    } catch (const std::exception& e) {
        prompter.error(userMessage(e));
    } catch (...) {
        prompter.error(kUnexpectedErrorMessage);
    }
}

void TfrmImport1::refreshGrids() { mappingPanel->refreshGrids(); }

void TfrmImport1::applyState() {
    const WizardState& s = wizard_.state();
    if (s.page == WizardPage::Seite4 && shownPage_ != WizardPage::Seite4) refreshGrids();
    const bool pageChanged = shownPage_ != s.page;
    shownPage_ = s.page;
    QWidget* pages[] = {ImportSeite1, ImportSeite2, ImportSeite3, ImportSeite1txt, ImportSeite4, ImportSeite5,
                        ImportSeite6};
    PageControl1->setCurrentWidget(pages[static_cast<int>(s.page)]);
    tpcTXT->setCurrentIndex(static_cast<int>(s.textPage));
    applyToggle(rbtNeueImport, s.rbtNeueImport);
    applyToggle(rbtVorhEinst_oAE, s.rbtVorhEinst_oAE);
    applyToggle(rbtVorhEinst_mAE, s.rbtVorhEinst_mAE);
    applyToggle(rbtImpEinlesen, s.rbtImpEinlesen);
    gbxAktEinstellung->setVisible(s.gbxAktEinstellungVisible);
    lblWeitere->setVisible(s.lblWeitereVisible);
    comVorh_Einstellg->setVisible(s.comVorh_EinstellgVisible);
    btnDetails->setVisible(s.btnDetailsVisible);
    edtAktEinstellung->setText(qs(s.edtAktEinstellung));
    if (s.comVorh_EinstellgVisible) {
        // Name, source and target in the list; the name in the box.
        auto* model = new QStandardItemModel(comVorh_Einstellg);
        for (const SettingChoice& c : wizard_.settingsPage().settingChoices())
            model->appendRow({new QStandardItem(qs(c.name)), new QStandardItem(qs(c.source)), new QStandardItem(qs(c.target))});
        comVorh_Einstellg->setModel(model);  // the combo box deletes the model it owned before
        comVorh_Einstellg->setModelColumn(0);
        auto* view = static_cast<QTableView*>(comVorh_Einstellg->view());
        view->resizeColumnsToContents();
        view->setMinimumWidth(view->horizontalHeader()->length() + 24);  // all three columns in the list
        comVorh_Einstellg->setCurrentText(qs(s.edtAktEinstellung));
    }
    applyFilePages();
    (s.rgrDatsatzlaenge == 1 ? rgrFest : rgrVariabel)->setChecked(true);
    if (retQuellDat->toPlainText() != qs(s.retQuellDat)) retQuellDat->setPlainText(qs(s.retQuellDat));
    if (s.page == WizardPage::Seite1txt && s.textPage == TextPage::TXTVariabel) txtVariabel->applyState();
    if (s.page == WizardPage::Seite1txt && s.textPage == TextPage::TXTFix) txtFix->applyState();
    if (s.page == WizardPage::Seite4) mappingPanel->applyState();
    modePanel->applyState();
    applyFinishPage();
    // A new page starts in its name field, where the user types first.
    if (pageChanged && s.focusControl.empty()) {
        if (s.page == WizardPage::Seite2) (s.presetChoicesVisible ? static_cast<QWidget*>(comQuelle) : edtQuelle)->setFocus();
        if (s.page == WizardPage::Seite3) (s.presetChoicesVisible ? static_cast<QWidget*>(comZiel) : edtZiel)->setFocus();
        if (s.page == WizardPage::Seite6 && s.saveControlsEnabled) edtImpSpeich->setFocus();
    }
    if (s.focusControl == "edtQuelle") (s.presetChoicesVisible ? static_cast<QWidget*>(comQuelle) : edtQuelle)->setFocus();
    if (s.focusControl == "edtZiel") (s.presetChoicesVisible ? static_cast<QWidget*>(comZiel) : edtZiel)->setFocus();
    if (s.focusControl == "edtImpSpeich") edtImpSpeich->setFocus();
    if (s.focusControl == "edtBemerkung") edtBemerkung->setFocus();
}

void TfrmImport1::closeEvent(QCloseEvent* event) {
    if (!finished_ && busy_ > 0) {
        // A handler still works (a run pumps events while it goes): the tables must stay until it has
        // returned. A run is asked to stop first, with the progress window's own question.
        event->ignore();
        closePending_ = !confirmCloseWhileBusy || confirmCloseWhileBusy();
        return;
    }
    if (!finished_) {
        finished_ = true;
        pullEdits();
        wizard_.finish();
    }
    event->accept();
    emit programEnded();
}

}  // namespace kimport
