// The aids on the wizard's pages: the browse dialogs, the backup copy of the target, the requests to
// the content viewer and the remark editor on the last page.
#include "wizard/ImportWizard.h"

#include "common/FileSets.h"
#include "common/ProgramDirectory.h"
#include "common/Text.h"
#include "tablestore/FileSetWriter.h"

#include <cstdlib>

namespace kimport {

namespace {

// Both name cases: the dialog matches its patterns as they are written.
FileFilter filter(const std::string& description, std::initializer_list<const char*> extensions) {
    std::string patterns;
    for (const char* e : extensions) {
        if (!patterns.empty()) patterns += ' ';
        patterns += std::string("*.") + e + " *." + asciiUpper(e);
    }
    return {description, patterns};
}

}  // namespace

// --- Browse dialogs --------------------------------------------------------------------------------

FileDialogSpec ImportWizard::browseDialog(bool source) const {
    FileDialogSpec dialog;
    dialog.title = source ? "Quelldatei auswählen" : "Zieldatenbank auswählen";
    dialog.filters = {{"Alle Dateien", "*"}, filter("Paradox; dBase", {"db", "dbf"}), filter("Paradox", {"db"}),
                      filter("dBase", {"dbf"})};
    if (source) dialog.filters.push_back(filter("Text", {"txt"}));
    // The source's own folder; the target's when it exists, else the source's.
    std::string dir = directoryOf(state_.edtQuelle);
    if (!source) {
        const std::string targetDir = directoryOf(state_.edtZiel);
        if (!targetDir.empty() && env_.fs.isDirectory(targetDir)) dir = targetDir;
    }
    if (!dir.empty() && env_.fs.isDirectory(dir)) {
        dialog.initialDir = dir;
    } else if (!browseDirectory_.empty()) {
        dialog.initialDir = browseDirectory_;
    } else if (env_.fs.isDirectory(env_.programDir + "Demos")) {
        // Before any choice: the demo tables on a first run, else the user's home.
        dialog.initialDir = env_.programDir + "Demos";
    } else {
        const std::string home = userHomeDirectory();
        dialog.initialDir = home.empty() ? env_.programDir : home;
    }
    if (source) dialog.initialFile = fileNameOf(state_.edtQuelle);
    return dialog;
}

void ImportWizard::btnQBrowseClick() {
    state_.viewerRequest.kind = ContentViewerRequest::Kind::Close;
    if (std::optional<std::string> file = env_.prompter.openFile(browseDialog(true))) {
        state_.edtQuelle = *file;
        browseDirectory_ = directoryOf(*file);
    }
}

void ImportWizard::btnZBrowseClick() {
    if (std::optional<std::string> file = env_.prompter.openFile(browseDialog(false))) {
        state_.edtZiel = *file;
        browseDirectory_ = directoryOf(*file);
    }
}

// --- Backup copy of the target ---------------------------------------------------------------------

void ImportWizard::btnSicherungskopieClick() {
    const std::string& name = state_.edtZiel;
    const std::string dir = directoryOf(name);
    if (name.empty() || !(dir.empty() || env_.fs.isDirectory(dir))) {
        env_.prompter.error("Der von Ihnen eingegebene Verzeichnispfad existiert leider nicht.");
        state_.focusControl = "edtZiel";
        return;
    }
    if (!fileExistsIgnoringCase(name, env_.fs)) {
        env_.prompter.error("Der von Ihnen eingegebene Dateiname existiert leider nicht.");
        state_.focusControl = "edtZiel";
        return;
    }
    state_.cbxSicherungskopie.checked = true;
    makeBackupCopy();
}

// The save dialog proposes "CP_" + the target's name beside it; every file of the target's set is
// copied under the chosen base name, each keeping its extension.
void ImportWizard::makeBackupCopy() {
    const std::string target = findIgnoringCase(state_.edtZiel, env_.fs);
    const std::string dir = directoryOf(target).empty() ? "./" : directoryOf(target);
    FileDialogSpec dialog;
    dialog.title = "Sicherungskopie speichern unter";
    dialog.filters = {filter("Paradox; dBase", {"db", "dbf"}), filter("Paradox", {"db"}), filter("dBase", {"dbf"})};
    dialog.initialDir = dir;
    // Only the file name in capitals: the folder's name is kept as the file system spells it.
    dialog.initialFile = asciiUpper("CP_" + fileNameOf(target));
    std::optional<std::string> chosen = env_.prompter.saveFile(dialog);
    if (!chosen) return;
    const std::string chosenDir = directoryOf(*chosen).empty() ? dir : directoryOf(*chosen);
    const std::string base = baseNameOf(*chosen);
    int copied = -1;
    // A copy onto the target itself would be no backup.
    // All files at once, as a table is saved: a full disk never leaves half a backup over an older one.
    if (!base.empty() && !samePath(chosenDir + base + extensionOf(target), target))
        copied = copyFileSetAtOnce(env_.fs, directoryOf(target), baseNameOf(target), chosenDir, base, false,
                                   env_.prompter);
    if (copied < 1)
        env_.prompter.error("Die Sicherungskopie konnte nicht erstellt werden");
    else
        env_.prompter.message(MsgKind::Information, Buttons::Ok, "Die Sicherungskopie ist erstellt worden");
}

// --- Content viewer ----------------------------------------------------------------------------------

void ImportWizard::btnInhaltAnzClick(int page) {
    if (state_.contentViewerOpenedFrom != 0) {
        // Page 4's button is ignored while the viewer is open; the others are disabled then.
        if (page == 4) return;
    }
    ContentViewerRequest& r = state_.viewerRequest;
    r = ContentViewerRequest{};
    r.targetEmptied = state_.cbxZielLeeren.checked;
    if (page == 2) {
        if (!checkSource()) {
            state_.focusControl = "edtQuelle";
            return;
        }
        r.kind = isTablePath(state_.edtQuelle) ? ContentViewerRequest::Kind::SourceTable
                                               : ContentViewerRequest::Kind::SourceText;
        r.source = findIgnoringCase(state_.edtQuelle, env_.fs);
        r.dosConversion = state_.textLayout.dos;
    } else if (page == 3 || page == 5) {
        if (!checkTarget()) {
            state_.focusControl = "edtZiel";
            return;
        }
        r.kind = ContentViewerRequest::Kind::TargetTable;
        r.target = findIgnoringCase(state_.edtZiel, env_.fs);
    } else {
        showBothTables(false);
    }
    state_.contentViewerOpenedFrom = page;
}

// Source and target as the run sees them: a text source through its staging table.
void ImportWizard::showBothTables(bool afterRun) {
    ContentViewerRequest& r = state_.viewerRequest;
    r = ContentViewerRequest{};
    r.kind = ContentViewerRequest::Kind::BothTables;
    r.source = !tblQuelle.TableName.empty() ? tblQuelle.path() : findIgnoringCase(state_.edtQuelle, env_.fs);
    r.target = !tblZiel.TableName.empty() ? tblZiel.path() : findIgnoringCase(state_.edtZiel, env_.fs);
    r.targetEmptied = state_.cbxZielLeeren.checked;
    r.afterRun = afterRun;
    state_.contentViewerOpenedFrom = afterRun ? 6 : 4;
}

void ImportWizard::contentViewerClosed() {
    state_.contentViewerOpenedFrom = 0;
    // After the run the viewer is the last thing the user looks at: closing it ends the program.
    if (state_.page == WizardPage::Seite6) state_.closeRequested = true;
}

// --- Remark editor -----------------------------------------------------------------------------------

void ImportWizard::btnBemerkungClick() {
    if (trim(state_.edtImpSpeich).empty()) {
        env_.prompter.message(MsgKind::Information, Buttons::Ok,
                              "Bitte geben Sie zuerst einen Namen ein, unter der Sie\r\ndie erstellte "
                              "Importeinstellung speichern möchten");
        state_.focusControl = "edtImpSpeich";
        return;
    }
    state_.remarkEditorVisible = true;
    state_.focusControl = "edtBemerkung";
}

void ImportWizard::btnBemerkSpeichernClick() {
    env_.prompter.message(MsgKind::Information, Buttons::Ok, "Ihre Bemerkung wurde gespeichert");
    state_.remarkEditorVisible = false;
}

void ImportWizard::btnBemerkVerwerfenClick() {
    if (env_.prompter.message(MsgKind::Confirmation, Buttons::YesNo,
                              "Möchten Sie, daß die Bemerkung zu Ihrer Importeinstellung wieder gelöscht wird") ==
        Answer::Yes) {
        state_.edtBemerkung.clear();
        state_.remarkEditorVisible = false;
    } else {
        state_.focusControl = "edtBemerkung";
    }
}

}  // namespace kimport
