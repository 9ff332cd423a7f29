#include "wizard/ImportWizard.h"

#include "common/FileSets.h"
#include "common/Text.h"
#include "common/UserMessage.h"
#include "tablestore/TableRoutines.h"
#include "wizard/CommandLine.h"

namespace kimport {

ImportWizard::ImportWizard(WizardEnvironment env)
    : context_(std::move(env)),
      settingsPage_(context_, *this),
      sourcePage_(context_, *this),
      targetPage_(context_, *this),
      textPages_(context_, *this),
      mappingPage_(context_, *this),
      modePage_(context_, *this),
      finishPage_(context_, *this),
      contentViewer_(context_, *this) {}

ImportWizard::~ImportWizard() = default;

void ImportWizard::start(const std::vector<std::string>& parameters) {
    WizardContext& c = context_;
    const std::string& dir = c.env.programDir;
    c.tblQStrukt.CloseTable();
    c.tblZStrukt.CloseTable();
    c.tblImpList.CloseTable();
    c.tblQStrukt.setPath(dir + "QStrukt.DB");
    c.tblZStrukt.setPath(dir + "ZStrukt.DB");
    c.tblImpList.setPath(dir + "ImpList.DB");
    c.tblTempStrukt.setPath(dir + "Temp/tmp.db");
    c.tblZSP.setPath(dir + "Temp/ZSP.db");
    for (Table* t :
         {&c.tblQuelle, &c.tblZiel, &c.tblQStrukt, &c.tblZStrukt, &c.tblImpList, &c.tblTempStrukt, &c.tblZSP})
        t->regional = c.env.formats.regional;

    // One instance at a time works with the control tables: a second one says so once and ends.
    if (!takeControlTables()) {
        c.state.closeRequested = true;
        return;
    }

    // Without the alias the two preset choices are not offered.
    c.state.presetChoicesVisible = c.env.bkdbAlias && c.env.fs.isDirectory(*c.env.bkdbAlias);

    c.state.page = WizardPage::Seite1;
    c.env.formats.current.shortDateFormat = "DD/MM/YYYY";

    c.state.rbtNeueImport.checked = c.env.registry.readBool(regKey("rbtNeueImport"), false);
    if (c.state.rbtVorhEinst_oAE.visible || c.state.rbtVorhEinst_mAE.visible) {
        c.state.rbtVorhEinst_oAE.checked = c.env.registry.readBool(regKey("rbtVorhEinst_oAE"), false);
        c.state.rbtVorhEinst_mAE.checked = c.env.registry.readBool(regKey("rbtVorhEinst_mAE"), false);
    }
    std::string storedName = c.env.registry.readString(regKey("edtAktEinstellung")).value_or("");
    c.state.edtAktEinstellung = storedName;

    c.startedWithParameters = !parameters.empty();
    if (c.startedWithParameters) {
        c.state.rbtNeueImport.checked = true;
        c.state.rbtVorhEinst_oAE.checked = c.state.rbtVorhEinst_mAE.checked = false;
        CommandLineResult r = evaluateCommandLine(parameters, c.env.fs);
        if (r.error) {
            c.env.prompter.error(*r.error);
        } else {
            c.state.edtQuelle = r.source;
            c.state.edtZiel = r.target;
            if (!r.source.empty() && !sourcePage_.checkSource()) c.state.edtQuelle.clear();
            if (!r.target.empty() && !targetPage_.checkTarget()) c.state.edtZiel.clear();
        }
    } else {
        c.state.edtQuelle = c.env.registry.readString(regKey("edtQuelle")).value_or("");
        c.state.edtZiel = c.env.registry.readString(regKey("edtZiel")).value_or("");
    }

    if (c.openImpList() && c.tblImpList.RecordCount() > 0) {
        c.tblImpList.MoveFirst();
        if (!storedName.empty()) c.tblImpList.SeekKey({Value::ofText(storedName)});
        c.state.edtAktEinstellung = c.currentSettingName();
    } else {
        c.state.rbtVorhEinst_oAE.visible = c.state.rbtVorhEinst_mAE.visible = false;
        c.state.rbtVorhEinst_oAE.checked = c.state.rbtVorhEinst_mAE.checked = false;
        settingsPage_.showSavedSettingControls(false);
        c.state.rbtImpEinlesen.visible = true;
    }
    if (!c.state.rbtNeueImport.checked && !c.state.rbtVorhEinst_mAE.checked && !c.state.rbtVorhEinst_oAE.checked)
        c.state.rbtNeueImport.checked = true;
    if (c.state.rbtNeueImport.checked) settingsPage_.rbtNeueImportClick();
}

bool ImportWizard::takeControlTables() {
    WizardContext& c = context_;
    ownsControlTables_ = false;
    bool heldElsewhere = false;
    // A control table that is missing or damaged is reported where it is used; one that another
    // instance holds ends this one.
    for (Table* t : {&c.tblImpList, &c.tblZStrukt, &c.tblQStrukt}) {
        try {
            t->OpenTable();
        } catch (const TableError& e) {
            heldElsewhere = heldElsewhere || e.kind() == TableError::Kind::Locked;
        } catch (const std::exception&) {
            // Reported where the table is used.
        }
    }
    if (heldElsewhere) {
        for (Table* t : {&c.tblImpList, &c.tblZStrukt, &c.tblQStrukt}) t->CloseDiscarding();
        c.env.prompter.error(
            "Kelvaro Import wird bereits in einem anderen Fenster ausgeführt: die Steuertabellen "
            "im Programmverzeichnis\r\n" +
            c.env.programDir +
            "\r\nwerden dort verwendet. "
            "Dieses Fenster wird geschlossen; bitte arbeiten Sie im anderen weiter.");
        return false;
    }
    ownsControlTables_ = true;
    return true;
}

void ImportWizard::btnAbbrechenClick() {
    WizardContext& c = context_;
    if (c.env.prompter.message(MsgKind::Confirmation, Buttons::YesNo, "Möchten Sie die Anwendung wirklich beenden?") ==
        Answer::Yes)
        c.state.closeRequested = true;
}

void ImportWizard::finish() {
    WizardContext& c = context_;
    // An instance that never had the control tables leaves every shared file as it is.
    if (!ownsControlTables_) return;
    try {
        // While this instance still holds the control tables: its working files, then the tables.
        c.closeSourceAndTarget(false);
        c.tblTempStrukt.CloseTable();
        c.tblZSP.CloseTable();
        // Only the working files this instance made: another program may keep its own in Temp.
        if (c.env.fs.isDirectory(c.env.programDir + "Temp"))
            for (const std::string& base : c.ownTempFiles)
                DeleteFileSet(c.env.programDir + "Temp/", base, c.env.prompter, c.env.fs);
        ClearTableExclusive(c.tblZStrukt, c.env.prompter);
        ClearTableExclusive(c.tblQStrukt, c.env.prompter);
        Registry& r = c.env.registry;
        r.writeBool(regKey("rbtNeueImport"), c.state.rbtNeueImport.checked);
        r.writeBool(regKey("rbtVorhEinst_oAE"), c.state.rbtVorhEinst_oAE.checked);
        r.writeBool(regKey("rbtVorhEinst_mAE"), c.state.rbtVorhEinst_mAE.checked);
        if (!c.state.rbtNeueImport.checked) r.writeString(regKey("edtAktEinstellung"), c.state.edtAktEinstellung);
        r.writeString(regKey("edtQuelle"), c.state.edtQuelle);
        r.writeString(regKey("edtZiel"), c.state.edtZiel);
        r.flush();
    } catch (const std::exception& e) {
        c.env.prompter.error(userMessage(e));
    }
    // The control tables are closed in any case.
    for (Table* t : {&c.tblQStrukt, &c.tblZStrukt, &c.tblImpList}) {
        try {
            t->CloseTable();
        } catch (const std::exception& e) {
            c.env.prompter.error(userMessage(e));
        }
    }
}

}  // namespace kimport
