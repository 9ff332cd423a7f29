// The mapping page's own handlers (assigning by hand, the options of a target
// field) and the mode page's: the checks on leaving each of them.
#include "common/FileSets.h"
#include "common/Text.h"
#include "mapping/FieldAssignment.h"
#include "mapping/StartValueCheck.h"
#include "wizard/ImportWizard.h"

namespace kimport {

void ImportWizard::btnZuordnenClick() {
    MappingTables t = mappingTables();
    switch (AssignField(t, state_.cbxZielLeeren.checked)) {
    case AssignResult::Nothing: env_.prompter.beep(); return;
    case AssignResult::Refused: ruleOptions_->hidePanel(true); return;
    case AssignResult::Assigned: break;
    }
    ruleOptions_->showPanel();
    state_.btnAufhebenEnabled = true;
}

void ImportWizard::btnAufhebenClick() { ClearAssignment(tblZStrukt); }

void ImportWizard::btnAlleAufhebenClick() {
    MappingTables t = mappingTables();
    if (!UnassignAll(t)) return;
    state_.btnAufhebenEnabled = false;
    ruleOptions_->hidePanel();
}

void ImportWizard::btnOptionenClick() { ruleOptions_->btnOptionenClick(); }

void ImportWizard::mappingRowChanged() { ruleOptions_->ShowRuleOptions(); }

void ImportWizard::ruleOptionClick(const std::string& control, bool checked) { ruleOptions_->click(control, checked); }

void ImportWizard::ruleOptionEdit(const std::string& control, const std::string& text) {
    ruleOptions_->edit(control, text);
}

void ImportWizard::ruleOptionLeave(const std::string& control) { ruleOptions_->leave(control); }

bool ImportWizard::preRunCheck() {
    PreRunResult result = PreRunCheck(tblZStrukt, state_.edtZiel, state_.cbxZielLeeren.checked, &progress());
    if (!result.anyAssignment) {
        env_.prompter.beep();
        tblZStrukt.MoveFirst();
        goTo(WizardPage::Seite4);
        state_.focusControl = "btnZuordnen";
        env_.prompter.error(kNoAssignmentMessage);
        return false;
    }
    ModePageState& mode = state_.mode;
    applyKeySituation(result.situation, mode);
    // A loaded setting shows its sub-option and, for the two that count keys, the start value.
    if (!state_.rbtNeueImport.checked) {
        if (mode.anySubOptionEnabled()) mode.gbxImportmodusVisible = true;
        if (mode.rbtUmbenennen.checked || mode.rbtSelfInc.checked) {
            mode.gbxImportmodusVisible = true;
            mode.startValueEnabled = true;
            mode.lblIndexfeld = keyFieldLabel(tblZStrukt).value_or("");
        }
    }
    // A preselected "Schlüsselwerte selbständig erhöhen" is ready for its start value at once.
    if (mode.rbtSelfInc.checked && mode.rbtSelfInc.enabled)
        startValueOptionClick(mode, false, keyFieldLabel(tblZStrukt).value_or(""));
    state_.lblQuelldatei = foldedUpper(fileNameOf(state_.edtQuelle));
    return true;
}

void ImportWizard::rbtEndeAnhaengenClick() { kimport::rbtEndeAnhaengenClick(state_.mode); }
void ImportWizard::rbtAktualisierenClick() { kimport::rbtAktualisierenClick(state_.mode); }
void ImportWizard::rbtIgnorierenClick() { kimport::rbtIgnorierenClick(state_.mode); }

void ImportWizard::rbtUmbenennenClick() {
    startValueOptionClick(state_.mode, true, keyFieldLabel(tblZStrukt).value_or(""));
    if (state_.page == WizardPage::Seite5) state_.focusControl = "edtStartwert";
}

void ImportWizard::rbtSelfIncClick() {
    startValueOptionClick(state_.mode, false, keyFieldLabel(tblZStrukt).value_or(""));
    if (state_.page == WizardPage::Seite5) state_.focusControl = "edtStartwert";
}

void ImportWizard::edtStartwertEnter() { state_.mode.btnInhaltAnz5Visible = true; }

bool ImportWizard::modeChecks() {
    ModePageState& mode = state_.mode;
    if (!ModeCheck(mode, env_.prompter)) return false;
    StartValueTables tables{tblZStrukt, tblQuelle, tblZiel};
    // A target emptied before the run holds no key yet: only the start value itself is checked.
    const bool lookUpKeys = !state_.cbxZielLeeren.checked;
    bool passed = true;
    if (mode.rbtSelfInc.checked)
        passed = IncrementCheck(tables, mode.edtStartwert, env_.prompter, env_.formats.current, lookUpKeys);
    if (passed && mode.rbtUmbenennen.checked)
        passed = RenameCheck(tables, mode.edtStartwert, env_.prompter, env_.formats.current);
    if (!passed) state_.focusControl = "edtStartwert";
    return passed;
}

}  // namespace kimport
