// `kimport run` end to end on Paradox and dBase tables: the counters each mode
// prints, what lands in the target, and the exit codes and messages for a
// failing run, a damaged source, a locked target and bad arguments.
#include "common/Numbers.h"
#include "support/ScriptedPrompter.h"
#include "mapping/RuleOptions.h"
#include "importrun/GaugeModel.h"
#include "textsource/StagingTable.h"
#include "settings/SettingsCatalog.h"
#include "common/FileSets.h"
#include "mapping/StructureMapping.h"
#include "settings/ControlTables.h"
#include "support/TestSupport.h"
#include "tablestore/TableTestSupport.h"
#include "tablestore/Table.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

using namespace kimport;
using kimport::test::CommandResult;
using kimport::test::readFile;
using kimport::test::runCommand;
using kimport::test::TempDir;

namespace {

using Fields = std::vector<FieldSpec>;
using kimport::test::contentsOf;
using kimport::test::Rows;
using Counters = std::vector<std::pair<std::string, std::string>>;

FieldSpec text(const char* name, int size) { return {name, FieldType::String, size}; }
FieldSpec typed(const char* name, FieldType type, int size = 0) { return {name, type, size}; }

// The seven rows in the order of the progress window.
Counters counters(const std::string& quelle, const std::string& hinzu, const std::string& ignor,
                  const std::string& umben, const std::string& akt, const std::string& summe,
                  const std::string& fehler) {
    return {{"Anzahl der zu importierenden Datensätze", quelle},
            {"Anzahl hinzugefügter Datensätze", hinzu},
            {"Anzahl ignorierter Datensätze", ignor},
            {"Anzahl umbenannter Datensätze", umben},
            {"Anzahl aktualisierter Datensätze", akt},
            {"Summe bearbeiteter Datensätze", summe},
            {"Anzahl der aufgetretenen Fehler:", fehler}};
}

// Parses "caption<TAB>value" lines; a line without a tab fails the test.
Counters printed(const std::string& out) {
    Counters rows;
    std::size_t at = 0;
    while (at < out.size()) {
        std::size_t end = out.find('\n', at);
        if (end == std::string::npos) end = out.size();
        std::string line = out.substr(at, end - at);
        std::size_t tab = line.find('\t');
        if (tab == std::string::npos)
            ADD_FAILURE() << "not a counter row: " << line;
        else
            rows.emplace_back(line.substr(0, tab), line.substr(tab + 1));
        at = end + 1;
    }
    return rows;
}

// A program directory of its own (control tables) and a data directory.
class Cli {
public:
    Cli() { makeControlTables(program.path()); }

    std::string make(const std::string& name, const Fields& fields, int keys, const Rows& rows) {
        return kimport::test::makeTableWithRows(data.path(), name, fields, keys, rows);
    }

    CommandResult run(const std::string& source, const std::string& target, const std::string& options) {
        return runCommand("LC_ALL=C '" + std::string(KIMPORT_KIMPORT_EXE) + "' run --source '" + source +
                          "' --target '" + target + "' --program-dir '" + program.path() + "' " + options);
    }

    // Exports a saved setting as a predefined one into dir/VorDef.DB.
    CommandResult exportSetting(const std::string& name, const std::string& dir) {
        return runCommand("'" + std::string(KIMPORT_KIMPORT_EXE) + "' settings export " + name + " --to '" + dir +
                          "' --program-dir '" + program.path() + "'");
    }

    TempDir program, data;
};

// Runs a saved setting in another program directory.
CommandResult runSettingIn(const std::string& name, const std::string& programDir) {
    return runCommand("LC_ALL=C '" + std::string(KIMPORT_KIMPORT_EXE) + "' run --setting " + name + " --program-dir '" +
                      programDir + "'");
}

const Fields kNumbered{typed("Nr", FieldType::Integer), text("Name", 10)};
const Rows kThree{{"1", "Eins"}, {"2", "Zwei"}, {"3", "Drei"}};
const Fields kKeyed{text("Key", 10), text("Wert", 10)};
const Fields kDbfKeyed{text("KEY", 10), text("WERT", 10)};

}  // namespace

TEST(KimportRun, EachModePrintsItsCountersAndFillsTheTarget) {
    struct Case {
        const char* what;
        std::string sourceName;
        Fields sourceFields;
        Rows sourceRows;
        std::string targetName;
        Fields targetFields;
        int targetKeys;
        Rows targetRows;
        std::string options;
        Counters expected;
        Rows after;
    };
    const std::vector<Case> cases{
        {"mode 1 into dBase", "Quelle.DB", kNumbered, kThree, "ZIEL.DBF", kNumbered, 0, {}, "--mode 1",
         counters("3", "3", "0", "0", "0", "3", "0"), kThree},
        {"mode 1 is the default", "QUELLE.DBF", kNumbered, kThree, "Ziel.DB", kNumbered, 1, {{"9", "Neun"}}, "",
         counters("3", "3", "0", "0", "0", "3", "0"), {{"1", "Eins"}, {"2", "Zwei"}, {"3", "Drei"}, {"9", "Neun"}}},
        {"mode 2", "QUELLE.DBF", kDbfKeyed, {{"A", "a1"}, {"B", "b1"}, {"A", "a2"}}, "Ziel.DB", kKeyed, 1,
         {{"B", "alt"}}, "--mode 2", counters("3", "1", "2", "0", "0", "3", "0"), {{"A", "a1"}, {"B", "alt"}}},
        {"mode 2 after emptying", "QUELLE.DBF", kDbfKeyed, {{"A", "a1"}, {"A", "a2"}}, "Ziel.DB", kKeyed, 1,
         {{"B", "alt"}}, "--mode 2 --empty-target", counters("2", "1", "0", "0", "0", "1", "1"), {{"A", "a1"}}},
        {"mode 4 with a time key", "Quelle.DB", {text("Wert", 10)}, {{"a"}, {"b"}, {"c"}}, "Ziel.DB",
         {typed("Zeit", FieldType::Time), text("Wert", 10)}, 1, {}, "--mode 4 --start-value 08:00:00",
         counters("3", "3", "0", "0", "0", "3", "0"), {{"08:00:00", "a"}, {"08:00:01", "b"}, {"08:00:02", "c"}}},
        {"mode 5", "Quelle.DB", kNumbered, {{"1", "Neu"}, {"2", "Zwei"}}, "Ziel.DB", kNumbered, 1, {{"1", "Alt"}},
         "--mode 5", counters("2", "1", "0", "0", "1", "2", "0"), {{"1", "Neu"}, {"2", "Zwei"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Cli cli;
        std::string source = cli.make(c.sourceName, c.sourceFields, 0, c.sourceRows);
        std::string target = cli.make(c.targetName, c.targetFields, c.targetKeys, c.targetRows);
        CommandResult r = cli.run(source, target, c.options);
        // Saved with field errors is saved, but not a success: exit 1 and a line that says so.
        const bool errors = c.expected.back().second != "0";
        EXPECT_EQ(r.exitCode, errors ? 1 : 0) << r.err;
        if (errors) {
            EXPECT_NE(r.err.find("gespeichert, aber mit 1 Fehler."), std::string::npos) << r.err;
        }
        EXPECT_EQ(printed(r.out), c.expected);
        EXPECT_EQ(contentsOf(target), c.after);
    }
}

// A target field no source field of its name fills stays empty: said on standard error and in the report.
TEST(KimportRun, TargetFieldsNothingFillsAreNamed) {
    Cli cli;
    std::string source = cli.make("Quelle.DB", {typed("Nr", FieldType::Integer), text("Bezeichnung", 20)}, 0, kThree);
    std::string target = cli.make("ZIEL.DBF", {typed("NR", FieldType::Integer), text("BEZEICHNUN", 20)}, 0, {});
    const std::string report = cli.data.file("bericht.csv");
    CommandResult r = cli.run(source, target, "--report '" + report + "'");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("Hinweis: Das Feld BEZEICHNUN der Zieltabelle füllt weder ein Quellfeld noch eine Formel noch "
                         "ein Vorgabewert; es bleibt leer. Eine eigene Zuordnung"),
              std::string::npos) << r.err;
    EXPECT_NE(readFile(report).find("\r\n;Hinweis;;;;\"Das Feld BEZEICHNUN"), std::string::npos) << readFile(report);
}

TEST(KimportRun, RenameExistingAddsExistingKeysUnderNewKeys) {
    Cli cli;
    std::string source = cli.make("QUELLE.DBF", kDbfKeyed, 0, {{"X", "x-neu"}, {"Y", "y-neu"}});
    std::string target = cli.make("Ziel.DB", kKeyed, 1, {{"Y", "y-alt"}});
    CommandResult r = cli.run(source, target, "--mode 3 --start-value K100");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    Counters rows = printed(r.out);
    ASSERT_EQ(rows.size(), 7u);
    EXPECT_EQ(rows[0].second, "2");
    EXPECT_EQ(rows[1].second, "1");  // X in the second pass
    EXPECT_EQ(rows[3].second, "1");  // Y under K100
    EXPECT_EQ(rows[6].second, "0");
    EXPECT_EQ(contentsOf(target), (Rows{{"K100", "y-neu"}, {"X", "x-neu"}, {"Y", "y-alt"}}));
}

TEST(KimportRun, AKeyViolationEndsWithExitOneAndKeepsWhatWasPosted) {
    Cli cli;
    std::string source = cli.make("Quelle.DB", kNumbered, 1, kThree);
    std::string target = cli.make("Ziel.DB", kNumbered, 1, {{"2", "Alt"}});
    CommandResult r = cli.run(source, target, "--mode 1");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Schlüsselverletzung."), std::string::npos) << r.err;
    EXPECT_EQ(contentsOf(target), (Rows{{"1", "Eins"}, {"2", "Alt"}}));
}

TEST(KimportRun, ADamagedSourceIsReportedBeforeAnythingIsWritten) {
    for (const char* sourceName : {"Quelle.DB", "QUELLE.DBF"}) {
        SCOPED_TRACE(sourceName);
        Cli cli;
        std::string source = cli.make(sourceName, kNumbered, 0, kThree);
        std::string target = cli.make("Ziel.DB", kNumbered, 1, {{"9", "Neun"}});
        // Cut the data file inside its first record.
        std::filesystem::resize_file(source, std::filesystem::file_size(source) / 2);
        std::string before = readFile(target);
        CommandResult r = cli.run(source, target, "--mode 1");
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_NE(r.err.find("kimport run: "), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(std::filesystem::path(source).filename().string()), std::string::npos) << r.err;
        EXPECT_EQ(readFile(target), before);
    }
}

TEST(KimportRun, ALockedTargetIsReportedAndLeftAlone) {
    for (const char* targetName : {"Ziel.DB", "ZIEL.DBF"}) {
        SCOPED_TRACE(targetName);
        Cli cli;
        std::string source = cli.make("Quelle.DB", kNumbered, 0, kThree);
        std::string target = cli.make(targetName, kNumbered, 0, {{"9", "Neun"}});
        std::string before = readFile(target);
        Table holder;
        holder.setPath(target);
        holder.Exclusive = true;
        holder.OpenTable();
        CommandResult r = cli.run(source, target, "--mode 1");
        holder.CloseTable();
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_NE(r.err.find("wird von einem anderen Benutzer oder Programm verwendet und kann nicht geöffnet werden."),
                  std::string::npos)
            << r.err;
        EXPECT_EQ(readFile(target), before);
    }
}

TEST(KimportRun, AReadOnlyTargetIsRefusedBeforeTheFirstRecord) {
    for (const char* targetName : {"Ziel.DB", "ZIEL.DBF"}) {
        SCOPED_TRACE(targetName);
        Cli cli;
        std::string source = cli.make("Quelle.DB", kNumbered, 0, kThree);
        std::string target = cli.make(targetName, kNumbered, 0, {{"9", "Neun"}});
        std::filesystem::permissions(target, std::filesystem::perms::owner_read | std::filesystem::perms::group_read |
                                                 std::filesystem::perms::others_read);
        std::string before = readFile(target);
        CommandResult r = cli.run(source, target, "--mode 1");
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_NE(r.err.find("schreibgeschützt"), std::string::npos) << r.err;
        EXPECT_EQ(r.out.find("hinzugefügter Datensätze\t3"), std::string::npos) << r.out;
        EXPECT_EQ(readFile(target), before);
    }
}

TEST(KimportRun, BadArgumentsExitWithTwoAndTouchNothing) {
    Cli cli;
    std::string source = cli.make("Quelle.DB", kNumbered, 0, kThree);
    std::string target = cli.make("Ziel.DB", kNumbered, 1, {});
    std::string before = readFile(target);
    // (Modes 3 and 4 without a start value are refused by the checks of the run, with exit code 1.)
    const std::vector<std::string> bad{"--mode 6", "--mode 12", "--mode", "--frei", "--start-value"};
    for (const std::string& options : bad) {
        SCOPED_TRACE(options);
        CommandResult r = cli.run(source, target, options);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.err.rfind("kimport run: ", 0), 0u) << r.err;
        EXPECT_EQ(r.out, "");
    }
    CommandResult noTarget = runCommand("LC_ALL=C '" + std::string(KIMPORT_KIMPORT_EXE) + "' run --source '" + source +
                                        "' --program-dir '" + cli.program.path() + "'");
    EXPECT_EQ(noTarget.exitCode, 2);
    EXPECT_EQ(readFile(target), before);
}

TEST(KimportRun, CtrlCEndsWithExitThreeAndKeepsWhatWasImported) {
    Cli cli;
    Rows many;
    for (int i = 1; i <= 200000; ++i) many.push_back({std::to_string(i), "Satz"});
    std::string source = cli.make("Quelle.DB", kNumbered, 1, many);
    std::string target = cli.make("Ziel.DB", kNumbered, 1, {});
    // Interrupted as soon as its progress bar shows: whatever it imported up to then is saved.
    std::string err = cli.data.file("err.txt");
    CommandResult r = runCommand("LC_ALL=C '" + std::string(KIMPORT_KIMPORT_EXE) + "' run --source '" + source +
                                 "' --target '" + target + "' --program-dir '" + cli.program.path() +
                                 "' 2>'" + err + "' & pid=$!; while ! grep -q '%' '" + err +
                                 "' 2>/dev/null; do sleep 0.01; done; kill -INT $pid; wait $pid; echo rc=$?");
    EXPECT_NE(r.out.find("rc=3"), std::string::npos) << r.out << readFile(err);
    std::string messages = readFile(err);
    EXPECT_NE(messages.find("abgebrochen; die bis dahin importierten Datensätze sind gespeichert."), std::string::npos)
        << messages;
    std::size_t saved = contentsOf(target).size();
    EXPECT_LT(saved, many.size());
    EXPECT_NE(r.out.find("Anzahl hinzugefügter Datensätze\t" + FormatCount(static_cast<std::int64_t>(saved),
                                                                             FormatSettings::german())),
              std::string::npos)
        << r.out;
}

TEST(KimportRun, ModesThatLookUpAreRefusedForATargetWithoutKey) {
    for (const char* mode : {"--mode 2", "--mode 3 --start-value 100", "--mode 5"}) {
        SCOPED_TRACE(mode);
        Cli cli;
        std::string source = cli.make("Quelle.DB", kNumbered, 1, kThree);
        std::string target = cli.make("ZIEL.DBF", kNumbered, 0, {{"9", "Neun"}});
        std::string before = readFile(target);
        // Refused before anything changes: also the emptying that was asked for.
        CommandResult r = cli.run(source, target, std::string(mode) + " --empty-target");
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_NE(r.err.find("keinen Primärschlüssel"), std::string::npos) << r.err;
        EXPECT_EQ(readFile(target), before);
    }
}

namespace {

// Prepares ZStrukt as the wizard leaves it: structures read, the proposal made, then changed by hand.
void prepareMapping(Cli& cli, const std::string& source, const std::string& target,
                    const std::function<void(RuleOptions&, Table& z)>& change) {
    Table s, t, q, z, temp;
    s.setPath(source);
    t.setPath(target);
    q.setPath(qStruktPath(cli.program.path()));
    z.setPath(zStruktPath(cli.program.path()));
    ScriptedPrompter quiet;
    MappingTables tables{s, t, q, z, temp, quiet, realFileSystem(), cli.program.path(), nullptr};
    ReadSourceStructure(tables);
    ReadTargetStructure(tables);
    AutoMap(tables);
    FormatSettings de = FormatSettings::german();
    RuleOptions options(RuleTables{z, q, s, t}, quiet, de);
    change(options, z);
}

// Saves the working mapping the program directory holds as a setting, as "&Fertigstellen" does, and
// empties it as the program's end does.
bool saveWorkingMapping(Cli& cli, SavedSetting setting) {
    Table impList, zStrukt;
    impList.setPath(impListPath(cli.program.path()));
    zStrukt.setPath(zStruktPath(cli.program.path()));
    impList.Exclusive = zStrukt.Exclusive = true;
    ScriptedPrompter quiet;
    quiet.expectMessage(MsgKind::Information, Buttons::Ok,
                        "Die Importeinstellung \r\n\"" + setting.name + "\"\r\nist gespeichert worden.");
    SettingsTables tables{impList, zStrukt, quiet, realFileSystem(), withTrailingSlash(cli.program.path())};
    storeFormats(FormatSettings::german(), setting);
    const bool saved = SaveSetting(tables, setting) == SaveOutcome::Saved;
    zStrukt.ClearTable();
    return saved;
}

// A new program directory that reads in the settings of a VorDef.DB file.
ReadInResult readInto(const TempDir& programDir, const std::string& vorDef) {
    makeControlTables(programDir.path());
    Table impList, zStrukt;
    impList.setPath(impListPath(programDir.path()));
    zStrukt.setPath(zStruktPath(programDir.path()));
    impList.Exclusive = zStrukt.Exclusive = true;
    ScriptedPrompter quiet;
    SettingsTables tables{impList, zStrukt, quiet, realFileSystem(), withTrailingSlash(programDir.path())};
    return ReadInSettings(tables, vorDef, nullptr);
}

void selectRule(Table& z, const std::string& feldname) {
    for (z.MoveFirst(); !z.AtEnd(); z.MoveNext())
        if (z.AsString(z.FieldNamed("Feldname"), z.regional) == feldname) return;
    ADD_FAILURE() << feldname;
}

}  // namespace

TEST(KimportRun, APreparedMappingKeepsEveryOptionAndTheChecksComeFirst) {
    Cli cli;
    std::string source = cli.make("Quelle.DB", {typed("Nr", FieldType::Integer), text("Name", 20), typed("Menge", FieldType::Integer)}, 1,
                                  {{"1", "Schraube M4", "10"}, {"2", "Mutter", "0"}});
    std::string target = cli.make("Ziel.DB", {typed("Nr", FieldType::Integer), text("Name", 10), typed("Menge", FieldType::Float)}, 1,
                                  {{"7", "alt", "1"}});
    const std::string before = readFile(target);
    prepareMapping(cli, source, target, [](RuleOptions& o, Table& z) {
        selectRule(z, "Menge");
        o.ShowRuleOptions();
        o.click("cbxZZ_Div", true);
        o.edit("edtZZ_DivWert", "4");
        o.click("cbxZZ_Vorgabe", true);
        o.edit("edtZZ_Vorgabe_Wert", "99");
        o.click("cbxZZ_Vorgabe_Gleich", true);
        o.edit("edtZZ_Vorgabe_Quelltxt", "0");
        selectRule(z, "Name");
        o.ShowRuleOptions();
        o.click("cbxSS_Ausschnitt", true);
        o.edit("edtSS_AusschnittBegString", "1");
        o.edit("edtSS_AusschnittEndString", "5");
        selectRule(z, "Nr");
        ClearAssignment(z);  // the key is counted from a start value
    });
    // Mode 4 wants its start value; mode 5 a key with an assignment. Nothing is written for either.
    CommandResult r = cli.run(source, target, "--use-mapping --mode 4");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Bitte geben Sie einen Startwert ein"), std::string::npos) << r.err;
    r = cli.run(source, target, "--use-mapping --mode 5");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("das Schlüsselfeld ist keinem Quellfeld zugeordnet"), std::string::npos) << r.err;
    r = cli.run(source, target, "--use-mapping --mode 4 --start-value 6");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Bitte verwenden sie einen anderen Startwert!"), std::string::npos) << r.err;  // 7 exists
    EXPECT_EQ(readFile(target), before);
    r = cli.run(source, target, "--use-mapping --mode 4 --start-value 100");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(contentsOf(target), (Rows{{"7", "alt", "1"}, {"100", "Schra", "2,5"}, {"101", "Mutte", "99"}}));
}

TEST(KimportRun, ASavedSettingRunsUnchangedFromTheCommandLine) {
    Cli cli;
    std::string source = cli.make("Quelle.DB", {typed("Nr", FieldType::Integer), text("Name", 20), typed("Menge", FieldType::Integer)}, 1,
                                  {{"1", "Schraube M4", "10"}, {"2", "Mutter", "0"}});
    std::string target = cli.make("Ziel.DB", {typed("Nr", FieldType::Integer), text("Name", 10), typed("Menge", FieldType::Float)}, 1,
                                  {{"2", "alt", "1"}});
    prepareMapping(cli, source, target, [](RuleOptions& o, Table& z) {
        selectRule(z, "Menge");
        o.ShowRuleOptions();
        o.click("cbxZZ_Div", true);
        o.edit("edtZZ_DivWert", "4");
    });
    SavedSetting monthly;
    monthly.name = "Monatlich";
    monthly.sourcePath = source;
    monthly.targetPath = target;
    monthly.mode = 2;
    monthly.backupCopy = true;
    ASSERT_TRUE(saveWorkingMapping(cli, monthly));
    const std::string settings = "LC_ALL=C '" + std::string(KIMPORT_KIMPORT_EXE) + "' settings ";
    const std::string where = " --program-dir '" + cli.program.path() + "'";
    CommandResult listed = runCommand(settings + "list" + where);
    EXPECT_EQ(listed.out.rfind("Monatlich\tParadox\t2\t", 0), 0u) << listed.out;
    CommandResult shown = runCommand(settings + "show Monatlich" + where);
    EXPECT_NE(shown.out.find("Menge\tNumerisch\t8\t\tMenge\tdividieren durch 4\n"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("Importmodus:\t2 (vorhandene Datensätze ignorieren)"), std::string::npos) << shown.out;

    auto lastImport = [&] {
        Table impList;
        impList.setPath(impListPath(cli.program.path()));
        impList.OpenTable();
        EXPECT_TRUE(seekSetting(impList, "Monatlich"));
        return readSetting(impList).lastImport;
    };
    // A run refused before its first record is no import: the day stays unrecorded.
    const auto writable = std::filesystem::status(target).permissions();
    std::filesystem::permissions(target, std::filesystem::perms::owner_read);
    CommandResult r = cli.run("", "", "--setting Monatlich");
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_EQ(lastImport(), std::nullopt);
    std::filesystem::permissions(target, writable);

    r = cli.run("", "", "--setting Monatlich");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(contentsOf(target), (Rows{{"1", "Schraube M", "2,5"}, {"2", "alt", "1"}}));  // mode 2 keeps key 2
    EXPECT_TRUE(std::filesystem::exists(cli.data.file("CP_Ziel.DB")));  // the backup copy it asks for
    EXPECT_EQ(lastImport(), todayNumber());
    r = cli.run("", "", "--setting Fehlt");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Die Importeinstellung \"Fehlt\" gibt es nicht."), std::string::npos) << r.err;
}

TEST(KimportRun, AnExportedSettingIsReadInAndRunElsewhere) {
    Cli cli;
    std::string source = cli.make("Quelle.DB", {typed("Nr", FieldType::Integer), text("Name", 20)}, 1,
                                  {{"1", "Schraube M4"}, {"2", "Mutter"}});
    std::string target = cli.make("Ziel.DB", {typed("Nr", FieldType::Integer), text("Name", 10)}, 1, {});
    const std::string empty = readFile(target);
    prepareMapping(cli, source, target, [](RuleOptions& o, Table& z) {
        selectRule(z, "Name");
        o.ShowRuleOptions();
        o.click("cbxSS_Ausschnitt", true);
        o.edit("edtSS_AusschnittBegString", "1");
        o.edit("edtSS_AusschnittEndString", "4");
    });
    SavedSetting brief;
    brief.name = "Kurz";
    brief.sourcePath = source;
    brief.targetPath = target;
    brief.mode = 2;
    ASSERT_TRUE(saveWorkingMapping(cli, brief));
    ASSERT_EQ(cli.run("", "", "--setting Kurz").exitCode, 0);
    const Rows here = contentsOf(target);
    EXPECT_EQ(here, (Rows{{"1", "Schr"}, {"2", "Mutt"}}));
    kimport::test::writeFile(target, empty);

    TempDir disk, elsewhere;
    CommandResult exported = cli.exportSetting("Kurz", disk.path());
    ASSERT_EQ(exported.exitCode, 0) << exported.err;
    // Read in there from the command line, as "Neue Einstellungen einlesen" does.
    makeControlTables(elsewhere.path());
    const std::string kimportExe = "'" + std::string(KIMPORT_KIMPORT_EXE) + "' settings ";
    const std::string there = " --program-dir '" + elsewhere.path() + "'";
    CommandResult read = runCommand(kimportExe + "import '" + disk.path() + "'" + there);
    ASSERT_EQ(read.exitCode, 0) << read.err;
    EXPECT_EQ(read.out, "1 Importeinstellung eingelesen.\n");
    EXPECT_EQ(read.err, "");
    CommandResult r = runSettingIn("Kurz", elsewhere.path());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(contentsOf(target), here);

    // Deleting takes the row and its mapping files, nothing else.
    const std::size_t filesBefore = kimport::test::listNames(elsewhere.path()).size();
    CommandResult deleted = runCommand(kimportExe + "delete Kurz" + there);
    ASSERT_EQ(deleted.exitCode, 0) << deleted.err;
    EXPECT_EQ(deleted.out, "Die Importeinstellung \"Kurz\" ist gelöscht worden.\n");
    EXPECT_EQ(kimport::test::listNames(elsewhere.path()).size(), filesBefore - 2);  // its .DB and .MB
    EXPECT_EQ(runCommand(kimportExe + "delete Kurz" + there).exitCode, 1);
    EXPECT_EQ(runCommand(kimportExe + "import '" + elsewhere.file("fehlt") + "'" + there).exitCode, 1);
}

TEST(KimportRun, AFixedWidthSettingRunsTheSameHereAndElsewhere) {
    Cli cli;
    const std::string file = cli.data.file("Kunden.txt");
    kimport::test::writeFile(file, "0001Anna\r\n0002Bert\r\n0003Carl\r\n");
    std::string target = cli.make("Ziel.DB", {typed("Nr", FieldType::Integer), text("Name", 10)}, 1, {});
    const std::string empty = readFile(target);
    TextLayout layout;
    layout.kind = LayoutKind::Fixed;
    layout.breaks[0] = 4;
    layout.columnNames = {"NR", "NAME"};
    {
        // The mapping as the wizard makes it on the staging table of the text file.
        const FormatSettings german = FormatSettings::german();
        GaugeModel quiet(german);
        Table staged;
        BuildStagingTable(file, layout, {"NR", "NAME"}, withTrailingSlash(cli.program.path()) + "Temp/", quiet, &staged);
        const std::string stagedPath = staged.path();
        staged.CloseTable();
        prepareMapping(cli, stagedPath, target, [](RuleOptions&, Table&) {});
    }
    SavedSetting fixed;
    fixed.name = "Fest";
    fixed.sourcePath = file;
    fixed.targetPath = target;
    fixed.mode = 2;
    fixed.layout = layout;
    ASSERT_TRUE(saveWorkingMapping(cli, fixed));
    ASSERT_EQ(cli.run("", "", "--setting Fest").exitCode, 0);
    const Rows here = contentsOf(target);
    EXPECT_EQ(here, (Rows{{"1", "Anna"}, {"2", "Bert"}, {"3", "Carl"}}));

    kimport::test::writeFile(target, empty);
    TempDir disk, elsewhere;
    ASSERT_EQ(cli.exportSetting("Fest", disk.path()).exitCode, 0);
    EXPECT_EQ(readInto(elsewhere, disk.file("VorDef.DB")).read, 1);
    CommandResult r = runSettingIn("Fest", elsewhere.path());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(contentsOf(target), here);
}

// The report names the lines of a text file: a price that is no number, a line with a value too many, a key
// the target holds and the empty line (a record without key); into a CSV with --report, else the first entries on standard error.
TEST(KimportRun, TheReportNamesLineFieldValueAndReason) {
    Cli cli;
    const std::string target = cli.make("Ziel.DB", {typed("Nr", FieldType::Integer), text("Name", 10),
                                                    typed("Preis", FieldType::Float)}, 1, {{"1", "Alt", "9"}});
    const std::string source = cli.data.file("Preise.txt");
    kimport::test::writeFile(source, "Nr;Name;Preis\r\n1;Eins;1,5\r\n\r\n2;Zwei;zwei\r\n3;Drei;3;zuviel\r\n");
    const std::string options = "--mode 2 --names-first-line --separator ';'";
    CommandResult r = cli.run(source, target, options + " --report '" + cli.data.file("Bericht.csv") + "'");
    EXPECT_EQ(r.exitCode, 1) << r.err;
    const std::string csv = readFile(cli.data.file("Bericht.csv"));
    EXPECT_EQ(csv.rfind("\xEF\xBB\xBFZeile;Art;Zielfeld;Quellwert;Versuchter Wert;Grund\r\n", 0), 0u) << csv;
    EXPECT_NE(csv.find("\r\n5;Fehler;;zuviel;;\"Die Zeile hat 4 Werte, die Datei 3 Spalten"), std::string::npos) << csv;
    EXPECT_NE(csv.find("\r\n2;ignoriert;Nr;1;;\"Der Schlüssel ist in der Zieltabelle schon vorhanden"), std::string::npos)
        << csv;
    EXPECT_NE(csv.find("\r\n4;Fehler;Preis;zwei;zwei;"), std::string::npos) << csv;
    EXPECT_NE(csv.find("\r\n3;Fehler;Nr;;;\"Der Schlüsselwert ist leer"), std::string::npos) << csv;

    // Without --report: the entries after the counters, on standard error.
    Cli again;
    const std::string target2 = again.make("Ziel.DB", {typed("Nr", FieldType::Integer), text("Name", 10),
                                                       typed("Preis", FieldType::Float)}, 1, {});
    r = again.run(source, target2, options);
    EXPECT_NE(r.err.find("  Zeile 4, Feld Preis: "), std::string::npos) << r.err;
}
