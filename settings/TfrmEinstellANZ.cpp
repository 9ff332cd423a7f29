#include "settings/TfrmEinstellANZ.h"

#include "settings/SettingsCatalog.h"
#include "tablestore/ValueConversion.h"
#include "qtshared/QtWidgetHelpers.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kimport {

namespace {
constexpr int kHelpContext = 14;
}  // namespace

TfrmEinstellANZ::TfrmEinstellANZ(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmEinstellANZ"));
    setWindowTitle(QStringLiteral("Vorhandene Importeinstellung ohne Änderung übernehmen"));
    auto* v = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    lblBezeichnung = named(new QLabel, "lblBezeichnung");
    lblQuelldatei = named(new QLabel, "lblQuelldatei");
    lblZieldatei = named(new QLabel, "lblZieldatei");
    lblLetzterImport = named(new QLabel, "lblLetzterImport");
    lblBasisname = named(new QLabel, "lblBasisname");
    memBemerkung = named(new QPlainTextEdit, "memBemerkung");
    memBemerkung->setMaximumHeight(80);
    for (QLabel* l : {lblQuelldatei, lblZieldatei}) l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form->addRow(QStringLiteral("Bezeichnung"), lblBezeichnung);
    form->addRow(QStringLiteral("Quelldatei"), lblQuelldatei);
    form->addRow(QStringLiteral("Zieldatei"), lblZieldatei);
    form->addRow(QStringLiteral("Letzter Import"), lblLetzterImport);
    form->addRow(QStringLiteral("Bemerkung"), memBemerkung);
    form->addRow(QStringLiteral("Basisname interner Dateien"), lblBasisname);
    v->addLayout(form);
    v->addWidget(new QLabel(QStringLiteral("Optionen Importlauf:")));
    for (int i = 0; i < 3; ++i) {
        lblOption[i] = named(new QLabel, i == 0 ? "lblOption1" : i == 1 ? "lblOption2" : "lblOption3");
        v->addWidget(lblOption[i]);
    }
    v->addStretch();
    auto* buttons = new QHBoxLayout;
    auto* options = named(new QPushButton(QStringLiteral("&Optionen")), "btnOptionen");
    auto* close = named(new QPushButton(QStringLiteral("&Schliessen")), "btnSchliessen");
    auto* help = named(new QPushButton(QStringLiteral("&Hilfe")), "btnHilfe");
    buttons->addStretch();
    for (QPushButton* b : {options, close, help}) buttons->addWidget(b);
    v->addLayout(buttons);
    connect(options, &QPushButton::clicked, this, &TfrmEinstellANZ::optionsRequested);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(help, &QPushButton::clicked, this, [this] { emit helpRequested(kHelpContext); });
    resize(560, 380);
}

std::string TfrmEinstellANZ::showSetting(const SavedSetting& s) {
    lblBezeichnung->setText(qs(s.name));
    lblQuelldatei->setText(qs(s.sourcePath));
    lblZieldatei->setText(qs(s.targetPath));
    lblLetzterImport->setText(s.lastImport ? qs(formatDate(*s.lastImport, FormatSettings::german())) : QString());
    lblBasisname->setText(qs(mappingBaseName(s)));
    memBemerkung->setPlainText(qs(s.remark));
    // The lines that apply, from the top: a line not shown leaves no gap.
    const std::vector<std::string> shown = summaryOptionLines(s);
    for (int i = 0; i < 3; ++i) {
        lblOption[i]->setVisible(i < static_cast<int>(shown.size()));
        lblOption[i]->setText(i < static_cast<int>(shown.size()) ? qsLines(shown[static_cast<std::size_t>(i)]) : QString());
    }
    exec();
    return ss(memBemerkung->toPlainText());
}

void TfrmEinstellANZ::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1) {
        emit helpRequested(kHelpContext);
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace kimport
