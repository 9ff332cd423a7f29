#include "support/FaultyFileSystem.h"
#include "common/ProgramDirectory.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <set>

using namespace kimport;
using kimport::test::TempDir;
using kimport::test::fileExists;
using kimport::test::readFile;
using kimport::test::runCommand;
using kimport::test::writeFile;

namespace {

namespace fs = std::filesystem;

// Relative path → content of every file below a directory; directories end in "/".
std::map<std::string, std::string> treeOf(const std::string& root) {
    std::map<std::string, std::string> tree;
    if (!fs::exists(root)) return tree;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        std::string rel = fs::relative(e.path(), root).string();
        if (e.is_directory())
            tree[rel + "/"] = "";
        else
            tree[rel] = readFile(e.path().string());
    }
    return tree;
}

// A folder this user may not write in, whatever the permission bits say (the tests run as root too).
class ReadOnlyFolder : public FaultyFileSystem {
public:
    ReadOnlyFolder(std::string folder) : FaultyFileSystem(realFileSystem()), folder_(std::move(folder)) {}
    bool canWriteIn(const std::string& directory) override {
        return directory != folder_ && FaultyFileSystem::canWriteIn(directory);
    }

private:
    std::string folder_;
};

void setOrUnset(const char* name, const std::optional<std::string>& value) {
    if (value)
        setenv(name, value->c_str(), 1);
    else
        unsetenv(name);
}

class ProgramDirectoryTest : public testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"HOME", "XDG_DATA_HOME"})
            if (const char* v = std::getenv(name)) saved_[name] = v;
        setenv("HOME", (root.path() + "home").c_str(), 1);
        setenv("XDG_DATA_HOME", (root.path() + "data").c_str(), 1);
    }
    void TearDown() override {
        for (const char* name : {"HOME", "XDG_DATA_HOME"})
            setOrUnset(name, saved_.count(name) ? std::optional<std::string>(saved_[name]) : std::nullopt);
    }

    // An installed program: usr/bin/ with the template in usr/share/kelvaro-import/vorlage/.
    std::string install() {
        fs::create_directories(bin);
        fs::create_directories(templateDir + "Demos");
        fs::create_directories(templateDir + "help");
        fs::create_directories(templateDir + "Temp");
        for (const char* name : {"ImpList.DB", "ImpList.MB", "ImpList.PX", "QStrukt.db", "ZStrukt.DB", "ZStrukt.MB",
                                 "DEMO1.DB", "DEMO1.MB", "Demos/Artikel.DB", "Demos/Artikel.MB", "Demos/Artikel.PX",
                                 "Demos/KUNDEN.DBF", "Demos/Preisliste.txt", "help/index.html", "help/3.html"})
            writeFile(templateDir + name, std::string("Vorlage ") + name);
        return bin;
    }

    TempDir root;
    const std::string bin = root.path() + "usr/bin/";
    const std::string templateDir = root.path() + "usr/share/kelvaro-import/vorlage/";
    const std::string perUser = root.path() + "data/Kelvaro/Import/";

private:
    std::map<std::string, std::string> saved_;
};

TEST_F(ProgramDirectoryTest, ABuildTreeKeepsItsOwnFolder) {
    const std::string own = root.path() + "build/bin";
    fs::create_directories(own);
    EXPECT_EQ(resolveProgramDirectory(own), own + "/");
    EXPECT_FALSE(fileExists(root.path() + "data"));
}

TEST_F(ProgramDirectoryTest, AnInstalledProgramFillsThePerUserFolderFromItsTemplate) {
    writeFile(templateDir + "PKIMPORT.LCK", "");  // left by whatever made the template
    // Root may write in /usr/bin: the template beside it decides, not the permission.
    EXPECT_EQ(resolveProgramDirectory(install()), perUser);
    auto expected = treeOf(templateDir);
    expected.erase("PKIMPORT.LCK");
    auto got = treeOf(perUser);
    EXPECT_EQ(got.erase(kSetUpMark), 1u);
    EXPECT_EQ(got, expected);
    EXPECT_EQ(resolveProgramDirectory(bin), perUser);  // the second start finds it made
}

TEST_F(ProgramDirectoryTest, AFolderThatCannotBeWrittenGivesThePerUserFolder) {
    install();
    ReadOnlyFolder installed(bin);
    EXPECT_EQ(resolveProgramDirectory(bin, installed), perUser);
    EXPECT_TRUE(fileExists(perUser + "ImpList.DB"));

    // Without a template the folder is still made; the missing tables are reported where used.
    const std::string bare = root.path() + "opt/bin/";
    fs::create_directories(bare);
    unsetenv("XDG_DATA_HOME");
    ReadOnlyFolder readOnly(bare);
    EXPECT_EQ(resolveProgramDirectory(bare, readOnly), root.path() + "home/.local/share/Kelvaro/Import/");
    EXPECT_TRUE(fs::is_directory(root.path() + "home/.local/share/Kelvaro/Import"));
}

TEST_F(ProgramDirectoryTest, ThePerUserFolderFollowsTheBaseDirectoryRules) {
    EXPECT_EQ(perUserProgramDirectory(), perUser);
    setenv("XDG_DATA_HOME", (root.path() + "data/").c_str(), 1);
    EXPECT_EQ(perUserProgramDirectory(), perUser);
    unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(perUserProgramDirectory(), root.path() + "home/.local/share/Kelvaro/Import/");
    setenv("XDG_DATA_HOME", "relative/data", 1);  // ignored, as the standard says
    EXPECT_EQ(perUserProgramDirectory(), root.path() + "home/.local/share/Kelvaro/Import/");
    setenv("XDG_DATA_HOME", "", 1);
    EXPECT_EQ(perUserProgramDirectory(), root.path() + "home/.local/share/Kelvaro/Import/");
}

// Cut the set-up short at every file operation in turn: the next start must complete it.
TEST_F(ProgramDirectoryTest, ASetUpCutShortAnywhereIsCompletedByTheNextStart) {
    install();
    const auto expected = treeOf(templateDir);
    int cuts = 0;
    for (int failAt = 1;; ++failAt) {
        fs::remove_all(root.path() + "data");
        FaultyFileSystem faulty(realFileSystem());
        faulty.failAtOperation = failAt;
        try {
            setUpProgramDirectory(perUser, templateDir, faulty);
        } catch (const IoError& e) {
            ++cuts;
            EXPECT_NE(std::string(e.what()).find("Das Programmverzeichnis " + perUser + " kann nicht eingerichtet"),
                      std::string::npos)
                << e.what();
            // The mark may be in place only when the cut came after its rename.
            for (int start = 0; start < 2; ++start) {
                auto got = treeOf(perUser);
                if (got.erase(kSetUpMark)) {
                    ASSERT_EQ(got, expected) << "cut at " << failAt;
                }
                if (start == 0) setUpProgramDirectory(perUser, templateDir);
            }
            ASSERT_TRUE(fileExists(perUser + kSetUpMark)) << "cut at " << failAt;
            continue;
        }
        break;  // this many operations are enough: nothing was cut any more
    }
    EXPECT_GT(cuts, 20);
}

TEST_F(ProgramDirectoryTest, WhatTheUserHasIsNeverReplaced) {
    install();
    fs::create_directories(perUser + "Demos");
    writeFile(perUser + "ImpList.DB", "meine Einstellungen");
    writeFile(perUser + "ImpList.MB", "meine Memos");
    writeFile(perUser + "zstrukt.db", "meine Zuordnung");  // another letter case is the same table
    writeFile(perUser + "Demos/Preisliste.txt", "geändert");
    writeFile(perUser + "DEMO1.MB", "Rest eines abgebrochenen Kopierens");  // without its data file
    writeFile(perUser + "Eigene.DB", "eigene Tabelle");
    setUpProgramDirectory(perUser, templateDir);

    EXPECT_EQ(readFile(perUser + "ImpList.DB"), "meine Einstellungen");
    EXPECT_EQ(readFile(perUser + "ImpList.MB"), "meine Memos");
    EXPECT_FALSE(fileExists(perUser + "ImpList.PX"));  // the table is the user's, as it is
    EXPECT_EQ(readFile(perUser + "zstrukt.db"), "meine Zuordnung");
    EXPECT_FALSE(fileExists(perUser + "ZStrukt.DB"));
    EXPECT_EQ(readFile(perUser + "Demos/Preisliste.txt"), "geändert");
    EXPECT_EQ(readFile(perUser + "DEMO1.MB"), "Vorlage DEMO1.MB");
    EXPECT_EQ(readFile(perUser + "DEMO1.DB"), "Vorlage DEMO1.DB");
    EXPECT_EQ(readFile(perUser + "Eigene.DB"), "eigene Tabelle");
    EXPECT_EQ(readFile(perUser + "QStrukt.db"), "Vorlage QStrukt.db");
    EXPECT_EQ(readFile(perUser + "Demos/Artikel.PX"), "Vorlage Demos/Artikel.PX");

    // Once set up, what the user deletes stays deleted.
    fs::remove(perUser + "Demos/Artikel.DB");
    fs::remove_all(perUser + "help");
    EXPECT_EQ(resolveProgramDirectory(bin), perUser);
    EXPECT_FALSE(fileExists(perUser + "Demos/Artikel.DB"));
    EXPECT_FALSE(fileExists(perUser + "help"));
}

// The real template of the install step: kimport works in the folder made from it.
TEST_F(ProgramDirectoryTest, AFolderMadeFromTheInstallStepsTemplateHoldsTheDemoSettings) {
    const std::string made = root.path() + "made/";
    auto r = runCommand(std::string(KIMPORT_MAKE_PROGRAM_FILES_EXE) + " " + made + " " + kimport::test::sourceDir() +
                        "/tools/demo/");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    fs::create_directories(bin);
    fs::create_directories(templateDir);
    fs::copy(made, templateDir, fs::copy_options::recursive);
    EXPECT_EQ(resolveProgramDirectory(bin), perUser);
    for (const char* name : {"ImpList.PX", "ZStrukt.MB", "QStrukt.db", "DEMO2.DB", "Demos/KUNDEN.DBF"})
        EXPECT_TRUE(fileExists(perUser + name)) << name;
    EXPECT_FALSE(fileExists(perUser + "PKIMPORT.LCK"));

    r = runCommand(std::string(KIMPORT_KIMPORT_EXE) + " settings list --program-dir " + perUser);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("Demo: Artikel übernehmen"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Demo: Preisliste einlesen"), std::string::npos) << r.out;
}

}  // namespace
