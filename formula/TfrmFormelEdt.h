// The formula editor: a memo bound to the text or number formula of the
// selected mapping rule and a preview of what the formula gives for the
// current source record. Created once and only shown or hidden.
#pragma once

#include "common/FormatSettings.h"
#include "common/Prompter.h"
#include "formula/FormelPreview.h"

#include <QDialog>

#include <functional>
#include <string>

class QPlainTextEdit;
class QPushButton;

namespace kimport {

class Table;
class TParser;

// How the memo reaches the rule: read gives the stored column, write takes
// every edit of the memo at once.
struct FormulaBinding {
    FormulaKind kind = FormulaKind::Text;
    std::function<std::string()> read;
    std::function<void(const std::string&)> write;
    FormulaTarget target;
    const Table* source = nullptr;            // on the current source record
    const FormatSettings* formats = nullptr;  // the process-wide formats
};

class TfrmFormelEdt : public QDialog {
    Q_OBJECT
public:
    // The parser (the main window's Parser1) and the prompter must outlive the window.
    TfrmFormelEdt(TParser& parser, Prompter& prompter, QWidget* parent = nullptr);

    // Binds memFormel to a rule's formula column; the layout stays as it is.
    void bindFormula(FormulaBinding binding);

    bool previewShown() const;

    static constexpr int kHelpContext = 9;
    // Designed outer heights; Qt sizes the client area, which lacks the title bar and frame.
    static constexpr int kEditHeight = 206;
    static constexpr int kPreviewHeight = 155;
    static constexpr int kFrameHeight = 27;
    static constexpr int kClientWidth = 441;
    static constexpr int kOkLeft = 96;

signals:
    void helpRequested(int context);

public slots:
    void btnVorschauClick();
    void btnHilfeClick();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void showPreview(const std::string& text);
    void showEditor();
    void placeButtons(int clientHeight);
    void memFormelChange();

    TParser& parser_;
    Prompter& prompter_;
    FormulaBinding binding_;
    bool loading_ = false;

    QPlainTextEdit* memFormel = nullptr;
    QPlainTextEdit* memVorschau = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnVorschau = nullptr;
    QPushButton* btnHilfe = nullptr;
};

}  // namespace kimport
