#include "app/SavedSettingRun.h"

#include "common/FileSets.h"
#include "settings/ControlTables.h"
#include "settings/SettingsStore.h"
#include "tablestore/FileSetWriter.h"

namespace kimport {

std::optional<SettingForRun> prepareSavedSetting(const std::string& programDir, const std::string& name,
                                                 const std::string& sourceOverride, const std::string& targetOverride,
                                                 ProcessFormats& formats, Prompter& prompter) {
    Table impList, zStrukt;
    impList.setPath(impListPath(programDir));
    zStrukt.setPath(zStruktPath(programDir));
    impList.Exclusive = zStrukt.Exclusive = true;
    if (!seekSetting(impList, name)) {
        prompter.error("Die Importeinstellung \"" + name + "\" gibt es nicht.");
        return std::nullopt;
    }
    SavedSetting s = readSetting(impList);
    // A text file is split only by the layout stored for it, never by a guessed one.
    SavedSetting asRun = s;
    if (!sourceOverride.empty()) asRun.sourcePath = sourceOverride;
    if (!textLayoutComplete(asRun)) {
        prompter.error(incompleteLayoutMessage(s));
        return std::nullopt;
    }
    zStrukt.OpenTable();
    SettingsTables tables{impList, zStrukt, prompter, realFileSystem(), withTrailingSlash(programDir)};
    // Nobody is there to answer whether the setting should go: its files are only reported missing.
    if (!RestoreMapping(tables, s, false)) return std::nullopt;

    SettingForRun run;
    auto find = [&](const std::string& override, const std::string& stored, bool source) -> std::optional<std::string> {
        if (!override.empty()) return override;
        if (auto found = storedFileFound(stored, programDir, realFileSystem())) return found;
        prompter.error(std::string(source ? "Es wurde keine Quelldatei gespeichert" : "Es wurde keine Zieldatenbank gespeichert") +
                       ", oder\r\nPfad- bzw. Dateinamen sind geändert worden.");
        return std::nullopt;
    };
    std::optional<std::string> source = find(sourceOverride, s.sourcePath, true);
    std::optional<std::string> target = find(targetOverride, s.targetPath, false);
    if (!source || !target) return std::nullopt;
    run.source = *source;
    run.target = *target;
    run.mode = s.mode;
    run.emptyTarget = s.emptyTarget;
    run.textSource = isTextSourcePath(run.source);
    run.layout = s.layout;
    run.layout.dos = s.dosToWin;
    restoreFormats(s, formats.current);
    if (s.backupCopy) {
        // The copy under the name the wizard proposes: "CP_" and the target's name, beside it.
        const std::string dir = directoryOf(run.target).empty() ? "./" : directoryOf(run.target);
        if (copyFileSetAtOnce(realFileSystem(), dir, baseNameOf(run.target), dir, "CP_" + baseNameOf(run.target), false,
                              prompter) < 1) {
            prompter.error("Die Sicherungskopie der Zieldatei " + fileNameOf(run.target) + " konnte nicht angelegt "
                           "werden; der Import wird nicht ausgeführt.");
            return std::nullopt;
        }
    }
    impList.CloseTable();
    zStrukt.CloseTable();
    return run;
}

}  // namespace kimport
