#include "settings/TfrmEinstellAEND.h"

#include "common/UserMessage.h"
#include "qtshared/QtWidgetHelpers.h"
#include "settings/SettingsManager.h"
#include "tablestore/ValueConversion.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QVBoxLayout>

namespace kimport {

namespace {
constexpr int kHelpContext = 8;
}  // namespace

TfrmEinstellAEND::TfrmEinstellAEND(SettingsManager& manager, Prompter& prompter, QWidget* parent)
    : QDialog(parent), manager_(manager), prompter_(prompter) {
    setObjectName(QStringLiteral("frmEinstellAEND"));
    setWindowTitle(QStringLiteral("Kelvaro Import 1.0c - Importeinstellungen"));
    auto* h = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    dbgEinstellungen = named(new QTableWidget(0, 2), "dbgEinstellungen");
    dbgEinstellungen->setHorizontalHeaderLabels({QStringLiteral("Bezeichnung"), QStringLiteral("Quellformat")});
    dbgEinstellungen->setSelectionBehavior(QAbstractItemView::SelectRows);
    dbgEinstellungen->setSelectionMode(QAbstractItemView::SingleSelection);
    dbgEinstellungen->setEditTriggers(QAbstractItemView::NoEditTriggers);
    dbgEinstellungen->verticalHeader()->hide();
    dbgEinstellungen->setColumnWidth(0, 50 * fontMetrics().averageCharWidth());
    dbgEinstellungen->installEventFilter(this);
    left->addWidget(dbgEinstellungen, 1);
    auto* gbxAnzeige = named(new QGroupBox(QStringLiteral("Anzeige")), "gbxAnzeigeImpEinst");
    auto* gv = new QVBoxLayout(gbxAnzeige);
    auto* views = new QButtonGroup(this);
    const char* captions[] = {"Eigene Importeinstellungen", "Vordefinierte Importeinstellungen",
                              "Alle Importeinstellungen"};
    for (int i = 0; i < 3; ++i) {
        rbtView[i] = new QRadioButton(QString::fromUtf8(captions[i]));
        views->addButton(rbtView[i], i);
        gv->addWidget(rbtView[i]);
    }
    left->addWidget(gbxAnzeige);
    h->addLayout(left, 3);

    auto* right = new QVBoxLayout;
    auto* form = new QFormLayout;
    lblBezeichnung = named(new QLabel, "lblBezeichnung");
    lblLetzterImport = named(new QLabel, "lblLetzterImport");
    memBemerkung = named(new QPlainTextEdit, "memBemerkung");
    memBemerkung->setMaximumHeight(70);
    memBemerkung->installEventFilter(this);
    lblQuelldatei = named(new QLabel, "lblQuelldatei");
    lblZieldatei = named(new QLabel, "lblZieldatei");
    lblImportmodus = named(new QLabel, "lblImportmodus");
    lblBasisname = named(new QLabel, "lblBasisname");
    cbxSicherungskp = named(new QCheckBox(QStringLiteral("Sicherungskopie erstellen")), "cbxSicherungskp");
    cbxZielLeer = named(new QCheckBox(QStringLiteral("Zieldatenbank vor dem Import leeren")), "cbxZielLeer");
    cbxQuelleAusw = named(new QCheckBox(QStringLiteral("Datei auswählen")), "cbxQuelleAusw");
    cbxZielAusw = named(new QCheckBox(QStringLiteral("Datei auswählen")), "cbxZielAusw");
    form->addRow(QStringLiteral("Bezeichnung"), lblBezeichnung);
    form->addRow(QStringLiteral("Letzter Import"), lblLetzterImport);
    form->addRow(QStringLiteral("Bemerkung"), memBemerkung);
    form->addRow(QStringLiteral("Quelldatei"), lblQuelldatei);
    form->addRow(QString(), cbxQuelleAusw);
    form->addRow(QStringLiteral("Zieldatei"), lblZieldatei);
    form->addRow(QString(), cbxZielAusw);
    form->addRow(QStringLiteral("Importmodus"), lblImportmodus);
    form->addRow(QString(), cbxSicherungskp);
    form->addRow(QString(), cbxZielLeer);
    form->addRow(QStringLiteral("Basisname der internen Dateien"), lblBasisname);
    right->addLayout(form);
    auto* buttons = new QHBoxLayout;
    btnKopierenNach = named(new QPushButton(QStringLiteral("&Kopieren nach")), "btnKopierenNach");
    btnVonDiskEinlesen = named(new QPushButton(QStringLiteral("Neue &Einstellungen einlesen")), "btnVonDiskEinlesen");
    btnLoeschen = named(new QPushButton(QStringLiteral("&Löschen")), "btnLoeschen");
    btnUmbenennen = named(new QPushButton(QStringLiteral("&Umbenennen")), "btnUmbenennen");
    btnOptionen = named(new QPushButton(QStringLiteral("Optionen")), "btnOptionen");
    btnExportieren = named(new QPushButton(QStringLiteral("E&xportieren…")), "btnExportieren");
    btnExportieren->setToolTip(
        QStringLiteral("Die Importeinstellung mit ihren Dateien für einen anderen Rechner speichern"));
    for (QPushButton* b :
         {btnKopierenNach, btnVonDiskEinlesen, btnLoeschen, btnUmbenennen, btnOptionen, btnExportieren})
        buttons->addWidget(b);
    right->addLayout(buttons);
    right->addStretch();
    auto* closing = new QHBoxLayout;
    btnImportStarten = named(new QPushButton(QStringLiteral("&Import starten")), "btnImportStarten");
    btnAbbrechen = named(new QPushButton(QStringLiteral("&Abbrechen")), "btnAbbrechen");
    btnHilfe = named(new QPushButton(QStringLiteral("&Hilfe")), "btnHilfe");
    closing->addStretch();
    for (QPushButton* b : {btnImportStarten, btnAbbrechen, btnHilfe}) closing->addWidget(b);
    right->addLayout(closing);
    h->addLayout(right, 4);

    SettingsManager& m = manager_;
    connect(views, &QButtonGroup::idClicked, this,
            [this, &m](int id) { act([&m, id] { m.setView(static_cast<SettingsView>(id)); }); });
    connect(dbgEinstellungen, &QTableWidget::currentCellChanged, this, [this, &m](int row) {
        if (applying_ || row < 0 || row >= static_cast<int>(m.state().names.size())) return;
        act([&m, row] { m.select(m.state().names[static_cast<std::size_t>(row)]); });
    });
    connect(cbxSicherungskp, &QCheckBox::clicked, this,
            [this, &m](bool on) { act([&m, on] { m.setBackupCopy(on); }); });
    connect(cbxZielLeer, &QCheckBox::clicked, this, [this, &m](bool on) { act([&m, on] { m.setEmptyTarget(on); }); });
    connect(cbxQuelleAusw, &QCheckBox::toggled, this, [&m](bool on) { m.setChooseAgain(true, on); });
    connect(cbxZielAusw, &QCheckBox::toggled, this, [&m](bool on) { m.setChooseAgain(false, on); });
    connect(btnLoeschen, &QPushButton::clicked, this, [this, &m] { act([&m] { m.btnLoeschenClick(); }); });
    connect(btnUmbenennen, &QPushButton::clicked, this, [this, &m] { act([&m] { m.btnUmbenennenClick(); }); });
    connect(btnKopierenNach, &QPushButton::clicked, this, [this, &m] { act([&m] { m.btnKopierenNachClick(); }); });
    connect(btnVonDiskEinlesen, &QPushButton::clicked, this, [this, &m] {
        bool showErrors = false;
        act([this, &m, &showErrors] {
            if (readInSettings) showErrors = readInSettings();
            if (m.anySetting()) m.setView(SettingsView::Predefined);
        });
        if (showErrors) emit errorListRequested();
    });
    connect(btnOptionen, &QPushButton::clicked, this, &TfrmEinstellAEND::optionsRequested);
    connect(btnExportieren, &QPushButton::clicked, this, [this, &m] { act([&m] { m.btnExportierenClick(); }); });
    connect(btnImportStarten, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnAbbrechen, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnHilfe, &QPushButton::clicked, this, [this] { emit helpRequested(kHelpContext); });
    resize(900, 520);
}

// Every handler through here: a failure is shown and the window stays as it was. Nothing may unwind into
// the event loop, so this one catch stays broad; a fault of the program shows as unexpected (userMessage),
// not with a library's text as if the user had done something wrong.
void TfrmEinstellAEND::act(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        prompter_.error(userMessage(e));
    }
    apply();
}

void TfrmEinstellAEND::apply() {
    applying_ = true;
    const ManagerState& s = manager_.state();
    rbtView[static_cast<int>(s.view)]->setChecked(true);
    dbgEinstellungen->setRowCount(static_cast<int>(s.names.size()));
    int selected = -1;
    for (std::size_t r = 0; r < s.names.size(); ++r) {
        dbgEinstellungen->setItem(static_cast<int>(r), 0, new QTableWidgetItem(qs(s.names[r])));
        dbgEinstellungen->setItem(static_cast<int>(r), 1, new QTableWidgetItem(qs(s.formats[r])));
        if (s.names[r] == s.current) selected = static_cast<int>(r);
    }
    if (selected >= 0) dbgEinstellungen->selectRow(selected);
    const SavedSetting& d = s.details;
    lblBezeichnung->setText(qs(d.name));
    lblLetzterImport->setText(d.lastImport ? qs(formatDate(*d.lastImport, FormatSettings::german())) : QString());
    if (!memBemerkung->hasFocus()) memBemerkung->setPlainText(qs(d.remark));
    lblQuelldatei->setText(qs(d.sourcePath));
    lblZieldatei->setText(qs(d.targetPath));
    lblImportmodus->setText(qsLines(s.modeText));
    lblBasisname->setText(qs(s.baseName));
    {
        QSignalBlocker a(cbxSicherungskp), b(cbxZielLeer), c(cbxQuelleAusw), e(cbxZielAusw);
        cbxSicherungskp->setChecked(d.backupCopy);
        cbxZielLeer->setChecked(d.emptyTarget);
        cbxQuelleAusw->setChecked(s.chooseSourceAgain);
        cbxZielAusw->setChecked(s.chooseTargetAgain);
    }
    cbxSicherungskp->setEnabled(!s.current.empty());
    cbxZielLeer->setEnabled(!s.current.empty());
    btnLoeschen->setEnabled(s.buttons.loeschen);
    btnKopierenNach->setEnabled(s.buttons.kopieren);
    btnUmbenennen->setEnabled(s.buttons.umbenennen);
    btnOptionen->setEnabled(s.buttons.optionen);
    btnExportieren->setEnabled(!s.current.empty());
    btnImportStarten->setEnabled(s.buttons.importStarten);
    btnImportStarten->setText(qs(s.buttons.importStartenCaption));
    applying_ = false;
}

bool TfrmEinstellAEND::showManager() {
    apply();
    const bool start = exec() == QDialog::Accepted;
    // The remark typed last is kept as well.
    act([this] { manager_.setRemark(ss(memBemerkung->toPlainText())); });
    return start;
}

bool TfrmEinstellAEND::eventFilter(QObject* watched, QEvent* event) {
    if (watched == memBemerkung && event->type() == QEvent::FocusOut)
        act([this] { manager_.setRemark(ss(memBemerkung->toPlainText())); });
    // Backspace or Delete in the grid deletes, as "&Löschen" does.
    if (watched == dbgEinstellungen && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Backspace || key == Qt::Key_Delete) && btnLoeschen->isEnabled()) {
            btnLoeschen->click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmEinstellAEND::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1) {
        emit helpRequested(kHelpContext);
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace kimport
