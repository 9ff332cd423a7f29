// Page 1: a new import, a saved setting run unchanged or changed, or settings
// read in from a file; loading the chosen setting puts its files, layout,
// formats and mode back and walks on to the page where the user continues.
// The settings manager and the summary are opened from here.
#pragma once

#include "settings/SettingsManager.h"
#include "textsource/TextOptions.h"
#include "wizard/PageController.h"

#include <optional>
#include <string>
#include <vector>

namespace kimport {

struct SettingChoice {
    std::string name, source, target;
};

class SettingsPageController : public PageController {
public:
    SettingsPageController(WizardContext& context, ImportWizard& wizard);

    void rbtNeueImportClick();
    void rbtVorhEinst_oAEClick();
    void rbtVorhEinst_mAEClick();
    void rbtImpEinlesenClick();
    void comVorh_EinstellgSelect(const std::string& name);
    void btnDetailsClick();
    void btnWeiter1Click();

    // The settings in ImpList for the list on page 1: name, source and target, by name without regard
    // to letter case.
    std::vector<SettingChoice> settingChoices();
    // "Importeinstellungen einlesen": predefined settings from a VorDef.DB file, with their mapping files.
    void readInSettings();
    // The error list was shown and closed: its entries are done with.
    void errorListClosed();

    // The setting the first page names, for the summary; none when there is no such row.
    std::optional<SavedSetting> currentSetting();
    // The text options of that setting, to be looked at.
    TextOptionsForm optionsOfCurrentSetting();
    void saveRemark(const std::string& remark);

    // The settings manager's model, on this wizard's catalogue. Opened on the first page's setting with
    // both "choose again" boxes ticked; closed by "&Import starten" (true) or otherwise: the first page
    // then names the manager's setting and goes on with it, or starts a new import.
    SettingsManager& settingsManager() { return settingsManager_; }
    void managerOpened();
    void managerClosed(bool startImport);

    void showSavedSettingControls(bool visible);

private:
    bool loadSettingUnchanged();
    bool loadSettingForEdit();
    std::optional<SavedSetting> restoreCurrentSetting();
    bool putFileBack(const std::string& stored, bool source, bool unchanged);

    SettingsManager settingsManager_;
};

}  // namespace kimport
