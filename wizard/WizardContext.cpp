#include "wizard/WizardContext.h"

#include "common/FileSets.h"
#include "common/Text.h"
#include "common/UserMessage.h"
#include "importrun/GaugeModel.h"
#include "tablestore/TableFiles.h"

#include <filesystem>

namespace kimport {

int helpContextOf(WizardPage page, TextPage textPage) {
    switch (page) {
        case WizardPage::Seite1:
            return 1;
        case WizardPage::Seite2:
            return 2;
        case WizardPage::Seite3:
            return 3;
        case WizardPage::Seite4:
            return 4;
        case WizardPage::Seite5:
            return 5;
        case WizardPage::Seite6:
            return 6;
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

WizardContext::WizardContext(WizardEnvironment environment)
    : env(std::move(environment)),
      tblQuelle(env.fs),
      tblZiel(env.fs),
      tblQStrukt(env.fs),
      tblZStrukt(env.fs),
      tblImpList(env.fs),
      tblTempStrukt(env.fs),
      tblZSP(env.fs) {
    for (Table* t : {&tblQuelle, &tblZiel, &tblQStrukt, &tblZStrukt, &tblImpList, &tblTempStrukt, &tblZSP})
        t->Exclusive = true;
    // The source is only ever walked from its first record (the checks, the run): read a batch at a
    // time, a large source costs no more memory than a small one. Shared, so that the content viewer
    // can open it beside the wizard to page through it.
    tblQuelle.Sequential = true;
    tblQuelle.Exclusive = false;
    // The target is read and changed block by block, as `kimport run` does: the viewer shows it
    // through the same table, and a run costs what it changes.
    tblZiel.Paged = true;
}

WizardContext::~WizardContext() = default;

ProgressSink& WizardContext::progress() {
    if (env.progress) return *env.progress;
    if (!ownProgress_) ownProgress_ = std::make_unique<GaugeModel>(env.formats.current);
    return *ownProgress_;
}

void WizardContext::goTo(WizardPage page) {
    state.page = page;
    if (page == WizardPage::Seite1txt) state.textPage = TextPage::TXTDatensatzlaenge;
    if (page == WizardPage::Seite4 && onEnterMapping) onEnterMapping();
}

void WizardContext::leavePage() {
    if (onLeavePage) onLeavePage();
}

void WizardContext::closeSourceAndTarget(bool clearNames) {
    tblQuelle.CloseTable();
    tblZiel.CloseTable();
    if (clearNames) {
        tblQuelle.DatabaseName.clear();
        tblQuelle.TableName.clear();
        tblZiel.DatabaseName.clear();
        tblZiel.TableName.clear();
    }
}

void WizardContext::keepStagingReport(StagingResult& staged) {
    stagingLines = std::move(staged.lineOfRecord);
    stagingProblems = std::move(staged.readProblems);
    stagingErrors = staged.readErrors;
}

bool WizardContext::openImpList() {
    try {
        tblImpList.OpenTable();
        return true;
    } catch (const TableError& e) {
        env.prompter.error(userMessage(e));
        return false;
    }
}

std::string WizardContext::currentImpListText(const std::string& column) {
    if (!tblImpList.Active() || tblImpList.RecordCount() == 0) return {};
    auto field = tblImpList.LookupField(column);
    return field ? tblImpList.AsString(*field, env.formats.current) : std::string();
}

std::string WizardContext::currentSettingName() {
    return currentImpListText("Bezeichnung");
}

MappingTables WizardContext::mappingTables() {
    return MappingTables{tblQuelle,    tblZiel, tblQStrukt,     tblZStrukt, tblTempStrukt,
                         env.prompter, env.fs,  env.programDir, &progress()};
}

SettingsTables WizardContext::settingsTables() {
    return SettingsTables{tblImpList, tblZStrukt, env.prompter, env.fs, env.programDir};
}

// --- The checks of a file name ---------------------------------------------------------------------

bool WizardContext::isOwnTable(const std::string& path) {
    const std::string& dir = env.programDir;
    for (const char* own : {"QStrukt.db", "ZStrukt.DB", "ImpList.DB"})
        if (samePath(path, dir + own)) return true;
    if (!tblImpList.Active()) return false;
    // Every saved mapping table is the program's own too.
    bool own = false;
    std::string current = currentSettingName();
    auto tableName = tblImpList.LookupField("TableName");
    auto vorDef = tblImpList.LookupField("VorDefTableName");
    for (tblImpList.MoveFirst(); !tblImpList.AtEnd() && !own; tblImpList.MoveNext()) {
        if (tableName && samePath(path, dir + tblImpList.AsString(*tableName, env.formats.current) + ".DB")) own = true;
        if (vorDef && !tblImpList.IsNull(*vorDef) &&
            samePath(path, dir + tblImpList.AsString(*vorDef, env.formats.current) + ".DB"))
            own = true;
    }
    if (!current.empty()) tblImpList.SeekKey({Value::ofText(current)});
    return own;
}

bool WizardContext::checkName(bool source) {
    std::string& name = source ? state.edtQuelle : state.edtZiel;
    Prompter& p = env.prompter;
    if (name.empty() && !startedWithParameters) {
        p.error(source ? "Bitte geben Sie den Verzeichnispfad und den Dateinamen der Quelldatei ein."
                       : "Bitte geben Sie den Verzeichnispfad und den Dateinamen der Zieldatenbank ein.");
        return false;
    }
    std::string dir = directoryOf(name);
    bool dirExists = name.empty() ? false : dir.empty() || env.fs.isDirectory(dir);
    if (!dirExists) {
        p.error("Der von Ihnen eingegebene Verzeichnispfad existiert leider nicht.");
        return false;
    }
    if (!fileExistsIgnoringCase(name, env.fs)) {
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
    } else if (samePath(name, state.edtQuelle)) {
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

}  // namespace kimport
