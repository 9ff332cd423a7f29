// A setting's ImpList row and its mapping files reach the disk in one journaled
// swap: a failure at any file operation, or a process killed at any moment,
// leaves the catalogue with the old setting or the new one -- never a row
// without its mapping files, never mapping files nobody uses -- and the next
// open of ImpList completes or undoes what was cut short.
#include "settings/SettingsCatalog.h"
#include "settings/SettingsStore.h"

#include "common/FileSets.h"
#include "settings/ControlTables.h"
#include "settings/SettingsTestSupport.h"
#include "support/FaultyFileSystem.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <csignal>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>

using namespace kimport;
using kimport::test::TempDir;

namespace {

// Answers every question Yes and every input dialog with the next scripted text; keeps what it was told.
// A failure's message depends on the operation that failed, which the sweep below varies.
class AgreeingPrompter : public Prompter {
public:
    std::deque<std::string> inputs;
    std::vector<std::string> told;

    Answer message(MsgKind, Buttons buttons, std::string_view text, int) override {
        told.emplace_back(text);
        return buttons == Buttons::Ok || buttons == Buttons::OkHelp ? Answer::Ok : Answer::Yes;
    }
    void beep() override {}
    std::optional<std::string> inputQuery(std::string_view, std::string_view, std::string_view) override {
        if (inputs.empty()) return std::nullopt;
        std::string next = inputs.front();
        inputs.pop_front();
        return next;
    }
    std::optional<std::string> openFile(const FileDialogSpec&) override { return std::nullopt; }
    std::optional<std::string> saveFile(const FileDialogSpec&) override { return std::nullopt; }
};

// The catalogue as a reader finds it: each setting's name with its mapping base name and the bytes of its
// .DB and .MB files ("fehlt" for a missing one).
using Catalogue = std::map<std::string, std::string>;

std::string mappingOf(const std::string& dir, const std::string& base) {
    std::string seen = base;
    for (const char* ext : {".DB", ".MB"}) {
        const std::string path = dir + base + ext;
        seen += std::string(" ") + ext + "=" +
                (test::fileExists(path) ? std::to_string(std::hash<std::string>{}(test::readFile(path))) : "fehlt");
    }
    return seen;
}

Catalogue rowsOf(Table& impList, const std::string& dir) {
    Catalogue c;
    for (impList.MoveFirst(); !impList.AtEnd(); impList.MoveNext()) {
        const SavedSetting s = readSetting(impList);
        c[s.name] = mappingOf(dir, mappingBaseName(s));
    }
    return c;
}

// Opens ImpList as the next program start does, which completes or undoes an interrupted swap.
Catalogue catalogueOnDisk(const std::string& dir) {
    Table impList;
    impList.setPath(impListPath(dir));
    impList.OpenTable();
    return rowsOf(impList, dir);
}

std::vector<std::string> leftovers(const std::string& dir) {
    std::vector<std::string> found;
    for (const std::string& name : test::listNames(dir))
        if (name.find(kTempSuffix) != std::string::npos) found.push_back(name);
    return found;
}

// A program folder with two own settings and a working mapping of one rule, and beside it a settings
// package with one predefined setting to read in.
struct Program {
    TempDir dir, package;

    Program() {
        makeControlTables(dir.path());
        Table impList;
        impList.setPath(impListPath(dir.path()));
        impList.OpenTable();
        for (const char* name : {"Eins", "Zwei"}) {
            const SavedSetting s = test::appendSetting(impList, name, true, "", 1);
            for (const char* ext : {".DB", ".MB"})
                test::writeFile(dir.file(mappingBaseName(s) + ext), std::string("Zuordnung ") + name + ext);
        }
        Table zStrukt;
        zStrukt.setPath(zStruktPath(dir.path()));
        zStrukt.OpenTable();
        zStrukt.BeginAppend();
        zStrukt.SetValue(zStrukt.FieldNamed("Feldname"), Value::ofText("Nr"));
        zStrukt.PostRecord();
        zStrukt.CloseTable();

        MakeTable(package.path(), "VorDef.DB", impListLayout().fields, impListLayout().keyFieldCount);
        Table vorDef;
        vorDef.setPath(package.file("VorDef.DB"));
        vorDef.OpenTable();
        test::appendSetting(vorDef, "Drei", false, "DREI", 5);
        for (const char* ext : {".DB", ".MB"}) test::writeFile(package.file(std::string("DREI") + ext), "Paket");
    }
};

// One change of the catalogue; the settings package to read in lies in `package`.
struct Change {
    const char* what;
    std::function<void(SettingsTables&, AgreeingPrompter&, const std::string& package)> run;
};

const std::vector<Change>& changes() {
    static const std::vector<Change> all = {
        {"a new setting saved",
         [](SettingsTables& t, AgreeingPrompter&, const std::string&) {
             SavedSetting s;
             s.name = "Neu";
             s.sourcePath = "/daten/Kunden.DB";
             s.targetPath = "/daten/Ziel.DB";
             SaveSetting(t, s);
         }},
        {"a copy over an existing setting",
         [](SettingsTables& t, AgreeingPrompter& p, const std::string&) {
             p.inputs = {"Zwei"};
             CopySetting(t, "Eins");
         }},
        {"a setting deleted",
         [](SettingsTables& t, AgreeingPrompter&, const std::string&) {
             if (seekSetting(t.impList, "Eins")) DeleteSetting(t, readSetting(t.impList));
         }},
        {"a predefined setting read in",
         [](SettingsTables& t, AgreeingPrompter&, const std::string& package) {
             ReadInSettings(t, package + "VorDef.DB", nullptr);
         }},
    };
    return all;
}

enum class Fault { None, Fails, Dies };

// Runs the change in a copy of the program folder; the file system fails at operation `at` (counted from the
// change's start), or the process dies there (the change then runs in a child process). Returns how many
// operations the change took.
int runChange(const Program& p, const Change& change, const std::string& work, Fault fault, int at) {
    for (const std::string& name : test::listNames(p.dir.path()))
        if (name != "PKIMPORT.LCK") std::filesystem::copy_file(p.dir.file(name), work + name);
    pid_t child = fault == Fault::Dies ? fork() : 0;
    if (child > 0) {
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == FaultyFileSystem::kDiedAtOperation) << status;
        return at;
    }
    FaultyFileSystem faulty(realFileSystem());
    AgreeingPrompter prompter;
    Table impList(faulty), zStrukt(faulty);
    impList.setPath(impListPath(work));
    zStrukt.setPath(zStruktPath(work));
    impList.OpenTable();
    zStrukt.OpenTable();
    SettingsTables t{impList, zStrukt, prompter, faulty, work};
    const int start = faulty.operationCount();
    if (fault == Fault::Fails) faulty.failAtOperation = start + at;
    if (fault == Fault::Dies) faulty.dieAtOperation = start + at;
    try {
        change.run(t, prompter, p.package.path());
    } catch (const std::exception&) {
        // A delete or a read-in that fails says so by throwing; what counts is what the disk holds.
    }
    if (fault == Fault::Dies) ::_exit(0);  // not reached when the change took that many operations
    faulty.failAtOperation.reset();
    const int operations = faulty.operationCount() - start;
    // What the program holds in memory is what the disk holds: a row that could not be saved is gone.
    if (impList.Active()) {
        EXPECT_FALSE(impList.HasUnsavedChanges());
        const Catalogue held = rowsOf(impList, work);
        impList.CloseDiscarding();
        EXPECT_EQ(held, catalogueOnDisk(work));
    }
    zStrukt.CloseDiscarding();
    return operations;
}

class SettingsSwap : public ::testing::Test {
protected:
    Program p;
};

}  // namespace

TEST_F(SettingsSwap, AFailureOrAKillAtAnyStepLeavesTheOldSettingOrTheNewOne) {
    const Catalogue before = catalogueOnDisk(p.dir.path());
    for (const Change& change : changes()) {
        SCOPED_TRACE(change.what);
        TempDir done;
        const int operations = runChange(p, change, done.path(), Fault::None, 0);
        const Catalogue after = catalogueOnDisk(done.path());
        ASSERT_NE(after, before);
        ASSERT_GT(operations, 10);
        for (Fault fault : {Fault::Fails, Fault::Dies}) {
            int keptOld = 0, gotNew = 0;
            for (int at = 1; at <= operations; ++at) {
                SCOPED_TRACE((fault == Fault::Fails ? "failing at operation " : "killed at operation ") +
                             std::to_string(at));
                TempDir work;
                runChange(p, change, work.path(), fault, at);
                const Catalogue seen = catalogueOnDisk(work.path());
                if (seen == before)
                    ++keptOld;
                else if (seen == after)
                    ++gotNew;
                else
                    ADD_FAILURE() << "neither the old catalogue nor the new one";
                for (const auto& [name, mapping] : seen) EXPECT_EQ(mapping.find("fehlt"), std::string::npos) << name;
                // A failure cleans up at once; a kill may leave the temporary files of a mapping copy that never
                // reached the journal (the next save under that name replaces them), never ImpList's.
                for (const std::string& name : leftovers(work.path()))
                    EXPECT_TRUE(fault == Fault::Dies && name.rfind("ImpList", 0) == std::string::npos) << name;
            }
            EXPECT_GT(keptOld, 0);
            EXPECT_GT(gotNew, 0);  // a swap past its journal is completed
        }
    }
}

// The mapping a child process saved for its setting n holds the rule "F<n>": a row and files of two different
// saves would not match.
TEST_F(SettingsSwap, AProcessKilledWhileSavingLeavesEveryRowWithItsOwnMapping) {
    const std::string dir = p.dir.path();
    for (int trial = 0; trial < 12; ++trial) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            AgreeingPrompter prompter;
            Table impList, zStrukt;
            impList.setPath(impListPath(dir));
            zStrukt.setPath(zStruktPath(dir));
            impList.Exclusive = zStrukt.Exclusive = true;
            impList.OpenTable();
            zStrukt.OpenTable();
            SettingsTables t{impList, zStrukt, prompter, realFileSystem(), dir};
            for (int n = trial * 100000;; ++n) {  // save and delete again and again until killed
                zStrukt.MoveFirst();
                zStrukt.BeginEdit();
                zStrukt.SetValue(zStrukt.FieldNamed("Feldname"), Value::ofText("F" + std::to_string(n)));
                zStrukt.PostRecord();
                SavedSetting s;
                s.name = "S" + std::to_string(n);
                SaveSetting(t, s);
                if (n % 2 == 1 && seekSetting(impList, "S" + std::to_string(n - 1)))
                    DeleteSetting(t, readSetting(impList));
            }
        }
        usleep(static_cast<useconds_t>(20000 + trial * 9000));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);

        Table impList;
        impList.setPath(impListPath(dir));
        impList.OpenTable();  // completes or undoes the swap the kill cut short
        std::vector<std::string> bases;
        for (impList.MoveFirst(); !impList.AtEnd(); impList.MoveNext()) {
            const SavedSetting s = readSetting(impList);
            const std::string base = mappingBaseName(s);
            bases.push_back(base);
            ASSERT_TRUE(test::fileExists(dir + base + ".DB") && test::fileExists(dir + base + ".MB")) << s.name;
            if (s.name[0] != 'S') continue;
            Table mapping;
            mapping.setPath(dir + base + ".DB");
            mapping.OpenTable();
            mapping.MoveFirst();
            EXPECT_EQ(mapping.AsString(mapping.FieldNamed("Feldname"), FormatSettings::german()),
                      "F" + s.name.substr(1));
        }
        // No mapping files without their row: a delete or a save cut short took them with it or left none.
        for (const std::string& name : test::listNames(dir)) {
            if (name.find(kTempSuffix) != std::string::npos || extensionOf(name) != ".DB") continue;
            const std::string base = baseNameOf(name);
            if (base == "ImpList" || base == "ZStrukt" || base == "QStrukt") continue;
            EXPECT_NE(std::find(bases.begin(), bases.end(), base), bases.end()) << name;
        }
    }
    // ImpList's own temporary files went with the open; a mapping copy that never reached the journal may
    // have left its temporary files, which the next save under that number replaces.
    for (const std::string& name : leftovers(dir)) EXPECT_EQ(name.rfind("ImpList", 0), std::string::npos) << name;
}
