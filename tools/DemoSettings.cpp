#include "DemoSettings.h"

#include "common/FileSets.h"
#include "importrun/GaugeModel.h"
#include "mapping/RuleOptions.h"
#include "mapping/StructureMapping.h"
#include "settings/ControlTables.h"
#include "settings/SettingsCatalog.h"
#include "tablestore/TableRoutines.h"
#include "textsource/StagingTable.h"

#include <filesystem>
#include <functional>
#include <stdexcept>

namespace kimport {

namespace {

const char* const kTableDemo = "Demo: Artikel übernehmen";
const char* const kTextDemo = "Demo: Preisliste einlesen";

// Questions nobody answers: the install step runs without anyone at the screen.
struct Silent : Prompter {
    Answer message(MsgKind, Buttons, std::string_view text, int) override {
        throw std::runtime_error(std::string(text));
    }
    void beep() override {}
    std::optional<std::string> inputQuery(std::string_view, std::string_view, std::string_view) override { return {}; }
    std::optional<std::string> openFile(const FileDialogSpec&) override { return {}; }
    std::optional<std::string> saveFile(const FileDialogSpec&) override { return {}; }
};

void selectRule(Table& z, const std::string& feldname) {
    for (z.MoveFirst(); !z.AtEnd(); z.MoveNext())
        if (z.AsString(z.FieldNamed("Feldname"), z.regional) == feldname) return;
    throw std::runtime_error("Zielfeld " + feldname + " fehlt");
}

// The working mapping for a source and a target as the wizard proposes it, changed by `options`, and
// saved as `baseName`.* in `into`.
void prepareMapping(const std::string& programDir, Table& source, const std::string& target, const std::string& into,
                    const std::string& baseName, const std::function<void(RuleOptions&, Table&)>& options) {
    Silent silent;
    Table t, q, z, temp;
    t.setPath(target);
    q.setPath(qStruktPath(programDir));
    z.setPath(zStruktPath(programDir));
    for (Table* table : {&q, &z}) {
        table->Exclusive = true;
        ClearTableExclusive(*table, silent);
        table->Exclusive = true;
    }
    MappingTables tables{source, t, q, z, temp, silent, realFileSystem(), programDir, nullptr};
    if (!ReadSourceStructure(tables) || !ReadTargetStructure(tables)) throw std::runtime_error("Strukturen");
    AutoMap(tables);
    FormatSettings german = FormatSettings::german();
    RuleOptions rules(RuleTables{z, q, source, t}, silent, german);
    options(rules, z);
    z.CloseTable();
    q.CloseTable();
    t.CloseTable();
    source.CloseTable();
    if (CopyFileSet(programDir, kZStruktBaseName, into, baseName, silent) < 1)
        throw std::runtime_error("Zuordnung nicht kopiert");
    ClearTableExclusive(z, silent);
    ClearTableExclusive(q, silent);
}

void addRow(Table& vorDef, SavedSetting s, const std::string& baseName) {
    s.own = false;
    s.vorDefTableName = baseName;
    s.sourceFormat = sourceFormatOf(s.sourcePath);
    storeFormats(FormatSettings::german(), s);
    vorDef.BeginAppend();
    writeSetting(vorDef, s);
    vorDef.PostRecord();
}

}  // namespace

void addDemoSettings(const std::string& programDirIn) {
    const std::string programDir = withTrailingSlash(programDirIn);
    const std::string demos = programDir + kDemosDirName + "/";
    Table impList;
    impList.setPath(impListPath(programDir));
    impList.Exclusive = true;
    const bool haveTable = seekSetting(impList, kTableDemo), haveText = seekSetting(impList, kTextDemo);
    impList.CloseTable();
    if (haveTable && haveText) return;

    const std::string vorDefDir = tempDirectory(programDir) + "vordef/";
    std::filesystem::remove_all(vorDefDir);
    std::filesystem::create_directories(vorDefDir);
    MakeTable(vorDefDir, "VorDef.DB", impListLayout().fields, impListLayout().keyFieldCount);
    Table vorDef;
    vorDef.setPath(vorDefDir + "VorDef.DB");
    vorDef.OpenTable();

    if (!haveTable) {
        // Prices without tax, and a minimum stock of 10 where the source has less.
        Table source;
        source.setPath(demos + "Artikel.DB");
        prepareMapping(programDir, source, demos + "ArtikelNeu.DB", vorDefDir, "DEMO1", [](RuleOptions& o, Table& z) {
            selectRule(z, "Preis");
            o.ShowRuleOptions();
            o.click("cbxZZ_Div", true);
            o.edit("edtZZ_DivWert", "1,19");
            selectRule(z, "Mindestbestand");
            o.ShowRuleOptions();
            o.click("cbxZZ_Vorgabe", true);
            o.edit("edtZZ_Vorgabe_Wert", "10");
            o.click("cbxZZ_Vorgabe_Kleiner", true);
            o.edit("edtZZ_Vorgabe_Quelltxt", "10");
        });
        SavedSetting s;
        s.name = kTableDemo;
        s.remark = "Übernimmt die Artikel in die neue Artikeltabelle: Preise ohne Mehrwertsteuer (durch 1,19), "
                   "Mindestbestand wenigstens 10. Vorhandene Artikelnummern bleiben unverändert.";
        s.sourcePath = "Demos/Artikel.DB";  // in the program directory, wherever it is
        s.targetPath = "Demos/ArtikelNeu.DB";
        s.mode = 2;
        addRow(vorDef, s, "DEMO1");
    }
    if (!haveText) {
        // The price list, semicolon-separated with the names in its first line, updates the new table.
        TextLayout layout;
        layout.kind = LayoutKind::Variable;
        layout.semicolon = true;
        layout.quoteIndex = 0;
        layout.namesInFirstLine = true;
        const std::string text = demos + "Preisliste.txt";
        const std::vector<std::string> names = BuildPreview(text, layout).names;
        const FormatSettings german = FormatSettings::german();
        GaugeModel quiet(german);
        Table staged;
        BuildStagingTable(text, layout, names, tempDirectory(programDir), quiet, &staged);
        prepareMapping(programDir, staged, demos + "ArtikelNeu.DB", vorDefDir, "DEMO2", [](RuleOptions&, Table&) {});
        std::filesystem::remove(findIgnoringCase(stagingTablePath(text, tempDirectory(programDir))));
        SavedSetting s;
        s.name = kTextDemo;
        s.remark = "Liest die Preisliste (Textdatei, Semikolon, Feldnamen in der ersten Zeile) ein und aktualisiert "
                   "damit die neue Artikeltabelle; neue Artikel werden hinzugefügt.";
        s.sourcePath = "Demos/Preisliste.txt";
        s.targetPath = "Demos/ArtikelNeu.DB";
        s.mode = 5;
        s.layout = layout;
        s.layout.columnNames = names;
        addRow(vorDef, s, "DEMO2");
    }
    vorDef.CloseTable();

    Silent silent;
    Table catalog, working;
    catalog.setPath(impListPath(programDir));
    working.setPath(zStruktPath(programDir));
    catalog.Exclusive = working.Exclusive = true;
    SettingsTables tables{catalog, working, silent, realFileSystem(), programDir};
    ReadInResult read = ReadInSettings(tables, vorDefDir + "VorDef.DB", nullptr);
    catalog.CloseTable();
    std::filesystem::remove_all(vorDefDir);
    if (!read.errors.empty()) throw std::runtime_error("Die Demo-Einstellungen: " + read.errors.front());
}

}  // namespace kimport
