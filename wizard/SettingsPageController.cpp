#include "wizard/SettingsPageController.h"

#include "common/FileSets.h"
#include "common/ProgramDirectory.h"
#include "common/Text.h"
#include "common/UserMessage.h"
#include "settings/SettingsCatalog.h"
#include "textsource/StagingTable.h"
#include "wizard/ImportWizard.h"

#include <algorithm>

namespace kimport {

SettingsPageController::SettingsPageController(WizardContext& context, ImportWizard& wizard)
    : PageController(context, wizard), settingsManager_(context.settingsTables()) {}

std::vector<SettingChoice> SettingsPageController::settingChoices() {
    std::vector<SettingChoice> choices;
    if (!c_.tblImpList.Active()) return choices;
    std::string current = c_.currentSettingName();
    const int name = c_.tblImpList.FieldNamed("Bezeichnung"), source = c_.tblImpList.FieldNamed("Quelldatei"),
              target = c_.tblImpList.FieldNamed("Zieldatei");
    for (c_.tblImpList.MoveFirst(); !c_.tblImpList.AtEnd(); c_.tblImpList.MoveNext())
        choices.push_back({c_.tblImpList.AsString(name, env_.formats.current),
                           c_.tblImpList.AsString(source, env_.formats.current),
                           c_.tblImpList.AsString(target, env_.formats.current)});
    if (!current.empty()) c_.tblImpList.SeekKey({Value::ofText(current)});
    std::sort(choices.begin(), choices.end(),
              [](const SettingChoice& a, const SettingChoice& b) { return settingNameBefore(a.name, b.name); });
    return choices;
}

void SettingsPageController::showSavedSettingControls(bool visible) {
    state_.gbxAktEinstellungVisible = state_.lblWeitereVisible = visible;
    state_.comVorh_EinstellgVisible = state_.btnDetailsVisible = visible;
}

void SettingsPageController::rbtNeueImportClick() {
    state_.rbtNeueImport.checked = true;
    state_.rbtVorhEinst_oAE.checked = state_.rbtVorhEinst_mAE.checked = state_.rbtImpEinlesen.checked = false;
    c_.sampleFilesFlag = false;
    state_.showDetailsSummary = state_.showDetailsManager = false;
    showSavedSettingControls(false);
    state_.btnSicherungskopie.visible = true;
    state_.cbxSicherungskopie.checked = false;
    state_.cbxSicherungskopie.visible = false;
    state_.cbxZielLeeren.checked = false;
    // A new setting is saved again, and takes nothing from one loaded before.
    state_.saveControlsEnabled = true;
    state_.edtBemerkung.clear();
    state_.remarkEditorVisible = false;
    if (!c_.tblImpList.Active() || c_.tblImpList.RecordCount() == 0) {
        state_.rbtVorhEinst_oAE.visible = state_.rbtVorhEinst_mAE.visible = false;
        state_.rbtImpEinlesen.visible = true;
    }
}

void SettingsPageController::rbtVorhEinst_oAEClick() {
    state_.rbtVorhEinst_oAE.checked = true;
    state_.rbtNeueImport.checked = state_.rbtVorhEinst_mAE.checked = state_.rbtImpEinlesen.checked = false;
    c_.openImpList();
    showSavedSettingControls(true);
}

void SettingsPageController::rbtVorhEinst_mAEClick() {
    state_.rbtVorhEinst_mAE.checked = true;
    state_.rbtNeueImport.checked = state_.rbtVorhEinst_oAE.checked = state_.rbtImpEinlesen.checked = false;
    c_.openImpList();
    showSavedSettingControls(true);
}

void SettingsPageController::rbtImpEinlesenClick() {
    state_.rbtImpEinlesen.checked = true;
    state_.rbtNeueImport.checked = state_.rbtVorhEinst_oAE.checked = state_.rbtVorhEinst_mAE.checked = false;
}

void SettingsPageController::comVorh_EinstellgSelect(const std::string& name) {
    if (!c_.tblImpList.Active() && !c_.openImpList()) return;
    if (c_.tblImpList.SeekKey({Value::ofText(name)})) state_.edtAktEinstellung = c_.currentSettingName();
}

void SettingsPageController::btnDetailsClick() {
    state_.showDetailsSummary = state_.rbtVorhEinst_oAE.checked;
    state_.showDetailsManager = state_.rbtVorhEinst_mAE.checked;
}

void SettingsPageController::btnWeiter1Click() {
    c_.leavePage();
    c_.storedMappingValid = true;
    if (state_.rbtNeueImport.checked) {
        c_.goTo(WizardPage::Seite2);
    } else if (state_.rbtVorhEinst_oAE.checked) {
        if (!loadSettingUnchanged()) return;
        bool textSource = c_.currentImpListText("Quellformat") == "Text";
        if (!wizard_.mappingPage().checkStoredMapping(textSource)) {
            c_.goTo(WizardPage::Seite1);
            env_.prompter.message(MsgKind::Information, Buttons::Ok,
                                  "Bitte verwenden Sie die Option\r\n\"Vorhandene Einstellungen ändern\"\r\num "
                                  "Feldzuordnungen zu kontrollieren.");
            rbtVorhEinst_mAEClick();
        }
    } else if (state_.rbtVorhEinst_mAE.checked) {
        loadSettingForEdit();
    } else if (state_.rbtImpEinlesen.checked) {
        readInSettings();
        if (c_.tblImpList.Active() && c_.tblImpList.RecordCount() > 0) {
            state_.rbtImpEinlesen.checked = false;
            state_.rbtImpEinlesen.visible = false;
            state_.rbtVorhEinst_oAE.visible = state_.rbtVorhEinst_mAE.visible = true;
        }
    } else {
        env_.prompter.beep();
    }
}

// --- Loading a saved setting --------------------------------------------------------------

// The current setting: the ImpList row the first page's name shows. After a message when its mapping
// files are missing (and the setting perhaps deleted), none.
std::optional<SavedSetting> SettingsPageController::restoreCurrentSetting() {
    if (!seekSetting(c_.tblImpList, state_.edtAktEinstellung)) {
        env_.prompter.beep();
        return std::nullopt;
    }
    SavedSetting setting = readSetting(c_.tblImpList);
    SettingsTables t = c_.settingsTables();
    if (!RestoreMapping(t, setting)) {
        state_.edtAktEinstellung = c_.currentSettingName();
        return std::nullopt;
    }
    return setting;
}

// A stored source or target back into its edit; one that is gone is tried below Demos/, else it must be
// chosen again.
bool SettingsPageController::putFileBack(const std::string& stored, bool source, bool unchanged) {
    const char* what = source ? "Es wurde keine Quelldatei gespeichert" : "Es wurde keine Zieldatenbank gespeichert";
    bool& chooseAgain = source ? state_.cbxQuelleAusw : state_.cbxZielAusw;
    std::string& edit = source ? state_.edtQuelle : state_.edtZiel;
    Table& table = source ? c_.tblQuelle : c_.tblZiel;
    // A file that is not found leaves no name behind: nothing may run on another file.
    auto forget = [&] {
        edit.clear();
        table.CloseTable();
        table.setPath("");
        chooseAgain = true;
        return false;
    };
    if (stored.empty()) {
        env_.prompter.error(std::string(what) + ".");
        return forget();
    }
    if (std::optional<std::string> found = storedFileFound(stored, env_.programDir, env_.fs)) {
        edit = *found;
        table.CloseTable();
        table.setPath(*found);
        // Found below Demos/: the sample files are in use.
        if (source && *found != stored) {
            c_.sampleFilesFlag = true;
            if (unchanged) state_.lblQuelldatei = foldedUpper(fileNameOf(*found));
        }
        return true;
    }
    if (source) c_.sampleFilesFlag = false;
    env_.prompter.error(std::string(what) + ", oder\r\nPfad- bzw. Dateinamen sind geändert worden.\r\n\r\n" + stored);
    return forget();
}

bool SettingsPageController::loadSettingUnchanged() {
    std::optional<SavedSetting> setting = restoreCurrentSetting();
    if (!setting) return false;
    const SavedSetting& s = *setting;
    if (!textLayoutComplete(s)) {  // (a missing source is reported when it is put back)
        env_.prompter.error(incompleteLayoutMessage(s));
        return false;
    }
    const bool sourceFound = putFileBack(s.sourcePath, true, true);
    const bool targetFound = putFileBack(s.targetPath, false, true);
    // A setting whose source or target is gone stays on the first page: nothing may run without it.
    if (!sourceFound || !targetFound) return false;
    if (s.backupCopy) wizard_.targetPage().makeBackupCopy();
    restoreFormats(s, env_.formats.current);
    if (isTextSourcePath(s.sourcePath)) {
        state_.textLayout.dos = s.dosToWin;
        wizard_.textPages().restoreLayout(s);
        wizard_.textPages().stageForRun();
    }
    state_.cbxZielLeeren.checked = s.emptyTarget;
    applyModeButtons(modeButtonsOnLoad(importModeFromCode(s.mode).value_or(ImportMode::Append), false), state_.mode);
    if (s.mode == 3 || s.mode == 4) {
        c_.goTo(WizardPage::Seite5);
        state_.mode.gbxImportmodusVisible = state_.mode.startValueEnabled = true;
        state_.focusControl = "edtStartwert";
    } else {
        c_.goTo(WizardPage::Seite6);
    }
    state_.saveControlsEnabled = false;  // a setting run unchanged is not saved again
    return true;
}

bool SettingsPageController::loadSettingForEdit() {
    state_.btnAufhebenEnabled = true;
    state_.saveControlsEnabled = true;
    std::optional<SavedSetting> setting = restoreCurrentSetting();
    if (!setting) return false;
    const SavedSetting& s = *setting;
    applyModeButtons(modeButtonsOnLoad(importModeFromCode(s.mode).value_or(ImportMode::Append), true), state_.mode);
    state_.textLayout.dos = s.dosToWin;
    restoreFormats(s, env_.formats.current);
    state_.edtBemerkung = s.remark;
    const bool sourceFound = putFileBack(s.sourcePath, true, false);
    if (isTextSourcePath(s.sourcePath)) {
        state_.textLayout = s.layout;
        state_.textLayout.dos = s.dosToWin;
        state_.rgrDatsatzlaenge = s.layout.kind == LayoutKind::Fixed ? 1 : 0;
        if (sourceFound) wizard_.textPages().restoreLayout(s);  // the text box and the preview with the stored layout
    }
    putFileBack(s.targetPath, false, false);
    state_.btnSicherungskopie.visible = false;
    state_.cbxSicherungskopie.visible = true;
    state_.cbxSicherungskopie.checked = s.backupCopy;
    state_.cbxZielLeeren.checked = s.emptyTarget;
    if (state_.cbxQuelleAusw)
        c_.goTo(WizardPage::Seite2);
    else if (state_.cbxZielAusw)
        wizard_.sourcePage().btnWeiter2Click();
    else
        wizard_.targetPage().btnWeiter3Click();
    return true;
}

// "Importeinstellungen einlesen": predefined settings from a VorDef.DB file, with their mapping files.
void SettingsPageController::readInSettings() {
    if (!c_.openImpList()) return;
    FileDialogSpec dialog;
    dialog.title = "Importeinstellung auswählen";
    const std::string home = userHomeDirectory();
    dialog.initialDir = home.empty() ? env_.programDir : home;
    dialog.filters = {{"Importeinstellungen", "VorDef.DB"}};
    std::optional<std::string> file = env_.prompter.openFile(dialog);
    if (!file) return;
    ReadInResult result;
    try {
        SettingsTables t = c_.settingsTables();
        result = ReadInSettings(t, *file, &c_.progress());
    } catch (const std::exception& e) {
        // A file that cannot be read (damaged, locked) is refused before the catalogue changes.
        env_.prompter.error(userMessage(e));
        return;
    }
    for (const std::string& entry : result.errors) state_.errorList += entry;
    if (!result.errors.empty() &&
        env_.prompter.message(MsgKind::Confirmation, Buttons::YesNo,
                              "Beim Einlesen vordefinierter Importeinstellungen sind\r\nFehler aufgetreten.\r\n\r\n"
                              "Möchten Sie eine Liste dieser Fehler sehen?") == Answer::Yes)
        state_.showErrorList = true;
    if (state_.edtAktEinstellung.empty() || !seekSetting(c_.tblImpList, state_.edtAktEinstellung)) {
        c_.tblImpList.MoveFirst();
        state_.edtAktEinstellung = c_.currentSettingName();
    }
}

std::optional<SavedSetting> SettingsPageController::currentSetting() {
    if (!seekSetting(c_.tblImpList, state_.edtAktEinstellung)) return std::nullopt;
    return readSetting(c_.tblImpList);
}

TextOptionsForm SettingsPageController::optionsOfCurrentSetting() {
    // The setting's own separators and date order, not the ones the wizard works with now.
    FormatSettings formats = env_.formats.current;
    bool dos = state_.textLayout.dos;
    if (std::optional<SavedSetting> s = currentSetting()) {
        restoreFormats(*s, formats);
        dos = s->dosToWin;
    }
    return optionsOnShow(formats, dos);
}

// The error list was shown and closed: its entries are done with.
void SettingsPageController::errorListClosed() {
    state_.showErrorList = false;
    state_.errorList.clear();
}

void SettingsPageController::saveRemark(const std::string& remark) {
    SaveRemark(c_.tblImpList, state_.edtAktEinstellung, remark);
}

// --- The settings manager ---------------------------------------------------------------------------

void SettingsPageController::managerOpened() {
    settingsManager_.show(state_.edtAktEinstellung);
}

void SettingsPageController::managerClosed(bool startImport) {
    // The first page names the manager's setting (or none), also after a rename or a delete.
    const ManagerState& m = settingsManager_.state();
    const std::string chosen = m.current;
    state_.edtAktEinstellung = chosen;
    state_.cbxQuelleAusw = m.chooseSourceAgain;
    state_.cbxZielAusw = m.chooseTargetAgain;
    if (startImport && settingsManager_.anySetting() && !chosen.empty())
        btnWeiter1Click();
    else
        rbtNeueImportClick();
}

}  // namespace kimport
