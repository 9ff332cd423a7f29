#include "wizard/ImportWizard.h"
#include "common/UserMessage.h"
#include "settings/SettingsCatalog.h"

#include "common/FileSets.h"
#include "importrun/GaugeModel.h"
#include "common/Text.h"
#include "tablestore/TableFiles.h"
#include "tablestore/TableRoutines.h"
#include "wizard/CommandLine.h"

#include <filesystem>

namespace kimport {

namespace {
const char* const kPresetArticles = "Artikel-Datei von Brisko";
const char* const kPresetCustomers = "Kunden-Datei von Brisko";
}  // namespace

int helpContextOf(WizardPage page, TextPage textPage) {
    switch (page) {
    case WizardPage::Seite1: return 1;
    case WizardPage::Seite2: return 2;
    case WizardPage::Seite3: return 3;
    case WizardPage::Seite4: return 4;
    case WizardPage::Seite5: return 5;
    case WizardPage::Seite6: return 6;
    case WizardPage::Seite1txt:
        return textPage == TextPage::TXTDatensatzlaenge ? 11 : textPage == TextPage::TXTFix ? 12 : 13;
    }
    return 1;
}

bool samePath(const std::string& a, const std::string& b) {
    auto normal = [](const std::string& p) {
        if (p.empty()) return std::string();
        return foldedUpper(std::filesystem::absolute(p).lexically_normal().string());
    };
    return normal(a) == normal(b);
}

ImportWizard::ImportWizard(WizardEnvironment env)
    : tblQuelle(env.fs), tblZiel(env.fs), tblQStrukt(env.fs), tblZStrukt(env.fs), tblImpList(env.fs),
      tblTempStrukt(env.fs), tblZSP(env.fs), env_(std::move(env)) {
    for (Table* t : {&tblQStrukt, &tblZStrukt, &tblImpList, &tblTempStrukt, &tblZSP}) t->Exclusive = true;
    tblQuelle.Exclusive = tblZiel.Exclusive = true;
    ruleOptions_ = std::make_unique<RuleOptions>(RuleTables{tblZStrukt, tblQStrukt, tblQuelle, tblZiel}, env_.prompter,
                                                 env_.formats.current);
    settingsManager_ = std::make_unique<SettingsManager>(settingsTables());
}

ImportWizard::~ImportWizard() = default;

ProgressSink& ImportWizard::progress() {
    if (env_.progress) return *env_.progress;
    if (!ownProgress_) ownProgress_ = std::make_unique<GaugeModel>(env_.formats.current);
    return *ownProgress_;
}

bool ImportWizard::isTablePath(const std::string& path) const { return isParadoxPath(path) || isDBasePath(path); }

void ImportWizard::start(const std::vector<std::string>& parameters) {
    const std::string& dir = env_.programDir;
    tblQStrukt.CloseTable();
    tblZStrukt.CloseTable();
    tblImpList.CloseTable();
    tblQStrukt.setPath(dir + "QStrukt.DB");
    tblZStrukt.setPath(dir + "ZStrukt.DB");
    tblImpList.setPath(dir + "ImpList.DB");
    tblTempStrukt.setPath(dir + "Temp/tmp.db");
    tblZSP.setPath(dir + "Temp/ZSP.db");
    for (Table* t : {&tblQuelle, &tblZiel, &tblQStrukt, &tblZStrukt, &tblImpList, &tblTempStrukt, &tblZSP})
        t->regional = env_.formats.regional;

    // One instance at a time works with the control tables: a second one says so once and ends.
    if (!takeControlTables()) {
        state_.closeRequested = true;
        return;
    }

    // Without the alias the two preset choices are not offered.
    state_.presetChoicesVisible = env_.bkdbAlias && env_.fs.isDirectory(*env_.bkdbAlias);

    state_.page = WizardPage::Seite1;
    env_.formats.current.shortDateFormat = "DD/MM/YYYY";

    state_.rbtNeueImport.checked = env_.registry.readBool(regKey("rbtNeueImport"), false);
    if (state_.rbtVorhEinst_oAE.visible || state_.rbtVorhEinst_mAE.visible) {
        state_.rbtVorhEinst_oAE.checked = env_.registry.readBool(regKey("rbtVorhEinst_oAE"), false);
        state_.rbtVorhEinst_mAE.checked = env_.registry.readBool(regKey("rbtVorhEinst_mAE"), false);
    }
    std::string storedName = env_.registry.readString(regKey("edtAktEinstellung")).value_or("");
    state_.edtAktEinstellung = storedName;

    startedWithParameters = !parameters.empty();
    if (startedWithParameters) {
        state_.rbtNeueImport.checked = true;
        state_.rbtVorhEinst_oAE.checked = state_.rbtVorhEinst_mAE.checked = false;
        CommandLineResult r = evaluateCommandLine(parameters, env_.fs);
        if (r.error) {
            env_.prompter.error(*r.error);
        } else {
            state_.edtQuelle = r.source;
            state_.edtZiel = r.target;
            if (!r.source.empty() && !checkSource()) state_.edtQuelle.clear();
            if (!r.target.empty() && !checkTarget()) state_.edtZiel.clear();
        }
    } else {
        state_.edtQuelle = env_.registry.readString(regKey("edtQuelle")).value_or("");
        state_.edtZiel = env_.registry.readString(regKey("edtZiel")).value_or("");
    }

    if (openImpList() && tblImpList.RecordCount() > 0) {
        tblImpList.MoveFirst();
        if (!storedName.empty()) tblImpList.SeekKey({Value::ofText(storedName)});
        state_.edtAktEinstellung = currentSettingName();
    } else {
        state_.rbtVorhEinst_oAE.visible = state_.rbtVorhEinst_mAE.visible = false;
        state_.rbtVorhEinst_oAE.checked = state_.rbtVorhEinst_mAE.checked = false;
        showSavedSettingControls(false);
        state_.rbtImpEinlesen.visible = true;
    }
    if (!state_.rbtNeueImport.checked && !state_.rbtVorhEinst_mAE.checked && !state_.rbtVorhEinst_oAE.checked)
        state_.rbtNeueImport.checked = true;
    if (state_.rbtNeueImport.checked) rbtNeueImportClick();
}

bool ImportWizard::takeControlTables() {
    ownsControlTables_ = false;
    bool heldElsewhere = false;
    // A control table that is missing or damaged is reported where it is used; one that another
    // instance holds ends this one.
    for (Table* t : {&tblImpList, &tblZStrukt, &tblQStrukt}) {
        try {
            t->OpenTable();
        } catch (const TableError& e) {
            heldElsewhere = heldElsewhere || e.kind() == TableError::Kind::Locked;
        } catch (const std::exception&) {
            // Reported where the table is used.
        }
    }
    if (heldElsewhere) {
        for (Table* t : {&tblImpList, &tblZStrukt, &tblQStrukt}) t->CloseDiscarding();
        env_.prompter.error("Kelvaro Import wird bereits in einem anderen Fenster ausgeführt: die Steuertabellen "
                            "im Programmverzeichnis\r\n" + env_.programDir + "\r\nwerden dort verwendet. "
                            "Dieses Fenster wird geschlossen; bitte arbeiten Sie im anderen weiter.");
        return false;
    }
    ownsControlTables_ = true;
    return true;
}

bool ImportWizard::openImpList() {
    try {
        tblImpList.OpenTable();
        return true;
    } catch (const TableError& e) {
        env_.prompter.error(userMessage(e));
        return false;
    }
}

std::string ImportWizard::currentImpListText(const std::string& column) {
    if (!tblImpList.Active() || tblImpList.RecordCount() == 0) return {};
    auto field = tblImpList.LookupField(column);
    return field ? tblImpList.AsString(*field, env_.formats.current) : std::string();
}

std::string ImportWizard::currentSettingName() { return currentImpListText("Bezeichnung"); }

std::vector<SettingChoice> ImportWizard::settingChoices() {
    std::vector<SettingChoice> choices;
    if (!tblImpList.Active()) return choices;
    std::string current = currentSettingName();
    const int name = tblImpList.FieldNamed("Bezeichnung"), source = tblImpList.FieldNamed("Quelldatei"),
              target = tblImpList.FieldNamed("Zieldatei");
    for (tblImpList.MoveFirst(); !tblImpList.AtEnd(); tblImpList.MoveNext())
        choices.push_back({tblImpList.AsString(name, env_.formats.current), tblImpList.AsString(source, env_.formats.current),
                           tblImpList.AsString(target, env_.formats.current)});
    if (!current.empty()) tblImpList.SeekKey({Value::ofText(current)});
    std::sort(choices.begin(), choices.end(),
              [](const SettingChoice& a, const SettingChoice& b) { return settingNameBefore(a.name, b.name); });
    return choices;
}

void ImportWizard::showSavedSettingControls(bool visible) {
    state_.gbxAktEinstellungVisible = state_.lblWeitereVisible = visible;
    state_.comVorh_EinstellgVisible = state_.btnDetailsVisible = visible;
}

void ImportWizard::goTo(WizardPage page) {
    state_.page = page;
    if (page == WizardPage::Seite1txt) state_.textPage = TextPage::TXTDatensatzlaenge;
    // The mapping page may show other rules now: an open options panel follows the current one.
    if (page == WizardPage::Seite4 && ruleOptions_ && ruleOptions_->view().panelVisible) ruleOptions_->ShowRuleOptions();
}

void ImportWizard::leavePage() {
    if (onLeavePage) onLeavePage();
}

void ImportWizard::closeSourceAndTarget(bool clearNames) {
    tblQuelle.CloseTable();
    tblZiel.CloseTable();
    if (clearNames) {
        tblQuelle.DatabaseName.clear();
        tblQuelle.TableName.clear();
        tblZiel.DatabaseName.clear();
        tblZiel.TableName.clear();
    }
}

// --- Page 1 -----------------------------------------------------------------

void ImportWizard::rbtNeueImportClick() {
    state_.rbtNeueImport.checked = true;
    state_.rbtVorhEinst_oAE.checked = state_.rbtVorhEinst_mAE.checked = state_.rbtImpEinlesen.checked = false;
    sampleFilesFlag = false;
    state_.showDetailsSummary = state_.showDetailsManager = false;
    showSavedSettingControls(false);
    state_.btnSicherungskopie.visible = true;
    state_.cbxSicherungskopie.checked = false;
    state_.cbxSicherungskopie.visible = false;
    state_.cbxZielLeeren.checked = false;
    // A new setting is saved again, and takes nothing from one loaded before.
    state_.saveControlsEnabled = true;
    state_.edtBemerkung.clear();
    state_.remarkEditorVisible = false;
    if (!tblImpList.Active() || tblImpList.RecordCount() == 0) {
        state_.rbtVorhEinst_oAE.visible = state_.rbtVorhEinst_mAE.visible = false;
        state_.rbtImpEinlesen.visible = true;
    }
}

void ImportWizard::rbtVorhEinst_oAEClick() {
    state_.rbtVorhEinst_oAE.checked = true;
    state_.rbtNeueImport.checked = state_.rbtVorhEinst_mAE.checked = state_.rbtImpEinlesen.checked = false;
    openImpList();
    showSavedSettingControls(true);
}

void ImportWizard::rbtVorhEinst_mAEClick() {
    state_.rbtVorhEinst_mAE.checked = true;
    state_.rbtNeueImport.checked = state_.rbtVorhEinst_oAE.checked = state_.rbtImpEinlesen.checked = false;
    openImpList();
    showSavedSettingControls(true);
}

void ImportWizard::rbtImpEinlesenClick() {
    state_.rbtImpEinlesen.checked = true;
    state_.rbtNeueImport.checked = state_.rbtVorhEinst_oAE.checked = state_.rbtVorhEinst_mAE.checked = false;
}

void ImportWizard::comVorh_EinstellgSelect(const std::string& name) {
    if (!tblImpList.Active() && !openImpList()) return;
    if (tblImpList.SeekKey({Value::ofText(name)})) state_.edtAktEinstellung = currentSettingName();
}

void ImportWizard::btnDetailsClick() {
    state_.showDetailsSummary = state_.rbtVorhEinst_oAE.checked;
    state_.showDetailsManager = state_.rbtVorhEinst_mAE.checked;
}

void ImportWizard::btnWeiter1Click() {
    leavePage();
    storedMappingValid = true;
    if (state_.rbtNeueImport.checked) {
        goTo(WizardPage::Seite2);
    } else if (state_.rbtVorhEinst_oAE.checked) {
        if (!loadSettingUnchanged()) return;
        bool textSource = currentImpListText("Quellformat") == "Text";
        if (!checkStoredMapping(textSource)) {
            goTo(WizardPage::Seite1);
            env_.prompter.message(MsgKind::Information, Buttons::Ok,
                                  "Bitte verwenden Sie die Option\r\n\"Vorhandene Einstellungen ändern\"\r\num "
                                  "Feldzuordnungen zu kontrollieren.");
            rbtVorhEinst_mAEClick();
        }
    } else if (state_.rbtVorhEinst_mAE.checked) {
        loadSettingForEdit();
    } else if (state_.rbtImpEinlesen.checked) {
        readInSettings();
        if (tblImpList.Active() && tblImpList.RecordCount() > 0) {
            state_.rbtImpEinlesen.checked = false;
            state_.rbtImpEinlesen.visible = false;
            state_.rbtVorhEinst_oAE.visible = state_.rbtVorhEinst_mAE.visible = true;
        }
    } else {
        env_.prompter.beep();
    }
}

// --- Pages 2 and 3 -------------------------------------------------------------

void ImportWizard::comQuelleSelect(const std::string& item) {
    if (!env_.bkdbAlias) return;
    std::string choice = trim(item);
    if (choice == kPresetArticles) state_.edtQuelle = withTrailingSlash(*env_.bkdbAlias) + "Artikel.DB";
    if (choice == kPresetCustomers) state_.edtQuelle = withTrailingSlash(*env_.bkdbAlias) + "Kunden.DB";
}

void ImportWizard::comZielSelect(const std::string& item) {
    if (!env_.bkdbAlias) return;
    std::string choice = trim(item);
    if (choice == kPresetArticles) state_.edtZiel = withTrailingSlash(*env_.bkdbAlias) + "Artikel.DB";
    if (choice == kPresetCustomers) state_.edtZiel = withTrailingSlash(*env_.bkdbAlias) + "Kunden.DB";
}

void ImportWizard::btnZurueck2Click() {
    leavePage();
    tblQuelle.CloseTable();
    tblQuelle.DatabaseName.clear();
    tblQuelle.TableName.clear();
    goTo(WizardPage::Seite1);
}

void ImportWizard::btnWeiter2Click() {
    leavePage();
    if (!checkSource()) {
        state_.focusControl = "edtQuelle";
        return;
    }
    if (isTablePath(state_.edtQuelle)) {
        tblQuelle.CloseTable();
        tblQuelle.setPath(state_.edtQuelle);
        try {
            tblQuelle.OpenTable();
        } catch (const TableError& e) {
            env_.prompter.error(userMessage(e));
            state_.focusControl = "edtQuelle";
            return;
        }
        if (tblQuelle.RecordCount() == 0) {
            env_.prompter.message(MsgKind::Information, Buttons::Ok,
                                  "Die von Ihnen gewählte Quelldatenbank ist leer.\r\n\r\nBitte wählen Sie eine "
                                  "andere Quelldatenbank.");
            tblQuelle.CloseTable();
            return;
        }
    }
    if (state_.rbtNeueImport.checked) {
        goTo(WizardPage::Seite3);
    } else if (state_.rbtVorhEinst_mAE.checked) {
        if (state_.cbxZielAusw)
            goTo(WizardPage::Seite3);
        else
            btnWeiter3Click();
    }
}

void ImportWizard::btnZurueck3Click() {
    leavePage();
    if (state_.rbtNeueImport.checked) {
        tblZiel.CloseTable();
        tblZiel.DatabaseName.clear();
        tblZiel.TableName.clear();
        state_.cbxSicherungskopie.checked = false;
        state_.cbxZielLeeren.checked = false;
        goTo(WizardPage::Seite2);
    } else {
        goTo(state_.cbxQuelleAusw ? WizardPage::Seite2 : WizardPage::Seite1);
    }
}

void ImportWizard::btnWeiter3Click() {
    leavePage();
    if (!checkTarget()) {
        state_.focusControl = "edtZiel";
        return;
    }
    tblZiel.CloseTable();
    tblZiel.setPath(state_.edtZiel);
    // A target that may not be changed, or that another program holds, is refused here, naming it and
    // why: not after the setting was saved on the last page.
    try {
        tblZiel.OpenTable();
        tblZiel.CheckWritable();
    } catch (const TableError& e) {
        tblZiel.CloseTable();
        env_.prompter.error(userMessage(e));
        state_.focusControl = "edtZiel";
        return;
    }
    tblZiel.CloseTable();
    if (state_.cbxSicherungskopie.visible && state_.cbxSicherungskopie.checked) makeBackupCopy();

    const std::string& source = state_.edtQuelle;
    const bool tableSource = isTablePath(source);
    try {
        if (!samePath(source, lastSourceRead)) {
            ClearTableExclusive(tblQStrukt, env_.prompter);
            if (tableSource && !readSourceStructure()) return;
        }
        bool skip = false;
        if (sampleFilesFlag) {
            skip = equalsIgnoreCase(fileNameOf(currentImpListText("Quelldatei")), fileNameOf(source)) &&
                   equalsIgnoreCase(fileNameOf(currentImpListText("Zieldatei")), fileNameOf(state_.edtZiel)) &&
                   checkStoredMapping(false);
        } else if (!state_.rbtNeueImport.checked) {
            skip = samePath(source, currentImpListText("Quelldatei")) &&
                   samePath(state_.edtZiel, currentImpListText("Zieldatei")) && checkStoredMapping(false);
        }
        if (!skip) {
            if (!samePath(state_.edtZiel, lastTargetRead)) {
                saveMappingCopy();
                rulesToCarry_ = true;  // the copy holds the rules; the text pages carry them over too
                ClearTableExclusive(tblZStrukt, env_.prompter);
                if (!readTargetStructure()) return;
            }
            if (tableSource && layoutChanged()) {
                rememberLayout();
                if (sampleFilesFlag || !state_.rbtNeueImport.checked)
                    carryOverRules();
                else
                    autoMap();
                rulesToCarry_ = false;
            }
        }
        if (!tblZStrukt.Active()) tblZStrukt.OpenTable();
        tblZiel.OpenTable();
    } catch (const TableError& e) {
        env_.prompter.error(userMessage(e));
        return;
    }
    if (tableSource) {
        goTo(WizardPage::Seite4);
        return;
    }
    loadTextSource();
}

// --- Text pages, pages 4 to 6 ------------------------------------------------------

void ImportWizard::btnZurueck4Click() {
    leavePage();
    closeSourceAndTarget(false);
    if (!isTablePath(state_.edtQuelle)) goTo(WizardPage::Seite1txt);
    else if (state_.rbtNeueImport.checked || state_.cbxZielAusw) goTo(WizardPage::Seite3);
    else if (state_.cbxQuelleAusw) goTo(WizardPage::Seite2);
    else goTo(WizardPage::Seite1);
}

void ImportWizard::btnWeiter4Click() {
    leavePage();
    if (!preRunCheck()) return;
    goTo(WizardPage::Seite5);
}

void ImportWizard::btnZurueck5Click() {
    leavePage();
    if (state_.rbtVorhEinst_oAE.checked) {
        goTo(WizardPage::Seite1);
        return;
    }
    if (tblZStrukt.Active()) tblZStrukt.MoveFirst();
    goTo(WizardPage::Seite4);
}

void ImportWizard::btnWeiter5Click() {
    leavePage();
    if (modeChecks()) goTo(WizardPage::Seite6);
}

void ImportWizard::btnZurueck6Click() {
    leavePage();
    if (state_.rbtNeueImport.checked) {
        state_.edtImpSpeich.clear();
        goTo(WizardPage::Seite5);
    } else if (state_.rbtVorhEinst_oAE.checked) {
        closeSourceAndTarget(true);
        goTo(WizardPage::Seite1);
        openImpList();
    } else {
        goTo(WizardPage::Seite5);
    }
}

void ImportWizard::btnFertigstellenClick() {
    if (!saveSetting()) return;
    startRun();
}

void ImportWizard::btnAbbrechenClick() {
    if (env_.prompter.message(MsgKind::Confirmation, Buttons::YesNo, "Möchten Sie die Anwendung wirklich beenden?") ==
        Answer::Yes)
        state_.closeRequested = true;
}

// --- Checks --------------------------------------------------------------------------

bool ImportWizard::isOwnTable(const std::string& path) {
    const std::string& dir = env_.programDir;
    for (const char* own : {"QStrukt.db", "ZStrukt.DB", "ImpList.DB"})
        if (samePath(path, dir + own)) return true;
    if (!tblImpList.Active()) return false;
    // Every saved mapping table is the program's own too.
    bool own = false;
    std::string current = currentSettingName();
    auto tableName = tblImpList.LookupField("TableName");
    auto vorDef = tblImpList.LookupField("VorDefTableName");
    for (tblImpList.MoveFirst(); !tblImpList.AtEnd() && !own; tblImpList.MoveNext()) {
        if (tableName && samePath(path, dir + tblImpList.AsString(*tableName, env_.formats.current) + ".DB"))
            own = true;
        if (vorDef && !tblImpList.IsNull(*vorDef) &&
            samePath(path, dir + tblImpList.AsString(*vorDef, env_.formats.current) + ".DB"))
            own = true;
    }
    if (!current.empty()) tblImpList.SeekKey({Value::ofText(current)});
    return own;
}

bool ImportWizard::checkName(bool source) {
    std::string& name = source ? state_.edtQuelle : state_.edtZiel;
    Prompter& p = env_.prompter;
    if (name.empty() && !startedWithParameters) {
        p.error(source ? "Bitte geben Sie den Verzeichnispfad und den Dateinamen der Quelldatei ein."
                       : "Bitte geben Sie den Verzeichnispfad und den Dateinamen der Zieldatenbank ein.");
        return false;
    }
    std::string dir = directoryOf(name);
    bool dirExists = name.empty() ? false : dir.empty() || env_.fs.isDirectory(dir);
    if (!dirExists) {
        p.error("Der von Ihnen eingegebene Verzeichnispfad existiert leider nicht.");
        return false;
    }
    if (!fileExistsIgnoringCase(name, env_.fs)) {
        p.error("Der von Ihnen eingegebene Dateiname existiert leider nicht.");
        return false;
    }
    if (source) {
        std::string ext = asciiUpper(extensionOf(name));
        if ((ext == ".ZIP" || ext == ".ARJ") &&
            p.message(MsgKind::Warning, Buttons::YesNo,
                      "Die Datei \"" + fileNameOf(name) +
                          "\" ist vermutlich\r\neine komprimierte Datei, die vor dem Import entpackt\r\nwerden "
                          "muß.\r\n\r\nMöchten Sie die Datei wirklich verwenden?") != Answer::Yes)
            return false;
    } else if (samePath(name, state_.edtQuelle)) {
        p.error("Quell- und Zieldatenbank sind identisch!\r\n\r\nBitte korrigieren Sie Ihre Eingaben.");
        name.clear();
        return false;
    }
    if (isOwnTable(name)) {
        p.beep();
        p.error("Bitte verwenden Sie keine Datenbank, die von diesem Programm benutzt wird.");
        name.clear();
        return false;
    }
    return true;
}

bool ImportWizard::checkSource() { return checkName(true); }
bool ImportWizard::checkTarget() { return checkName(false); }

// --- Program end ---------------------------------------------------------------------

void ImportWizard::finish() {
    // An instance that never had the control tables leaves every shared file as it is.
    if (!ownsControlTables_) return;
    try {
        // While this instance still holds the control tables: its working files, then the tables.
        closeSourceAndTarget(false);
        tblTempStrukt.CloseTable();
        tblZSP.CloseTable();
        // Only the working files this instance made: another program may keep its own in Temp.
        if (env_.fs.isDirectory(env_.programDir + "Temp"))
            for (const std::string& base : ownTempFiles_)
                DeleteFileSet(env_.programDir + "Temp/", base, env_.prompter, env_.fs);
        ClearTableExclusive(tblZStrukt, env_.prompter);
        ClearTableExclusive(tblQStrukt, env_.prompter);
        Registry& r = env_.registry;
        r.writeBool(regKey("rbtNeueImport"), state_.rbtNeueImport.checked);
        r.writeBool(regKey("rbtVorhEinst_oAE"), state_.rbtVorhEinst_oAE.checked);
        r.writeBool(regKey("rbtVorhEinst_mAE"), state_.rbtVorhEinst_mAE.checked);
        if (!state_.rbtNeueImport.checked) r.writeString(regKey("edtAktEinstellung"), state_.edtAktEinstellung);
        r.writeString(regKey("edtQuelle"), state_.edtQuelle);
        r.writeString(regKey("edtZiel"), state_.edtZiel);
        r.flush();
    } catch (const std::exception& e) {
        env_.prompter.error(userMessage(e));
    }
    // The control tables are closed in any case.
    for (Table* t : {&tblQStrukt, &tblZStrukt, &tblImpList}) {
        try {
            t->CloseTable();
        } catch (const std::exception& e) {
            env_.prompter.error(userMessage(e));
        }
    }
}

}  // namespace kimport
