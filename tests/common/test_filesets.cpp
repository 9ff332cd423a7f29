#include "support/FaultyFileSystem.h"
#include "common/FileSets.h"
#include "support/ScriptedPrompter.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sys/stat.h>

using namespace kimport;
using kimport::test::TempDir;
using kimport::test::fileExists;
using kimport::test::readFile;
using kimport::test::writeFile;

namespace {
ScriptedPrompter strictPrompter() {
    ScriptedPrompter p;
    p.onFailure = [](const std::string& f) { ADD_FAILURE() << f; };
    return p;
}
}  // namespace

TEST(FileSetCopy, CopiesEveryFileOfTheSetUnderTheNewBaseName) {
    TempDir dir;
    writeFile(dir.file("ZStrukt.DB"), "data");
    writeFile(dir.file("ZSTRUKT.MB"), "memo");
    writeFile(dir.file("zstrukt.X02"), "index");
    writeFile(dir.file("Other.DB"), "other");
    std::filesystem::create_directory(dir.file("ZStrukt.dir"));
    auto p = strictPrompter();
    EXPECT_EQ(CopyFileSet(dir.path(), "ZStrukt", dir.path(), "17", p), 3);
    EXPECT_EQ(readFile(dir.file("17.DB")), "data");
    EXPECT_EQ(readFile(dir.file("17.MB")), "memo");
    EXPECT_EQ(readFile(dir.file("17.X02")), "index");
    EXPECT_FALSE(fileExists(dir.file("17.dir")));
    EXPECT_TRUE(p.finished());
}

TEST(FileSetCopy, KeepsNamesWithoutNewBaseAndChecksTheTargetDirectory) {
    TempDir src, dst;
    writeFile(src.file("Kunden.DB"), "k");
    writeFile(src.file("Kunden.PX"), "px");
    auto p = strictPrompter();
    p.expectError("Quell- oder Zieldatei wurde nicht angegeben!");
    p.expectError("Quell- oder Zieldatei wurde nicht angegeben!");
    p.expectError("Zielpfad nicht vorhanden: " + dst.file("fehlt"));
    EXPECT_EQ(CopyFileSet(src.path(), "Kunden", "", "", p), -1);
    EXPECT_EQ(CopyFileSet(src.path(), "", dst.path(), "", p), -1);
    EXPECT_EQ(CopyFileSet(src.path(), "Kunden", dst.file("fehlt"), "", p), -1);
    EXPECT_EQ(CopyFileSet(src.path(), "Kunden", dst.path().substr(0, dst.path().size() - 1), "", p), 2);
    EXPECT_EQ(readFile(dst.file("Kunden.PX")), "px");
    EXPECT_TRUE(p.finished());
}

TEST(FileCopy, MovesLargeFilesInBlocksAndIntoADirectory) {
    TempDir dir;
    std::string big;
    for (int i = 0; i < 8192 * 3; ++i) big += static_cast<char>(i * 7);  // exactly three blocks
    writeFile(dir.file("big.bin"), big);
    std::filesystem::create_directory(dir.file("sub"));
    auto p = strictPrompter();
    EXPECT_TRUE(CopyOneFile(dir.file("big.bin"), dir.file("sub"), p));
    EXPECT_EQ(readFile(dir.file("sub/big.bin")), big);
    writeFile(dir.file("empty"), "");
    EXPECT_TRUE(CopyOneFile(dir.file("empty"), dir.file("empty2"), p));
    EXPECT_TRUE(fileExists(dir.file("empty2")));
    EXPECT_TRUE(p.finished());
}

TEST(FileCopy, AnUnreadableSourceLeavesTheTargetUntouched) {
    TempDir dir;
    writeFile(dir.file("target.db"), "good old content");
    auto p = strictPrompter();
    p.expectError("Die Datei " + dir.file("missing.db") + "kann nicht geöffnet werden");
    EXPECT_FALSE(CopyOneFile(dir.file("missing.db"), dir.file("target.db"), p));
    EXPECT_EQ(readFile(dir.file("target.db")), "good old content");
    EXPECT_TRUE(p.finished());
}

TEST(FileCopy, AFullDiskNeverReplacesAGoodTarget) {
    TempDir dir;
    writeFile(dir.file("source.db"), std::string(30000, 'n'));
    writeFile(dir.file("target.db"), "good old content");
    FaultyFileSystem faulty(realFileSystem());
    faulty.spaceLeft = 10000;
    auto p = strictPrompter();
    p.expectError("Die Zieldatei " + dir.file("target.db") +
                  " konnte nicht geschrieben werden:\r\nSchreibfehler in " + dir.file("target.db") + kTempSuffix +
                  ": Kein Speicherplatz mehr auf dem Datenträger");
    EXPECT_FALSE(CopyOneFile(dir.file("source.db"), dir.file("target.db"), p, faulty));
    EXPECT_EQ(readFile(dir.file("target.db")), "good old content");
    EXPECT_EQ(test::listNames(dir.path()), (std::vector<std::string>{"source.db", "target.db"}));
    EXPECT_TRUE(p.finished());
}

TEST(FileCopy, ACrashBeforeTheSwapLeavesTheOldTarget) {
    TempDir dir;
    writeFile(dir.file("source.db"), "new");
    writeFile(dir.file("target.db"), "old");
    FaultyFileSystem faulty(realFileSystem());
    faulty.refuseRenames = true;
    ScriptedPrompter p;
    p.onFailure = [](const std::string&) {};  // the message text names the temporary file; not checked here
    EXPECT_FALSE(CopyOneFile(dir.file("source.db"), dir.file("target.db"), p, faulty));
    EXPECT_EQ(readFile(dir.file("target.db")), "old");
    EXPECT_EQ(p.log().size(), 1u);
}

TEST(FileSetDelete, DeletesMatchingFilesAndPassesOverDirectories) {
    TempDir dir;
    writeFile(dir.file("Temp.DB"), "");
    writeFile(dir.file("TEMP.px"), "");
    writeFile(dir.file("Temporary.DB"), "");
    std::filesystem::create_directory(dir.file("temp.d"));
    auto p = strictPrompter();
    p.expectError("Dateien wurden nicht angegeben!");
    EXPECT_EQ(DeleteFileSet(dir.path(), "", p), -1);
    EXPECT_EQ(DeleteFileSet(dir.path(), "Temp", p), 2);
    EXPECT_EQ(test::listNames(dir.path()), (std::vector<std::string>{"Temporary.DB", "temp.d"}));
    // A name is never a pattern: "*" reaches only a file of that very name.
    writeFile(dir.file("*.DB"), "");
    EXPECT_EQ(DeleteFileSet(dir.path(), "*", p), 1);
    EXPECT_EQ(test::listNames(dir.path()), (std::vector<std::string>{"Temporary.DB", "temp.d"}));
    EXPECT_TRUE(p.finished());
}

TEST(DirectoryTest, TrueOnlyForDirectories) {
    TempDir dir;
    writeFile(dir.file("f"), "");
    EXPECT_TRUE(PathHasAttributes(dir.path(), kDirectoryAttribute));
    EXPECT_FALSE(PathHasAttributes(dir.file("f"), kDirectoryAttribute));
    EXPECT_FALSE(PathHasAttributes(dir.file("nothing"), kDirectoryAttribute));
}

TEST(FileSetNames, OnlyATablesFilesOfExactlyThatBaseName) {
    TempDir dir;
    for (const char* name : {"Kunden.DB", "KUNDEN.px", "kunden.X02", "Kunden.YG0", "Kunden.txt", "Kunden1.DB", "Kunden"})
        writeFile(dir.file(name), "");
    std::vector<std::string> found;
    for (const DirEntry& e : fileSetEntries(dir.path(), "kunden", realFileSystem())) found.push_back(e.name);
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (std::vector<std::string>{"KUNDEN.px", "Kunden.DB", "Kunden.YG0", "kunden.X02"}));
    EXPECT_TRUE(fileSetEntries(dir.path(), "K*", realFileSystem()).empty());
    EXPECT_TRUE(fileSetEntries(dir.path(), "Kunde?", realFileSystem()).empty());
    for (const char* plain : {"7", "ARTIKEL", "_12a", "E1234567"}) EXPECT_TRUE(isPlainBaseName(plain)) << plain;
    for (const char* bad : {"", "*", "../v", "a/b", "A.DB", "NEUNZEHN9", "a b", "K?"}) EXPECT_FALSE(isPlainBaseName(bad)) << bad;
    EXPECT_EQ(findIgnoringCase("/nonexistent/dir/x.db"), "/nonexistent/dir/x.db");
}
