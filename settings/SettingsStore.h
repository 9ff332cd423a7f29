// Saving an import setting (its ImpList row and a copy of the working mapping
// table), putting a saved mapping table back into the working one, and
// deleting a setting with its files. A save is all or nothing: when either half
// fails, neither the row nor a part of the mapping files remains.
#pragma once

#include "common/FileSystem.h"
#include "common/Prompter.h"
#include "settings/SavedSetting.h"
#include "tablestore/Table.h"

#include <optional>
#include <string>

namespace kimport {

struct SettingsTables {
    Table& impList;
    Table& zStrukt;  // the working mapping table, closed only while its files are copied
    Prompter& prompter;
    FileSystem& fs;
    std::string programDir;  // with a trailing "/"
};

enum class SaveOutcome {
    Saved,      // row and mapping files are there; "ist gespeichert worden" was said
    NameTaken,  // refused with its message; the name must change
    Failed,     // nothing was kept (its message was shown); the run may go ahead with the working mapping
};

// Appends the setting under its name (TableName is given by the table store) and copies the working
// mapping table under that number, both saved in one swap (settings/CatalogueChange).
SaveOutcome SaveSetting(SettingsTables& t, SavedSetting setting);

// Copies the setting's mapping table over the working one. A missing .DB or .MB file is reported
// with the offer to delete the setting (without it when nobody could answer); false then.
bool RestoreMapping(SettingsTables& t, const SavedSetting& setting, bool offerToDelete = true);

// Where a stored source or target is now: at its path (a relative one in the program directory), or
// else below the program's Demos folder (where the sample files are, wherever the program was
// installed). None when neither exists.
std::optional<std::string> storedFileFound(const std::string& stored, const std::string& programDir, FileSystem& fs);

// Deletes the setting's ImpList row and its mapping files in one swap (a file that cannot be removed is
// left). Throws TableError when ImpList cannot be saved; the setting then stays whole.
void DeleteSetting(SettingsTables& t, const SavedSetting& setting);

// Stores a changed remark (Bemerkung) of the setting.
void SaveRemark(Table& impList, const std::string& name, const std::string& remark);

// Positions ImpList on the setting of that name; false when there is none.
bool seekSetting(Table& impList, const std::string& name);

// Records today as the setting's last import (LetzterImport), on the disk at once. For a run that saved
// records, and only then; false when there is no such setting.
bool recordLastImport(Table& impList, const std::string& name);

}  // namespace kimport
