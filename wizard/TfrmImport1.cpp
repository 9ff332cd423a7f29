#include "wizard/TfrmImport1.h"

#include "wizard/QtWidgetHelpers.h"

#include "textsource/TfrmQOptionen.h"
#include "wizard/TfrmTextFix.h"
#include "wizard/TfrmMappingPanel.h"
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
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableView>
#include <QHeaderView>
#include <QVBoxLayout>

namespace kimport {

namespace {


void applyToggle(QAbstractButton* b, const Toggle& t) {
    b->setChecked(t.checked);
    b->setEnabled(t.enabled);
    b->setVisible(t.visible);
}
}  // namespace

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
    wizard_.onLeavePage = [] {};
    applyState();
}

QWidget* TfrmImport1::navigationRow(int page, QPushButton** back, QPushButton** next, const QString& nextCaption) {
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* info = new QPushButton(QStringLiteral("&Info"));
    info->setObjectName(QStringLiteral("btnInfo%1").arg(page));
    info->setVisible(false);
    layout->addWidget(info);
    layout->addStretch();
    if (back) {
        *back = new QPushButton(QStringLiteral("< &Zurück"));
        (*back)->setObjectName(QStringLiteral("btnZurueck%1").arg(page));
        layout->addWidget(*back);
    }
    *next = new QPushButton(nextCaption.isEmpty() ? QStringLiteral("&Weiter >") : nextCaption);
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
    connect(rbtNeueImport, &QRadioButton::clicked, this, [this] { run([this] { wizard_.rbtNeueImportClick(); }); });
    connect(rbtVorhEinst_oAE, &QRadioButton::clicked, this, [this] { run([this] { wizard_.rbtVorhEinst_oAEClick(); }); });
    connect(rbtVorhEinst_mAE, &QRadioButton::clicked, this, [this] { run([this] { wizard_.rbtVorhEinst_mAEClick(); }); });
    connect(rbtImpEinlesen, &QRadioButton::clicked, this, [this] { run([this] { wizard_.rbtImpEinlesenClick(); }); });

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
    lblWeitere->setBuddy(comVorh_Einstellg);
    btnDetails = named(new QPushButton(QStringLiteral("&Details")), "btnDetails");
    row->addWidget(lblWeitere);
    row->addWidget(comVorh_Einstellg, 1);
    row->addWidget(btnDetails);
    v->addLayout(row);
    connect(comVorh_Einstellg, &QComboBox::activated, this, [this](int) {
        run([this] { wizard_.comVorh_EinstellgSelect(ss(comVorh_Einstellg->currentText())); });
    });
    connect(btnDetails, &QPushButton::clicked, this, [this] {
        run([this] { wizard_.btnDetailsClick(); });
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
    connect(next, &QPushButton::clicked, this, [this] { run([this] { wizard_.btnWeiter1Click(); }); });
    PageControl1->addWidget(ImportSeite1);
}

void TfrmImport1::buildPage2() {
    ImportSeite2 = named(new QWidget, "ImportSeite2");
    auto* v = new QVBoxLayout(ImportSeite2);
    v->addWidget(new QLabel(QStringLiteral("Welche Datei soll importiert werden?")));
    comQuelle = named(new QComboBox, "comQuelle");
    comQuelle->setEditable(true);
    comQuelle->addItems({QStringLiteral("Artikel-Datei von Brisko"), QStringLiteral("Kunden-Datei von Brisko")});
    edtQuelle = named(new QLineEdit, "edtQuelle");
    v->addWidget(comQuelle);
    v->addWidget(edtQuelle);
    connect(comQuelle, &QComboBox::activated, this, [this](int) {
        run([this] { wizard_.comQuelleSelect(ss(comQuelle->currentText())); });
    });
    auto* row = new QHBoxLayout;
    btnQBrowse = named(new QPushButton(QStringLiteral("&Durchsuchen")), "btnQBrowse");
    btnInhaltAnz2 = named(new QPushButton(QStringLiteral("&Inhalt ansehen")), "btnInhaltAnz2");
    btnQOptionen1 = named(new QPushButton(QStringLiteral("&Optionen")), "btnQOptionen1");
    btnQOptionen1->setToolTip(QStringLiteral("Allgemeine Einstellungen"));
    for (QPushButton* b : {btnQBrowse, btnInhaltAnz2, btnQOptionen1}) row->addWidget(b);
    row->addStretch();
    v->addLayout(row);
    connect(btnQBrowse, &QPushButton::clicked, this, [this] { browse(true); });
    connect(btnQOptionen1, &QPushButton::clicked, this, [this] { openOptions(); });
    connect(btnInhaltAnz2, &QPushButton::clicked, this, [this] {
        run([this] {
            if (wizard_.checkSource()) emit contentViewerRequested();
        });
    });
    v->addStretch();
    QPushButton *back = nullptr, *next = nullptr;
    v->addWidget(navigationRow(2, &back, &next));
    connect(back, &QPushButton::clicked, this, [this] { run([this] { wizard_.btnZurueck2Click(); }); });
    connect(next, &QPushButton::clicked, this, [this] { run([this] { wizard_.btnWeiter2Click(); }); });
    PageControl1->addWidget(ImportSeite2);
}

void TfrmImport1::buildPage3() {
    ImportSeite3 = named(new QWidget, "ImportSeite3");
    auto* v = new QVBoxLayout(ImportSeite3);
    v->addWidget(new QLabel(QStringLiteral("In welche Zieldatei sollen die Daten übertragen werden?")));
    comZiel = named(new QComboBox, "comZiel");
    comZiel->setEditable(true);
    comZiel->addItems({QStringLiteral("Artikel-Datei von Brisko"), QStringLiteral("Kunden-Datei von Brisko")});
    edtZiel = named(new QLineEdit, "edtZiel");
    v->addWidget(comZiel);
    v->addWidget(edtZiel);
    connect(comZiel, &QComboBox::activated, this, [this](int) {
        run([this] { wizard_.comZielSelect(ss(comZiel->currentText())); });
    });
    auto* row = new QHBoxLayout;
    btnZBrowse = named(new QPushButton(QStringLiteral("&Durchsuchen")), "btnZBrowse");
    btnInhaltAnz3 = named(new QPushButton(QStringLiteral("&Inhalt ansehen")), "btnInhaltAnz3");
    btnSicherungskopie = named(new QPushButton(QStringLiteral("&Sicherungskopie anlegen")), "btnSicherungskopie");
    for (QPushButton* b : {btnZBrowse, btnInhaltAnz3, btnSicherungskopie}) row->addWidget(b);
    row->addStretch();
    v->addLayout(row);
    connect(btnZBrowse, &QPushButton::clicked, this, [this] { browse(false); });
    connect(btnInhaltAnz3, &QPushButton::clicked, this, [this] {
        run([this] {
            if (wizard_.checkTarget()) emit contentViewerRequested();
        });
    });
    connect(btnSicherungskopie, &QPushButton::clicked, this, [this] {
        run([this] {
            if (wizard_.checkTarget()) wizard_.makeBackupCopy();
        });
    });
    cbxSicherungskopie = named(new QCheckBox(QStringLiteral("&Sicherungskopie anlegen:")), "cbxSicherungskopie");
    cbxZielLeeren = named(new QCheckBox(QStringLiteral("Zieldatei &leeren:")), "cbxZielLeeren");
    lblZielLeeren = named(new QLabel(QStringLiteral("In der Zieldatei vorhandene\nDatensätze werden vor dem\nImport "
                                                    "gelöscht!")),
                          "lblZielLeeren");
    v->addWidget(cbxSicherungskopie);
    v->addWidget(cbxZielLeeren);
    v->addWidget(lblZielLeeren);
    connect(cbxSicherungskopie, &QCheckBox::toggled, this,
            [this](bool on) { wizard_.state().cbxSicherungskopie.checked = on; });
    connect(cbxZielLeeren, &QCheckBox::toggled, this, [this](bool on) { wizard_.state().cbxZielLeeren.checked = on; });
    v->addStretch();
    QPushButton *back = nullptr, *next = nullptr;
    v->addWidget(navigationRow(3, &back, &next));
    connect(back, &QPushButton::clicked, this, [this] { run([this] { wizard_.btnZurueck3Click(); }); });
    connect(next, &QPushButton::clicked, this, [this] { run([this] { wizard_.btnWeiter3Click(); }); });
    PageControl1->addWidget(ImportSeite3);
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
    tpcTXT->addTab(first, QStringLiteral("Datensatzlänge"));
    txtFix = new TfrmTextFix(wizard_.state());
    CharacterGrid* grid = txtFix->stgQuellDatFix;
    connect(grid, &CharacterGrid::cellClicked2, this, [this](int c) { run([this, c] { wizard_.stgQuellDatFixClick(c); }); });
    connect(grid, &CharacterGrid::markerPressed, this,
            [this](int c) { run([this, c] { wizard_.stgQuellDatFixMouseDown(c); }); });
    connect(grid, &CharacterGrid::markerDragged, this,
            [this](int c) { run([this, c] { wizard_.stgQuellDatFixDragOver(c); }); });
    connect(grid, &CharacterGrid::markerDropped, this, [this] { run([this] { wizard_.stgQuellDatFixDragDrop(); }); });
    connect(grid, &CharacterGrid::cellDoubleClicked2, this,
            [this](int c) { run([this, c] { wizard_.stgQuellDatFixDblClick(c); }); });
    tpcTXT->addTab(txtFix, QStringLiteral("Feste Feldlänge"));
    txtVariabel = new TfrmTextVariabel(wizard_.state());
    connect(txtVariabel, &TfrmTextVariabel::layoutEdited, this, [this] {
        txtVariabel->previewBusy();
        run([this] { wizard_.textLayoutChanged(); });
    });
    connect(txtVariabel, &TfrmTextVariabel::columnClicked, this,
            [this](int c) { run([this, c] { wizard_.stgQuellDatVarSelect(c); }); });
    connect(txtVariabel->btnErste, &QPushButton::clicked, this, [this] { run([this] { wizard_.btnErsteClick(); }); });
    connect(txtVariabel->btnLinks, &QPushButton::clicked, this, [this] { run([this] { wizard_.btnLinksClick(); }); });
    connect(txtVariabel->btnRechts, &QPushButton::clicked, this, [this] { run([this] { wizard_.btnRechtsClick(); }); });
    connect(txtVariabel->btnLetzte, &QPushButton::clicked, this, [this] { run([this] { wizard_.btnLetzteClick(); }); });
    tpcTXT->addTab(txtVariabel, QStringLiteral("Variable Feldlänge"));
    v->addWidget(tpcTXT);
    QPushButton *back = nullptr, *next = nullptr;
    QWidget* nav = navigationRow(0, &back, &next);
    back->setObjectName(QStringLiteral("btnZurueckTxt"));
    next->setObjectName(QStringLiteral("btnWeiterTxt"));
    v->addWidget(nav);
    connect(back, &QPushButton::clicked, this, [this] { run([this] { wizard_.btnZurueckTxtClick(); }); });
    connect(next, &QPushButton::clicked, this, [this] { run([this] { wizard_.btnWeiterTxtClick(); }); });
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
    connect(mappingPanel, &TfrmMappingPanel::contentViewerRequested, this, &TfrmImport1::contentViewerRequested);
    connect(mappingPanel, &TfrmMappingPanel::formulaEditorRequested, this, &TfrmImport1::formulaEditorRequested);
    QPushButton *back = nullptr, *next = nullptr;
    v->addWidget(navigationRow(4, &back, &next));
    connect(back, &QPushButton::clicked, this, [this] { run([this] { wizard_.btnZurueck4Click(); }); });
    connect(next, &QPushButton::clicked, this, [this] { run([this] { wizard_.btnWeiter4Click(); }); });
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
    connect(modePanel, &TfrmModePanel::contentViewerRequested, this, &TfrmImport1::contentViewerRequested);
    QPushButton *back = nullptr, *next = nullptr;
    v->addWidget(navigationRow(5, &back, &next));
    connect(back, &QPushButton::clicked, this, [this] { run([this] { wizard_.btnZurueck5Click(); }); });
    connect(next, &QPushButton::clicked, this, [this] { run([this] { wizard_.btnWeiter5Click(); }); });
    PageControl1->addWidget(ImportSeite5);
}

void TfrmImport1::buildPage6() {
    ImportSeite6 = named(new QWidget, "ImportSeite6");
    auto* v = new QVBoxLayout(ImportSeite6);
    lblImporteinst = named(new QLabel(QStringLiteral("Importeinstellungen speichern unter:")), "lblImporteinst");
    edtImpSpeich = named(new QLineEdit, "edtImpSpeich");
    v->addWidget(lblImporteinst);
    v->addWidget(edtImpSpeich);
    btnBemerkung = named(new QPushButton(QStringLiteral("&Bemerkung")), "btnBemerkung");
    edtBemerkung = named(new QPlainTextEdit, "edtBemerkung");
    btnBemerkSpeichern = named(new QPushButton(QStringLiteral("&Speichern")), "btnBemerkSpeichern");
    btnBemerkVerwerfen = named(new QPushButton(QStringLiteral("&Verwerfen")), "btnBemerkVerwerfen");
    edtBemerkung->setVisible(false);
    btnBemerkSpeichern->setVisible(false);
    btnBemerkVerwerfen->setVisible(false);
    auto* row = new QHBoxLayout;
    row->addWidget(btnBemerkung);
    row->addWidget(btnBemerkSpeichern);
    row->addWidget(btnBemerkVerwerfen);
    row->addStretch();
    v->addLayout(row);
    v->addWidget(edtBemerkung);
    auto showRemark = [this](bool on) {
        edtBemerkung->setVisible(on);
        btnBemerkSpeichern->setVisible(on);
        btnBemerkVerwerfen->setVisible(on);
    };
    connect(btnBemerkung, &QPushButton::clicked, this, [this, showRemark] {
        edtBemerkung->setPlainText(qs(wizard_.state().edtBemerkung));
        showRemark(true);
    });
    connect(btnBemerkSpeichern, &QPushButton::clicked, this, [this, showRemark] {
        wizard_.state().edtBemerkung = ss(edtBemerkung->toPlainText());
        showRemark(false);
    });
    connect(btnBemerkVerwerfen, &QPushButton::clicked, this, [showRemark] { showRemark(false); });
    rbtTabAnz = named(new QRadioButton(QStringLiteral("&Tabellen nach Import anzeigen")), "rbtTabAnz");
    rbtTabNichtAnz = named(new QRadioButton(QStringLiteral("Tabellen nach Import &nicht anzeigen")), "rbtTabNichtAnz");
    v->addWidget(rbtTabAnz);
    v->addWidget(rbtTabNichtAnz);
    connect(rbtTabAnz, &QRadioButton::toggled, this, [this](bool on) {
        wizard_.state().rbtTabAnz.checked = on;
        wizard_.state().rbtTabNichtAnz.checked = !on;
    });
    v->addStretch();
    QPushButton *back = nullptr, *next = nullptr;
    v->addWidget(navigationRow(6, &back, &next, QStringLiteral("&Fertigstellen")));
    btnFertigstellen = next;
    btnFertigstellen->setToolTip(QStringLiteral("Importlauf starten"));
    connect(back, &QPushButton::clicked, this, [this] { run([this] { wizard_.btnZurueck6Click(); }); });
    connect(next, &QPushButton::clicked, this, [this] {
        run([this] { wizard_.btnFertigstellenClick(); });
        if (wizard_.state().showContentViewer) emit contentViewerRequested();
    });
    PageControl1->addWidget(ImportSeite6);
}

void TfrmImport1::pullEdits() {
    WizardState& s = wizard_.state();
    s.edtQuelle = ss(edtQuelle->text());
    s.edtZiel = ss(edtZiel->text());
    s.edtImpSpeich = ss(edtImpSpeich->text());
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
    QOptionen->showForm(optionsOnShow(wizard_.environment().formats.current, wizard_.state().textLayout.dos));
}

void TfrmImport1::ensureOptions() {
    if (!QOptionen) {
        QOptionen = new TfrmQOptionen(this);
        connect(QOptionen, &TfrmQOptionen::closedWithForm, this, [this] {
            run([this] {
                wizard_.state().qOptionen = QOptionen->form();
                wizard_.qOptionenClose();
            });
        });
        connect(QOptionen, &TfrmQOptionen::helpRequested, this, &TfrmImport1::helpRequested);
    }
}

void TfrmImport1::openOptions() {
    ensureOptions();
    QOptionen->setWindowModality(Qt::NonModal);
    run([this] { wizard_.btnQOptionenClick(); });
    QOptionen->showForm(wizard_.state().qOptionen);
}

void TfrmImport1::run(const std::function<void()>& handler) {
    pullEdits();
    wizard_.state().focusControl.clear();
    guarded(handler);
    applyState();
    if (wizard_.state().showErrorList) emit errorListRequested();
    if (wizard_.state().closeRequested) close();
}

// Every handler runs through here: no failure reaches the event loop. It is shown, and the wizard
// stays where it was.
void TfrmImport1::guarded(const std::function<void()>& handler) {
    Prompter& prompter = wizard_.environment().prompter;
    try {
        handler();
    } catch (const std::exception& e) {
        prompter.error(e.what());
    } catch (...) {
        prompter.error("Ein unerwarteter Fehler ist aufgetreten.");
    }
}

void TfrmImport1::browse(bool source) {
    pullEdits();
    FileDialogSpec dialog;
    dialog.title = source ? "Quelldatei auswählen" : "Zieldatei auswählen";
    const std::string& current = source ? wizard_.state().edtQuelle : wizard_.state().edtZiel;
    dialog.initialDir = directoryOf(current);
    dialog.filters = {{"Paradox-Tabellen", "*.db *.DB"}, {"dBASE-Tabellen", "*.dbf *.DBF"}};
    if (source) dialog.filters.push_back({"Textdateien", "*.txt *.TXT *.csv *.CSV *.asc *.ASC"});
    dialog.filters.push_back({"Alle Dateien", "*"});
    guarded([&] {
        if (auto file = wizard_.environment().prompter.openFile(dialog))
            (source ? wizard_.state().edtQuelle : wizard_.state().edtZiel) = *file;
    });
    applyState();
}

void TfrmImport1::refreshGrids() { mappingPanel->refreshGrids(); }

void TfrmImport1::applyState() {
    const WizardState& s = wizard_.state();
    if (s.page == WizardPage::Seite4 && shownPage_ != WizardPage::Seite4) refreshGrids();
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
        QStringList names;
        for (const std::string& n : wizard_.settingNames()) names << qs(n);
        comVorh_Einstellg->clear();
        comVorh_Einstellg->addItems(names);
        comVorh_Einstellg->setCurrentText(qs(s.edtAktEinstellung));
    }
    edtQuelle->setText(qs(s.edtQuelle));
    edtZiel->setText(qs(s.edtZiel));
    comQuelle->setVisible(s.presetChoicesVisible);
    comZiel->setVisible(s.presetChoicesVisible);
    btnSicherungskopie->setVisible(s.btnSicherungskopie.visible);
    applyToggle(cbxSicherungskopie, s.cbxSicherungskopie);
    applyToggle(cbxZielLeeren, s.cbxZielLeeren);
    (s.rgrDatsatzlaenge == 1 ? rgrFest : rgrVariabel)->setChecked(true);
    if (retQuellDat->toPlainText() != qs(s.retQuellDat)) retQuellDat->setPlainText(qs(s.retQuellDat));
    if (s.page == WizardPage::Seite1txt && s.textPage == TextPage::TXTVariabel) txtVariabel->applyState();
    if (s.page == WizardPage::Seite1txt && s.textPage == TextPage::TXTFix) txtFix->applyState();
    if (s.page == WizardPage::Seite4) mappingPanel->applyState();
    modePanel->applyState();
    edtImpSpeich->setText(qs(s.edtImpSpeich));
    for (QWidget* w : std::initializer_list<QWidget*>{lblImporteinst, edtImpSpeich, btnBemerkung})
        w->setEnabled(s.saveControlsEnabled);
    applyToggle(rbtTabAnz, s.rbtTabAnz);
    applyToggle(rbtTabNichtAnz, s.rbtTabNichtAnz);
    ImportSeite6->setEnabled(s.page6Enabled);
    if (s.focusControl == "edtQuelle") edtQuelle->setFocus();
    if (s.focusControl == "edtZiel") edtZiel->setFocus();
}

void TfrmImport1::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1) {
        const WizardState& s = wizard_.state();
        emit helpRequested(helpContextOf(s.page, s.textPage));
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void TfrmImport1::closeEvent(QCloseEvent* event) {
    if (!finished_) {
        finished_ = true;
        pullEdits();
        wizard_.finish();
    }
    event->accept();
}

}  // namespace kimport
