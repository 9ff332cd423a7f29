#include "tablestore/TableFiles.h"
#include "wizard/TargetPageController.h"

#include "common/FileSets.h"
#include "common/Text.h"
#include "common/UserMessage.h"
#include "tablestore/FileSetWriter.h"
#include "tablestore/TableRoutines.h"
#include "wizard/BrowseDialogs.h"
#include "wizard/ImportWizard.h"
#include "wizard/PresetTables.h"

namespace kimport {

void TargetPageController::comZielSelect(const std::string& item) {
    if (std::optional<std::string> path = presetTablePath(env_.bkdbAlias, item)) state_.edtZiel = *path;
}

void TargetPageController::btnZBrowseClick() { browseForFile(c_, false); }

bool TargetPageController::checkTarget() {
    return c_.checkName(false);
}

// --- Backup copy of the target ---------------------------------------------------------------------

void TargetPageController::btnSicherungskopieClick() {
    const std::string& name = state_.edtZiel;
    const std::string dir = directoryOf(name);
    if (name.empty() || !(dir.empty() || env_.fs.isDirectory(dir))) {
        env_.prompter.error("Der von Ihnen eingegebene Verzeichnispfad existiert leider nicht.");
        state_.focusControl = "edtZiel";
        return;
    }
    if (!fileExistsIgnoringCase(name, env_.fs)) {
        env_.prompter.error("Der von Ihnen eingegebene Dateiname existiert leider nicht.");
        state_.focusControl = "edtZiel";
        return;
    }
    state_.cbxSicherungskopie.checked = true;
    makeBackupCopy();
}

// The save dialog proposes "CP_" + the target's name beside it; every file of the target's set is
// copied under the chosen base name, each keeping its extension.
void TargetPageController::makeBackupCopy() {
    const std::string target = findIgnoringCase(state_.edtZiel, env_.fs);
    const std::string dir = directoryOf(target).empty() ? "./" : directoryOf(target);
    FileDialogSpec dialog;
    dialog.title = "Sicherungskopie speichern unter";
    dialog.filters = {fileFilter("Paradox; dBase", {"db", "dbf"}), fileFilter("Paradox", {"db"}),
                      fileFilter("dBase", {"dbf"})};
    dialog.initialDir = dir;
    // Only the file name in capitals: the folder's name is kept as the file system spells it.
    dialog.initialFile = asciiUpper("CP_" + fileNameOf(target));
    std::optional<std::string> chosen = env_.prompter.saveFile(dialog);
    if (!chosen) return;
    const std::string chosenDir = directoryOf(*chosen).empty() ? dir : directoryOf(*chosen);
    const std::string base = baseNameOf(*chosen);
    int copied = -1;
    // A copy onto the target itself would be no backup.
    // All files at once, as a table is saved: a full disk never leaves half a backup over an older one.
    if (!base.empty() && !samePath(chosenDir + base + extensionOf(target), target))
        copied =
            copyFileSetAtOnce(env_.fs, directoryOf(target), baseNameOf(target), chosenDir, base, false, env_.prompter);
    if (copied < 1)
        env_.prompter.error("Die Sicherungskopie konnte nicht erstellt werden");
    else
        env_.prompter.message(MsgKind::Information, Buttons::Ok, "Die Sicherungskopie ist erstellt worden");
}

// --- Leaving the page ---------------------------------------------------------------------------------

void TargetPageController::btnZurueck3Click() {
    c_.leavePage();
    if (state_.rbtNeueImport.checked) {
        c_.tblZiel.CloseTable();
        c_.tblZiel.DatabaseName.clear();
        c_.tblZiel.TableName.clear();
        state_.cbxSicherungskopie.checked = false;
        state_.cbxZielLeeren.checked = false;
        c_.goTo(WizardPage::Seite2);
    } else {
        c_.goTo(state_.cbxQuelleAusw ? WizardPage::Seite2 : WizardPage::Seite1);
    }
}

void TargetPageController::btnWeiter3Click() {
    c_.leavePage();
    if (!checkTarget()) {
        state_.focusControl = "edtZiel";
        return;
    }
    Table& target = c_.tblZiel;
    target.CloseTable();
    target.setPath(state_.edtZiel);
    // A target that may not be changed, or that another program holds, is refused here, naming it and
    // why: not after the setting was saved on the last page.
    try {
        target.OpenTable();
        target.CheckWritable();
    } catch (const TableError& e) {
        target.CloseTable();
        env_.prompter.error(userMessage(e));
        state_.focusControl = "edtZiel";
        return;
    }
    target.CloseTable();
    if (state_.cbxSicherungskopie.visible && state_.cbxSicherungskopie.checked) makeBackupCopy();

    const std::string& source = state_.edtQuelle;
    const bool tableSource = isTablePath(source);
    MappingPageController& mapping = wizard_.mappingPage();
    try {
        if (!samePath(source, c_.lastSourceRead)) {
            ClearTableExclusive(c_.tblQStrukt, env_.prompter);
            if (tableSource && !readSourceStructure()) return;
        }
        bool skip = false;
        if (c_.sampleFilesFlag) {
            skip = equalsIgnoreCase(fileNameOf(c_.currentImpListText("Quelldatei")), fileNameOf(source)) &&
                   equalsIgnoreCase(fileNameOf(c_.currentImpListText("Zieldatei")), fileNameOf(state_.edtZiel)) &&
                   mapping.checkStoredMapping(false);
        } else if (!state_.rbtNeueImport.checked) {
            skip = samePath(source, c_.currentImpListText("Quelldatei")) &&
                   samePath(state_.edtZiel, c_.currentImpListText("Zieldatei")) && mapping.checkStoredMapping(false);
        }
        if (!skip) {
            if (!samePath(state_.edtZiel, c_.lastTargetRead)) {
                MappingTables t = c_.mappingTables();
                SaveMappingCopy(t);
                c_.rulesToCarry = true;  // the copy holds the rules; the text pages carry them over too
                ClearTableExclusive(c_.tblZStrukt, env_.prompter);
                if (!readTargetStructure()) return;
            }
            if (tableSource && layoutChanged()) {
                rememberLayout();
                if (c_.sampleFilesFlag || !state_.rbtNeueImport.checked)
                    mapping.carryOverRules();
                else
                    mapping.autoMap();
                c_.rulesToCarry = false;
            }
        }
        if (!c_.tblZStrukt.Active()) c_.tblZStrukt.OpenTable();
        target.OpenTable();
    } catch (const TableError& e) {
        env_.prompter.error(userMessage(e));
        return;
    }
    if (tableSource) {
        c_.goTo(WizardPage::Seite4);
        return;
    }
    wizard_.textPages().loadTextSource();
}

// A structure that could not be read is not remembered as read: the next attempt reads it again.
bool TargetPageController::readSourceStructure() {
    c_.tblQuelle.CloseTable();
    c_.tblQuelle.setPath(state_.edtQuelle);
    MappingTables t = c_.mappingTables();
    if (ReadSourceStructure(t, &c_.sourceGrid)) return true;
    c_.lastSourceRead.clear();
    return false;
}

bool TargetPageController::readTargetStructure() {
    c_.tblZiel.CloseTable();
    c_.tblZiel.setPath(state_.edtZiel);
    MappingTables t = c_.mappingTables();
    if (ReadTargetStructure(t)) return true;
    c_.lastTargetRead.clear();
    return false;
}

bool TargetPageController::layoutChanged() {
    return !samePath(state_.edtQuelle, c_.lastSourceRead) || !samePath(state_.edtZiel, c_.lastTargetRead);
}

void TargetPageController::rememberLayout() {
    c_.lastSourceRead = state_.edtQuelle;
    c_.lastTargetRead = state_.edtZiel;
}

}  // namespace kimport
