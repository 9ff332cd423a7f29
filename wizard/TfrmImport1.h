// The main window of the wizard: one page of PageControl1 per wizard step.
// It holds no rule of its own: every event goes to its page's controller in
// ImportWizard, and the window then shows the wizard's state.
#pragma once

#include "wizard/ImportWizard.h"

#include <QMainWindow>
#include <QPointer>

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTabWidget;
class QTableView;

namespace kimport {

class QtTableModel;

// Sets a button as the wizard's state says: checked, enabled and shown.
void applyToggle(QAbstractButton* button, const Toggle& toggle);

class TfrmImport1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TfrmImport1(ImportWizard& wizard, QWidget* parent = nullptr);

    ImportWizard& wizard() { return wizard_; }
    // Shows the wizard's state in the controls.
    void applyState();
    // Reads the structure grids again and applies their column rules.
    void refreshGrids();
    // The text options, shown to be looked at only (from the settings summary).
    void showOptionsLookOnly();
    // The text options as the source page's "&Optionen" shows them (also from the settings manager).
    void openOptionsWindow() { openOptions(); }
    // Runs a handler of the wizard as the window's own controls do, and shows the state.
    void handle(const std::function<void()>& handler) { run(handler); }
    // Asked when the user closes the window while a handler still works (a run): true when the
    // window may close once the handler has returned.
    std::function<bool()> confirmCloseWhileBusy;

    // Controls, named as the wizard's logic names them (also their object names).
    QStackedWidget* PageControl1 = nullptr;
    QWidget *ImportSeite1 = nullptr, *ImportSeite2 = nullptr, *ImportSeite3 = nullptr, *ImportSeite1txt = nullptr,
            *ImportSeite4 = nullptr, *ImportSeite5 = nullptr, *ImportSeite6 = nullptr;
    QRadioButton *rbtNeueImport = nullptr, *rbtVorhEinst_oAE = nullptr, *rbtVorhEinst_mAE = nullptr,
                 *rbtImpEinlesen = nullptr;
    QGroupBox* gbxAktEinstellung = nullptr;
    QLineEdit* edtAktEinstellung = nullptr;
    QLabel* lblWeitere = nullptr;
    QComboBox* comVorh_Einstellg = nullptr;
    QPushButton *btnDetails = nullptr, *btnInfoVisible = nullptr;
    QLineEdit *edtQuelle = nullptr, *edtZiel = nullptr;
    QComboBox *comQuelle = nullptr, *comZiel = nullptr;
    QPushButton *btnQBrowse = nullptr, *btnZBrowse = nullptr, *btnInhaltAnz2 = nullptr, *btnInhaltAnz3 = nullptr,
                *btnInhaltAnz4 = nullptr, *btnQOptionen1 = nullptr, *btnSicherungskopie = nullptr;
    QCheckBox *cbxSicherungskopie = nullptr, *cbxZielLeeren = nullptr;
    QLabel* lblZielLeeren = nullptr;
    QTabWidget* tpcTXT = nullptr;
    class TfrmTextVariabel* txtVariabel = nullptr;
    class TfrmTextFix* txtFix = nullptr;
    class TfrmQOptionen* QOptionen = nullptr;  // the options window, made on first use
    QPushButton* btnQOptionen2 = nullptr;
    QPlainTextEdit* retQuellDat = nullptr;
    QRadioButton *rgrFest = nullptr, *rgrVariabel = nullptr;
    class TfrmMappingPanel* mappingPanel = nullptr;  // page 4's grids, buttons and options
    class TfrmModePanel* modePanel = nullptr;        // page 5's controls
    QTableView *dbgStruktQuelle = nullptr, *dbgStruktZiel = nullptr;
    QLabel* lblQuelldatei = nullptr;
    QRadioButton *rbtEndeAnhaengen = nullptr, *rbtIgnorieren = nullptr, *rbtUmbenennen = nullptr, *rbtSelfInc = nullptr,
                 *rbtAktualisieren = nullptr;
    QLineEdit* edtStartwert = nullptr;
    QLabel* lblImporteinst = nullptr;
    QLineEdit* edtImpSpeich = nullptr;
    QLabel* lblBemerkung = nullptr;
    QPushButton *btnBemerkung = nullptr, *btnBemerkSpeichern = nullptr, *btnBemerkVerwerfen = nullptr,
                *btnFertigstellen = nullptr;
    QPlainTextEdit* edtBemerkung = nullptr;
    QRadioButton *rbtTabAnz = nullptr, *rbtTabNichtAnz = nullptr;

signals:
    void helpRequested(int context);
    void aboutRequested();
    // The content viewer should show (or close) what the request names.
    void contentViewerRequested(const ContentViewerRequest& request);
    // The window is closed and the program ends.
    void programEnded();
    // The formula editor on the selected rule's text formula (true) or number formula.
    void formulaEditorRequested(bool textFormula);
    void settingsDetailsRequested(bool manager);
    // Reading in predefined settings found problems that the user wants to see.
    void errorListRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildPage1();
    void buildPage2();
    void buildPage3();
    void buildTextPages();
    void buildPage4();
    void buildPage5();
    void buildPage6();
    // The navigation row of a page: Zurück, Weiter (or another), Abbrechen, Hilfe, and the hidden Info button.
    QWidget* navigationRow(int page, QPushButton** back, QPushButton** next, const QString& nextCaption = {});
    // Takes the edits' texts into the state, runs a handler, shows the state.
    void run(const std::function<void()>& handler);
    void openOptions();
    void ensureOptions();
    void guarded(const std::function<void()>& handler);
    void pullEdits();
    void pullFileNames();
    void applyFilePages();
    void applyFinishPage();
    // The page's hidden "&Info" button, shown where the page's background is right-clicked.
    void installInfoButton(QWidget* page, const QString& name);
    void closeAidsOnPageChange();

    ImportWizard& wizard_;
    bool finished_ = false;
    QWidget* page6Content_ = nullptr;
    QPushButton* btnZurueck6_ = nullptr;
    int busy_ = 0;               // handlers running (a run or a dialog in a handler keeps events flowing)
    bool closePending_ = false;  // the user closed the window while a handler worked
    WizardPage shownPage_ = WizardPage::Seite1;
};

}  // namespace kimport
