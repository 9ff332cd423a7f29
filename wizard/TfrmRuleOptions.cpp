#include "wizard/TfrmRuleOptions.h"

#include "qtshared/QtWidgetHelpers.h"

#include <QApplication>
#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace kimport {

namespace {

const char* const kUpdateCaption = "Zielfeld aktualisieren, wenn Datensatz bereits vorhanden ist";
const char* const kNumberFormula = "Formel  (z. B. #Feld1 * 1.16  oder   #Feld3 * #Feld4):";
const char* const kRoundingHint = "Sie können auf bis zu 9 Stellen hinter dem Komma runden.";
const char* const kMemoHint = "Sie können sich per Doppelklick mit der linken Maustaste einen Formeleditor aufrufen";

// A row of widgets, packed to the left.
QHBoxLayout* row(std::initializer_list<QWidget*> widgets) {
    auto* h = new QHBoxLayout;
    for (QWidget* w : widgets) h->addWidget(w);
    h->addStretch();
    return h;
}

}  // namespace

TfrmRuleOptions::TfrmRuleOptions(QWidget* parent) : QStackedWidget(parent) {
    setObjectName(QStringLiteral("tpcOptionen"));
    addWidget(buildNumberPage("String_Zahl", "SZ", "cbxSZ_FAkt"));
    addWidget(buildZahlString());
    addWidget(buildStringString());
    addWidget(buildNumberPage("Zahl_Zahl", "ZZ", "cbxZZ_Akt"));
    hide();
}

QSize TfrmRuleOptions::sizeHint() const {
    return currentWidget() ? currentWidget()->sizeHint() : QStackedWidget::sizeHint();
}

QSize TfrmRuleOptions::minimumSizeHint() const {
    return currentWidget() ? currentWidget()->minimumSizeHint() : QStackedWidget::minimumSizeHint();
}

QWidget* TfrmRuleOptions::check(const char* name, const QString& caption) {
    auto* box = named(new QCheckBox(caption), name);
    connect(box, &QCheckBox::clicked, this, [this, name](bool on) {
        if (!applying_) emit clicked(name, on);
    });
    return box;
}

bool TfrmRuleOptions::isCutOutEdit(const QLineEdit* e) {
    return e->objectName().startsWith(QStringLiteral("edtSS_Ausschnitt"));
}

QWidget* TfrmRuleOptions::edit(const char* name, int maxLength) {
    auto* e = named(new QLineEdit, name);
    // Fixed widths keep the pages narrow enough for the wizard window.
    e->setFixedWidth(maxLength > 0 ? 30 : 110);
    if (maxLength > 0) e->setMaxLength(maxLength);
    connect(e, &QLineEdit::editingFinished, this, [this, e, name] {
        if (applying_) return;
        // The cut-out positions are taken on leaving by the event filter, which sees the focus go first.
        if (isCutOutEdit(e) && !e->hasFocus()) return;
        e->setModified(false);
        emit edited(name, ss(e->text()));
        emit left(name);
    });
    // Leaving checks the cut-out positions even when the text did not change.
    e->installEventFilter(this);
    return e;
}

QWidget* TfrmRuleOptions::memo(const char* name, bool textFormula) {
    auto* m = named(new QPlainTextEdit, name);
    m->setToolTip(QString::fromUtf8(kMemoHint));
    m->setProperty("textFormula", textFormula);
    m->setMaximumHeight(60);
    m->installEventFilter(this);
    m->viewport()->installEventFilter(this);
    return m;
}

QWidget* TfrmRuleOptions::zoom(const char* name, bool textFormula) {
    auto* b = named(new QPushButton(QStringLiteral("&O")), name);
    b->setFixedWidth(30);
    connect(b, &QPushButton::clicked, this, [this, textFormula] { emit zoomRequested(textFormula); });
    return b;
}

QLabel* TfrmRuleOptions::label(const char* name, const QString& text) { return named(new QLabel(text), name); }

QLabel* TfrmRuleOptions::pageLabel(const char* name) {
    QLabel* l = label(name, {});
    QFont bold = l->font();
    bold.setBold(true);
    l->setFont(bold);
    return l;
}

QWidget* TfrmRuleOptions::updateBox(const char* name) { return check(name, QString::fromUtf8(kUpdateCaption)); }

bool TfrmRuleOptions::eventFilter(QObject* watched, QEvent* event) {
    // The memos: their text goes to the rule when they lose the focus; a double click opens the editor.
    // A cut-out position: what was typed is taken before the leaving is checked, since that check
    // shows the rule again, and the edit with it.
    if (auto* e = qobject_cast<QLineEdit*>(watched); e && event->type() == QEvent::FocusOut && !applying_ && isCutOutEdit(e)) {
        const std::string name = ss(e->objectName());
        if (e->isModified()) {
            e->setModified(false);
            emit edited(name, ss(e->text()));
        }
        emit left(name);
    }
    auto* memoWidget = qobject_cast<QPlainTextEdit*>(watched);
    if (!memoWidget && watched->parent()) memoWidget = qobject_cast<QPlainTextEdit*>(watched->parent());
    if (memoWidget && !applying_) {
        if (event->type() == QEvent::FocusOut && watched == memoWidget)
            emit edited(ss(memoWidget->objectName()), ss(memoWidget->toPlainText()));
        if (event->type() == QEvent::MouseButtonDblClick && memoWidget->isEnabled()) {
            emit edited(ss(memoWidget->objectName()), ss(memoWidget->toPlainText()));
            emit zoomRequested(memoWidget->property("textFormula").toBool());
            return true;
        }
    }
    return QStackedWidget::eventFilter(watched, event);
}

std::optional<std::pair<std::string, std::string>> TfrmRuleOptions::focusedEdit() const {
    QWidget* focused = QApplication::focusWidget();
    if (!focused || !isAncestorOf(focused) || applying_) return std::nullopt;
    if (auto* e = qobject_cast<QLineEdit*>(focused)) return std::make_pair(ss(e->objectName()), ss(e->text()));
    if (auto* m = qobject_cast<QPlainTextEdit*>(focused)) return std::make_pair(ss(m->objectName()), ss(m->toPlainText()));
    return std::nullopt;
}

// String_Zahl and Zahl_Zahl have the same controls; only their names' infix (SZ, ZZ) differs.
QWidget* TfrmRuleOptions::buildNumberPage(const char* pageName, const char* p, const char* updateName) {
    // The control names live as long as the widgets: they are kept in the page's own strings.
    auto name = [this, p](const char* prefix, const char* rest) {
        names_.push_back(std::string(prefix) + p + "_" + rest);
        return names_.back().c_str();
    };
    auto* page = named(new QWidget, pageName);
    auto* v = new QVBoxLayout(page);
    v->addWidget(pageLabel(name("lbl", "Optionen")));
    v->addLayout(row({check(name("cbx", "Div"), QStringLiteral("Dividieren durch:")), edit(name("edt", "DivWert"))}));
    v->addLayout(row({check(name("cbx", "Mul"), QStringLiteral("Multiplizieren mit:")), edit(name("edt", "MulWert"))}));
    v->addLayout(row({check(name("cbx", "Vorgabe"), QStringLiteral("Vorgabewert setzen:")),
                      edit(name("edt", "Vorgabe_Wert")), label(name("lbl", "Vorgabe"), QStringLiteral("falls Quellwert")),
                      check(name("cbx", "Vorgabe_Gleich"), "="), check(name("cbx", "Vorgabe_Kleiner"), "<"),
                      check(name("cbx", "Vorgabe_Groesser"), ">"), edit(name("edt", "Vorgabe_Quelltxt"))}));
    v->addLayout(row({check(name("cbx", "Formel"), QString::fromUtf8(kNumberFormula)), zoom(name("btn", "Zoom"), false)}));
    v->addWidget(memo(name("mem", "Formel"), false));
    QWidget* rounding = edit(name("edt", "Runden"), 1);
    rounding->setToolTip(QString::fromUtf8(kRoundingHint));
    v->addLayout(row({check(name("cbx", "Runden"), QStringLiteral("Runden auf ")), rounding,
                      label(name("lbl", "Stellen"), QStringLiteral("Stellen"))}));
    v->addWidget(updateBox(updateName));
    v->addStretch();
    return page;
}

QWidget* TfrmRuleOptions::buildZahlString() {
    auto* page = named(new QWidget, "Zahl_String");
    auto* v = new QVBoxLayout(page);
    v->addWidget(pageLabel("lblZS_Optionen"));
    v->addLayout(row({new QLabel(QStringLiteral("Ausrichtung:")), check("cbxZS_Ausrichtung_li", QStringLiteral("links")),
                      check("cbxZS_Ausrichtung_re", QStringLiteral("rechts"))}));
    v->addLayout(row({new QLabel(QStringLiteral("Bei Überlänge:")), check("cbxZS_Abschneiden", QStringLiteral("abschneiden")),
                      check("cbxZS_Abschneiden_li", QStringLiteral("links")),
                      check("cbxZS_Abschneiden_re", QStringLiteral("rechts")),
                      check("cbxZS_UEVorgabe", QStringLiteral("Vorgabewert setzen"))}));
    v->addLayout(row({check("cbxZS_Vorgabe", QStringLiteral("Vorgabewert setzen")),
                      label("lblZS_Vorgabe", QStringLiteral("falls Quellwert:")), check("cbxZS_Vorgabe_Gleich", "="),
                      check("cbxZS_Vorgabe_Kleiner", "<"), check("cbxZS_Vorgabe_Groesser", ">"),
                      edit("edtZS_Vorgabe_Quelltxt")}));
    v->addLayout(row({label("lblZS_Vorgabewert", QStringLiteral("Vorgabewert:")), edit("edtZS_Vorgabe_Wert")}));
    v->addLayout(row({check("cbxZS_Div", QStringLiteral("Dividieren durch:")), edit("edtZS_DivWert")}));
    v->addLayout(row({check("cbxZS_Mul", QStringLiteral("Multiplizieren mit:")), edit("edtZS_MulWert")}));
    v->addWidget(updateBox("cbxZS_FAkt"));
    v->addStretch();
    return page;
}

QWidget* TfrmRuleOptions::buildStringString() {
    auto* page = named(new QWidget, "String_String");
    auto* v = new QVBoxLayout(page);
    v->addWidget(pageLabel("lblSS_Optionen"));
    v->addLayout(row({new QLabel(QStringLiteral("Bei numerischen Werten,  Ausrichtung:")),
                      check("cbxSS_Ausrichtung_li", QStringLiteral("links")),
                      check("cbxSS_Ausrichtung_re", QStringLiteral("rechts"))}));
    v->addLayout(row({label("lblBeiUeberlaenge", QStringLiteral("Bei Überlänge:")),
                      check("cbxSS_Abschneiden", QStringLiteral("abschneiden")),
                      check("cbxSS_Abschneiden_li", QStringLiteral("links")),
                      check("cbxSS_Abschneiden_re", QStringLiteral("rechts")),
                      check("cbxSS_UEVorgabe", QStringLiteral("Vorgabewert setzen"))}));
    v->addLayout(row({check("cbxSS_Vorgabe", QStringLiteral("Vorgabewert setzen:")),
                      label("lblSS_Vorgabe", QStringLiteral("falls Quellwert:")), check("cbxSS_Vorgabe_Gleich", "="),
                      edit("edtSS_Vorgabe_Quelltxt"), check("cbxSS_Vorgabe_Leer", QStringLiteral("leer"))}));
    v->addLayout(row({label("lblSS_Vorgabewert", QStringLiteral("Vorgabewert:")), edit("edtSS_Vorgabe_Wert")}));
    QWidget* from = edit("edtSS_AusschnittBegString");
    QWidget* to = edit("edtSS_AusschnittEndString");
    from->setFixedWidth(50);
    to->setFixedWidth(50);
    v->addLayout(row({check("cbxSS_Ausschnitt", QStringLiteral("String nur von Stelle ")), from,
                      label("lblSS_Bis", QStringLiteral("bis")), to,
                      label("lblSS_Uebernehmen", QStringLiteral("übernehmen."))}));
    v->addLayout(row({check("cbxSS_Formel", QStringLiteral("Formel  (z.B. \"Sehr geehrter \" + #Feld2 + \" \" + #Feld3):")),
                      zoom("btnSS_Zoom", true)}));
    v->addWidget(memo("memSS_Formel", true));
    v->addWidget(updateBox("cbxSS_FAkt"));
    v->addStretch();
    return page;
}

void TfrmRuleOptions::applyView(const RuleOptionsView& view) {
    applying_ = true;
    setVisible(view.panelVisible && view.page != OptionsPage::None);
    if (view.page != OptionsPage::None) {
        QWidget* page = findChild<QWidget*>(QString::fromLatin1(optionsPageName(view.page)));
        setCurrentWidget(page);
        updateGeometry();
        for (QLabel* l : page->findChildren<QLabel*>())
            if (l->objectName().endsWith(QStringLiteral("_Optionen"))) l->setText(qs(view.label));
        for (const auto& [name, control] : view.controls) {
            QWidget* w = page->findChild<QWidget*>(qs(name));
            if (!w) continue;
            w->setEnabled(control.enabled);
            if (auto* box = qobject_cast<QCheckBox*>(w)) {
                QSignalBlocker block(box);
                box->setChecked(control.checked);
            }
        }
        for (const auto& [name, text] : view.texts) {
            if (auto* e = page->findChild<QLineEdit*>(qs(name)); e && e->text() != qs(text)) e->setText(qs(text));
            if (auto* m = page->findChild<QPlainTextEdit*>(qs(name)); m && m->toPlainText() != qs(text))
                m->setPlainText(qs(text));
        }
        for (const char* name : {"edtSS_Vorgabe_Wert", "edtZS_Vorgabe_Wert"})
            if (auto* e = page->findChild<QLineEdit*>(QString::fromLatin1(name)))
                e->setMaxLength(view.defaultMaxLength > 0 ? view.defaultMaxLength : 32767);
    }
    applying_ = false;
}

}  // namespace kimport
