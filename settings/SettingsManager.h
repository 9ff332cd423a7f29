// The settings manager: the list of saved settings in one of three views, the
// details of the selected one (remark, backup and emptying editable), and its
// operations. The window shows the state and sends the clicks here.
#pragma once

#include "settings/SettingsCatalog.h"

#include <string>
#include <vector>

namespace kimport {

struct ManagerState {
    SettingsView view = SettingsView::All;
    std::vector<std::string> names;    // dbgEinstellungen: the view's settings in name order
    std::vector<std::string> formats;  // their Quellformat
    std::string current;               // the selected setting ("" when the view is empty)
    SavedSetting details;              // of the selected setting
    std::string modeText;              // lblImportmodus
    std::string baseName;              // "Basisname der internen Dateien"
    ManagerButtons buttons;
    // "Datei auswählen" beside source and target: the wizard asks for that file again when it starts the
    // setting. Both ticked each time the manager is shown.
    bool chooseSourceAgain = true, chooseTargetAgain = true;
};

class SettingsManager {
public:
    explicit SettingsManager(SettingsTables tables) : t_(tables) {}

    const ManagerState& state() const { return state_; }

    // Shown: all settings, the given one selected (or the first).
    void show(const std::string& current);
    void setView(SettingsView view);
    void select(const std::string& name);

    void setChooseAgain(bool source, bool on) { (source ? state_.chooseSourceAgain : state_.chooseTargetAgain) = on; }

    // The editable details, stored with the row at once.
    void setRemark(const std::string& remark);
    void setBackupCopy(bool on);
    void setEmptyTarget(bool on);

    void btnLoeschenClick();
    void btnUmbenennenClick();
    void btnKopierenNachClick();

    // "&Exportieren…": the selected setting into a VorDef.DB in the folder the user chooses.
    void btnExportierenClick();

    // True while the catalogue holds any setting ("&Import starten" starts, else it closes).
    bool anySetting();

private:
    void refresh();
    void setFlag(const char* column, bool on);

    SettingsTables t_;
    ManagerState state_;
};

}  // namespace kimport
