// A settings package or a catalogue row names its mapping table by a base name read from a file: it
// reaches that table's own files in the program directory and nothing else -- not a path, not a pattern.
#include "settings/SettingsCatalog.h"

#include "common/FileSets.h"
#include "settings/ControlTables.h"
#include "settings/SettingsTestSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

using namespace kimport;
using kimport::test::TempDir;

namespace {

struct Hostile : test::ControlTablesFixture {
    TempDir outside;                                 // holds the package folder and a file "beside" it
    std::string package = outside.file("paket/");

    Hostile() { std::filesystem::create_directory(package); }

    void addRow(Table& table, const std::string& name, const std::string& vorDefName) {
        test::appendSetting(table, name, false, vorDefName, 1);
    }
    void makePackage(const std::vector<std::pair<std::string, std::string>>& rows) {
        MakeTable(package, "VorDef.DB", impListLayout().fields, impListLayout().keyFieldCount);
        Table v;
        v.setPath(package + "VorDef.DB");
        v.OpenTable();
        for (const auto& [name, base] : rows) addRow(v, name, base);
        v.CloseTable();
    }
    std::vector<std::string> programFiles() { return test::listNames(dir.path()); }
};

}  // namespace

TEST(SettingsPackageNames, AReadInRefusesBaseNamesThatAreNoPlainFileName) {
    Hostile h;
    h.makePackage({{"Stern", "*"}, {"Pfad", "../v"}, {"Gut", "GUT"}});
    for (const char* ext : {".DB", ".MB"}) {
        test::writeFile(h.package + "*" + ext, "stern");
        test::writeFile(h.package + "GUT" + ext, "gut");
        test::writeFile(h.outside.file("v") + ext, "fremd");  // what "../v" would have reached
    }
    // A private file beside the program folder that the package must not replace.
    const std::string beside = h.dir.file("../v.DB");
    test::writeFile(beside, "privat");
    ::chmod(beside.c_str(), 0600);
    const std::vector<std::string> before = h.programFiles();
    SettingsTables t = h.tables();
    ReadInResult r = ReadInSettings(t, h.package + "VorDef.DB", nullptr);
    EXPECT_EQ(r.read, 1);
    EXPECT_EQ(r.refused, 2);
    ASSERT_EQ(r.errors.size(), 2u);
    for (const std::string& e : r.errors) EXPECT_NE(e.find("Erlaubt ist nur ein einfacher Dateiname"), std::string::npos) << e;
    EXPECT_NE(r.errors[1].find("\"Stern\" nennt als Zuordnungstabelle \"*\""), std::string::npos) << r.errors[1];
    EXPECT_NE(r.errors[0].find("\"Pfad\" nennt als Zuordnungstabelle \"../v\""), std::string::npos) << r.errors[0];
    EXPECT_EQ(settingsInView(h.impList, SettingsView::All), (std::vector<std::string>{"Gut"}));
    // Only the good setting's two files came in; nothing named "*", nothing outside.
    std::vector<std::string> after = h.programFiles();
    EXPECT_EQ(after.size(), before.size() + 2);
    for (const std::string& name : after) EXPECT_EQ(name.find('*'), std::string::npos) << name;
    EXPECT_EQ(test::readFile(beside), "privat");
    struct stat st {};
    ASSERT_EQ(::stat(beside.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    std::filesystem::remove(beside);
}

TEST(SettingsPackageNames, ACatalogueRowWithAPatternDeletesAndRestoresNothingElse) {
    Hostile h;
    h.addRow(h.impList, "Stern", "*");
    h.addRow(h.impList, "Pfad", "../v");
    for (const char* ext : {".DB", ".MB"}) test::writeFile(h.dir.file(std::string("*") + ext), "stern");
    const std::vector<std::string> before = h.programFiles();
    SettingsTables t = h.tables();

    // Loading: refused with its reason, the working mapping untouched; the user may let the row go.
    ASSERT_TRUE(seekSetting(h.impList, "Stern"));
    const SavedSetting stern = readSetting(h.impList);
    const std::string refused = unusableBaseNameMessage(stern) + "\r\n\r\nDie Importeinstellung kann nicht "
                                                                 "ausgeführt werden.";
    h.prompter.expectBeep();
    h.prompter.expectMessage(MsgKind::Error, Buttons::YesNo, refused + "\r\n\r\nSoll die Importeinstellung gelöscht "
                                                                       "werden?", Answer::Yes);
    h.zStrukt.OpenTable();
    EXPECT_FALSE(RestoreMapping(t, stern, true));
    EXPECT_TRUE(h.prompter.finished());
    // The row is gone; every file of the program folder is still there, "*.DB" included.
    EXPECT_EQ(settingsInView(h.impList, SettingsView::All), (std::vector<std::string>{"Pfad"}));
    EXPECT_EQ(h.programFiles(), before);

    ASSERT_TRUE(seekSetting(h.impList, "Pfad"));
    DeleteSetting(t, readSetting(h.impList));
    EXPECT_TRUE(settingsInView(h.impList, SettingsView::All).empty());
    EXPECT_EQ(h.programFiles(), before);
}
