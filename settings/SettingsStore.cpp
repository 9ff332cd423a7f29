#include "settings/SettingsStore.h"

#include "common/FileSets.h"
#include "common/Numbers.h"
#include "common/Text.h"
#include "settings/CatalogueChange.h"
#include "settings/ColumnValues.h"
#include "settings/ControlTables.h"
#include "tablestore/FileSetWriter.h"
#include "tablestore/TableError.h"

#include <algorithm>

namespace kimport {

namespace {

// The mapping files fromBase.* to toBase.* in the program directory, all at once as a table is saved.
int copyFileSetAtOnce(SettingsTables& t, const std::string& fromBase, const std::string& toBase) {
    return copyFileSetAtOnce(t.fs, t.programDir, fromBase, t.programDir, toBase, true);
}

void reopen(Table& table) {
    if (!table.Active()) table.OpenTable();
}

}  // namespace

bool seekSetting(Table& impList, const std::string& name) {
    if (!impList.Active()) impList.OpenTable();
    return !name.empty() && impList.SeekKey({Value::ofText(name)});
}

bool recordLastImport(Table& impList, const std::string& name) {
    if (!seekSetting(impList, name)) return false;
    impList.BeginEdit();
    impList.SetValue(impList.FieldNamed("LetzterImport"), Value::ofDate(todayNumber()));
    impList.PostRecord();
    impList.Flush();
    return true;
}

SaveOutcome SaveSetting(SettingsTables& t, SavedSetting s) {
    if (seekSetting(t.impList, s.name)) {
        t.prompter.error("Die Importeinstellung \"" + s.name +
                         "\"\r\nexistiert bereits.\r\n\r\nBitte geben Sie eine andere Bezeichnung ein.");
        return SaveOutcome::NameTaken;
    }
    auto failed = [&] {
        t.prompter.error("Die Importeinstellung \r\n\"" + s.name + "\"\r\nkonnte nicht gespeichert werden.");
        return SaveOutcome::Failed;
    };
    s.own = true;
    s.sourceFormat = sourceFormatOf(s.sourcePath);
    bool saved = false;
    try {
        // The row and the working mapping table's files, copied under the row's number, reach the disk
        // in one swap; a failure drops the row again.
        CatalogueChange change(t);
        t.impList.BeginAppend();
        writeSetting(t.impList, s);
        t.impList.PostRecord();  // the table store gives the TableName number
        const std::string baseName = std::to_string(t.impList.AsInteger(t.impList.FieldNamed("TableName")));
        t.zStrukt.CloseTable();  // its changes are saved first: the copy is taken from the disk
        if (change.copyMapping(t.programDir, kZStruktBaseName, baseName)) {
            change.commit();
            saved = true;
        }
    } catch (const TableError& e) {
        t.prompter.error(e.what());
    } catch (const ConversionError& e) {
        t.prompter.error(e.what());
    } catch (const IoError& e) {
        t.prompter.error(e.what());
    }
    reopen(t.zStrukt);
    if (!saved) return failed();
    seekSetting(t.impList, s.name);
    t.prompter.message(MsgKind::Information, Buttons::Ok,
                       "Die Importeinstellung \r\n\"" + s.name + "\"\r\nist gespeichert worden.");
    return SaveOutcome::Saved;
}

bool RestoreMapping(SettingsTables& t, const SavedSetting& s, bool offerToDelete) {
    const std::string baseName = mappingBaseName(s);
    std::string problem;
    if (baseName.empty() && !storedMappingBaseName(s).empty()) {
        // Nothing of this row's files is touched; the row itself may go.
        problem = unusableBaseNameMessage(s) + "\r\n\r\nDie Importeinstellung kann nicht ausgeführt werden.";
    } else {
        // A save of the setting that died was settled when ImpList was opened; temporary files of a copy
        // that never reached its journal may still lie beside the mapping files.
        if (!baseName.empty()) FileSetWriter::recover(t.fs, t.programDir + baseName + ".DB");
        for (const char* extension : {".DB", ".MB"}) {
            const std::string path = t.programDir + baseName + extension;
            if (!baseName.empty() && fileExistsIgnoringCase(path, t.fs)) continue;
            problem = "Die Importeinstellungsdatei \"" + path + "\"\r\nist nicht gefunden worden.\r\n\r\n"
                      "Die Importeinstellung \"" + s.name + "\"\r\nkann nicht ausgeführt werden.";
            break;
        }
    }
    if (!problem.empty()) {
        t.prompter.beep();
        if (!offerToDelete)
            t.prompter.error(problem);
        else if (t.prompter.message(MsgKind::Error, Buttons::YesNo,
                                    problem + "\r\n\r\nSoll die Importeinstellung gelöscht werden?") == Answer::Yes)
            DeleteSetting(t, s);
        return false;
    }
    t.zStrukt.CloseTable();
    int copied = -1;
    try {
        copied = copyFileSetAtOnce(t, baseName, kZStruktBaseName);
    } catch (const TableError& e) {
        t.prompter.error(e.what());
    } catch (const IoError& e) {
        t.prompter.error(e.what());
    }
    reopen(t.zStrukt);
    return copied > 0;
}

std::optional<std::string> storedFileFound(const std::string& stored, const std::string& programDir, FileSystem& fs) {
    if (stored.empty()) return std::nullopt;
    auto exists = [&](const std::string& path) { return fs.exists(findIgnoringCase(path, fs)); };
    // A relative name (the demo settings' "Demos/...") belongs to the program directory.
    const std::string own = stored.front() == '/' ? stored : withTrailingSlash(programDir) + stored;
    if (exists(own)) return own;
    const std::string demos = withTrailingSlash(programDir) + kDemosDirName + "/";
    for (const std::string& candidate : {demos + stored, demos + fileNameOf(stored)})
        if (exists(candidate)) return candidate;
    return std::nullopt;
}

void SaveRemark(Table& impList, const std::string& name, const std::string& remark) {
    if (!seekSetting(impList, name) || textOf(impList, "Bemerkung") == remark) return;
    impList.BeginEdit();
    putText(impList, "Bemerkung", remark);
    impList.PostRecord();
    impList.Flush();
}

void DeleteSetting(SettingsTables& t, const SavedSetting& s) {
    CatalogueChange change(t);
    const std::string baseName = mappingBaseName(s);
    if (!baseName.empty()) change.removeMapping(baseName);
    if (seekSetting(t.impList, s.name)) t.impList.DeleteRecord();
    change.commit();
}

}  // namespace kimport
