#include "settings/TfrmCopyFehler.h"

#include "qtshared/QtWidgetHelpers.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kimport {

TfrmCopyFehler::TfrmCopyFehler(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmCopyFehler"));
    setWindowTitle(QStringLiteral("Zusammenfassung Importeinstellung einlesen"));
    auto* v = new QVBoxLayout(this);
    memFehler = named(new QPlainTextEdit, "memFehler");
    memFehler->setReadOnly(true);
    memFehler->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    v->addWidget(memFehler);
    auto* close = named(new QPushButton(QStringLiteral("&Schließen")), "btnSchliessen");
    v->addWidget(close, 0, Qt::AlignRight);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    resize(520, 300);
}

void TfrmCopyFehler::showEntries(const std::string& entries) {
    memFehler->setPlainText(
        qsLines("Beim Einlesen vordefinierter Importeinstellungen sind folgende Fehler aufgetreten:\r\n\r\n" + entries));
    exec();
    memFehler->clear();
}

}  // namespace kimport
