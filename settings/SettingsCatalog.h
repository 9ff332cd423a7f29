// The settings manager's work on the whole catalogue of saved settings: the
// three views, the mode and option texts, and the operations copy, rename,
// delete (after asking) and reading in predefined settings from a VorDef.DB
// file together with their mapping files.
#pragma once

#include "progress/ProgressSink.h"
#include "settings/SettingsStore.h"

#include <string>
#include <vector>

namespace kimport {

enum class SettingsView { Own = 0, Predefined = 1, All = 2 };

// The names the view shows, in name order.
// Setting names in the order a user looks for them: without regard to letter case.
bool settingNameBefore(const std::string& a, const std::string& b);
void sortSettingNames(std::vector<std::string>& names);

std::vector<std::string> settingsInView(Table& impList, SettingsView view);

// lblImportmodus of the manager, by mode code ("" for an unknown one).
std::string modeDescription(int mode);
// The summary's "Optionen Importlauf:" lines: backup, emptying (when set) and the mode.
std::vector<std::string> summaryOptionLines(const SavedSetting& setting);

// The manager's buttons for a view.
struct ManagerButtons {
    bool loeschen = true, kopieren = true, umbenennen = true, optionen = true, importStarten = true;
    std::string importStartenCaption = "&Import starten";
};
ManagerButtons managerButtons(SettingsView view, bool viewHasRows, bool tableHasRows);

// "&Löschen": asks, then deletes the setting with its files. True when it was deleted.
bool DeleteSettingAsked(SettingsTables& t, const std::string& name);
// The view after a delete: own or predefined settings that are all gone give way to another view.
SettingsView viewAfterDelete(Table& impList, SettingsView view);

// "&Umbenennen": asks for the new name until it is free (or the user gives up). True when renamed.
bool RenameSetting(SettingsTables& t, const std::string& name);

// "&Kopieren nach": asks for the new name; an existing one is overwritten after asking. The copy gets
// its own mapping files. True when a copy was made; the catalogue then stands on it.
bool CopySetting(SettingsTables& t, const std::string& name);

struct ReadInResult {
    int read = 0;                          // settings added to the catalogue
    int refused = 0;                       // rows not read in (each has an entry in errors)
    std::vector<std::string> errors;       // entries for the error list
    bool cancelled = false;
};
// "Neue &Einstellungen einlesen": every row of the VorDef.DB file with its mapping files. A name that
// is taken is renamed ("Neu: <date time> <name>", also in the file); a row that cannot be stored is an
// error-list entry and the next one follows. Own settings from elsewhere get numbers of this catalogue,
// so that no existing setting's files are overwritten.
ReadInResult ReadInSettings(SettingsTables& t, const std::string& vorDefPath, ProgressSink* progress);

// Writes the settings as predefined ones into directory/VorDef.DB (made when missing; a row of the same
// name is replaced) with their mapping files, so that they can be read in elsewhere. Returns how many were
// written; a name that is not there or whose files are missing gets an error entry.
struct ExportResult {
    int written = 0;
    std::vector<std::string> errors;
};
ExportResult ExportSettings(SettingsTables& t, const std::vector<std::string>& names, const std::string& directory);

}  // namespace kimport
