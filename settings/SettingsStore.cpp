#include "settings/SettingsStore.h"

#include "common/FileSets.h"
#include "common/Text.h"
#include "settings/ColumnValues.h"
#include "settings/ControlTables.h"
#include "tablestore/FileSetWriter.h"
#include "tablestore/TableError.h"

#include <algorithm>

namespace kimport {

namespace {

// Removes a setting's files; what cannot be removed is not worth a second message.
void removeFileSet(SettingsTables& t, const std::string& baseName) {
    for (const DirEntry& e : matchingEntries(t.programDir + baseName + ".*", t.fs)) t.fs.remove(t.programDir + e.name);
}

// Copies the file set fromBase.* to toBase.* (extensions in upper case) all at once, as a table is saved:
// a process that dies on the way leaves the old set, or a journal that completes the new one. Files of
// the old set that the new one does not have go. Returns the number of files copied (0: none to copy).
int copyFileSetAtOnce(SettingsTables& t, const std::string& fromBase, const std::string& toBase) {
    const std::vector<DirEntry> from = matchingEntries(t.programDir + fromBase + ".*", t.fs);
    if (from.empty()) return 0;
    FileSetWriter writer(t.fs, t.programDir + toBase + ".DB");
    std::vector<std::string> written;
    for (const DirEntry& e : from) {
        if (e.isDirectory || e.name.find(kTempSuffix) != std::string::npos) continue;
        const std::string target = t.programDir + toBase + asciiUpper(extensionOf(e.name));
        const std::vector<char> bytes = t.fs.readAll(t.programDir + e.name);
        FileHandle& out = writer.create(target);
        out.write(bytes.data(), bytes.size());
        written.push_back(target);
    }
    for (const DirEntry& e : matchingEntries(t.programDir + toBase + ".*", t.fs)) {
        const std::string path = t.programDir + e.name;
        if (std::find(written.begin(), written.end(), path) == written.end() && e.name.find(kTempSuffix) == std::string::npos)
            writer.removeAtCommit(path);
    }
    writer.commit();
    return static_cast<int>(written.size());
}

void reopen(Table& table) {
    if (!table.Active()) table.OpenTable();
}

}  // namespace

bool seekSetting(Table& impList, const std::string& name) {
    if (!impList.Active()) impList.OpenTable();
    return !name.empty() && impList.SeekKey({Value::ofText(name)});
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
    std::string baseName;
    try {
        t.impList.BeginAppend();
        writeSetting(t.impList, s);
        t.impList.PostRecord();  // the table store gives the TableName number
        baseName = std::to_string(t.impList.AsInteger(t.impList.FieldNamed("TableName")));
        t.impList.Flush();
    } catch (const std::exception& e) {
        t.impList.CancelRecord();
        // A row posted but not saved must not reach the disk with a later save.
        if (t.impList.HasUnsavedChanges()) t.impList.CloseDiscarding();
        reopen(t.impList);
        t.prompter.error(e.what());
        return failed();
    }
    // The working mapping table's files, copied under the row's number.
    int copied = -1;
    try {
        t.zStrukt.CloseTable();
        copied = copyFileSetAtOnce(t, kZStruktBaseName, baseName);
    } catch (const std::exception& e) {
        t.prompter.error(e.what());
    }
    reopen(t.zStrukt);
    if (copied < 1) {
        removeFileSet(t, baseName);
        try {
            if (seekSetting(t.impList, s.name)) {
                t.impList.DeleteRecord();
                t.impList.Flush();
            }
        } catch (const std::exception& e) {
            t.prompter.error(e.what());  // said before the failure itself, which is said in any case
        }
        return failed();
    }
    seekSetting(t.impList, s.name);
    t.prompter.message(MsgKind::Information, Buttons::Ok,
                       "Die Importeinstellung \r\n\"" + s.name + "\"\r\nist gespeichert worden.");
    return SaveOutcome::Saved;
}

bool RestoreMapping(SettingsTables& t, const SavedSetting& s, bool offerToDelete) {
    const std::string baseName = mappingBaseName(s);
    // A save that died while it copied the files is completed (or undone) first.
    if (!baseName.empty()) FileSetWriter::recover(t.fs, t.programDir + baseName + ".DB");
    for (const char* extension : {".DB", ".MB"}) {
        const std::string path = t.programDir + baseName + extension;
        if (!baseName.empty() && t.fs.exists(findIgnoringCase(path, t.fs))) continue;
        const std::string missing = "Die Importeinstellungsdatei \"" + path + "\"\r\nist nicht gefunden worden.\r\n\r\n"
                                    "Die Importeinstellung \"" + s.name + "\"\r\nkann nicht ausgeführt werden.";
        t.prompter.beep();
        if (!offerToDelete) {
            t.prompter.error(missing);
            return false;
        }
        if (t.prompter.message(MsgKind::Error, Buttons::YesNo,
                               missing + "\r\n\r\nSoll die Importeinstellung gelöscht werden?") == Answer::Yes)
            DeleteSetting(t, s);
        return false;
    }
    t.zStrukt.CloseTable();
    int copied = -1;
    try {
        copied = copyFileSetAtOnce(t, baseName, kZStruktBaseName);
    } catch (const std::exception& e) {
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
    const std::string baseName = mappingBaseName(s);
    if (!baseName.empty()) removeFileSet(t, baseName);
    if (seekSetting(t.impList, s.name)) {
        t.impList.DeleteRecord();
        t.impList.Flush();
    }
}

}  // namespace kimport
