#include "tablestore/TableFiles.h"
#include "wizard/MappingPageController.h"

#include "common/FileSets.h"
#include "common/Text.h"
#include "common/UserMessage.h"
#include "mapping/FieldAssignment.h"
#include "mapping/StartValueCheck.h"

namespace kimport {

MappingPageController::MappingPageController(WizardContext& context, ImportWizard& wizard)
    : PageController(context, wizard),
      ruleOptions_(RuleTables{context.tblZStrukt, context.tblQStrukt, context.tblQuelle, context.tblZiel},
                   context.env.prompter, context.env.formats.current) {
    // The mapping page may show other rules when it is entered again: an open options panel follows.
    c_.onEnterMapping = [this] {
        if (ruleOptions_.view().panelVisible) ruleOptions_.ShowRuleOptions();
    };
}

void MappingPageController::btnZuordnenClick() {
    MappingTables t = c_.mappingTables();
    switch (AssignField(t, state_.cbxZielLeeren.checked)) {
        case AssignResult::Nothing:
            env_.prompter.beep();
            return;
        case AssignResult::Refused:
            ruleOptions_.hidePanel(true);
            return;
        case AssignResult::Assigned:
            break;
    }
    ruleOptions_.showPanel();
    state_.btnAufhebenEnabled = true;
}

void MappingPageController::btnAufhebenClick() {
    ClearAssignment(c_.tblZStrukt);
}

void MappingPageController::btnAlleAufhebenClick() {
    MappingTables t = c_.mappingTables();
    if (!UnassignAll(t)) return;
    state_.btnAufhebenEnabled = false;
    ruleOptions_.hidePanel();
}

void MappingPageController::btnOptionenClick() {
    ruleOptions_.btnOptionenClick();
}

void MappingPageController::mappingRowChanged() {
    ruleOptions_.ShowRuleOptions();
}

void MappingPageController::ruleOptionClick(const std::string& control, bool checked) {
    ruleOptions_.click(control, checked);
}

void MappingPageController::ruleOptionEdit(const std::string& control, const std::string& text) {
    ruleOptions_.edit(control, text);
}

void MappingPageController::ruleOptionLeave(const std::string& control) {
    ruleOptions_.leave(control);
}

bool MappingPageController::preRunCheck() {
    PreRunResult result = PreRunCheck(c_.tblZStrukt, state_.edtZiel, state_.cbxZielLeeren.checked, &c_.progress());
    if (!result.anyAssignment) {
        env_.prompter.beep();
        c_.tblZStrukt.MoveFirst();
        c_.goTo(WizardPage::Seite4);
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
            mode.lblIndexfeld = keyFieldLabel(c_.tblZStrukt).value_or("");
        }
    }
    // A preselected "Schlüsselwerte selbständig erhöhen" is ready for its start value at once.
    if (mode.rbtSelfInc.checked && mode.rbtSelfInc.enabled)
        startValueOptionClick(mode, false, keyFieldLabel(c_.tblZStrukt).value_or(""));
    state_.lblQuelldatei = foldedUpper(fileNameOf(state_.edtQuelle));
    return true;
}

void MappingPageController::btnZurueck4Click() {
    c_.leavePage();
    c_.closeSourceAndTarget(false);
    if (!isTablePath(state_.edtQuelle))
        c_.goTo(WizardPage::Seite1txt);
    else if (state_.rbtNeueImport.checked || state_.cbxZielAusw)
        c_.goTo(WizardPage::Seite3);
    else if (state_.cbxQuelleAusw)
        c_.goTo(WizardPage::Seite2);
    else
        c_.goTo(WizardPage::Seite1);
}

void MappingPageController::btnWeiter4Click() {
    c_.leavePage();
    if (!preRunCheck()) return;
    c_.goTo(WizardPage::Seite5);
}

bool MappingPageController::checkStoredMapping(bool textVariant) {
    try {
        MappingTables t = c_.mappingTables();
        // A text source is read through its staging table, which the load has made the source already.
        if (!c_.tblQuelle.Active() && c_.tblQuelle.path().empty() && !state_.edtQuelle.empty())
            c_.tblQuelle.setPath(state_.edtQuelle);
        if (!c_.tblZiel.Active() && !state_.edtZiel.empty()) c_.tblZiel.setPath(state_.edtZiel);
        return CheckStoredMapping(t, textVariant, state_.edtQuelle, c_.storedMappingValid);
    } catch (const TableError& e) {
        env_.prompter.error(userMessage(e));
        return false;
    }
}

void MappingPageController::carryOverRules() {
    MappingTables t = c_.mappingTables();
    CarryOverRules(t);
}

void MappingPageController::autoMap() {
    MappingTables t = c_.mappingTables();
    if (AutoMap(t)) state_.btnAufhebenEnabled = true;
}

}  // namespace kimport
