#include "wizard/TfrmTextVariabel.h"

#include "qtshared/QtWidgetHelpers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace kimport {

TfrmTextVariabel::TfrmTextVariabel(WizardState& state, QWidget* parent) : QWidget(parent), state_(state) {
    setObjectName(QStringLiteral("TXTVariabel"));
    auto* v = new QVBoxLayout(this);
    stgQuellDatVar = named(new QTableWidget, "stgQuellDatVar");
    stgQuellDatVar->setEditTriggers(QAbstractItemView::NoEditTriggers);
    stgQuellDatVar->verticalHeader()->hide();
    auto* lblVorschau = new QLabel(QStringLiteral("&Vorschau"));
    lblVorschau->setBuddy(stgQuellDatVar);
    v->addWidget(lblVorschau);
    v->addWidget(stgQuellDatVar, 1);
    lblVorschauVorber = named(new QLabel(QStringLiteral("\n\n\nVorschau wird bearbeitet...")), "lblVorschauVorber");
    lblVorschauVorber->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    lblVorschauVorber->hide();
    v->addWidget(lblVorschauVorber, 1);

    auto* row = new QHBoxLayout;
    auto* gbxSeparator = named(new QGroupBox(QStringLiteral("Feldtrennzeichen")), "gbxSeparator");
    auto* sv = new QHBoxLayout(gbxSeparator);
    cbxSemic = named(new QCheckBox(QStringLiteral("&Semikolon")), "cbxSemic");
    cbxKomma = named(new QCheckBox(QStringLiteral("&Komma")), "cbxKomma");
    cbxTab = named(new QCheckBox(QStringLiteral("&Tabulator")), "cbxTab");
    cbxSpace = named(new QCheckBox(QStringLiteral("&Leerzeichen")), "cbxSpace");
    cbxAndere = named(new QCheckBox(QStringLiteral("&Andere")), "cbxAndere");
    edtAndere = named(new QLineEdit, "edtAndere");
    edtAndere->setMaxLength(1);
    edtAndere->setFixedWidth(30);
    for (QWidget* w : std::initializer_list<QWidget*>{cbxSemic, cbxKomma, cbxTab, cbxSpace, cbxAndere, edtAndere})
        sv->addWidget(w);
    row->addWidget(gbxSeparator);
    auto* gbxDelimiter = named(new QGroupBox, "gbxDelimiter");
    auto* dv = new QHBoxLayout(gbxDelimiter);
    dv->addWidget(new QLabel(QStringLiteral("Bitte wählen Sie das Zeichen, mit dem die Zeichenketten\nder zu "
                                            "importierenden Textdatei begrenzt werden.")));
    comDelimiter = named(new QComboBox, "comDelimiter");
    comDelimiter->addItems({QStringLiteral("(keine)"), QStringLiteral("\""), QStringLiteral("'")});
    dv->addWidget(comDelimiter);
    row->addWidget(gbxDelimiter);
    v->addLayout(row);
    auto* gbxErsteZeile = named(new QGroupBox, "gbxErsteZeile");
    auto* ev = new QHBoxLayout(gbxErsteZeile);
    cbxErsteZeile = named(new QCheckBox(QStringLiteral("Erste Zeile enthält Feldnamen")), "cbxErsteZeile");
    ev->addWidget(cbxErsteZeile);
    v->addWidget(gbxErsteZeile);
    auto* gbxRenameCols = named(new QGroupBox(QStringLiteral("Spalten umbenennen")), "gbxRenameCols");
    auto* rv = new QHBoxLayout(gbxRenameCols);
    edtRenCols = named(new QLineEdit, "edtRenCols");
    edtRenCols->setMaxLength(25);
    btnErste = named(new QPushButton(QStringLiteral("|\u00AB")), "btnErste");
    btnLinks = named(new QPushButton(QStringLiteral("\u00AB")), "btnLinks");
    btnRechts = named(new QPushButton(QStringLiteral("\u00BB")), "btnRechts");
    btnLetzte = named(new QPushButton(QStringLiteral("\u00BB|")), "btnLetzte");
    btnErste->setToolTip(QStringLiteral("Erste Spalte"));
    btnLinks->setToolTip(QStringLiteral("Vorherige Spalte"));
    btnRechts->setToolTip(QStringLiteral("Nächste Spalte"));
    btnLetzte->setToolTip(QStringLiteral("Letzte Spalte"));
    rv->addWidget(btnErste);
    rv->addWidget(btnLinks);
    rv->addWidget(edtRenCols, 1);
    rv->addWidget(btnRechts);
    rv->addWidget(btnLetzte);
    v->addWidget(gbxRenameCols);
    auto* panHint = named(new QLabel(QStringLiteral("Sie können nun den Spalten sinnvolle Bezeichnungen geben,\n"
                                                    "wodurch die Feldzuordnung (im nächsten Schritt) erleichtert wird.")),
                          "panHint");
    v->addWidget(panHint);
    connect(edtRenCols, &QLineEdit::textEdited, this, [this](const QString& t) { state_.edtRenCols = t.toStdString(); });
    connect(stgQuellDatVar, &QTableWidget::cellClicked, this, [this](int, int column) { emit columnClicked(column); });

    for (QCheckBox* c : {cbxSemic, cbxKomma, cbxTab, cbxSpace, cbxAndere, cbxErsteZeile})
        connect(c, &QCheckBox::toggled, this, [this] { pull(); });
    connect(edtAndere, &QLineEdit::textEdited, this, [this] { pull(); });
    connect(comDelimiter, &QComboBox::currentIndexChanged, this, [this] { pull(); });
}

void TfrmTextVariabel::pull() {
    if (applying_) return;
    TextLayout& l = state_.textLayout;
    l.semicolon = cbxSemic->isChecked();
    l.comma = cbxKomma->isChecked();
    l.tab = cbxTab->isChecked();
    l.space = cbxSpace->isChecked();
    l.other = cbxAndere->isChecked();
    l.otherChar = edtAndere->text().toStdString();
    l.quoteIndex = comDelimiter->currentIndex();
    l.namesInFirstLine = cbxErsteZeile->isChecked();
    emit layoutEdited();
}

void TfrmTextVariabel::applyState() {
    applying_ = true;
    const TextLayout& l = state_.textLayout;
    cbxSemic->setChecked(l.semicolon);
    cbxKomma->setChecked(l.comma);
    cbxTab->setChecked(l.tab);
    cbxSpace->setChecked(l.space);
    cbxAndere->setChecked(l.other);
    if (edtAndere->text() != qs(l.otherChar)) edtAndere->setText(qs(l.otherChar));
    comDelimiter->setCurrentIndex(l.quoteIndex);
    cbxErsteZeile->setChecked(l.namesInFirstLine);
    // The separators only matter for the variable layout.
    const bool variable = state_.rgrDatsatzlaenge == 0;
    findChild<QGroupBox*>(QStringLiteral("gbxSeparator"))->setVisible(variable);
    findChild<QGroupBox*>(QStringLiteral("gbxDelimiter"))->setVisible(variable);
    findChild<QLabel*>(QStringLiteral("panHint"))->setVisible(!variable);

    const TextPreview& p = state_.textPreview;
    stgQuellDatVar->clear();
    stgQuellDatVar->setColumnCount(static_cast<int>(p.names.size()));
    stgQuellDatVar->setRowCount(static_cast<int>(p.rows.size()));
    QStringList headers;
    for (const std::string& n : p.names) headers << qs(n);
    stgQuellDatVar->setHorizontalHeaderLabels(headers);
    for (std::size_t r = 0; r < p.rows.size(); ++r)
        for (std::size_t c = 0; c < p.rows[r].size() && c < p.names.size(); ++c)
            stgQuellDatVar->setItem(static_cast<int>(r), static_cast<int>(c), new QTableWidgetItem(qs(p.rows[r][c])));
    stgQuellDatVar->resizeColumnsToContents();
    // The column being renamed: its values selected, its name in the edit, the buttons by its place.
    const int current = state_.renameColumn, last = static_cast<int>(p.names.size()) - 1;
    if (edtRenCols->text() != qs(state_.edtRenCols)) edtRenCols->setText(qs(state_.edtRenCols));
    btnErste->setEnabled(current > 0);
    btnLinks->setEnabled(current > 0);
    btnRechts->setEnabled(current < last);
    btnLetzte->setEnabled(current < last);
    if (current <= last && !p.rows.empty())
        stgQuellDatVar->setRangeSelected(
            QTableWidgetSelectionRange(0, current, static_cast<int>(p.rows.size()) - 1, current), true);
    stgQuellDatVar->show();
    lblVorschauVorber->hide();
    // After a refused name the user types it again.
    if (state_.focusControl == "edtRenCols") {
        edtRenCols->setFocus();
        edtRenCols->selectAll();
    }
    applying_ = false;
}

void TfrmTextVariabel::previewBusy() {
    stgQuellDatVar->hide();
    lblVorschauVorber->show();
    lblVorschauVorber->repaint();  // seen before the preview is read, not after
}

}  // namespace kimport
