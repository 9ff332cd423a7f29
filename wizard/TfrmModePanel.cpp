#include "wizard/TfrmModePanel.h"

#include "qtshared/QtWidgetHelpers.h"

#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace kimport {

namespace {

QHBoxLayout* indented(QWidget* w, int by = 24) {
    auto* h = new QHBoxLayout;
    h->addSpacing(by);
    h->addWidget(w, 1);
    return h;
}

void applyButton(QRadioButton* b, const ModeButton& state) {
    QSignalBlocker block(b);
    b->setChecked(state.checked);
    b->setEnabled(state.enabled);
}

}  // namespace

TfrmModePanel::TfrmModePanel(ImportWizard& wizard, Runner run, QWidget* parent)
    : QWidget(parent), wizard_(wizard), run_(std::move(run)) {
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    auto* title = new QLabel(QStringLiteral("Daten anhängen oder aktualisieren?"));
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    v->addWidget(title);
    lblQuelldatei = named(new QLabel, "lblQuelldatei");
    auto* sourceRow = new QHBoxLayout;
    sourceRow->addWidget(new QLabel(QStringLiteral("Gewählte Quelldatei:")));
    sourceRow->addWidget(lblQuelldatei, 1);
    v->addLayout(sourceRow);
    v->addWidget(new QLabel(QStringLiteral("Was soll mit den einzulesenden Datensätzen geschehen?")));

    rbtEndeAnhaengen = named(new QRadioButton(QStringLiteral("An das &Ende anhängen")), "rbtEndeAnhaengen");
    lblEndeAnhaengen = named(new QLabel(QStringLiteral("Die Quelldatensätze werden an die Zieldatenbank angehängt, in\n"
                                                       "der Zieldatenbank evtl. vorhandene Daten bleiben unverändert.")),
                             "lblEndeAnhaengen");
    v->addWidget(rbtEndeAnhaengen);
    v->addLayout(indented(lblEndeAnhaengen));

    gbxImportmodus = named(new QGroupBox, "gbxImportmodus");
    auto* g = new QVBoxLayout(gbxImportmodus);
    rbtIgnorieren = named(new QRadioButton(QStringLiteral("Vorhandene Datensätze &ignorieren")), "rbtIgnorieren");
    rbtUmbenennen = named(new QRadioButton(QStringLiteral("Ein&lesen von Datensätzen, die bereits vorhanden sind")),
                          "rbtUmbenennen");
    rbtSelfInc = named(new QRadioButton(QStringLiteral("Schlüsselwerte &selbständig erhöhen")), "rbtSelfInc");
    for (QRadioButton* b : {rbtIgnorieren, rbtUmbenennen, rbtSelfInc}) g->addWidget(b);
    lblStartwert = named(new QLabel(QStringLiteral("&Startwert für das indizierte Tabellenfeld")), "lblStartwert");
    lblIndexfeld = named(new QLabel, "lblIndexfeld");
    edtStartwert = named(new QLineEdit, "edtStartwert");
    edtStartwert->setToolTip(QStringLiteral("Bitte geben Sie einen Startwert ein, ab dem die bereits\nvorhandenen "
                                            "Schlüsselwerte hochgezählt werden\nkönnen."));
    lblStartwert->setBuddy(edtStartwert);
    btnInhaltAnz5 = named(new QPushButton(QStringLiteral("---")), "btnInhaltAnz5");
    btnInhaltAnz5->setToolTip(QStringLiteral("Zieldatenbank anzeigen"));
    btnInhaltAnz5->setFixedWidth(30);
    auto* startRow = new QHBoxLayout;
    startRow->addWidget(lblStartwert);
    startRow->addWidget(lblIndexfeld);
    g->addLayout(startRow);
    auto* editRow = new QHBoxLayout;
    editRow->addWidget(edtStartwert, 1);
    editRow->addWidget(btnInhaltAnz5);
    g->addLayout(editRow);
    v->addLayout(indented(gbxImportmodus));

    rbtAktualisieren = named(new QRadioButton(QStringLiteral("A&ktualisieren der Zieldatenbank")), "rbtAktualisieren");
    lblAktualisieren = named(new QLabel(QStringLiteral("In der Zieldatenbank vorhandene Daten werden aktualisiert  "
                                                       "(z. B. Artikelpreise),\nnoch nicht vorhandene Datensätze werden "
                                                       "hinzugefügt.")),
                             "lblAktualisieren");
    lblAktNichtMoeglich = named(new QLabel(QStringLiteral("Sie haben die Einstellung \"Zieldatenbank vor dem Import "
                                                          "leeren\" gewählt.\nDie Option \"Zieldatenbank aktualisieren\" "
                                                          "ist deshalb nicht möglich.")),
                                "lblAktNichtMoeglich");
    v->addWidget(rbtAktualisieren);
    v->addLayout(indented(lblAktualisieren));
    v->addLayout(indented(lblAktNichtMoeglich));
    v->addStretch();

    // The page decides every button's state; Qt's own exclusivity would fight it.
    for (QRadioButton* b : {rbtEndeAnhaengen, rbtIgnorieren, rbtUmbenennen, rbtSelfInc, rbtAktualisieren})
        b->setAutoExclusive(false);
    connect(rbtEndeAnhaengen, &QRadioButton::clicked, this, [this] { run_([this] { wizard_.modePage().rbtEndeAnhaengenClick(); }); });
    connect(rbtAktualisieren, &QRadioButton::clicked, this, [this] { run_([this] { wizard_.modePage().rbtAktualisierenClick(); }); });
    connect(rbtIgnorieren, &QRadioButton::clicked, this, [this] { run_([this] { wizard_.modePage().rbtIgnorierenClick(); }); });
    connect(rbtUmbenennen, &QRadioButton::clicked, this, [this] { run_([this] { wizard_.modePage().rbtUmbenennenClick(); }); });
    connect(rbtSelfInc, &QRadioButton::clicked, this, [this] { run_([this] { wizard_.modePage().rbtSelfIncClick(); }); });
    connect(edtStartwert, &QLineEdit::textEdited, this,
            [this](const QString& text) { wizard_.state().mode.edtStartwert = ss(text); });
    edtStartwert->installEventFilter(this);
    connect(btnInhaltAnz5, &QPushButton::clicked, this, &TfrmModePanel::contentViewerRequested);
}

bool TfrmModePanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edtStartwert && event->type() == QEvent::FocusIn) {
        // Shown at once: a whole refresh while the focus moves could move it again.
        wizard_.modePage().edtStartwertEnter();
        btnInhaltAnz5->setVisible(wizard_.state().mode.btnInhaltAnz5Visible);
    }
    return QWidget::eventFilter(watched, event);
}

void TfrmModePanel::applyState() {
    const WizardState& s = wizard_.state();
    const ModePageState& m = s.mode;
    lblQuelldatei->setText(qs(s.lblQuelldatei));
    applyButton(rbtEndeAnhaengen, m.rbtEndeAnhaengen);
    applyButton(rbtIgnorieren, m.rbtIgnorieren);
    applyButton(rbtUmbenennen, m.rbtUmbenennen);
    applyButton(rbtSelfInc, m.rbtSelfInc);
    applyButton(rbtAktualisieren, m.rbtAktualisieren);
    lblEndeAnhaengen->setEnabled(m.lblEndeAnhaengenEnabled);
    gbxImportmodus->setVisible(m.gbxImportmodusVisible);
    lblStartwert->setEnabled(m.startValueEnabled);
    edtStartwert->setEnabled(m.startValueEnabled);
    lblIndexfeld->setText(qs(m.lblIndexfeld));
    lblIndexfeld->setVisible(!m.lblIndexfeld.empty());
    if (edtStartwert->text() != qs(m.edtStartwert)) edtStartwert->setText(qs(m.edtStartwert));
    // The button opens the content viewer: without one it is not shown.
    btnInhaltAnz5->setVisible(m.btnInhaltAnz5Visible);
    btnInhaltAnz5->setEnabled(wizard_.contentViewer().buttonEnabled(5));
    lblAktualisieren->setVisible(m.updatePossible);
    lblAktualisieren->setEnabled(m.lblAktualisierenEnabled);
    lblAktNichtMoeglich->setVisible(!m.updatePossible);
    if (s.focusControl == "edtStartwert") edtStartwert->setFocus();
}

}  // namespace kimport
