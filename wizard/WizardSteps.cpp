// The steps of the wizard that belong to the structures, the saved settings
// and the import run. Each does what the page flow needs to go on; the
// structure reading, the settings store and the run fill them out.
#include "common/FileSets.h"
#include "common/UserMessage.h"
#include "common/Text.h"
#include "tablestore/TableFiles.h"
#include "importrun/ImportRun.h"
#include "tablestore/TableRoutines.h"
#include "wizard/ImportWizard.h"
#include "mapping/StructureMapping.h"
#include "settings/SettingsStore.h"

#include <ctime>

namespace kimport {

MappingTables ImportWizard::mappingTables() {
    return MappingTables{tblQuelle, tblZiel, tblQStrukt, tblZStrukt, tblTempStrukt, env_.prompter, env_.fs,
                         env_.programDir, &progress()};
}

bool ImportWizard::checkStoredMapping(bool textVariant) {
    try {
        MappingTables t = mappingTables();
        // A text source is read through its staging table, which the load has made the source already.
        if (!tblQuelle.Active() && tblQuelle.path().empty() && !state_.edtQuelle.empty()) tblQuelle.setPath(state_.edtQuelle);
        if (!tblZiel.Active() && !state_.edtZiel.empty()) tblZiel.setPath(state_.edtZiel);
        return CheckStoredMapping(t, textVariant, state_.edtQuelle, storedMappingValid);
    } catch (const TableError& e) {
        env_.prompter.error(userMessage(e));
        return false;
    }
}

// A structure that could not be read is not remembered as read: the next attempt reads it again.
bool ImportWizard::readSourceStructure() {
    tblQuelle.CloseTable();
    tblQuelle.setPath(state_.edtQuelle);
    MappingTables t = mappingTables();
    if (ReadSourceStructure(t, &sourceGrid)) return true;
    lastSourceRead.clear();
    return false;
}

bool ImportWizard::readTargetStructure() {
    tblZiel.CloseTable();
    tblZiel.setPath(state_.edtZiel);
    MappingTables t = mappingTables();
    if (ReadTargetStructure(t)) return true;
    lastTargetRead.clear();
    return false;
}

void ImportWizard::saveMappingCopy() {
    MappingTables t = mappingTables();
    SaveMappingCopy(t);
}

void ImportWizard::carryOverRules() {
    MappingTables t = mappingTables();
    CarryOverRules(t);
}

void ImportWizard::autoMap() {
    MappingTables t = mappingTables();
    if (AutoMap(t)) state_.btnAufhebenEnabled = true;
}

bool ImportWizard::layoutChanged() {
    return !samePath(state_.edtQuelle, lastSourceRead) || !samePath(state_.edtZiel, lastTargetRead);
}

void ImportWizard::rememberLayout() {
    lastSourceRead = state_.edtQuelle;
    lastTargetRead = state_.edtZiel;
}

void ImportWizard::keepStagingReport(StagingResult& staged) {
    stagingLines_ = std::move(staged.lineOfRecord);
    stagingProblems_ = std::move(staged.readProblems);
    stagingErrors_ = staged.readErrors;
}

// The setting that ran records the day, once the run saved records: a run refused or failed before it
// changed the target is no import.
void ImportWizard::recordRunDay() {
    if (recordsWritten(progress()) <= 0 || !tblImpList.Active()) return;
    const std::string& name = !state_.edtImpSpeich.empty() ? state_.edtImpSpeich : state_.edtAktEinstellung;
    try {
        recordLastImport(tblImpList, name);
    } catch (const std::exception& e) {
        env_.prompter.error(userMessage(e));
    }
}

void ImportWizard::startRun() {
    state_.page6Enabled = false;
    Prompter& p = env_.prompter;
    try {
        ImportMode mode = importModeFromButtons(checkedModeButtons(state_.mode)).value_or(ImportMode::Append);
        ImportRun run(RunTables{tblQuelle, tblZiel, tblZStrukt}, progress(), p, env_.formats.regional,
                      env_.formats.current, env_.formulas);
        // A text source's report names the lines of the file, and first what its reading could not take.
        runReport.clear();
        if (!isTablePath(state_.edtQuelle)) {
            runReport.startWithReading(stagingLines_, stagingProblems_);
        }
        run.setReport(&runReport);
        // What would refuse the run refuses it before the target is emptied.
        run.check(mode);
        if (state_.cbxZielLeeren.checked) {
            tblZiel.CloseTable();
            ClearTableExclusive(tblZiel, env_.prompter);
            tblZiel.Exclusive = true;
        }
        for (Table* t : {&tblQuelle, &tblZiel, &tblZStrukt})
            if (!t->Active()) t->OpenTable();
        progress().setCount(Counter::SummeQuelle, tblQuelle.RecordCount());
        bool renamed = false;
        try {
            renamed = run.run(mode, state_.mode.edtStartwert, state_.cbxZielLeeren.checked);
            // What the reading of a text source could not take counts with the run's errors.
            if (!isTablePath(state_.edtQuelle)) progress().addToCounter(Counter::AnzFehler, stagingErrors_);
        } catch (...) {
            progress().showReport(&runReport);
            throw;
        }
        progress().showReport(&runReport);
        if (run.keyRuleMissing()) {
            state_.edtImpSpeich.clear();
            state_.rbtTabAnz.checked = state_.rbtTabNichtAnz.checked = false;
            state_.mode.rbtEndeAnhaengen.checked = state_.mode.rbtAktualisieren.checked = false;
            state_.page6Enabled = true;
            goTo(WizardPage::Seite4);
        }
        if (!renamed) {
            p.beep();
            progress().close();
            p.error("Beim Umbenennen vorhandener Schlüsselwerte sind Fehler\r\naufgetreten. Bitte wählen Sie einen "
                    "anderen Startwert.");
            state_.page6Enabled = true;
            goTo(WizardPage::Seite5);
            state_.focusControl = "edtStartwert";
            return;
        }
        if (run.keyRuleMissing()) return;
        recordRunDay();
        progress().finish();
        if (state_.rbtTabAnz.checked) showBothTables(true);
    } catch (const std::exception& e) {
        // The run has saved what was posted, or said in the progress window that it could not; what
        // could not be saved is dropped, so that no later save writes it after all.
        if (tblZiel.HasUnsavedChanges()) tblZiel.CloseDiscarding();
        p.error(userMessage(e));
        state_.page6Enabled = true;  // the user may change the setting and start again
    }
}

}  // namespace kimport
