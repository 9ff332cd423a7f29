#include "tablestore/TableFiles.h"
#include "wizard/FinishPageController.h"

#include "common/Text.h"
#include "common/UserMessage.h"
#include "importrun/ImportRun.h"
#include "progress/ProgressSink.h"
#include "settings/SettingsCatalog.h"
#include "tablestore/TableRoutines.h"
#include "wizard/ImportWizard.h"

namespace kimport {

void FinishPageController::btnZurueck6Click() {
    c_.leavePage();
    if (state_.rbtNeueImport.checked) {
        state_.edtImpSpeich.clear();
        c_.goTo(WizardPage::Seite5);
    } else if (state_.rbtVorhEinst_oAE.checked) {
        c_.closeSourceAndTarget(true);
        c_.goTo(WizardPage::Seite1);
        c_.openImpList();
    } else {
        c_.goTo(WizardPage::Seite5);
    }
}

void FinishPageController::btnFertigstellenClick() {
    if (!saveSetting()) return;
    startRun();
}

// "&Fertigstellen": the setting is saved first (an unchanged run is not). False keeps page 6.
bool FinishPageController::saveSetting() {
    if (!state_.saveControlsEnabled) return true;
    if (state_.edtImpSpeich.empty()) {
        switch (env_.prompter.message(MsgKind::Confirmation, Buttons::YesNoCancel,
                                      "Möchten Sie die vorgenommenen Importeinstellungen speichern")) {
            case Answer::Yes:
                state_.focusControl = "edtImpSpeich";
                return false;
            case Answer::No:
                return true;
            default:
                return false;
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
    SettingsTables t = c_.settingsTables();
    switch (SaveSetting(t, s)) {
        case SaveOutcome::NameTaken:
            state_.focusControl = "edtImpSpeich";
            return false;
        case SaveOutcome::Saved:
            state_.edtAktEinstellung = s.name;
            return true;
        case SaveOutcome::Failed:
            return true;  // the run goes ahead with the working mapping
    }
    return true;
}

// The setting that ran records the day, once the run saved records: a run refused or failed before it
// changed the target is no import.
void FinishPageController::recordRunDay() {
    if (recordsWritten(c_.progress()) <= 0 || !c_.tblImpList.Active()) return;
    const std::string& name = !state_.edtImpSpeich.empty() ? state_.edtImpSpeich : state_.edtAktEinstellung;
    try {
        recordLastImport(c_.tblImpList, name);
    } catch (const std::exception& e) {
        env_.prompter.error(userMessage(e));
    }
}

void FinishPageController::startRun() {
    state_.page6Enabled = false;
    Prompter& p = env_.prompter;
    try {
        ImportMode mode = importModeFromButtons(checkedModeButtons(state_.mode)).value_or(ImportMode::Append);
        ImportRun run(RunTables{c_.tblQuelle, c_.tblZiel, c_.tblZStrukt}, c_.progress(), p, env_.formats.regional,
                      env_.formats.current, env_.formulas);
        // A text source's report names the lines of the file, and first what its reading could not take.
        c_.runReport.clear();
        if (!isTablePath(state_.edtQuelle)) {
            c_.runReport.startWithReading(c_.stagingLines, c_.stagingProblems);
        }
        run.setReport(&c_.runReport);
        // What would refuse the run refuses it before the target is emptied.
        run.check(mode);
        if (state_.cbxZielLeeren.checked) {
            c_.tblZiel.CloseTable();
            ClearTableExclusive(c_.tblZiel, env_.prompter);
            c_.tblZiel.Exclusive = true;
        }
        for (Table* t : {&c_.tblQuelle, &c_.tblZiel, &c_.tblZStrukt})
            if (!t->Active()) t->OpenTable();
        c_.progress().setCount(Counter::SummeQuelle, c_.tblQuelle.RecordCount());
        bool renamed = false;
        try {
            renamed = run.run(mode, state_.mode.edtStartwert, state_.cbxZielLeeren.checked);
            // What the reading of a text source could not take counts with the run's errors.
            if (!isTablePath(state_.edtQuelle)) c_.progress().addToCounter(Counter::AnzFehler, c_.stagingErrors);
        } catch (...) {
            c_.progress().showReport(&c_.runReport);
            throw;
        }
        c_.progress().showReport(&c_.runReport);
        if (run.keyRuleMissing()) {
            state_.edtImpSpeich.clear();
            state_.rbtTabAnz.checked = state_.rbtTabNichtAnz.checked = false;
            state_.mode.rbtEndeAnhaengen.checked = state_.mode.rbtAktualisieren.checked = false;
            state_.page6Enabled = true;
            c_.goTo(WizardPage::Seite4);
        }
        if (!renamed) {
            p.beep();
            c_.progress().close();
            p.error(
                "Beim Umbenennen vorhandener Schlüsselwerte sind Fehler\r\naufgetreten. Bitte wählen Sie einen "
                "anderen Startwert.");
            state_.page6Enabled = true;
            c_.goTo(WizardPage::Seite5);
            state_.focusControl = "edtStartwert";
            return;
        }
        if (run.keyRuleMissing()) return;
        recordRunDay();
        c_.progress().finish();
        if (state_.rbtTabAnz.checked) wizard_.contentViewer().showBothTables(true);
    } catch (const std::exception& e) {
        // The run has saved what was posted, or said in the progress window that it could not; what
        // could not be saved is dropped, so that no later save writes it after all.
        if (c_.tblZiel.HasUnsavedChanges()) c_.tblZiel.CloseDiscarding();
        p.error(userMessage(e));
        state_.page6Enabled = true;  // the user may change the setting and start again
    }
}

// --- Remark editor -----------------------------------------------------------------------------------

void FinishPageController::btnBemerkungClick() {
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

void FinishPageController::btnBemerkSpeichernClick() {
    env_.prompter.message(MsgKind::Information, Buttons::Ok, "Ihre Bemerkung wurde gespeichert");
    state_.remarkEditorVisible = false;
}

void FinishPageController::btnBemerkVerwerfenClick() {
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
