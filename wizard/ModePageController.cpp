#include "wizard/ModePageController.h"

#include "mapping/StartValueCheck.h"

namespace kimport {

void ModePageController::rbtEndeAnhaengenClick() {
    kimport::rbtEndeAnhaengenClick(state_.mode);
}
void ModePageController::rbtAktualisierenClick() {
    kimport::rbtAktualisierenClick(state_.mode);
}
void ModePageController::rbtIgnorierenClick() {
    kimport::rbtIgnorierenClick(state_.mode);
}

void ModePageController::rbtUmbenennenClick() {
    startValueOptionClick(state_.mode, true, keyFieldLabel(c_.tblZStrukt).value_or(""));
    if (state_.page == WizardPage::Seite5) state_.focusControl = "edtStartwert";
}

void ModePageController::rbtSelfIncClick() {
    startValueOptionClick(state_.mode, false, keyFieldLabel(c_.tblZStrukt).value_or(""));
    if (state_.page == WizardPage::Seite5) state_.focusControl = "edtStartwert";
}

void ModePageController::edtStartwertEnter() {
    state_.mode.btnInhaltAnz5Visible = true;
}

bool ModePageController::modeChecks() {
    ModePageState& mode = state_.mode;
    if (!ModeCheck(mode, env_.prompter)) return false;
    StartValueTables tables{c_.tblZStrukt, c_.tblQuelle, c_.tblZiel};
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

void ModePageController::btnZurueck5Click() {
    c_.leavePage();
    if (state_.rbtVorhEinst_oAE.checked) {
        c_.goTo(WizardPage::Seite1);
        return;
    }
    if (c_.tblZStrukt.Active()) c_.tblZStrukt.MoveFirst();
    c_.goTo(WizardPage::Seite4);
}

void ModePageController::btnWeiter5Click() {
    c_.leavePage();
    if (modeChecks()) c_.goTo(WizardPage::Seite6);
}

}  // namespace kimport
