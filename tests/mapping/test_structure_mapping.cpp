// Reading source and target structures into QStrukt and ZStrukt, the proposed
// mapping, and keeping a stored mapping consistent with the tables as they are
// now: the check against the target, the mapping copy, carried-over rules and
// dropped assignments. Real Paradox tables and control tables in a temp dir.
#include "mapping/StructureMapping.h"

#include "support/ScriptedPrompter.h"
#include "importrun/GaugeModel.h"
#include "settings/ControlTables.h"
#include "settings/TypeCodes.h"
#include "support/TestSupport.h"
#include "tablestore/TableRoutines.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using namespace kimport;
using kimport::test::fileExists;
using kimport::test::TempDir;

namespace {

using Fields = std::vector<FieldSpec>;

FieldSpec text(const char* name, int size) { return {name, FieldType::String, size}; }
FieldSpec integer(const char* name) { return {name, FieldType::Integer}; }
FieldSpec typed(const char* name, FieldType type, int size = 0) { return {name, type, size}; }

const char* const kChangedWarning =
    "Die Struktur der Zieldatenbank ist verändert worden.\r\nDie Datenbank wird neu eingelesen.\r\n\r\n"
    "Gespeicherte Zuordnungen können verloren gehen";

// One row of QStrukt or ZStrukt with its structure columns and assignment.
struct Row {
    std::string index, feldname, typName, laenge, zuordnung;
    int typ = 0;
    bool operator==(const Row&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Row& r) {
    return os << "{" << r.index << "|" << r.feldname << "|" << r.typ << "|" << r.typName << "|" << r.laenge << "|"
              << r.zuordnung << "}";
}

// Control tables, a source and a target in one temporary program directory.
class Mapping {
public:
    Mapping(const Fields& sourceFields, int sourceKeys, const Fields& targetFields, int targetKeys) {
        prompter.onFailure = [](const std::string& f) { ADD_FAILURE() << f; };
        makeControlTables(dir.path());
        q.setPath(qStruktPath(dir.path()));
        z.setPath(zStruktPath(dir.path()));
        makeSource(sourceFields, sourceKeys);
        makeTarget(targetFields, targetKeys);
    }

    std::string sourcePath() const { return dir.file("Quelle.DB"); }
    std::string targetPath() const { return dir.file("Ziel.DB"); }

    void makeSource(const Fields& fields, int keys) {
        source.CloseTable();
        MakeTable(dir.path(), "Quelle.DB", fields, keys);
        source.setPath(sourcePath());
    }
    void makeTarget(const Fields& fields, int keys) {
        target.CloseTable();
        MakeTable(dir.path(), "Ziel.DB", fields, keys);
        target.setPath(targetPath());
    }

    SourceGridLayout readBoth() {
        SourceGridLayout layout;
        ReadSourceStructure(tables, &layout);
        ReadTargetStructure(tables);
        return layout;
    }

    // The target is read again as the wizard does it: copy, empty, read.
    void rereadTarget() {
        SaveMappingCopy(tables);
        ASSERT_TRUE(ClearTableExclusive(z, prompter));
        ReadTargetStructure(tables);
    }

    static std::vector<Row> rows(Table& t, bool withAssignment) {
        if (!t.Active()) t.OpenTable();
        std::vector<Row> out;
        auto s = [&](const char* c) { return t.AsString(t.FieldNamed(c), FormatSettings::german()); };
        for (t.MoveFirst(); !t.AtEnd(); t.MoveNext())
            out.push_back({s("Index"), s("Feldname"), s("Typbezeichnung"), s("Laenge"),
                           withAssignment ? s("Zuordnung") : "", static_cast<int>(t.AsInteger(t.FieldNamed("Typ")))});
        t.MoveFirst();
        return out;
    }

    // Target field -> assigned source field, in ZStrukt order.
    std::vector<std::pair<std::string, std::string>> assignments() {
        std::vector<std::pair<std::string, std::string>> out;
        for (const Row& r : rows(z, true)) out.emplace_back(r.feldname, r.zuordnung);
        return out;
    }

    bool moveTo(const std::string& feldname) {
        if (!z.Active()) z.OpenTable();
        for (z.MoveFirst(); !z.AtEnd(); z.MoveNext())
            if (z.AsString(z.FieldNamed("Feldname"), FormatSettings::german()) == feldname) return true;
        ADD_FAILURE() << "no ZStrukt row " << feldname;
        return false;
    }
    MappingRule ruleOf(const std::string& feldname) {
        if (!moveTo(feldname)) return {};
        return readMappingRule(z);
    }
    void setRule(const std::string& feldname, const MappingRule& rule) {
        if (!moveTo(feldname)) return;
        z.BeginEdit();
        writeMappingRule(z, rule);
        z.PostRecord();
    }

    TempDir dir;
    ScriptedPrompter prompter;
    Table source, target, q, z, temp;
    MappingTables tables{source, target, q, z, temp, prompter, realFileSystem(), dir.path(), nullptr};
};

using Pairs = std::vector<std::pair<std::string, std::string>>;

// A rule with an assignment and options in every kind of column.
MappingRule customRule(const std::string& zuordnung) {
    MappingRule r = defaultRule();
    r.Zuordnung = zuordnung;
    r.Div = 4;
    r.Vorgabewert_alph = "leer";
    r.BedGleich = true;
    r.Quellwert_alph = "?";
    r.Runden = 0;
    r.Ausrichtung_li = true;
    r.Ausrichtung_re = false;
    r.Ueberl_abschneid_li = true;
    r.StringAuswahlBeg = 2;
    r.StringAuswahlEnd = 5;
    r.FeldAkt = false;
    return r;
}

MappingRule withoutAssignment(MappingRule r) {
    r.Zuordnung.clear();
    return r;
}

}  // namespace

// --- reading the structures --------------------------------------------------

TEST(StructureReading, RowsFollowTheFieldOrderWithKeysTypeNamesAndLengths) {
    Fields fields{integer("Nr"), typed("Anzahl", FieldType::SmallInt), text("Name", 30),
                  typed("Notiz", FieldType::Memo, 10), typed("Zähler", FieldType::AutoInc)};
    Mapping m(fields, 1, fields, 1);
    SourceGridLayout layout = m.readBoth();

    std::vector<Row> q = Mapping::rows(m.q, false);
    std::vector<Row> z = Mapping::rows(m.z, true);
    ASSERT_EQ(q.size(), 5u);
    ASSERT_EQ(z.size(), 5u);
    // The two sides differ only in the names of the integer types.
    EXPECT_EQ(q[0], (Row{"X", "Nr", "Ganzzahl lang", q[0].laenge, "", 3}));
    EXPECT_EQ(z[0], (Row{"X", "Nr", "Ganzzahl - lang", q[0].laenge, "", 3}));
    EXPECT_EQ(q[1], (Row{"", "Anzahl", "Ganzzahl kurz", q[1].laenge, "", 2}));
    EXPECT_EQ(z[1], (Row{"", "Anzahl", "Ganzzahl - kurz", q[1].laenge, "", 2}));
    EXPECT_EQ(q[2], (Row{"", "Name", "Zeichen/String", "30", "", 1}));
    EXPECT_EQ(z[2], (Row{"", "Name", "Zeichen/String", "30", "", 1}));
    EXPECT_EQ(q[3], (Row{"", "Notiz", "Memo", "-", "", 16}));
    EXPECT_EQ(z[3], (Row{"", "Notiz", "Memo", "-", "", 16}));
    EXPECT_EQ(q[4], (Row{"", "Zähler", "32 Bit Zähler", q[4].laenge, "", 14}));
    EXPECT_EQ(z[4].typName, "32 Bit Zähler");
    // Number types show the stored size, a number that alignment and the overlength default rely on.
    for (int i : {0, 1, 4}) EXPECT_GT(std::stoi(q[static_cast<std::size_t>(i)].laenge), 0) << q[static_cast<std::size_t>(i)];

    // Every fresh target row carries the default rule.
    for (const Row& r : z) EXPECT_EQ(m.ruleOf(r.feldname), defaultRule()) << r;

    EXPECT_TRUE(layout.indexVisible);
    EXPECT_EQ(layout.feldnameWidth, 19);
    EXPECT_EQ(keyFieldLabel(m.z), "\"Nr\"");
    TargetGridLayout grid = targetGridLayout(m.z);
    EXPECT_TRUE(grid.indexVisible);
    EXPECT_EQ(grid.feldnameWidth, 13);
    EXPECT_EQ(grid.zuordnungWidth, 14);
    EXPECT_TRUE(m.prompter.finished());
}

TEST(StructureReading, WithoutKeyFieldsTheIndexColumnsStayHiddenAndNoLabelIsMade) {
    Mapping m({text("A", 5), text("B", 5)}, 0, {text("A", 5)}, 0);
    SourceGridLayout layout = m.readBoth();
    EXPECT_FALSE(layout.indexVisible);
    EXPECT_EQ(layout.feldnameWidth, 24);
    for (const Row& r : Mapping::rows(m.q, false)) EXPECT_EQ(r.index, "");
    EXPECT_EQ(keyFieldLabel(m.z), std::nullopt);
    TargetGridLayout grid = targetGridLayout(m.z);
    EXPECT_FALSE(grid.indexVisible);
    EXPECT_EQ(grid.feldnameWidth, 16);
    EXPECT_EQ(grid.zuordnungWidth, 16);
}

TEST(StructureReading, AFailureShowsItsMessageAndTheWizardGoesOn) {
    Mapping m({text("A", 5)}, 0, {text("A", 5)}, 0);
    m.source.setPath(m.dir.file("Fehlt.DB"));
    m.target.setPath(m.dir.file("Fehlt2.DB"));
    m.prompter.expectError("Einlesen der Strukturen der Quelltabelle\r\n" + qStruktPath(m.dir.path()) +
                           " ist fehlgeschlagen.");
    m.prompter.expectError("Einlesen der Strukturen der Zieltabelle\r\n" + zStruktPath(m.dir.path()) +
                           " ist fehlgeschlagen.");
    m.readBoth();
    EXPECT_TRUE(m.prompter.finished());
    EXPECT_TRUE(Mapping::rows(m.q, false).empty());
    EXPECT_TRUE(Mapping::rows(m.z, false).empty());
}

// --- automatic mapping ---------------------------------------------------------

TEST(AutoMap, EqualNamesUpperCaseOnlyAToZ) {
    Mapping m({text("kundennr", 10), text("größe", 5), text("Name", 20), text("Ort", 20)}, 0,
              {text("KundenNr", 10), text("GRÖßE", 5), text("Ort", 20), text("Plz", 5)}, 0);
    m.readBoth();
    EXPECT_TRUE(AutoMap(m.tables));
    // ö and Ö differ: only a to z are upper-cased for the comparison.
    EXPECT_EQ(m.assignments(), (Pairs{{"KundenNr", "kundennr"}, {"GRÖßE", ""}, {"Ort", "Ort"}, {"Plz", ""}}));

    Mapping none({text("Eins", 5)}, 0, {text("Zwei", 5)}, 0);
    none.readBoth();
    EXPECT_FALSE(AutoMap(none.tables));
    EXPECT_EQ(none.assignments(), (Pairs{{"Zwei", ""}}));
}

TEST(AutoMap, KeyFieldsPairWhateverTheirNameButACounterOnlyAsKey) {
    // The target's key is a counter, and a non-key counter shares a name with a source field.
    Mapping m({integer("Nr"), integer("Lfd"), text("Name", 20)}, 1,
              {typed("ID", FieldType::AutoInc), typed("Lfd", FieldType::AutoInc), text("Name", 20)}, 1);
    m.readBoth();
    EXPECT_TRUE(AutoMap(m.tables));
    EXPECT_EQ(m.assignments(), (Pairs{{"ID", "Nr"}, {"Lfd", ""}, {"Name", "Name"}}));
}

TEST(AutoMap, LaterSourceRowsOverwriteEarlierOnes) {
    // Two source keys: every target key ends with the last of them.
    Mapping two({integer("A"), integer("B"), text("C", 5)}, 2, {integer("K1"), integer("K2"), text("C", 5)}, 2);
    two.readBoth();
    AutoMap(two.tables);
    EXPECT_EQ(two.assignments(), (Pairs{{"K1", "B"}, {"K2", "B"}, {"C", "C"}}));

    Mapping one({integer("A"), integer("B")}, 2, {integer("K"), text("C", 5)}, 1);
    one.readBoth();
    AutoMap(one.tables);
    EXPECT_EQ(one.assignments(), (Pairs{{"K", "B"}, {"C", ""}}));

    // A later source field with the target key's own name wins over the key pairing.
    Mapping named({integer("A"), integer("B"), integer("k")}, 2, {integer("K"), text("C", 5)}, 1);
    named.readBoth();
    AutoMap(named.tables);
    EXPECT_EQ(named.assignments(), (Pairs{{"K", "k"}, {"C", ""}}));
}

TEST(AutoMap, OneSourceFieldMayFeedSeveralTargetFields) {
    Mapping m({integer("Nr"), text("Name", 20)}, 1, {integer("ID"), text("NR", 10), text("Name", 20)}, 1);
    m.readBoth();
    AutoMap(m.tables);
    EXPECT_EQ(m.assignments(), (Pairs{{"ID", "Nr"}, {"NR", "Nr"}, {"Name", "Name"}}));
}

TEST(AutoMap, ShowsItsProgressInTheShortWindowAndClosesIt) {
    Mapping m({text("A", 5), text("B", 5), text("C", 5)}, 0, {text("C", 5), text("A", 5)}, 0);
    m.readBoth();
    FormatSettings formats = FormatSettings::german();
    GaugeModel gauge(formats);
    std::vector<int> positions;
    gauge.onPump = [&] { positions.push_back(gauge.bar().progress()); };
    m.tables.progress = &gauge;
    AutoMap(m.tables);
    EXPECT_EQ(gauge.height(), 120);
    EXPECT_EQ(gauge.cancelLeft(), 120);
    EXPECT_EQ(gauge.cancelCaption(), "&Abbrechen");
    EXPECT_FALSE(gauge.helpVisible());
    EXPECT_EQ(gauge.bar().maxValue(), 3);
    EXPECT_EQ(gauge.status(),
              "Strukturen der Quell- und Zieldatenbank wurden gelesen.\r\nAutomatische Zuordnung läuft...fertig.");
    EXPECT_FALSE(gauge.visible());
    // One pump per source row, before its position is set.
    EXPECT_EQ(positions, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(gauge.bar().progress(), 3);
    EXPECT_EQ(m.assignments(), (Pairs{{"C", "C"}, {"A", "A"}}));
}

TEST(AutoMap, CancelAfterTheFirstSourceRowKeepsOnlyThatRowsAssignments) {
    Mapping m({text("A", 5), text("B", 5), text("C", 5)}, 0, {text("A", 5), text("B", 5), text("C", 5)}, 0);
    m.readBoth();
    FormatSettings formats = FormatSettings::german();
    GaugeModel gauge(formats);
    int pumps = 0;
    // The user presses the cancel button while the first row is worked on and confirms.
    gauge.onPump = [&] {
        if (++pumps == 1) gauge.btnGaugeAbbrechenClick(m.prompter);
    };
    m.prompter.expectMessage(MsgKind::Warning, Buttons::YesNoDefaultNo,
                             "Die Operation ist nicht vollständig durchgeführt worden.\r\nWenn Sie jetzt abbrechen kann "
                             "sich das negativ auf den \r\nweiteren Ablauf des Programmes auswirken.\r\n\r\nMöchten Sie "
                             "wirklich abbrechen?",
                             Answer::Yes);
    m.tables.progress = &gauge;
    EXPECT_TRUE(AutoMap(m.tables));
    EXPECT_EQ(pumps, 1);
    EXPECT_EQ(m.assignments(), (Pairs{{"A", "A"}, {"B", ""}, {"C", ""}}));
    EXPECT_TRUE(m.prompter.finished());
}

TEST(AutoMap, ResetsTheWholeRuleOfAnAssignmentWhoseSourceFieldIsGone) {
    Mapping m({text("A", 5), text("Alt", 5)}, 0, {text("A", 5), text("B", 5)}, 0);
    m.readBoth();
    m.setRule("B", customRule("Alt"));
    m.makeSource({text("A", 5)}, 0);
    AutoMap(m.tables);
    EXPECT_EQ(m.ruleOf("B"), defaultRule());
    MappingRule a = defaultRule();
    a.Zuordnung = "A";
    EXPECT_EQ(m.ruleOf("A"), a);
}

// --- the stored mapping against the current tables --------------------------------

namespace {
const Fields kStoredSource{integer("Nr"), text("Name", 10), text("Ort", 20)};
const Fields kStoredTarget{integer("Nr"), text("Name", 10), text("Ort", 20)};
}  // namespace

TEST(CheckStoredMapping, ALengthenedTargetFieldAloneIsNoChange) {
    Mapping m(kStoredSource, 1, kStoredTarget, 1);
    m.readBoth();
    AutoMap(m.tables);
    m.setRule("Name", customRule("Name"));
    m.makeTarget({integer("Nr"), text("Name", 40), text("Ort", 20)}, 1);
    bool valid = true;
    EXPECT_TRUE(CheckStoredMapping(m.tables, false, m.sourcePath(), valid));
    EXPECT_TRUE(valid);
    EXPECT_EQ(m.ruleOf("Name"), customRule("Name"));
    EXPECT_EQ(m.assignments(), (Pairs{{"Nr", "Nr"}, {"Name", "Name"}, {"Ort", "Ort"}}));
    EXPECT_TRUE(m.prompter.finished());
}

TEST(CheckStoredMapping, AChangedTargetStructureWarnsAndReturnsFalse) {
    struct Change {
        const char* what;
        Fields fields;
        int keys;
    };
    const std::vector<Change> changes{
        {"gained a field", {integer("Nr"), text("Name", 10), text("Ort", 20), text("Plz", 5)}, 1},
        {"lost a field", {integer("Nr"), text("Name", 10)}, 1},
        {"renamed a field", {integer("Nr"), text("Name", 10), text("Stadt", 20)}, 1},
        {"changed a type", {integer("Nr"), integer("Name"), text("Ort", 20)}, 1},
        {"lost its key", {integer("Nr"), text("Name", 10), text("Ort", 20)}, 0},
        {"gained a key field", {integer("Nr"), text("Name", 10), text("Ort", 20)}, 2},
    };
    for (const Change& c : changes) {
        for (bool textVariant : {false, true}) {
            SCOPED_TRACE(std::string(c.what) + (textVariant ? ", text variant" : ", table variant"));
            Mapping m(kStoredSource, 1, kStoredTarget, 1);
            m.readBoth();
            AutoMap(m.tables);
            m.makeTarget(c.fields, c.keys);
            m.prompter.expectMessage(MsgKind::Warning, Buttons::Ok, kChangedWarning);
            bool valid = true;
            EXPECT_FALSE(CheckStoredMapping(m.tables, textVariant, m.sourcePath(), valid));
            // Only the table variant clears the wizard's flag.
            EXPECT_EQ(valid, textVariant);
            EXPECT_TRUE(m.prompter.finished());
        }
    }
}

TEST(CheckStoredMapping, AMissingSourceFieldClearsOnlyTheAssignment) {
    MappingRule stored = customRule("Ort");
    auto prepared = [&](Mapping& m) {
        m.readBoth();
        AutoMap(m.tables);
        m.setRule("Ort", stored);
        m.makeSource({integer("Nr"), text("Name", 10)}, 1);
    };
    {
        SCOPED_TRACE("table source");
        Mapping m(kStoredSource, 1, kStoredTarget, 1);
        prepared(m);
        bool valid = true;
        EXPECT_TRUE(CheckStoredMapping(m.tables, false, m.sourcePath(), valid));
        EXPECT_TRUE(valid);
        EXPECT_EQ(m.ruleOf("Ort"), withoutAssignment(stored));
        EXPECT_EQ(m.assignments(), (Pairs{{"Nr", "Nr"}, {"Name", "Name"}, {"Ort", ""}}));
    }
    {
        SCOPED_TRACE("dBase source named in lower case");
        Mapping m(kStoredSource, 1, kStoredTarget, 1);
        prepared(m);
        bool valid = true;
        EXPECT_TRUE(CheckStoredMapping(m.tables, false, m.dir.file("daten.dbf"), valid));
        EXPECT_EQ(m.ruleOf("Ort"), withoutAssignment(stored));
    }
    {
        SCOPED_TRACE("text source, table variant: assignments are not looked at");
        Mapping m(kStoredSource, 1, kStoredTarget, 1);
        prepared(m);
        bool valid = true;
        EXPECT_TRUE(CheckStoredMapping(m.tables, false, m.dir.file("daten.txt"), valid));
        EXPECT_EQ(m.ruleOf("Ort"), stored);
    }
    {
        SCOPED_TRACE("text variant");
        Mapping m(kStoredSource, 1, kStoredTarget, 1);
        prepared(m);
        bool valid = true;
        EXPECT_TRUE(CheckStoredMapping(m.tables, true, m.dir.file("daten.txt"), valid));
        EXPECT_EQ(m.ruleOf("Ort"), withoutAssignment(stored));
    }
}

TEST(DropMissingSources, ResetsTheWholeRuleAndKeepsTheOthers) {
    Mapping m(kStoredSource, 1, kStoredTarget, 1);
    m.readBoth();
    AutoMap(m.tables);
    m.setRule("Ort", customRule("Ort"));
    m.setRule("Name", customRule("Name"));
    m.makeSource({integer("Nr"), text("Name", 10)}, 1);
    DropMissingSources(m.tables);
    EXPECT_EQ(m.ruleOf("Ort"), defaultRule());
    EXPECT_EQ(m.ruleOf("Name"), customRule("Name"));
}

// --- the mapping copy and carried-over rules -----------------------------------------

TEST(CarryOverRules, CopiesWholeRulesByTargetFieldNameFromTheMappingCopy) {
    Mapping m(kStoredSource, 1, kStoredTarget, 1);
    m.readBoth();
    AutoMap(m.tables);
    MappingRule name = customRule("Name");
    MappingRule ort = defaultRule();  // no assignment, but options
    ort.Vorgabewert_num = 0;
    ort.Formel_alph = "[Name] + [Ort]";
    ort.BedKleiner = true;
    m.setRule("Name", name);
    m.setRule("Ort", ort);

    SaveMappingCopy(m.tables);
    EXPECT_FALSE(m.z.Active());
    EXPECT_TRUE(fileExists(tempDirectory(m.dir.path()) + "tmp.DB"));

    // The target changed: a field's letter case and type, a new field, a new order.
    m.makeTarget({integer("Nr"), text("Neu", 5), text("Ort", 20), integer("NAME")}, 1);
    ASSERT_TRUE(ClearTableExclusive(m.z, m.prompter));
    ReadTargetStructure(m.tables);
    CarryOverRules(m.tables);

    EXPECT_EQ(m.ruleOf("NAME"), name);
    EXPECT_EQ(m.ruleOf("Ort"), ort);
    EXPECT_EQ(m.ruleOf("Neu"), defaultRule());
    MappingRule nr = defaultRule();
    nr.Zuordnung = "Nr";
    EXPECT_EQ(m.ruleOf("Nr"), nr);
    // The structure columns describe the target as it is now.
    std::vector<Row> rows = Mapping::rows(m.z, true);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[3], (Row{"", "NAME", "Ganzzahl - lang", rows[3].laenge, "Name", 3}));
    EXPECT_TRUE(m.prompter.finished());
}

TEST(CarryOverRules, ResetsARuleWhoseSourceFieldIsGone) {
    Mapping m(kStoredSource, 1, kStoredTarget, 1);
    m.readBoth();
    AutoMap(m.tables);
    m.setRule("Ort", customRule("Ort"));
    m.setRule("Name", customRule("Name"));
    m.makeSource({integer("Nr"), text("Name", 10)}, 1);
    m.rereadTarget();
    CarryOverRules(m.tables);
    EXPECT_EQ(m.ruleOf("Ort"), defaultRule());
    EXPECT_EQ(m.ruleOf("Name"), customRule("Name"));
}

TEST(CarryOverRules, WithoutAMappingCopyTheStoresMessageEndsIt) {
    Mapping m(kStoredSource, 1, kStoredTarget, 1);
    m.readBoth();
    EXPECT_THROW(CarryOverRules(m.tables), TableError);
}

// --- clearing an assignment from the grid ---------------------------------------------

TEST(ClearAssignment, ClearsOnlyTheAssignmentOfTheCurrentRow) {
    Mapping m(kStoredSource, 1, kStoredTarget, 1);
    m.readBoth();
    AutoMap(m.tables);
    m.setRule("Name", customRule("Name"));
    ASSERT_TRUE(m.moveTo("Name"));
    ClearAssignment(m.z);
    EXPECT_EQ(m.ruleOf("Name"), withoutAssignment(customRule("Name")));
    EXPECT_EQ(m.assignments(), (Pairs{{"Nr", "Nr"}, {"Name", ""}, {"Ort", "Ort"}}));
}

TEST(StructureReading, TextLengthsOfFourDigitsAreKeptOrRefusedNeverCut) {
    TempDir dir;
    makeControlTables(dir.path());
    MakeTable(dir.path(), "LANG.DBF", {{"TEXT", FieldType::String, 200}});
    // A dBase text field of 1000 characters (FoxPro writes the high byte into the decimals).
    {
        std::string path = dir.file("LANG.DBF");
        std::string bytes = test::readFile(path);
        bytes[32 + 16] = static_cast<char>(1000 & 0xFF);
        bytes[32 + 17] = static_cast<char>(1000 >> 8);
        bytes[10] = static_cast<char>((1000 + 1) & 0xFF);
        bytes[11] = static_cast<char>((1000 + 1) >> 8);
        test::writeFile(path, bytes);
    }
    Table source, target, q, z, temp;
    target.setPath(dir.file("LANG.DBF"));
    z.setPath(zStruktPath(dir.path()));
    q.setPath(qStruktPath(dir.path()));
    for (Table* t : {&q, &z}) t->Exclusive = true;
    ScriptedPrompter quiet;
    MappingTables tables{source, target, q, z, temp, quiet, realFileSystem(), dir.path(), nullptr};
    ASSERT_TRUE(ReadTargetStructure(tables));
    z.MoveFirst();
    EXPECT_EQ(z.AsString(z.FieldNamed("Laenge"), FormatSettings::german()), "1000");
}
