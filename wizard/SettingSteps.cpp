// Saving the setting on "&Fertigstellen" and loading a saved one from the
// first page, unchanged (straight to the mode or the last page) or for editing
// (through the pages with everything filled in).
#include "common/FileSets.h"
#include "common/ProgramDirectory.h"
#include "common/UserMessage.h"
#include "common/Text.h"
#include "settings/SettingsCatalog.h"
#include "settings/SettingsStore.h"
#include "textsource/StagingTable.h"
#include "wizard/ImportWizard.h"

#include <cstdlib>

namespace kimport {

SettingsTables ImportWizard::settingsTables() {
    return SettingsTables{tblImpList, tblZStrukt, env_.prompter, env_.fs, env_.programDir};
}

// The current setting: the ImpList row the first page's name shows. After a message when its mapping
// files are missing (and the setting perhaps deleted), none.
std::optional<SavedSetting> ImportWizard::restoreCurrentSetting() {
    if (!seekSetting(tblImpList, state_.edtAktEinstellung)) {
        env_.prompter.beep();
        return std::nullopt;
    }
    SavedSetting setting = readSetting(tblImpList);
    SettingsTables t = settingsTables();
    if (!RestoreMapping(t, setting)) {
        state_.edtAktEinstellung = currentSettingName();
        return std::nullopt;
    }
    return setting;
}

// A stored source or target back into its edit; one that is gone is tried below Demos/, else it must be
// chosen again.
bool ImportWizard::putFileBack(const std::string& stored, bool source, bool unchanged) {
    const char* what = source ? "Es wurde keine Quelldatei gespeichert" : "Es wurde keine Zieldatenbank gespeichert";
    bool& chooseAgain = source ? state_.cbxQuelleAusw : state_.cbxZielAusw;
    std::string& edit = source ? state_.edtQuelle : state_.edtZiel;
    Table& table = source ? tblQuelle : tblZiel;
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
            sampleFilesFlag = true;
            if (unchanged) state_.lblQuelldatei = foldedUpper(fileNameOf(*found));
        }
        return true;
    }
    if (source) sampleFilesFlag = false;
    env_.prompter.error(std::string(what) + ", oder\r\nPfad- bzw. Dateinamen sind geändert worden.\r\n\r\n" + stored);
    return forget();
}

// A stored text layout back into the text pages' controls and the preview.
void ImportWizard::putLayoutBack(const SavedSetting& setting) {
    tblQuelle.CloseTable();
    TextLayout& layout = state_.textLayout;
    const bool dos = layout.dos;
    layout = setting.layout;
    layout.dos = dos;
    state_.rgrDatsatzlaenge = setting.layout.kind == LayoutKind::Fixed ? 1 : 0;
    const int kind = state_.rgrDatsatzlaenge;
    loadTextSource();  // the text box; it suggests a kind, the stored one holds
    state_.rgrDatsatzlaenge = kind;
    buildTextPreview();
}

bool ImportWizard::loadSettingUnchanged() {
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
    if (s.backupCopy) makeBackupCopy();
    restoreFormats(s, env_.formats.current);
    if (isTextSourcePath(s.sourcePath)) {
        state_.textLayout.dos = s.dosToWin;
        putLayoutBack(s);
        // The staging table is the run's source; the stored mapping stays as it is.
        const std::string path = findIgnoringCase(state_.edtQuelle, env_.fs);
        StagingResult staged = BuildStagingTable(path, state_.textLayout, state_.textPreview.names,
                                                 env_.programDir + "Temp/", progress());
        ownTempFiles_.push_back(baseNameOf(staged.path));
        keepStagingReport(staged);
        tblQuelle.setPath(staged.path);
    }
    state_.cbxZielLeeren.checked = s.emptyTarget;
    applyModeButtons(modeButtonsOnLoad(importModeFromCode(s.mode).value_or(ImportMode::Append), false), state_.mode);
    if (s.mode == 3 || s.mode == 4) {
        goTo(WizardPage::Seite5);
        state_.mode.gbxImportmodusVisible = state_.mode.startValueEnabled = true;
        state_.focusControl = "edtStartwert";
    } else {
        goTo(WizardPage::Seite6);
    }
    state_.saveControlsEnabled = false;  // a setting run unchanged is not saved again
    return true;
}

bool ImportWizard::loadSettingForEdit() {
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
        if (sourceFound) putLayoutBack(s);  // the text box and the preview with the stored layout
    }
    putFileBack(s.targetPath, false, false);
    state_.btnSicherungskopie.visible = false;
    state_.cbxSicherungskopie.visible = true;
    state_.cbxSicherungskopie.checked = s.backupCopy;
    state_.cbxZielLeeren.checked = s.emptyTarget;
    if (state_.cbxQuelleAusw)
        goTo(WizardPage::Seite2);
    else if (state_.cbxZielAusw)
        btnWeiter2Click();
    else
        btnWeiter3Click();
    return true;
}

// "&Fertigstellen": the setting is saved first (an unchanged run is not). False keeps page 6.
bool ImportWizard::saveSetting() {
    if (!state_.saveControlsEnabled) return true;
    if (state_.edtImpSpeich.empty()) {
        switch (env_.prompter.message(MsgKind::Confirmation, Buttons::YesNoCancel,
                                      "Möchten Sie die vorgenommenen Importeinstellungen speichern")) {
        case Answer::Yes: state_.focusControl = "edtImpSpeich"; return false;
        case Answer::No: return true;
        default: return false;
        }
    }
    SavedSetting s;
    s.name = state_.edtImpSpeich;
    s.remark = state_.edtBemerkung;
    s.sourcePath = state_.edtQuelle;
    s.targetPath = state_.edtZiel;
    s.emptyTarget = state_.cbxZielLeeren.checked;
    s.backupCopy = state_.cbxSicherungskopie.checked;
    s.lastImport = todayNumber();
    s.mode = importModeCode(importModeFromButtons(checkedModeButtons(state_.mode)).value_or(ImportMode::Append));
    s.layout = state_.textLayout;
    s.layout.kind = state_.rgrDatsatzlaenge == 1 ? LayoutKind::Fixed : LayoutKind::Variable;
    s.layout.columnNames = state_.textPreview.names;
    s.dosToWin = state_.textLayout.dos;
    storeFormats(env_.formats.current, s);
    SettingsTables t = settingsTables();
    switch (SaveSetting(t, s)) {
    case SaveOutcome::NameTaken: state_.focusControl = "edtImpSpeich"; return false;
    case SaveOutcome::Saved: state_.edtAktEinstellung = s.name; return true;
    case SaveOutcome::Failed: return true;  // the run goes ahead with the working mapping
    }
    return true;
}

// "Importeinstellungen einlesen": predefined settings from a VorDef.DB file, with their mapping files.
void ImportWizard::readInSettings() {
    if (!openImpList()) return;
    FileDialogSpec dialog;
    dialog.title = "Importeinstellung auswählen";
    const std::string home = userHomeDirectory();
    dialog.initialDir = home.empty() ? env_.programDir : home;
    dialog.filters = {{"Importeinstellungen", "VorDef.DB"}};
    std::optional<std::string> file = env_.prompter.openFile(dialog);
    if (!file) return;
    ReadInResult result;
    try {
        SettingsTables t = settingsTables();
        result = ReadInSettings(t, *file, &progress());
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
    if (state_.edtAktEinstellung.empty() || !seekSetting(tblImpList, state_.edtAktEinstellung)) {
        tblImpList.MoveFirst();
        state_.edtAktEinstellung = currentSettingName();
    }
}

std::optional<SavedSetting> ImportWizard::currentSetting() {
    if (!seekSetting(tblImpList, state_.edtAktEinstellung)) return std::nullopt;
    return readSetting(tblImpList);
}

TextOptionsForm ImportWizard::optionsOfCurrentSetting() {
    // The setting's own separators and date order, not the ones the wizard works with now.
    FormatSettings formats = env_.formats.current;
    bool dos = state_.textLayout.dos;
    if (std::optional<SavedSetting> s = currentSetting()) {
        restoreFormats(*s, formats);
        dos = s->dosToWin;
    }
    return optionsOnShow(formats, dos);
}

void ImportWizard::saveRemark(const std::string& remark) { SaveRemark(tblImpList, state_.edtAktEinstellung, remark); }

// The error list was shown and closed: its entries are done with.
void ImportWizard::errorListClosed() {
    state_.showErrorList = false;
    state_.errorList.clear();
}

}  // namespace kimport
