// The steps of the wizard that belong to the structures, the saved settings
// and the import run. Each does what the page flow needs to go on; the
// structure reading, the settings store and the run fill them out.
#include "common/FileSets.h"
#include "common/Text.h"
#include "tablestore/TableFiles.h"
#include "wizard/ImportWizard.h"

namespace kimport {

namespace {
// Import mode of the current ImpList row, 1 when it has none.
int storedMode(Table& impList, const FormatSettings& fs) {
    auto field = impList.LookupField("Importmodus");
    if (!field || impList.IsNull(*field)) return 1;
    std::string text = impList.AsString(*field, fs);
    return text.empty() ? 1 : std::stoi(text);
}
}  // namespace

bool ImportWizard::loadSettingUnchanged() {
    if (!tblImpList.Active() || tblImpList.RecordCount() == 0) {
        env_.prompter.beep();
        return false;
    }
    state_.edtQuelle = currentImpListText("Quelldatei");
    state_.edtZiel = currentImpListText("Zieldatei");
    int mode = storedMode(tblImpList, env_.formats.current);
    state_.rbtEndeAnhaengen.checked = mode >= 1 && mode <= 4;
    state_.rbtIgnorieren.checked = mode == 2;
    state_.rbtUmbenennen.checked = mode == 3;
    state_.rbtSelfInc.checked = mode == 4;
    state_.rbtAktualisieren.checked = mode == 5;
    goTo(mode == 3 || mode == 4 ? WizardPage::Seite5 : WizardPage::Seite6);
    return true;
}

bool ImportWizard::loadSettingForEdit() {
    if (!tblImpList.Active() || tblImpList.RecordCount() == 0) {
        env_.prompter.beep();
        return false;
    }
    state_.edtQuelle = currentImpListText("Quelldatei");
    state_.edtZiel = currentImpListText("Zieldatei");
    state_.edtImpSpeich = currentSettingName();
    goTo(WizardPage::Seite2);
    return true;
}

bool ImportWizard::checkStoredMapping(bool) { return storedMappingValid; }

void ImportWizard::readSourceStructure() {
    tblQuelle.CloseTable();
    tblQuelle.setPath(state_.edtQuelle);
    tblQuelle.OpenTable();
    lastSourceRead = state_.edtQuelle;
}

void ImportWizard::readTargetStructure() {
    tblZiel.CloseTable();
    tblZiel.setPath(state_.edtZiel);
    tblZiel.OpenTable();
    lastTargetRead = state_.edtZiel;
}

void ImportWizard::saveMappingCopy() {}
void ImportWizard::carryOverRules() {}
void ImportWizard::autoMap() {}
bool ImportWizard::layoutChanged() { return true; }
void ImportWizard::rememberLayout() {}
bool ImportWizard::preRunCheck() { return true; }
bool ImportWizard::modeChecks() { return true; }

void ImportWizard::makeBackupCopy() {
    const std::string& target = state_.edtZiel;
    CopyFileSet(directoryOf(target) + baseNameOf(target) + ".*", directoryOf(target).empty() ? "." : directoryOf(target),
                "CP_" + baseNameOf(target), env_.prompter, env_.fs);
}

void ImportWizard::readInSettings() { openImpList(); }

void ImportWizard::startRun() {
    state_.page6Enabled = false;
    state_.showContentViewer = state_.rbtTabAnz.checked;
}

}  // namespace kimport
