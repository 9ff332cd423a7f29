// What the wizard's page controllers share: the environment, the presentation
// state, the tables they work on and the few steps every page takes (changing
// the page, opening the settings list, checking a file name). Each page's own
// handlers live in its controller; this holds nothing that belongs to one page.
#pragma once

#include "common/FileSystem.h"
#include "common/FormatSettings.h"
#include "common/Prompter.h"
#include "common/Registry.h"
#include "mapping/StructureMapping.h"
#include "progress/RunReport.h"
#include "settings/SettingsStore.h"
#include "tablestore/Table.h"
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
    std::string programDir;  // with a trailing "/"
    Prompter& prompter;
    Registry& registry;
    ProcessFormats& formats;
    FileSystem& fs = realFileSystem();
    std::optional<std::string> bkdbAlias;  // directory of the alias "BKDB", when there is one
    ProgressSink* progress = nullptr;      // the progress window of long operations
    FormulaEvaluator* formulas = nullptr;  // text and number formulas of the rules
};

class WizardContext {
public:
    explicit WizardContext(WizardEnvironment environment);
    ~WizardContext();
    WizardContext(const WizardContext&) = delete;
    WizardContext& operator=(const WizardContext&) = delete;

    WizardEnvironment env;
    WizardState state;

    // The source (a table, or a text file's staging table), the target, the two structure tables of the
    // mapping, the settings list and the working copies in Temp.
    Table tblQuelle, tblZiel, tblQStrukt, tblZStrukt, tblImpList, tblTempStrukt, tblZSP;

    // Paths whose structures were last read into QStrukt and ZStrukt.
    std::string lastSourceRead, lastTargetRead;
    bool sampleFilesFlag = false;  // the loaded setting's files were found below Demos/
    bool storedMappingValid = true;
    bool startedWithParameters = false;
    bool rulesToCarry = false;  // Temp/tmp.db holds rules not yet carried onto a new mapping
    SourceGridLayout sourceGrid;
    std::string browseDirectory;  // where the browse dialog was last left
    // Base names of the working files in Temp that this instance makes; only these go at program end.
    std::vector<std::string> ownTempFiles{"tmp", "ZSP"};

    // Of the text source's staging table: each record's line in the file, and what the reading could not take.
    std::vector<std::int64_t> stagingLines;
    std::vector<ReportEntry> stagingProblems;
    std::int64_t stagingErrors = 0;
    void keepStagingReport(StagingResult& staged);

    // What the last run could not do, record by record (the progress window offers it as a list).
    RunReport runReport;

    // Called before every page change ("Weiter"/"Zurück"): the window closes its viewers.
    std::function<void()> onLeavePage;
    // Called when the mapping page is entered: its open options panel follows the current rule.
    std::function<void()> onEnterMapping;

    // The progress window, or one in memory when none was given.
    ProgressSink& progress();

    void goTo(WizardPage page);
    void leavePage();
    void closeSourceAndTarget(bool clearNames);

    // The settings list (ImpList): opened with a message when it cannot be; the current row's name and columns.
    bool openImpList();
    std::string currentSettingName();
    std::string currentImpListText(const std::string& column);

    MappingTables mappingTables();
    SettingsTables settingsTables();

    // The check of a source (true) or target name typed or chosen: false after its message.
    bool checkName(bool source);

private:
    bool isOwnTable(const std::string& path);
    std::unique_ptr<GaugeModel> ownProgress_;
};

// Names compared as the program compares paths: letter case does not count.
bool samePath(const std::string& a, const std::string& b);

}  // namespace kimport
