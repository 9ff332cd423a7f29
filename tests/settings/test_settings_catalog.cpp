// The settings manager's operations on the catalogue: reading in predefined
// settings with their files, copying, renaming, deleting, and the views.
#include "settings/SettingsCatalog.h"

#include "support/FaultyFileSystem.h"
#include "support/ScriptedPrompter.h"
#include "settings/ControlTables.h"
#include "settings/SettingsTestSupport.h"
#include "tablestore/FileSetWriter.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace kimport;
using kimport::test::TempDir;

namespace {

struct Catalog : test::ControlTablesFixture {
    TempDir disk;  // a folder with a VorDef.DB to read in

    // A setting in the catalogue with mapping files under its number (own) or its name (predefined).
    void add(const std::string& name, bool own, const std::string& vorDefName = "") {
        const SavedSetting s = test::appendSetting(impList, name, own, vorDefName, 2);
        for (const char* ext : {".DB", ".MB"}) test::writeFile(dir.file(mappingBaseName(s) + ext), name);
    }
    // A VorDef.DB in the other folder with rows like the catalogue's, and their files.
    void makeVorDef(const std::vector<std::pair<std::string, std::string>>& predefined) {
        MakeTable(disk.path(), "VorDef.DB", impListLayout().fields, impListLayout().keyFieldCount);
        Table v;
        v.setPath(disk.file("VorDef.DB"));
        v.OpenTable();
        for (const auto& [name, base] : predefined) {
            test::appendSetting(v, name, false, base, 5);
            for (const char* ext : {".DB", ".MB"}) test::writeFile(disk.file(base + ext), "vordef " + name);
        }
    }
    std::string fileText(const std::string& name) { return test::readFile(dir.file(name)); }
};

}  // namespace

TEST(SettingsCatalog, ReadingInRenamesWhatIsTakenAndCopiesTheFiles) {
    Catalog c;
    c.add("Artikel", false, "ART");
    c.makeVorDef({{"Artikel", "ART"}, {"Kunden", "KUN"}});
    SettingsTables t = c.tables();
    ReadInResult r = ReadInSettings(t, c.disk.file("VorDef.DB"), nullptr);
    EXPECT_EQ(r.read, 2);
    ASSERT_EQ(r.errors.size(), 1u);
    EXPECT_EQ(r.errors[0].rfind("Die neue Importeinstellung \"Artikel\" mußte umbenannt werden", 0), 0u) << r.errors[0];
    const std::vector<std::string> names = settingsInView(c.impList, SettingsView::Predefined);
    ASSERT_EQ(names.size(), 3u);
    // The renamed one keeps its own files: the catalogue's "ART" files are not overwritten.
    EXPECT_EQ(c.fileText("ART.DB"), "Artikel");
    const std::string renamed = names[2].rfind("Neu: ", 0) == 0 ? names[2] : names[1];
    ASSERT_TRUE(seekSetting(c.impList, renamed));
    EXPECT_EQ(c.fileText(mappingBaseName(readSetting(c.impList)) + ".DB"), "vordef Artikel");
    EXPECT_EQ(c.fileText("KUN.MB"), "vordef Kunden");
    // The file read in carries the new name.
    Table v;
    v.setPath(c.disk.file("VorDef.DB"));
    v.OpenTable();
    EXPECT_TRUE(seekSetting(v, renamed));
}

TEST(SettingsCatalog, CopyingGivesTheCopyItsOwnFiles) {
    Catalog c;
    c.add("Vorgabe", false, "VORG");
    c.add("Eigene", true);
    SettingsTables t = c.tables();
    c.prompter.expectInput("Importeinstellung kopieren nach", "Neue Bezeichnung", "Vorgabe")
        .expectError("Bitte kopieren Sie keine Importeinstellung auf sich selbst.")
        .expectInput("Importeinstellung kopieren nach", "Neue Bezeichnung", "Kopie");
    ASSERT_TRUE(CopySetting(t, "Vorgabe"));
    SavedSetting copy = readSetting(c.impList);
    EXPECT_FALSE(copy.own);
    EXPECT_EQ(copy.vorDefTableName, "_" + std::to_string(*copy.tableName));
    EXPECT_EQ(c.fileText(copy.vorDefTableName + ".DB"), "Vorgabe");
    // Onto an existing name: asked, and No asks again with the name kept.
    c.prompter.expectInput("Importeinstellung kopieren nach", "Neue Bezeichnung", "Eigene")
        .expectMessage(MsgKind::Warning, Buttons::YesNo,
                       "Die Importeinstellung \"Eigene\" existiert bereits.\r\n\r\nMöchten Sie überschreiben?", Answer::No)
        .expectInput("Importeinstellung kopieren nach", "Neue Bezeichnung", std::nullopt);
    EXPECT_FALSE(CopySetting(t, "Vorgabe"));
    EXPECT_TRUE(c.prompter.finished());
}

TEST(SettingsCatalog, RenamingAndDeletingFollowTheViews) {
    Catalog c;
    c.add("Eins", true);
    c.add("Zwei", false, "ZWEI");
    SettingsTables t = c.tables();
    c.prompter.expectInput("Import umbenennen", "Neue Bezeichnung", "Zwei")
        .expectError("Die Importeinstellung \"Zwei\" existiert bereits.")
        .expectInput("Import umbenennen", "Neue Bezeichnung", " Eins neu ");
    EXPECT_TRUE(RenameSetting(t, "Eins"));
    EXPECT_TRUE(seekSetting(c.impList, " Eins neu "));  // blanks are kept
    EXPECT_EQ(settingsInView(c.impList, SettingsView::Own), (std::vector<std::string>{" Eins neu "}));
    c.prompter.expectMessage(MsgKind::Confirmation, Buttons::YesNo,
                             "Möchten Sie die Importeinstellung \r\n\" Eins neu \"\r\nwirklich löschen?", Answer::Yes);
    EXPECT_TRUE(DeleteSettingAsked(t, " Eins neu "));
    EXPECT_EQ(viewAfterDelete(c.impList, SettingsView::Own), SettingsView::All);
    EXPECT_EQ(viewAfterDelete(c.impList, SettingsView::Predefined), SettingsView::Predefined);
    ManagerButtons none = managerButtons(SettingsView::Own, false, true);
    EXPECT_FALSE(none.loeschen || none.kopieren || none.importStarten);
    ManagerButtons empty = managerButtons(SettingsView::All, false, false);
    EXPECT_TRUE(empty.importStarten);
    EXPECT_EQ(empty.importStartenCaption, "&Schließen");
    EXPECT_TRUE(c.prompter.finished());
}

TEST(SettingsCatalog, TheSummaryLinesMoveUp) {
    SavedSetting s;
    s.mode = 3;
    EXPECT_EQ(summaryOptionLines(s), (std::vector<std::string>{
                                         "- Importierte Datensätze am Ende anhängen,\r\n   Schlüsselwerte vorhandener "
                                         "Datensätze umbenennen"}));
    s.backupCopy = s.emptyTarget = true;
    s.mode = 1;
    EXPECT_EQ(summaryOptionLines(s).size(), 3u);
    EXPECT_EQ(modeDescription(5), "Vorhandene Datensätze aktualisieren;\r\nnicht vorhandene hinzufügen.");
    EXPECT_EQ(modeDescription(9), "");
}

TEST(SettingsCatalog, ACopyKeepsEveryColumnAndNeverSharesFiles) {
    Catalog c;
    c.add("Vorgabe", false, "VORG");
    ASSERT_TRUE(seekSetting(c.impList, "Vorgabe"));
    c.impList.BeginEdit();
    c.impList.SetValue(c.impList.FieldNamed("Marks"), Value::ofInteger(7));
    c.impList.SetValue(c.impList.FieldNamed("MarkFeld"), Value::ofText("Kennung"));
    c.impList.PostRecord();
    // A predefined setting read in earlier carries a name this catalogue would give a copy.
    c.makeVorDef({{"Fremd", "_4"}});
    SettingsTables t = c.tables();
    ASSERT_EQ(ReadInSettings(t, c.disk.file("VorDef.DB"), nullptr).read, 1);
    ASSERT_TRUE(seekSetting(c.impList, "Fremd"));
    const std::string foreign = readSetting(c.impList).vorDefTableName;
    EXPECT_NE(foreign, "_4");  // renamed: "_" and a number belong to this catalogue
    c.prompter.expectInput("Importeinstellung kopieren nach", "Neue Bezeichnung", "Kopie");
    ASSERT_TRUE(CopySetting(t, "Vorgabe"));
    SavedSetting copy = readSetting(c.impList);
    EXPECT_EQ(c.impList.AsInteger(c.impList.FieldNamed("Marks")), 7);
    EXPECT_EQ(c.impList.AsString(c.impList.FieldNamed("MarkFeld"), FormatSettings::german()), "Kennung");
    EXPECT_NE(copy.vorDefTableName, foreign);
    EXPECT_EQ(c.fileText(foreign + ".DB"), "vordef Fremd");  // untouched by the copy
    EXPECT_TRUE(c.prompter.finished());
}

TEST(SettingsCatalog, AnExportIsWrittenWholeOrNotAtAll) {
    Catalog c;
    c.add("Artikel", false, "ART");
    c.add("Kunden", true);
    SettingsTables t = c.tables();
    ASSERT_EQ(ExportSettings(t, {"Artikel", "Kunden"}, c.disk.path()).written, 2);
    // The folder as the next reader finds it: a swap cut short after its journal is completed first.
    auto snapshot = [&] {
        FileSetWriter::recover(realFileSystem(), c.disk.file("VorDef.DB"));
        std::vector<std::pair<std::string, std::string>> files;
        for (const std::string& name : test::listNames(c.disk.path()))
            if (name != "PKIMPORT.LCK") files.emplace_back(name, test::readFile(c.disk.file(name)));
        return files;
    };
    const auto before = snapshot();
    // The settings changed since: a new export replaces the old one, or, failing anywhere, leaves it.
    test::writeFile(c.dir.file("ART.DB"), "Artikel neu");
    bool succeeded = false;
    for (int failAt = 1; !succeeded && failAt < 400; ++failAt) {
        FaultyFileSystem faulty(realFileSystem());
        faulty.failAtOperation = failAt;
        SettingsTables ft = c.tables(faulty);
        ExportResult r = ExportSettings(ft, {"Artikel", "Kunden"}, c.disk.path());
        if (r.written == 2 && r.errors.empty()) {
            succeeded = true;
            continue;
        }
        EXPECT_EQ(r.written, 0) << failAt;
        const auto now = snapshot();
        const bool old = now == before;
        const bool whole = now.size() == before.size() && test::readFile(c.disk.file("ART.DB")) == "Artikel neu";
        ASSERT_TRUE(old || whole) << "failing at operation " << failAt;
        if (whole) test::writeFile(c.disk.file("ART.DB"), "Artikel");  // back to the old export for the next try
    }
    ASSERT_TRUE(succeeded);
    EXPECT_EQ(test::readFile(c.disk.file("ART.DB")), "Artikel neu");
    for (const std::string& name : test::listNames(c.disk.path())) {
        EXPECT_EQ(name.find("VorDefNeu"), std::string::npos) << name;
        EXPECT_EQ(name.find(".kimp-tmp"), std::string::npos) << name;
    }
}
