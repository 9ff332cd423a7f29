#include "settings/SettingsManager.h"

#include "common/FileSets.h"
#include "common/ProgramDirectory.h"
#include "settings/ColumnValues.h"

#include <algorithm>
#include <cstdlib>

namespace kimport {

void SettingsManager::show(const std::string& current) {
    state_.chooseSourceAgain = state_.chooseTargetAgain = true;
    state_.view = SettingsView::All;
    state_.current = current;
    refresh();
}

void SettingsManager::setView(SettingsView view) {
    state_.view = view;
    refresh();
}

void SettingsManager::select(const std::string& name) {
    state_.current = name;
    refresh();
}

bool SettingsManager::anySetting() {
    if (!t_.impList.Active()) t_.impList.OpenTable();
    return t_.impList.RecordCount() > 0;
}

// The view's rows, the selected one kept when the view still shows it, and its details and buttons.
void SettingsManager::refresh() {
    state_.names = settingsInView(t_.impList, state_.view);
    if (std::find(state_.names.begin(), state_.names.end(), state_.current) == state_.names.end())
        state_.current = state_.names.empty() ? std::string() : state_.names.front();
    state_.formats.clear();
    for (const std::string& name : state_.names) {
        seekSetting(t_.impList, name);
        state_.formats.push_back(textOf(t_.impList, "Quellformat"));
    }
    state_.details = SavedSetting{};
    state_.modeText.clear();
    state_.baseName.clear();
    if (seekSetting(t_.impList, state_.current)) {
        state_.details = readSetting(t_.impList);
        state_.modeText = modeDescription(state_.details.mode);
        state_.baseName = mappingBaseName(state_.details);
    }
    state_.buttons = managerButtons(state_.view, !state_.names.empty(), anySetting());
}

void SettingsManager::setRemark(const std::string& remark) {
    SaveRemark(t_.impList, state_.current, remark);
    refresh();
}

void SettingsManager::setFlag(const char* column, bool on) {
    if (!seekSetting(t_.impList, state_.current) || flagOf(t_.impList, column) == on) return;
    t_.impList.BeginEdit();
    putFlag(t_.impList, column, on);
    t_.impList.PostRecord();
    t_.impList.Flush();
    refresh();
}

void SettingsManager::setBackupCopy(bool on) {
    setFlag("Sicherungskopie", on);
}
void SettingsManager::setEmptyTarget(bool on) {
    setFlag("ZielLeeren", on);
}

void SettingsManager::btnLoeschenClick() {
    if (state_.current.empty()) return;
    const auto at = std::find(state_.names.begin(), state_.names.end(), state_.current) - state_.names.begin();
    if (!DeleteSettingAsked(t_, state_.current)) return;
    state_.view = viewAfterDelete(t_.impList, state_.view);
    // The row that followed the deleted one (or the last) is selected now.
    const std::vector<std::string> left = settingsInView(t_.impList, state_.view);
    state_.current =
        left.empty() ? std::string() : left[std::min<std::size_t>(static_cast<std::size_t>(at), left.size() - 1)];
    refresh();
}

void SettingsManager::btnUmbenennenClick() {
    if (state_.current.empty()) return;
    const std::string before = state_.current;
    if (RenameSetting(t_, before)) state_.current = textOf(t_.impList, "Bezeichnung");
    refresh();
}

void SettingsManager::btnKopierenNachClick() {
    if (state_.current.empty()) return;
    if (CopySetting(t_, state_.current)) state_.current = textOf(t_.impList, "Bezeichnung");
    refresh();
}

void SettingsManager::btnExportierenClick() {
    if (state_.current.empty()) return;
    FileDialogSpec dialog;
    dialog.title = "Importeinstellung exportieren";
    const std::string home = userHomeDirectory();
    dialog.initialDir = home.empty() ? t_.programDir : home;
    dialog.initialFile = "VorDef.DB";
    dialog.filters = {{"Importeinstellungen", "VorDef.DB"}};
    std::optional<std::string> file = t_.prompter.saveFile(dialog);
    if (!file) return;
    const std::string directory = directoryOf(*file).empty() ? "./" : directoryOf(*file);
    ExportResult result = ExportSettings(t_, {state_.current}, directory);
    if (!result.errors.empty()) {
        t_.prompter.error(result.errors.front());
    } else {
        t_.prompter.message(MsgKind::Information, Buttons::Ok,
                            "Die Importeinstellung \r\n\"" + state_.current + "\"\r\nist nach " + directory +
                                "VorDef.DB exportiert worden. Sie kann dort mit \"Neue Einstellungen einlesen\" "
                                "übernommen werden.");
    }
    refresh();
}

}  // namespace kimport
