// Saving an import setting (its ImpList row and its mapping files), putting a
// saved mapping back, and deleting a setting: what the Parts ask, and that a
// failed save keeps nothing.
#include "settings/SettingsCatalog.h"
#include "settings/SettingsStore.h"
#include "tablestore/TableError.h"

#include "support/FaultyFileSystem.h"
#include "support/ScriptedPrompter.h"
#include "settings/ControlTables.h"
#include "settings/SettingsTestSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace kimport;
using kimport::test::TempDir;

namespace {

struct Store : test::ControlTablesFixture {
    Store() {
        zStrukt.OpenTable();
        // One rule row, so that the mapping files hold something to compare.
        zStrukt.BeginAppend();
        zStrukt.SetValue(zStrukt.FieldNamed("Feldname"), Value::ofText("Nr"));
        zStrukt.PostRecord();
        zStrukt.Flush();
    }
    bool exists(const std::string& name) { return std::filesystem::exists(dir.file(name)); }
    static SavedSetting fixedText(const std::string& name) {
        SavedSetting s;
        s.name = name;
        s.sourcePath = "/daten/Kunden_fest.txt";
        s.targetPath = "/daten/Kunden.DB";
        s.mode = 5;
        s.layout.kind = LayoutKind::Fixed;
        s.layout.semicolon = true;  // left from the other tab: a fixed layout stores no separators
        s.layout.breaks[0] = 10;
        s.layout.breaks[1] = 30;
        s.layout.columnNames = {"NR", "NAME", "ORT"};
        storeFormats(FormatSettings::make('.', ',', ':', '/', "MM/DD/YYYY"), s);
        return s;
    }
};

const std::string kSaved = "Die Importeinstellung \r\n\"Kunden\"\r\nist gespeichert worden.";

}  // namespace

TEST(SettingsStore, ASaveWritesTheRowAndTheMappingFiles) {
    Store w;
    SettingsTables t = w.tables();
    w.prompter.expectMessage(MsgKind::Information, Buttons::Ok, kSaved);
    EXPECT_EQ(SaveSetting(t, Store::fixedText("Kunden")), SaveOutcome::Saved);
    ASSERT_TRUE(seekSetting(w.impList, "Kunden"));
    SavedSetting back = readSetting(w.impList);
    EXPECT_EQ(back.sourceFormat, "Text");
    EXPECT_EQ(back.sourcePath, "/daten/Kunden_fest.txt");  // the letter case is kept
    EXPECT_TRUE(back.own);
    EXPECT_EQ(back.mode, 5);
    EXPECT_EQ(back.layout.kind, LayoutKind::Fixed);
    EXPECT_FALSE(back.layout.semicolon);
    EXPECT_EQ(back.layout.breaks[1], 30);
    EXPECT_EQ(back.layout.columnNames, (std::vector<std::string>{"NR", "NAME", "ORT"}));
    EXPECT_EQ(w.impList.AsString(w.impList.FieldNamed("FixBreak"), FormatSettings::german()).substr(0, 12),
              "10;30;-1;-1;");
    EXPECT_EQ(decodeBreaks(encodeBreaks(back.layout.breaks)), back.layout.breaks);
    FormatSettings formats = FormatSettings::german();
    restoreFormats(back, formats);
    EXPECT_EQ(formats, FormatSettings::make('.', ',', ':', '/', "MM/DD/YYYY"));
    const std::string base = mappingBaseName(back);
    EXPECT_TRUE(w.exists(base + ".DB") && w.exists(base + ".MB"));
    // The same name again is refused and writes nothing.
    w.prompter.expectError("Die Importeinstellung \"Kunden\"\r\nexistiert bereits.\r\n\r\nBitte geben Sie eine andere "
                           "Bezeichnung ein.");
    EXPECT_EQ(SaveSetting(t, Store::fixedText("Kunden")), SaveOutcome::NameTaken);
    EXPECT_EQ(w.impList.RecordCount(), 1);
    EXPECT_TRUE(w.prompter.finished());
}

TEST(SettingsStore, AFullDiskDuringTheSaveKeepsNothing) {
    Store w;
    FaultyFileSystem full(realFileSystem());
    full.spaceLeft = 100;  // the mapping files do not fit
    SettingsTables t = w.tables(full);
    // The copy's own message comes first, then the save's.
    w.prompter.expectError("Schreibfehler in " + w.dir.file("1.DB.kimp-tmp") +
                           ": Kein Speicherplatz mehr auf dem Datenträger");
    w.prompter.expectError("Die Importeinstellung \r\n\"Kunden\"\r\nkonnte nicht gespeichert werden.");
    EXPECT_EQ(SaveSetting(t, Store::fixedText("Kunden")), SaveOutcome::Failed);
    EXPECT_TRUE(w.prompter.finished());
    EXPECT_FALSE(seekSetting(w.impList, "Kunden"));
    for (const auto& e : std::filesystem::directory_iterator(w.dir.path())) {
        const std::string name = e.path().filename().string();
        EXPECT_TRUE(name.rfind("ImpList", 0) == 0 || name.rfind("ZStrukt", 0) == 0 || name.rfind("QStrukt", 0) == 0 ||
                    name == "Temp" || name.find(".LCK") != std::string::npos)
            << name;
    }
    // The working mapping is untouched and open again.
    EXPECT_TRUE(w.zStrukt.Active());
    EXPECT_EQ(w.zStrukt.RecordCount(), 1);
}

TEST(SettingsStore, AMissingMappingFileOffersToDeleteTheSetting) {
    Store w;
    SettingsTables t = w.tables();
    w.prompter.expectMessage(MsgKind::Information, Buttons::Ok, kSaved);
    SaveSetting(t, Store::fixedText("Kunden"));
    seekSetting(w.impList, "Kunden");
    SavedSetting s = readSetting(w.impList);
    // Emptied meanwhile, the working table gets the saved rules back.
    w.zStrukt.ClearTable();
    w.zStrukt.Flush();
    EXPECT_TRUE(RestoreMapping(t, s));
    EXPECT_EQ(w.zStrukt.RecordCount(), 1);

    const std::string base = mappingBaseName(s);
    std::filesystem::remove(w.dir.file(base + ".MB"));
    const std::string question = "Die Importeinstellungsdatei \"" + w.dir.file(base + ".MB") +
                                 "\"\r\nist nicht gefunden worden.\r\n\r\nDie Importeinstellung \"Kunden\"\r\nkann "
                                 "nicht ausgeführt werden.\r\n\r\nSoll die Importeinstellung gelöscht werden?";
    w.prompter.expectBeep().expectMessage(MsgKind::Error, Buttons::YesNo, question, Answer::No);
    EXPECT_FALSE(RestoreMapping(t, s));
    EXPECT_TRUE(seekSetting(w.impList, "Kunden"));
    w.prompter.expectBeep().expectMessage(MsgKind::Error, Buttons::YesNo, question, Answer::Yes);
    EXPECT_FALSE(RestoreMapping(t, s));
    EXPECT_FALSE(seekSetting(w.impList, "Kunden"));
    EXPECT_FALSE(w.exists(base + ".DB"));
    EXPECT_TRUE(w.prompter.finished());
}

TEST(SettingsStore, APredefinedSettingHasItsMappingUnderItsOwnName) {
    Store w;
    SavedSetting s = Store::fixedText("Vorgabe");
    s.own = false;
    s.vorDefTableName = "ARTIKEL";
    s.tableName = 7;
    EXPECT_EQ(mappingBaseName(s), "ARTIKEL");
    s.own = true;
    EXPECT_EQ(mappingBaseName(s), "7");
    EXPECT_EQ(sourceFormatOf("/x/a.dbf"), "dBase");
    EXPECT_EQ(sourceFormatOf("/x/a.Db"), "Paradox");
    EXPECT_EQ(decodeColumnNames("A;B;;rest"), (std::vector<std::string>{"A", "B", ""}));
    EXPECT_EQ(decodeBreaks("5;x;0;7")[0], 5);
    EXPECT_EQ(decodeBreaks("5;x;0;7")[1], -1);
    EXPECT_EQ(decodeBreaks("5;x;0;7")[3], -1);  // after the last ";" nothing counts
}

TEST(SettingsStore, ATextLayoutMustBeCompleteAndAReadInFileIntact) {
    SavedSetting s = Store::fixedText("Fest");
    EXPECT_TRUE(textLayoutComplete(s));
    s.layout.breaks.fill(-1);
    EXPECT_FALSE(textLayoutComplete(s));  // fixed, but no break
    s.layout.kind = LayoutKind::Variable;
    s.layout.semicolon = false;
    s.layout.quoteIndex = 0;
    EXPECT_FALSE(textLayoutComplete(s));  // variable, but nothing splits
    s.sourcePath = "/daten/Kunden.DB";
    EXPECT_TRUE(textLayoutComplete(s));   // a table needs no layout

    // A damaged VorDef.DB is refused before the catalogue changes.
    Store w;
    test::writeFile(w.dir.file("VorDef.DB"), std::string(600, 'x'));
    SettingsTables t = w.tables();
    const std::string before = test::readFile(impListPath(w.dir.path()));
    EXPECT_THROW(ReadInSettings(t, w.dir.file("VorDef.DB"), nullptr), TableError);
    EXPECT_EQ(test::readFile(impListPath(w.dir.path())), before);
}
