// The content viewer window: the source table, the target table or a text file
// in read-only pages with their status lines. It draws the state ContentViewer
// computes and reports its closing, so the wizard can take over again.
#pragma once

#include "wizard/ContentViewer.h"

#include <QDialog>
#include <QStringList>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QStatusBar;
class QTabWidget;
class QTableView;

namespace kimport {

class QtTableRowsModel;

class TfrmInhaltAnz : public QDialog {
    Q_OBJECT
public:
    // Cell texts follow `formats` (kept by reference); errors go to `prompter`.
    TfrmInhaltAnz(Prompter& prompter, const FormatSettings& formats, QWidget* parent = nullptr);
    TfrmInhaltAnz(Prompter&, FormatSettings&&, QWidget* = nullptr) = delete;
    ~TfrmInhaltAnz() override;

    // Each shows the window (also after an error, then with an empty page).
    void showSourceTable(const std::string& path);
    void showTextFile(const std::string& path, bool dosConversion);
    void showTargetTable(const std::string& path, bool emptiedBeforeRun);
    void showBoth(const std::string& sourcePath, const std::string& targetPath, bool emptiedBeforeRun,
                  bool afterRun);
    bool isShowing() const { return viewer_.isShowing(); }

    ContentViewer& viewer() { return viewer_; }
    // The texts of a page's status bar: one, or two in the two-panel mode.
    QStringList statusTexts(ViewerPage page) const;

    // Every way of closing (the button, the window's close button, Esc) ends here.
    void done(int result) override;

signals:
    void closed();

private:
    struct StatusPanels {
        QStatusBar* bar = nullptr;
        QLabel* first = nullptr;
        QLabel* second = nullptr;
    };

    QWidget* makeTablePage(const char* pageName, const char* gridName, const char* statusName, QtTableRowsModel* model,
                           QTableView*& grid, StatusPanels& status);
    StatusPanels makeStatusBar(QWidget* page, const char* name);
    template <class Change>
    void present(Change&& change);
    void applyView();
    void fitColumns(QTableView* grid);

    ContentViewer viewer_;
    QtTableRowsModel* sourceModel_;
    QtTableRowsModel* targetModel_;
    QTabWidget* PageControl1 = nullptr;
    QTableView* dbgInhaltQuellDB = nullptr;
    QTableView* dbgInhaltZielDB = nullptr;
    QPlainTextEdit* retEditor = nullptr;
    QPushButton* btnInhSchliessen = nullptr;
    StatusPanels stbInhaltQuelle, stbInhaltZiel, stbInhaltText;
};

}  // namespace kimport
