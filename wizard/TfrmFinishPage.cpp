// The main window's last page (6): the setting's name, the remark editor, the choice to see the
// tables after the run, and "Fertigstellen".
#include "wizard/TfrmImport1.h"

#include "qtshared/QtWidgetHelpers.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace kimport {

void TfrmImport1::buildPage6() {
    ImportSeite6 = named(new QWidget, "ImportSeite6");
    auto* outer = new QVBoxLayout(ImportSeite6);
    // While and after a run the page's content and its "Zurück" and "Fertigstellen" are disabled;
    // "Abbrechen" and "Hilfe" stay, so the user always has a way on.
    page6Content_ = new QWidget;
    auto* v = new QVBoxLayout(page6Content_);
    v->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(page6Content_, 1);
    lblImporteinst = named(new QLabel(QStringLiteral("Importeinstellungen speichern unter:")), "lblImporteinst");
    edtImpSpeich = named(new QLineEdit, "edtImpSpeich");
    v->addWidget(lblImporteinst);
    v->addWidget(edtImpSpeich);

    btnBemerkung = named(new QPushButton(QStringLiteral("&Bemerkung")), "btnBemerkung");
    btnBemerkung->setToolTip(
        QStringLiteral("Klicken Sie hier, wenn Sie der Importeinstellung einen Kommentar hinzufügen wollen."));
    lblBemerkung = named(new QLabel(QStringLiteral("&Bemerkung")), "lblBemerkung");
    edtBemerkung = named(new QPlainTextEdit, "edtBemerkung");
    edtBemerkung->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    lblBemerkung->setBuddy(edtBemerkung);
    btnBemerkSpeichern = named(new QPushButton(QStringLiteral("&Speichern")), "btnBemerkSpeichern");
    btnBemerkSpeichern->setToolTip(QStringLiteral("Bemerkung zur Importeinstellung speichern"));
    btnBemerkVerwerfen = named(new QPushButton(QStringLiteral("&Verwerfen")), "btnBemerkVerwerfen");
    btnBemerkVerwerfen->setToolTip(QStringLiteral("Bemerkung zur Importeinstellung verwerfen"));
    auto* row = new QHBoxLayout;
    row->addWidget(btnBemerkung);
    row->addWidget(lblBemerkung);
    row->addStretch();
    row->addWidget(btnBemerkSpeichern);
    row->addWidget(btnBemerkVerwerfen);
    v->addLayout(row);
    v->addWidget(edtBemerkung);
    connect(btnBemerkung, &QPushButton::clicked, this, [this] { run([this] { wizard_.finishPage().btnBemerkungClick(); }); });
    connect(btnBemerkSpeichern, &QPushButton::clicked, this,
            [this] { run([this] { wizard_.finishPage().btnBemerkSpeichernClick(); }); });
    connect(btnBemerkVerwerfen, &QPushButton::clicked, this,
            [this] { run([this] { wizard_.finishPage().btnBemerkVerwerfenClick(); }); });

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
    outer->addWidget(navigationRow(6, &back, &next, QStringLiteral("&Fertigstellen")));
    btnZurueck6_ = back;
    installInfoButton(ImportSeite6, QStringLiteral("btnInfo6"));
    btnFertigstellen = next;
    btnFertigstellen->setToolTip(QStringLiteral("Importlauf starten"));
    connect(back, &QPushButton::clicked, this, [this] { run([this] { wizard_.finishPage().btnZurueck6Click(); }); });
    connect(next, &QPushButton::clicked, this, [this] { run([this] { wizard_.finishPage().btnFertigstellenClick(); }); });
    PageControl1->addWidget(ImportSeite6);
}

void TfrmImport1::applyFinishPage() {
    const WizardState& s = wizard_.state();
    edtImpSpeich->setText(qs(s.edtImpSpeich));
    for (QWidget* w : std::initializer_list<QWidget*>{lblImporteinst, edtImpSpeich, btnBemerkung})
        w->setEnabled(s.saveControlsEnabled);
    // The remark lives in the memo until the setting is saved or the remark discarded.
    if (edtBemerkung->toPlainText() != qs(s.edtBemerkung)) edtBemerkung->setPlainText(qs(s.edtBemerkung));
    btnBemerkung->setVisible(!s.remarkEditorVisible);
    for (QWidget* w : std::initializer_list<QWidget*>{lblBemerkung, edtBemerkung, btnBemerkSpeichern,
                                                      btnBemerkVerwerfen})
        w->setVisible(s.remarkEditorVisible);
    applyToggle(rbtTabAnz, s.rbtTabAnz);
    applyToggle(rbtTabNichtAnz, s.rbtTabNichtAnz);
    for (QWidget* w : std::initializer_list<QWidget*>{page6Content_, btnZurueck6_, btnFertigstellen})
        w->setEnabled(s.page6Enabled);
}

}  // namespace kimport
