// Assigning by hand and taking assignments back, the check made when the
// mapping page is left, and the modes that check leaves.
#include "mapping/FieldAssignment.h"
#include "mapping/PreRunCheck.h"

#include "importrun/Importing.h"

using namespace kimport;
using namespace kimport::test;

namespace {

const char* const kCounterNotKey =
    "Dieses Feld der Zieltabelle ist vom Typ \"Zähler\". Der\r\nWert dieses Feldes wird automatisch erhöht und "
    "kann\r\nvom Anwender nicht beeinflußt werden.\r\n\r\nWenn Sie diesem Feld dennoch Werte aus anderen\r\n"
    "Tabellen zuweisen möchten, müssen Sie den Typ\r\ndes Feldes ändern.\r\n\r\nEs bietet sich an, den Typ "
    "\"32-Bit-Integer\" zu verwenden.";

struct AssignWorld : Importing {
    MappingTables tables() { return MappingTables{source, target, q, z, temp, prompter, realFileSystem(), dir.path(), &gauge}; }
    void go(Table& t, const std::string& feldname) {
        for (t.MoveFirst(); !t.AtEnd(); t.MoveNext())
            if (t.AsString(t.FieldNamed("Feldname"), formats) == feldname) return;
        ADD_FAILURE() << feldname;
    }
    bool assign(const std::string& sourceField, const std::string& targetField, bool emptied = false) {
        go(q, sourceField);
        go(z, targetField);
        MappingTables t = tables();
        return AssignField(t, emptied) == AssignResult::Assigned;
    }
    std::string assignment(const std::string& targetField) {
        go(z, targetField);
        return readMappingRule(z).Zuordnung;
    }
};

}  // namespace

TEST(FieldAssignment, CounterFieldsTakeNoValuesButAsKeyOfAKeptTarget) {
    AssignWorld w;
    w.makeSource("Quelle.DB", {typed("NR", FieldType::Integer), typed("ZAHL", FieldType::Integer)}, 1, {{"1", "5"}});
    w.makeTarget("Ziel.DB", {typed("ID", FieldType::AutoInc), typed("LFD", FieldType::AutoInc)}, 1, {});
    w.map();
    w.prompter.expectMessage(MsgKind::Information, Buttons::Ok, kCounterNotKey);
    EXPECT_FALSE(w.assign("ZAHL", "LFD"));
    w.prompter.expectMessage(MsgKind::Information, Buttons::Ok,
                             std::string("Sie haben die Option \"Zieldatenbank vor dem Import leeren\"\r\ngewählt.\r\n"
                                         "In diesem Fall ist eine Zuordnung auf ein Primärschlüsselfeld der\r\n"
                                         "Zieldatenbank, mit dem Typ \"Zähler\" nicht möglich.") +
                                 std::string(kCounterNotKey).substr(std::string(kCounterNotKey).find("\r\n\r\nWenn")));
    EXPECT_FALSE(w.assign("NR", "ID", true));
    EXPECT_TRUE(w.assign("NR", "ID", false));
    EXPECT_EQ(w.assignment("ID"), "NR");
    EXPECT_EQ(w.assignment("LFD"), "");
    EXPECT_TRUE(w.prompter.finished());
}

TEST(FieldAssignment, AKeyTargetTakesOnlyUniqueFilledValues) {
    AssignWorld w;
    w.makeSource("QUELLE.DBF", {text("DOPPELT", 5), text("LUECKE", 5), text("EINZELN", 20)}, 0,
                 {{"a", "x", "1"}, {"a", "", "2"}, {"b", "y", "3"}});
    w.makeTarget("Ziel.DB", {text("KEY", 10), text("WERT", 30)}, 1, {});
    w.map();
    for (const char* field : {"DOPPELT", "LUECKE"}) {
        w.prompter.expectMessage(MsgKind::Information, Buttons::Ok,
                                 std::string("Das Feld der Quelltabelle \"") + field +
                                     "\"\r\nbeinhaltet doppelte oder leere Werte.\r\n\r\nEine Zuordnung auf das "
                                     "Primärschlüsselfeld der\r\nZieltabelle ist daher nicht möglich.\r\n\r\nVerwenden "
                                     "Sie ein Quellfeld mit eindeutigen Inhalten,\r\noder lassen Sie das Schlüsselfeld "
                                     "durch das Programm\r\nab einem von Ihnen gewählten Wert incrementieren.");
        EXPECT_FALSE(w.assign(field, "KEY")) << field;
    }
    // Unique, but longer than the key: assigned with a warning. A field that is no key gets none.
    w.prompter.expectMessage(MsgKind::Warning, Buttons::Ok,
                             "Die Länge des Feldes der Zieltabelle ist kleiner, als die\r\ndie Länge des zugeordneten "
                             "Feldes der Quelltabelle.\r\n\r\nDies kann dazu führen, daß Datensätze nicht importiert "
                             "werden.");
    EXPECT_TRUE(w.assign("EINZELN", "KEY"));
    EXPECT_TRUE(w.assign("DOPPELT", "WERT"));
    EXPECT_EQ(w.assignment("KEY"), "EINZELN");
    EXPECT_TRUE(w.prompter.finished());
}

TEST(FieldAssignment, UnassignAllAsksAndKeepsTheOptions) {
    AssignWorld w;
    w.makeSource("Quelle.DB", kNumbered, 1, kThree);
    w.makeTarget("Ziel.DB", kNumbered, 1, {});
    w.map();
    w.changeRule("Name", [](MappingRule& r) { r.Vorgabewert_alph = "leer"; });
    MappingTables t = w.tables();
    w.prompter.expectMessage(MsgKind::Confirmation, Buttons::YesNo, "Möchten Sie wirklich alle Zuordnungen aufheben",
                             Answer::No);
    EXPECT_FALSE(UnassignAll(t));
    EXPECT_TRUE(AnyAssignment(w.z));
    w.prompter.expectMessage(MsgKind::Confirmation, Buttons::YesNo, "Möchten Sie wirklich alle Zuordnungen aufheben",
                             Answer::Yes);
    EXPECT_TRUE(UnassignAll(t));
    EXPECT_FALSE(AnyAssignment(w.z));
    EXPECT_EQ(w.gauge.status(), "Alle Zuordnungen werden aufgehoben...fertig.");
    w.go(w.z, "Name");
    EXPECT_EQ(readMappingRule(w.z).Vorgabewert_alph, "leer");
    // Nothing assigned, but a default: the run has something to fill.
    EXPECT_TRUE(PreRunCheck(w.z, w.target.path(), false, nullptr).anyAssignment);
    EXPECT_TRUE(w.prompter.finished());
}

TEST(PreRunCheck, TheKeyAndTheEmptyingDecideTheModes) {
    struct Case {
        const char* target;
        FieldType keyType;
        bool keyMapped, emptied;
        KeySituation situation;
        std::vector<ImportMode> modes;
    };
    using M = ImportMode;
    const Case cases[] = {
        {"ZIEL.DBF", FieldType::Integer, true, false, KeySituation::NoKey, {M::Append}},
        {"Ziel.DB", FieldType::AutoInc, true, false, KeySituation::CounterMapped, {M::Append, M::AppendNew, M::Update}},
        {"Ziel.DB", FieldType::AutoInc, false, false, KeySituation::CounterUnmapped, {M::Append}},
        {"Ziel.DB", FieldType::Integer, true, true, KeySituation::EmptiedMapped, {M::Append, M::AppendNew}},
        {"Ziel.DB", FieldType::Integer, false, true, KeySituation::EmptiedUnmapped, {M::Append, M::SelfIncrement}},
        {"Ziel.DB", FieldType::Integer, true, false, KeySituation::KeptMapped,
         {M::Append, M::AppendNew, M::RenameExisting, M::Update}},
        {"Ziel.DB", FieldType::Integer, false, false, KeySituation::KeptUnmapped, {M::Append, M::SelfIncrement}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.target) + " " + keySituationText(c.situation));
        AssignWorld w;
        w.makeSource("Quelle.DB", kNumbered, 1, kThree);
        w.makeTarget(c.target, {typed("Nr", c.keyType), text("Name", 10)}, std::string(c.target) == "Ziel.DB" ? 1 : 0, {});
        w.map();
        if (!c.keyMapped) {
            w.go(w.z, "Nr");
            ClearAssignment(w.z);
        }
        PreRunResult r = PreRunCheck(w.z, w.target.path(), c.emptied, &w.gauge);
        EXPECT_TRUE(r.anyAssignment);
        EXPECT_EQ(r.situation, c.situation);
        ModePageState page;
        applyKeySituation(r.situation, page);
        EXPECT_EQ(availableModes(page), c.modes);
        EXPECT_EQ(page.updatePossible, !c.emptied || c.keyType == FieldType::AutoInc);
        // "An das Ende anhängen" is selected: its choices show wherever there is one to make.
        EXPECT_EQ(page.gbxImportmodusVisible, c.situation == KeySituation::EmptiedUnmapped ||
                                                  c.situation == KeySituation::KeptUnmapped ||
                                                  c.situation == KeySituation::KeptMapped ||
                                                  c.situation == KeySituation::CounterMapped);
    }
}

TEST(PreRunCheck, NothingAssignedAndTheModeCheck) {
    AssignWorld w;
    w.makeSource("Quelle.DB", kNumbered, 1, kThree);
    w.makeTarget("Ziel.DB", {typed("Lfd", FieldType::Integer), text("Text", 10)}, 1, {});
    w.map();
    for (w.z.MoveFirst(); !w.z.AtEnd(); w.z.MoveNext()) ClearAssignment(w.z);
    EXPECT_FALSE(PreRunCheck(w.z, w.target.path(), false, nullptr).anyAssignment);

    ModePageState page;
    page.rbtEndeAnhaengen.checked = false;
    w.prompter.expectBeep().expectMessage(
        MsgKind::Information, Buttons::Ok,
        "Bitte geben Sie noch an, ob die einzulesenden Datensätze\r\n\r\nan das Ende der Zieldatei angehängt werden "
        "sollen,\r\noder\r\nob Sie die Zieldatei aktualisieren möchten.");
    EXPECT_FALSE(ModeCheck(page, w.prompter));
    rbtEndeAnhaengenClick(page);
    applyKeySituation(KeySituation::KeptMapped, page);
    EXPECT_TRUE(page.gbxImportmodusVisible);  // shown with the selection: the check below asks for a choice
    rbtEndeAnhaengenClick(page);
    EXPECT_TRUE(page.gbxImportmodusVisible);
    w.prompter.expectMessage(MsgKind::Information, Buttons::Ok,
                             "Sie haben die Importlaufoption \"Datensätze am Ende anhängen\" gewählt.\r\n\r\nBitte geben "
                             "Sie noch an, ob in der Zieltabelle die Schlüsselwerte\r\nvorhandener Datensätze umbenannt "
                             "werden sollen,\r\noder\r\nob nur die Datensätze, die noch nicht in der Zieltabelle\r\n"
                             "enthalten sind hinzugefügt werden sollen.");
    EXPECT_FALSE(ModeCheck(page, w.prompter));
    startValueOptionClick(page, true, "\"Nr\"");
    EXPECT_TRUE(page.startValueEnabled);
    EXPECT_TRUE(ModeCheck(page, w.prompter));
    rbtAktualisierenClick(page);
    EXPECT_FALSE(page.rbtUmbenennen.checked || page.startValueEnabled || page.gbxImportmodusVisible);
    EXPECT_EQ(importModeFromButtons(checkedModeButtons(page)), ImportMode::Update);
    EXPECT_TRUE(w.prompter.finished());
}
