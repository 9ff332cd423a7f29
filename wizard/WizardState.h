// The wizard's presentation model: the state of every control the wizard's
// logic decides about, as plain values. The main window shows this state and
// forwards its controls' events to ImportWizard.
#pragma once

#include "mapping/PreRunCheck.h"
#include "textsource/StagingTable.h"
#include "textsource/TextOptions.h"
#include "textsource/TextLayout.h"

#include <string>

namespace kimport {

struct Toggle {
    bool checked = false, enabled = true, visible = true;
};

enum class WizardPage { Seite1, Seite2, Seite3, Seite1txt, Seite4, Seite5, Seite6 };

// The sub-pages of the text layout page.
enum class TextPage { TXTDatensatzlaenge, TXTFix, TXTVariabel };

// Help context of a page.
int helpContextOf(WizardPage page, TextPage textPage);

// What the content viewer is asked to do after the last action.
struct ContentViewerRequest {
    enum class Kind { None, Close, SourceTable, SourceText, TargetTable, BothTables };
    Kind kind = Kind::None;
    std::string source, target;  // paths of what is shown
    bool dosConversion = false;  // a text source read as DOS characters
    bool targetEmptied = false;  // cbxZielLeeren: the target's status line says so
    bool afterRun = false;       // opened by the run: the target page first, "wurde ... gelöscht"
};

struct WizardState {
    WizardPage page = WizardPage::Seite1;
    TextPage textPage = TextPage::TXTDatensatzlaenge;

    // Page 1
    Toggle rbtNeueImport, rbtVorhEinst_oAE, rbtVorhEinst_mAE, rbtImpEinlesen{false, true, false};
    bool gbxAktEinstellungVisible = true, lblWeitereVisible = true, comVorh_EinstellgVisible = true,
         btnDetailsVisible = true;
    std::string edtAktEinstellung;

    // Pages 2 and 3
    std::string edtQuelle, edtZiel;
    bool presetChoicesVisible = true;  // comQuelle/comZiel; without the alias the plain edits take their place
    Toggle btnSicherungskopie, cbxSicherungskopie{false, true, false}, cbxZielLeeren;

    // Check boxes of the settings manager: the loaded setting's source or target must be chosen again.
    bool cbxQuelleAusw = true, cbxZielAusw = true;  // both ticked at first

    // Text layout pages
    int rgrDatsatzlaenge = 0;  // 0 "Variable Feldlänge", 1 "Feste Feldlänge"
    std::string retQuellDat;   // preview text
    TextLayout textLayout;     // separators, quote, breaks, first-line flag (the switches of TXTVariabel)
    TextPreview textPreview;   // stgQuellDatVar: the column names and at most 20 lines
    std::vector<std::vector<std::string>> fixGrid;  // stgQuellDatFix: one character a cell
    int fixGridColumns = 0;
    int renameColumn = 0;      // the column whose name edtRenCols edits
    std::string edtRenCols;
    bool cbxRaster = false;
    // The options window: shown, and what it holds.
    bool qOptionenVisible = false;
    TextOptionsForm qOptionen;

    // Page 4: "auf&heben" and "a&lle aufheben" once something is assigned (the options panel's
    // state is the RuleOptions view)
    bool btnAufhebenEnabled = false;

    // Page 5
    std::string lblQuelldatei;
    ModePageState mode;  // the mode buttons, the start value and the labels beside them

    // Page 6
    std::string edtImpSpeich, edtBemerkung;
    Toggle rbtTabAnz{true, true, true}, rbtTabNichtAnz;
    bool page6Enabled = true;
    bool saveControlsEnabled = true;  // lblImporteinst, edtImpSpeich, btnBemerkung: off for an unchanged run

    // Requests to the window
    bool closeRequested = false;     // the main window should close
    std::string focusControl;        // control to focus after the last action ("edtQuelle", ...)
    bool showDetailsSummary = false; // btnDetails: summary dialog / settings manager
    bool showDetailsManager = false;
    ContentViewerRequest viewerRequest;
    // The page (2 to 5) whose button opened the shown content viewer; 0 while it is closed.
    int contentViewerOpenedFrom = 0;
    bool remarkEditorVisible = false;  // lblBemerkung, edtBemerkung and its two buttons in place of btnBemerkung
    // The error list of reading in predefined settings: its entries collect until it is shown and closed.
    std::string errorList;
    bool showErrorList = false;
};

}  // namespace kimport
