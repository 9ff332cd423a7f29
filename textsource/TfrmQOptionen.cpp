#include "textsource/TfrmQOptionen.h"

#include "qtshared/QtWidgetHelpers.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kimport {

namespace {
QLineEdit* oneCharacter(const char* name) {
    auto* e = new QLineEdit;
    e->setObjectName(QString::fromLatin1(name));
    e->setMaxLength(1);
    e->setFixedWidth(40);
    return e;
}
}  // namespace

TfrmQOptionen::TfrmQOptionen(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmQOptionen"));
    setWindowTitle(QStringLiteral("Allgemeine Einstellungen"));
    setModal(false);
    // No buttons in the title bar: "&OK" closes the window.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    auto* v = new QVBoxLayout(this);
    cbxDosToWin = new QCheckBox(QStringLiteral("Umlaute/Sonderzeichen von DOS nach Windows konvertieren"));
    cbxDosToWin->setObjectName(QStringLiteral("cbxDosToWin"));
    v->addWidget(cbxDosToWin);
    auto* f = new QFormLayout;
    edtDecimal = oneCharacter("edtDecimal");
    edtTausend = oneCharacter("edtTausend");
    edtTime = oneCharacter("edtTime");
    edtDate = oneCharacter("edtDate");
    comTMJ = new QComboBox;
    comTMJ->setObjectName(QStringLiteral("comTMJ"));
    comTMJ->setEditable(true);
    for (const std::string& item : tmjItems()) comTMJ->addItem(qs(item));
    f->addRow(QStringLiteral("Dezimaltrennzeichen"), edtDecimal);
    f->addRow(QStringLiteral("Tausendertrennzeichen"), edtTausend);
    f->addRow(QStringLiteral("Uhrzeittrennzeichen"), edtTime);
    f->addRow(QStringLiteral("Datumstrennzeichen"), edtDate);
    f->addRow(QStringLiteral("Tag/Monat/Jahr"), comTMJ);
    v->addLayout(f);
    auto* buttons = new QHBoxLayout;
    auto* ok = new QPushButton(QStringLiteral("&OK"));
    ok->setObjectName(QStringLiteral("btnOK"));
    auto* help = new QPushButton(QStringLiteral("&Hilfe"));
    help->setObjectName(QStringLiteral("btnHilfe"));
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(help);
    v->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &QDialog::close);
    connect(help, &QPushButton::clicked, this, [this] { emit helpRequested(kOptionsHelpContext); });
}

void TfrmQOptionen::showForm(const TextOptionsForm& form) {
    cbxDosToWin->setChecked(form.cbxDosToWin);
    edtDecimal->setText(qs(form.edtDecimal));
    edtTausend->setText(qs(form.edtTausend));
    edtTime->setText(qs(form.edtTime));
    edtDate->setText(qs(form.edtDate));
    comTMJ->setCurrentText(qs(form.comTMJ));
    show();
    raise();
    activateWindow();
}

TextOptionsForm TfrmQOptionen::form() const {
    TextOptionsForm f;
    f.cbxDosToWin = cbxDosToWin->isChecked();
    f.edtDecimal = edtDecimal->text().toStdString();
    f.edtTausend = edtTausend->text().toStdString();
    f.edtTime = edtTime->text().toStdString();
    f.edtDate = edtDate->text().toStdString();
    f.comTMJ = comTMJ->currentText().toStdString();
    return f;
}

void TfrmQOptionen::setLookOnly(bool lookOnly) {
    lookOnly_ = lookOnly;
    for (QWidget* w : findChildren<QWidget*>())
        if (qobject_cast<QLineEdit*>(w) || qobject_cast<QCheckBox*>(w) || qobject_cast<QComboBox*>(w)) w->setEnabled(!lookOnly);
}

void TfrmQOptionen::closeEvent(QCloseEvent* event) {
    QDialog::closeEvent(event);
    if (lookOnly_) {
        setLookOnly(false);  // only looked at: nothing to hand over
        return;
    }
    emit closedWithForm();
}

void TfrmQOptionen::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1) {
        emit helpRequested(kOptionsHelpContext);
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace kimport
