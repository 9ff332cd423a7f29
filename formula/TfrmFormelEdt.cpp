#include "formula/TfrmFormelEdt.h"

#include "formula/TParser.h"
#include "qtshared/QtWidgetHelpers.h"

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>

namespace kimport {

namespace {

const QString kVorschau = QStringLiteral("&Vorschau");

constexpr int kMargin = 8;
constexpr int kButtonHeight = 25;

}  // namespace

TfrmFormelEdt::TfrmFormelEdt(TParser& parser, Prompter& prompter, QWidget* parent)
    : QDialog(parent), parser_(parser), prompter_(prompter) {
    setObjectName(QStringLiteral("frmFormelEdt"));
    setWindowTitle(QStringLiteral("Formeleditor"));
    setModal(false);

    memFormel = new QPlainTextEdit(this);
    memFormel->setObjectName(QStringLiteral("memFormel"));
    connect(memFormel, &QPlainTextEdit::textChanged, this, &TfrmFormelEdt::memFormelChange);

    memVorschau = new QPlainTextEdit(this);
    memVorschau->setObjectName(QStringLiteral("memVorschau"));
    memVorschau->setReadOnly(true);
    memVorschau->hide();

    btnOK = new QPushButton(QStringLiteral("&OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    connect(btnOK, &QPushButton::clicked, this, &QDialog::hide);

    btnVorschau = new QPushButton(kVorschau, this);
    btnVorschau->setObjectName(QStringLiteral("btnVorschau"));
    btnVorschau->setAutoDefault(false);
    connect(btnVorschau, &QPushButton::clicked, this, &TfrmFormelEdt::btnVorschauClick);

    btnHilfe = new QPushButton(QStringLiteral("&Hilfe"), this);
    btnHilfe->setObjectName(QStringLiteral("btnHilfe"));
    btnHilfe->setAutoDefault(false);
    btnHilfe->setProperty("helpContext", kHelpContext);
    connect(btnHilfe, &QPushButton::clicked, this, &TfrmFormelEdt::btnHilfeClick);

    showEditor();
}

void TfrmFormelEdt::bindFormula(FormulaBinding binding) {
    binding_ = std::move(binding);
    loading_ = true;
    memFormel->setPlainText(binding_.read ? qsLines(binding_.read()) : QString());
    loading_ = false;
}

bool TfrmFormelEdt::previewShown() const {
    return !memVorschau->isHidden();
}

void TfrmFormelEdt::memFormelChange() {
    if (!loading_ && binding_.write) binding_.write(memFormel->toPlainText().toStdString());
}

void TfrmFormelEdt::btnVorschauClick() {
    if (btnVorschau->text() != kVorschau) {
        showEditor();
        return;
    }
    if (!binding_.source || !binding_.formats) return;
    // The number preview reads the stored column, the text preview the memo.
    const std::string formula = binding_.kind == FormulaKind::Number && binding_.read
                                    ? binding_.read()
                                    : memFormel->toPlainText().toStdString();
    std::optional<std::string> text;
    try {
        text = FormulaPreview(binding_.kind, formula, binding_.target, *binding_.source, *binding_.formats, parser_,
                              prompter_);
    } catch (const std::exception& e) {
        prompter_.error(e.what());
        return;
    }
    if (text) showPreview(*text);
}

void TfrmFormelEdt::showPreview(const std::string& text) {
    const int clientHeight = kPreviewHeight - kFrameHeight;
    memVorschau->setPlainText(qsLines(text));
    memVorschau->setGeometry(kMargin, kMargin, kClientWidth - 2 * kMargin, clientHeight - 51);
    memFormel->hide();
    memVorschau->show();
    setWindowTitle(qsLines(previewCaption(binding_.target.feldname)));
    setFixedSize(kClientWidth, clientHeight);
    placeButtons(clientHeight);
    btnVorschau->setGeometry(kOkLeft, btnVorschau->y(), 130, kButtonHeight);
    btnVorschau->setText(QStringLiteral("Vorschau &schließen"));
    btnOK->hide();
}

void TfrmFormelEdt::showEditor() {
    const int clientHeight = kEditHeight - kFrameHeight;
    memVorschau->hide();
    memFormel->setGeometry(kMargin, kMargin, kClientWidth - 2 * kMargin, clientHeight - 51);
    memFormel->show();
    setWindowTitle(QStringLiteral("Formeleditor"));
    setFixedSize(kClientWidth, clientHeight);
    placeButtons(clientHeight);
    btnVorschau->setGeometry(180, btnVorschau->y(), 75, kButtonHeight);
    btnVorschau->setText(kVorschau);
    btnOK->show();
}

void TfrmFormelEdt::placeButtons(int clientHeight) {
    const int top = clientHeight - kButtonHeight - 10;
    btnOK->setGeometry(kOkLeft, top, 75, kButtonHeight);
    btnVorschau->move(btnVorschau->x(), top);
    btnHilfe->setGeometry(264, top, 75, kButtonHeight);
}

void TfrmFormelEdt::btnHilfeClick() {
    emit helpRequested(kHelpContext);
}

void TfrmFormelEdt::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
        btnHilfe->click();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace kimport
