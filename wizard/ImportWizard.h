// The wizard's logic: start-up, the first page's choices, the page
// transitions with their checks, the command line, the registry values and
// the program's end. It works on WizardState and the control tables; the main
// window shows the state and forwards its controls' events here.
#pragma once

#include "common/FileSystem.h"
#include "common/FormatSettings.h"
#include "common/Prompter.h"
#include "common/Registry.h"
#include "tablestore/Table.h"
#include "mapping/RuleOptions.h"
#include "mapping/StructureMapping.h"
#include "settings/SettingsManager.h"
#include "settings/SettingsStore.h"
#include "wizard/WizardState.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kimport {

class FormulaEvaluator;
class ProgressSink;
class GaugeModel;

struct WizardEnvironment {
    std::string programDir;                 // with a trailing "/"
    Prompter& prompter;
    Registry& registry;
    ProcessFormats& formats;
    FileSystem& fs = realFileSystem();
    std::optional<std::string> bkdbAlias;   // directory of the alias "BKDB", when there is one
    ProgressSink* progress = nullptr;       // the progress window of long operations
    FormulaEvaluator* formulas = nullptr;   // text and number formulas of the rules
};

// Registry keys of the main window.
constexpr const char* kRegistryGroup = "1.0/ImportMain/";

struct SettingChoice {
    std::string name, source, target;
};

class ImportWizard {
public:
    explicit ImportWizard(WizardEnvironment env);
    ~ImportWizard();

    WizardState& state() { return state_; }
    const WizardEnvironment& environment() const { return env_; }

    // Start-up: table names, alias, registry values, command line, ImpList.
    void start(const std::vector<std::string>& parameters);
    // Program end: working tables emptied, registry written, Temp emptied, tables closed.
    void finish();

    // Page 1
    void rbtNeueImportClick();
    void rbtVorhEinst_oAEClick();
    void rbtVorhEinst_mAEClick();
    void rbtImpEinlesenClick();
    void comVorh_EinstellgSelect(const std::string& name);
    void btnDetailsClick();
    void btnWeiter1Click();
    // Pages 2 and 3
    void comQuelleSelect(const std::string& item);
    void comZielSelect(const std::string& item);
    void btnZurueck2Click();
    void btnWeiter2Click();
    void btnZurueck3Click();
    void btnWeiter3Click();
    // Text layout pages
    void btnZurueckTxtClick();
    // A separator, the quote, the first-line flag or edtAndere changed on TXTVariabel: the preview follows.
    void textLayoutChanged();
    // The mouse on the character grid of TXTFix (the column under it).
    void stgQuellDatFixClick(int column);
    bool stgQuellDatFixMouseDown(int column);
    void stgQuellDatFixDragOver(int column);
    void stgQuellDatFixDragDrop();
    void stgQuellDatFixDblClick(int column);
    // The options window ("&Optionen" on the source page and the first text tab): shown without
    // blocking; closing it applies its settings, and a changed DOS switch converts or reloads the text.
    void btnQOptionenClick();
    void qOptionenClose();
    // The renaming of columns on TXTVariabel.
    void btnErsteClick();
    void btnLinksClick();
    void btnRechtsClick();
    void btnLetzteClick();
    void stgQuellDatVarSelect(int column);
    void btnWeiterTxtClick();
    // Page 4: assigning by hand and the options of the selected target field
    void btnZuordnenClick();
    void btnAufhebenClick();
    void btnAlleAufhebenClick();
    void btnOptionenClick();
    // The mapping grid's cursor moved while the grid had the focus.
    void mappingRowChanged();
    void ruleOptionClick(const std::string& control, bool checked);
    void ruleOptionEdit(const std::string& control, const std::string& text);
    void ruleOptionLeave(const std::string& control);
    RuleOptions& ruleOptions() { return *ruleOptions_; }
    // The settings manager's model, on this wizard's catalogue.
    SettingsManager& settingsManager() { return *settingsManager_; }
    // Page 5
    void rbtEndeAnhaengenClick();
    void rbtAktualisierenClick();
    void rbtIgnorierenClick();
    void rbtUmbenennenClick();
    void rbtSelfIncClick();
    void edtStartwertEnter();
    // Pages 4 to 6
    void btnZurueck4Click();
    void btnWeiter4Click();
    void btnZurueck5Click();
    void btnWeiter5Click();
    void btnZurueck6Click();
    void btnFertigstellenClick();
    // The aids on the pages: browse dialogs, backup copy, content viewer, remark editor
    void btnQBrowseClick();
    void btnZBrowseClick();
    FileDialogSpec browseDialog(bool source) const;
    void btnSicherungskopieClick();
    // "Inhalt ansehen" / "Inhalte ansehen" / "Zieldatenbank anzeigen" on page 2, 3, 4 or 5.
    void btnInhaltAnzClick(int page);
    void contentViewerClosed();
    void btnBemerkungClick();
    void btnBemerkSpeichernClick();
    void btnBemerkVerwerfenClick();
    // "&Abbrechen" on any page
    void btnAbbrechenClick();

    // The checks of the source and target names; false after their message.
    bool checkSource();
    bool checkTarget();

    // The settings in ImpList for the list on page 1: name, source and target, by name without regard
    // to letter case.
    std::vector<SettingChoice> settingChoices();

    // Called before every page change ("Weiter"/"Zurück"): the window closes its viewers.
    std::function<void()> onLeavePage;

    Table tblQuelle, tblZiel, tblQStrukt, tblZStrukt, tblImpList, tblTempStrukt, tblZSP;

    // Paths whose structures were last read into QStrukt and ZStrukt.
    std::string lastSourceRead, lastTargetRead;
    bool sampleFilesFlag = false;
    bool storedMappingValid = true;
    bool startedWithParameters = false;
    SourceGridLayout sourceGrid;
    // False when another instance has the control tables: this one then ends without touching them.
    bool ownsControlTables() const { return ownsControlTables_; }

    // Steps that the later parts of the program fill in (structures, settings, the run).
    bool loadSettingUnchanged();
    bool loadSettingForEdit();
    bool saveSetting();
    bool checkStoredMapping(bool textSource);
    bool readSourceStructure();
    bool readTargetStructure();
    void saveMappingCopy();
    void carryOverRules();
    void autoMap();
    bool layoutChanged();
    void rememberLayout();
    bool preRunCheck();
    bool modeChecks();
    void makeBackupCopy();
    void readInSettings();
    void errorListClosed();
    // The setting the first page names, for the summary; none when there is no such row.
    // The text options of the setting the summary shows, to be looked at.
    TextOptionsForm optionsOfCurrentSetting();
    std::optional<SavedSetting> currentSetting();
    void saveRemark(const std::string& remark);
    void startRun();

    // What the last run could not do, record by record (the progress window offers it as a list).
    RunReport runReport;

    // The progress window, or one in memory when none was given.
    ProgressSink& progress();

private:
    bool ownsControlTables_ = false;
    // Base names of the working files in Temp that this instance makes; only these go at program end.
    std::vector<std::string> ownTempFiles_{"tmp", "ZSP"};

    bool takeControlTables();
    void loadTextSource();
    void buildTextPreview();
    bool buildTextStagingTable();
    LayoutMemory textLayoutMemory_;
    int fixDragged_ = -1;  // the slot of the marker being dragged
    bool rulesToCarry_ = false;  // Temp/tmp.db holds rules not yet carried onto a new mapping
    MappingTables mappingTables();
    SettingsTables settingsTables();
    std::optional<SavedSetting> restoreCurrentSetting();
    bool putFileBack(const std::string& stored, bool source, bool unchanged);
    void putLayoutBack(const SavedSetting& setting);
    void goTo(WizardPage page);
    void leavePage();
    bool checkName(bool source);
    bool isOwnTable(const std::string& path);
    bool openImpList();
    std::string currentSettingName();
    std::string currentImpListText(const std::string& column);
    void showSavedSettingControls(bool visible);
    void closeSourceAndTarget(bool clearNames);
    bool isTablePath(const std::string& path) const;
    std::string regKey(const std::string& name) const { return std::string(kRegistryGroup) + name; }

    WizardEnvironment env_;
    WizardState state_;
    std::unique_ptr<GaugeModel> ownProgress_;
    std::unique_ptr<RuleOptions> ruleOptions_;
    std::unique_ptr<SettingsManager> settingsManager_;
    std::string browseDirectory_;  // where the browse dialog was last left
    // Of the text source's staging table: each record's line in the file, and what the reading could not take.
    std::vector<std::int64_t> stagingLines_;
    std::vector<ReportEntry> stagingProblems_;
    std::int64_t stagingErrors_ = 0;
    void recordRunDay();
    void keepStagingReport(StagingResult& staged);
    void showBothTables(bool afterRun);
};

// Names compared as the program compares paths: letter case does not count.
bool samePath(const std::string& a, const std::string& b);

}  // namespace kimport
