// The main window's source and target pages (2 and 3): the name field, the browse dialog, the content
// viewer's button, the backup copy and the emptying of the target.
#include "wizard/TfrmImport1.h"

#include "qtshared/QtWidgetHelpers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace kimport {

namespace {

// The name field: with the preset choices the editable combo box is the one field the user types
// into, else the plain edit takes its place.
QComboBox* presetCombo(const char* name) {
    auto* combo = named(new QComboBox, name);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->addItems({QStringLiteral("Artikel-Datei von Brisko"), QStringLiteral("Kunden-Datei von Brisko")});
    combo->setCurrentIndex(-1);
    return combo;
}

}  // namespace

void TfrmImport1::buildPage2() {
    ImportSeite2 = named(new QWidget, "ImportSeite2");
    auto* v = new QVBoxLayout(ImportSeite2);
    v->addWidget(new QLabel(QStringLiteral("Welche Datei soll importiert werden?")));
    comQuelle = presetCombo("comQuelle");
    edtQuelle = named(new QLineEdit, "edtQuelle");
    v->addWidget(comQuelle);
    v->addWidget(edtQuelle);
    connect(comQuelle, &QComboBox::activated, this, [this](int index) {
        const QString item = comQuelle->itemText(index);
        run([this, item] { wizard_.sourcePage().comQuelleSelect(ss(item)); });
    });
    auto* row = new QHBoxLayout;
    btnQBrowse = named(new QPushButton(QStringLiteral("&Durchsuchen")), "btnQBrowse");
    btnInhaltAnz2 = named(new QPushButton(QStringLiteral("&Inhalt ansehen")), "btnInhaltAnz2");
    btnQOptionen1 = named(new QPushButton(QStringLiteral("&Optionen")), "btnQOptionen1");
    btnQOptionen1->setToolTip(QStringLiteral("Allgemeine Einstellungen"));
    for (QPushButton* b : {btnQBrowse, btnInhaltAnz2, btnQOptionen1}) row->addWidget(b);
    row->addStretch();
    v->addLayout(row);
    connect(btnQBrowse, &QPushButton::clicked, this, [this] { run([this] { wizard_.sourcePage().btnQBrowseClick(); }); });
    connect(btnQOptionen1, &QPushButton::clicked, this, [this] { openOptions(); });
    connect(btnInhaltAnz2, &QPushButton::clicked, this, [this] { run([this] { wizard_.contentViewer().btnInhaltAnzClick(2); }); });
    v->addStretch();
    QPushButton *back = nullptr, *next = nullptr;
    v->addWidget(navigationRow(2, &back, &next));
    installInfoButton(ImportSeite2, QStringLiteral("btnInfo2"));
    connect(back, &QPushButton::clicked, this, [this] { run([this] { wizard_.sourcePage().btnZurueck2Click(); }); });
    connect(next, &QPushButton::clicked, this, [this] { run([this] { wizard_.sourcePage().btnWeiter2Click(); }); });
    PageControl1->addWidget(ImportSeite2);
}

void TfrmImport1::buildPage3() {
    ImportSeite3 = named(new QWidget, "ImportSeite3");
    auto* v = new QVBoxLayout(ImportSeite3);
    v->addWidget(new QLabel(QStringLiteral("In welche Zieldatei sollen die Daten übertragen werden?")));
    comZiel = presetCombo("comZiel");
    edtZiel = named(new QLineEdit, "edtZiel");
    v->addWidget(comZiel);
    v->addWidget(edtZiel);
    connect(comZiel, &QComboBox::activated, this, [this](int index) {
        const QString item = comZiel->itemText(index);
        run([this, item] { wizard_.targetPage().comZielSelect(ss(item)); });
    });
    auto* row = new QHBoxLayout;
    btnZBrowse = named(new QPushButton(QStringLiteral("&Durchsuchen")), "btnZBrowse");
    btnInhaltAnz3 = named(new QPushButton(QStringLiteral("&Inhalt ansehen")), "btnInhaltAnz3");
    btnSicherungskopie = named(new QPushButton(QStringLiteral("&Sicherungskopie anlegen")), "btnSicherungskopie");
    for (QPushButton* b : {btnZBrowse, btnInhaltAnz3, btnSicherungskopie}) row->addWidget(b);
    row->addStretch();
    v->addLayout(row);
    connect(btnZBrowse, &QPushButton::clicked, this, [this] { run([this] { wizard_.targetPage().btnZBrowseClick(); }); });
    connect(btnInhaltAnz3, &QPushButton::clicked, this, [this] { run([this] { wizard_.contentViewer().btnInhaltAnzClick(3); }); });
    connect(btnSicherungskopie, &QPushButton::clicked, this,
            [this] { run([this] { wizard_.targetPage().btnSicherungskopieClick(); }); });
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
    connect(cbxZielLeeren, &QCheckBox::toggled, this,
            [this](bool on) { run([this, on] { wizard_.state().cbxZielLeeren.checked = on; }); });
    v->addStretch();
    QPushButton *back = nullptr, *next = nullptr;
    v->addWidget(navigationRow(3, &back, &next));
    installInfoButton(ImportSeite3, QStringLiteral("btnInfo3"));
    connect(back, &QPushButton::clicked, this, [this] { run([this] { wizard_.targetPage().btnZurueck3Click(); }); });
    connect(next, &QPushButton::clicked, this, [this] { run([this] { wizard_.targetPage().btnWeiter3Click(); }); });
    PageControl1->addWidget(ImportSeite3);
}

// The name the user typed, from the field that is shown.
void TfrmImport1::pullFileNames() {
    WizardState& s = wizard_.state();
    s.edtQuelle = ss(s.presetChoicesVisible ? comQuelle->currentText() : edtQuelle->text());
    s.edtZiel = ss(s.presetChoicesVisible ? comZiel->currentText() : edtZiel->text());
}

void TfrmImport1::applyFilePages() {
    const WizardState& s = wizard_.state();
    edtQuelle->setText(qs(s.edtQuelle));
    edtZiel->setText(qs(s.edtZiel));
    if (comQuelle->currentText() != qs(s.edtQuelle)) comQuelle->setEditText(qs(s.edtQuelle));
    if (comZiel->currentText() != qs(s.edtZiel)) comZiel->setEditText(qs(s.edtZiel));
    comQuelle->setVisible(s.presetChoicesVisible);
    comZiel->setVisible(s.presetChoicesVisible);
    edtQuelle->setVisible(!s.presetChoicesVisible);
    edtZiel->setVisible(!s.presetChoicesVisible);
    btnInhaltAnz2->setEnabled(wizard_.contentViewer().buttonEnabled(2));
    btnInhaltAnz3->setEnabled(wizard_.contentViewer().buttonEnabled(3));
    btnSicherungskopie->setVisible(s.btnSicherungskopie.visible);
    applyToggle(cbxSicherungskopie, s.cbxSicherungskopie);
    applyToggle(cbxZielLeeren, s.cbxZielLeeren);
    QFont font = lblZielLeeren->font();
    font.setBold(s.cbxZielLeeren.checked);
    lblZielLeeren->setFont(font);
}

}  // namespace kimport
