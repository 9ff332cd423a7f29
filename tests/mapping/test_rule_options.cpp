// The options panel of the mapping page: the page a type pair selects, what
// each switch and check box writes or clears in the rule, the exclusions, the
// cut-out positions and the refresh when another rule is selected.
#include "mapping/RuleOptions.h"

#include "importrun/Importing.h"

using namespace kimport;
using namespace kimport::test;

namespace {

struct OptionsWorld : Importing {
    OptionsWorld(const Fields& sourceFields, const Fields& targetFields, int targetKeys = 0) {
        makeSource("Quelle.DB", sourceFields, 0, {});
        makeTarget("Ziel.DB", targetFields, targetKeys, {});
        map();
    }
    RuleOptions& options() {
        if (!opts) opts = std::make_unique<RuleOptions>(RuleTables{z, q, source, target}, prompter, formats);
        return *opts;
    }
    // Selects the rule of a target field and shows its options.
    RuleOptions& select(const std::string& feldname) {
        for (z.MoveFirst(); !z.AtEnd(); z.MoveNext())
            if (z.AsString(z.FieldNamed("Feldname"), formats) == feldname) break;
        EXPECT_FALSE(z.AtEnd()) << feldname;
        options().showPanel();
        return options();
    }
    void assign(const std::string& feldname, const std::string& sourceField) {
        for (z.MoveFirst(); !z.AtEnd(); z.MoveNext())
            if (z.AsString(z.FieldNamed("Feldname"), formats) == feldname) break;
        z.BeginEdit();
        z.SetValue(z.FieldNamed("Zuordnung"), sourceField.empty() ? Value::null() : Value::ofText(sourceField));
        z.PostRecord();
    }
    MappingRule rule() { return readMappingRule(z); }
    bool on(const std::string& control) { return options().view().controls.at(control).checked; }
    bool enabled(const std::string& control) { return options().view().controls.at(control).enabled; }

    std::unique_ptr<RuleOptions> opts;
};

}  // namespace

TEST(RuleOptions, TheTypePairChoosesThePageAndItsLabel) {
    OptionsWorld w({text("TEXT", 10), typed("ZAHL", FieldType::Integer)},
                   {text("TEXT", 10), typed("ZAHL", FieldType::Integer), typed("PREIS", FieldType::Float),
                    text("NAME", 10), typed("BETRAG", FieldType::BCD, 2), typed("TAG", FieldType::Date),
                    typed("BILD", FieldType::Bytes, 10), typed("ZAEHLER", FieldType::AutoInc)});
    w.assign("PREIS", "TEXT");
    w.assign("NAME", "ZAHL");
    w.assign("BETRAG", "ZAHL");
    struct Case {
        const char* field;
        OptionsPage page;
    };
    for (const Case& c : {Case{"TEXT", OptionsPage::String_String}, Case{"ZAHL", OptionsPage::Zahl_Zahl},
                          Case{"PREIS", OptionsPage::String_Zahl}, Case{"NAME", OptionsPage::Zahl_String},
                          // Unassigned: the target's type alone decides.
                          Case{"TAG", OptionsPage::String_String}, Case{"BILD", OptionsPage::Zahl_Zahl}}) {
        SCOPED_TRACE(c.field);
        const RuleOptionsView& v = w.select(c.field).view();
        EXPECT_EQ(v.page, c.page);
        EXPECT_TRUE(v.panelVisible);
        EXPECT_TRUE(v.btnOptionenEnabled);
        EXPECT_EQ(v.label, std::string("Optionen für Zielfeld \"") + c.field + "\"");
    }
    // A number into a BCD field, or an unassigned counter: no page, and "&Optionen" is disabled.
    for (const char* field : {"BETRAG", "ZAEHLER"}) {
        const RuleOptionsView& v = w.select(field).view();
        EXPECT_FALSE(v.panelVisible) << field;
        EXPECT_FALSE(v.btnOptionenEnabled) << field;
    }
}

TEST(RuleOptions, DivisionAndMultiplicationExcludeEachOther) {
    OptionsWorld w({typed("MENGE", FieldType::Integer)}, {typed("MENGE", FieldType::Float)});
    RuleOptions& o = w.select("MENGE");
    o.click("cbxZZ_Div", true);
    EXPECT_TRUE(w.enabled("edtZZ_DivWert"));
    o.edit("edtZZ_DivWert", "2,5");
    EXPECT_EQ(w.rule().Div, 2.5);
    EXPECT_EQ(o.view().texts.at("edtZZ_DivWert"), "2,5");
    o.click("cbxZZ_Mul", true);
    EXPECT_FALSE(w.rule().Div.has_value());
    EXPECT_FALSE(w.on("cbxZZ_Div"));
    EXPECT_FALSE(w.enabled("edtZZ_DivWert"));
    EXPECT_TRUE(w.enabled("edtZZ_MulWert"));
    // A number that cannot be read is reported and changes nothing.
    o.edit("edtZZ_MulWert", "3");
    w.prompter.expectError("'drei' ist keine Zahl");
    o.edit("edtZZ_MulWert", "drei");
    EXPECT_EQ(w.rule().Mul, 3.0);
    EXPECT_TRUE(w.prompter.finished());
}

TEST(RuleOptions, AtMostTwoOfTheThreeComparisons) {
    OptionsWorld w({text("WERT", 10)}, {typed("WERT", FieldType::Float)});
    RuleOptions& o = w.select("WERT");
    EXPECT_EQ(o.view().page, OptionsPage::String_Zahl);
    EXPECT_FALSE(w.enabled("cbxSZ_Vorgabe_Gleich"));
    o.click("cbxSZ_Vorgabe", true);
    o.edit("edtSZ_Vorgabe_Wert", "7");
    o.click("cbxSZ_Vorgabe_Gleich", true);
    o.click("cbxSZ_Vorgabe_Kleiner", true);
    w.prompter.expectBeep();
    o.click("cbxSZ_Vorgabe_Groesser", true);
    MappingRule r = w.rule();
    EXPECT_TRUE(r.BedGleich && r.BedKleiner);
    EXPECT_FALSE(r.BedGroesser);
    EXPECT_FALSE(w.on("cbxSZ_Vorgabe_Groesser"));
    // Switching the default off clears it with its comparison.
    o.edit("edtSZ_Vorgabe_Quelltxt", "leer");
    o.click("cbxSZ_Vorgabe", false);
    r = w.rule();
    EXPECT_FALSE(r.Vorgabewert_num || r.BedGleich || r.BedKleiner || !r.Quellwert_alph.empty());
    EXPECT_TRUE(w.prompter.finished());
}

TEST(RuleOptions, TheFormulaCarriesTheRounding) {
    OptionsWorld w({typed("NETTO", FieldType::Float)}, {typed("BRUTTO", FieldType::Float)});
    w.assign("BRUTTO", "NETTO");
    RuleOptions& o = w.select("BRUTTO");
    EXPECT_FALSE(w.enabled("cbxZZ_Runden"));
    o.click("cbxZZ_Formel", true);
    o.edit("memZZ_Formel", "#NETTO * 1.19");
    o.click("cbxZZ_Runden", true);
    o.edit("edtZZ_Runden", "2");
    EXPECT_EQ(w.rule().Runden, 2);
    o.click("cbxZZ_Formel", false);
    EXPECT_TRUE(w.rule().Formel_num.empty());
    EXPECT_FALSE(w.rule().Runden.has_value());
    EXPECT_FALSE(w.on("cbxZZ_Runden"));
}

TEST(RuleOptions, TextOptionsExcludeEachOther) {
    OptionsWorld w({text("NAME", 20)}, {text("NAME", 10), text("ORT", 30)});
    w.assign("ORT", "NAME");
    RuleOptions& o = w.select("NAME");
    // The source is longer: the overlength options are open.
    EXPECT_TRUE(w.enabled("cbxSS_Abschneiden"));
    o.click("cbxSS_Abschneiden", true);
    o.click("cbxSS_Abschneiden_li", true);
    o.click("cbxSS_Abschneiden_re", true);
    EXPECT_FALSE(w.rule().Ueberl_abschneid_li);
    EXPECT_TRUE(w.rule().Ueberl_abschneid_re);
    o.click("cbxSS_Ausrichtung_li", true);
    EXPECT_FALSE(w.rule().Ausrichtung_re);
    // The overlength default and the conditional default share the default text.
    o.click("cbxSS_UEVorgabe", true);
    EXPECT_FALSE(w.enabled("cbxSS_Vorgabe"));
    o.edit("edtSS_Vorgabe_Wert", "zu lang");
    o.click("cbxSS_UEVorgabe", false);
    EXPECT_TRUE(w.rule().Vorgabewert_alph.empty());
    o.click("cbxSS_Vorgabe", true);
    o.click("cbxSS_Vorgabe_Gleich", true);
    o.edit("edtSS_Vorgabe_Quelltxt", "x");
    o.click("cbxSS_Vorgabe_Leer", true);
    EXPECT_FALSE(w.rule().BedGleich);
    EXPECT_TRUE(w.rule().Quellwert_alph.empty());
    o.click("cbxSS_Vorgabe_Gleich", true);
    EXPECT_FALSE(w.rule().BedLeer);
    // A target as long as the source has no overlength.
    w.select("ORT");
    EXPECT_FALSE(w.enabled("cbxSS_Abschneiden"));
    EXPECT_FALSE(w.enabled("cbxSS_UEVorgabe"));
}

TEST(RuleOptions, CutOutPositionsAreKeptInRange) {
    OptionsWorld w({text("NAME", 40)}, {text("NAME", 30)});
    RuleOptions& o = w.select("NAME");
    o.click("cbxSS_Ausschnitt", true);
    o.edit("edtSS_AusschnittBegString", "0");
    o.leave("edtSS_AusschnittBegString");
    EXPECT_EQ(w.rule().StringAuswahlBeg, 1);
    o.edit("edtSS_AusschnittBegString", "5");
    o.edit("edtSS_AusschnittEndString", "3");
    w.prompter.expectBeep();
    o.leave("edtSS_AusschnittEndString");
    EXPECT_EQ(w.rule().StringAuswahlEnd, 5);
    o.edit("edtSS_AusschnittEndString", "99");
    o.leave("edtSS_AusschnittEndString");
    EXPECT_EQ(w.rule().StringAuswahlEnd, 30);
    o.click("cbxSS_Ausschnitt", false);
    EXPECT_FALSE(w.rule().StringAuswahlBeg || w.rule().StringAuswahlEnd);
    EXPECT_TRUE(w.prompter.finished());
}

TEST(RuleOptions, SelectingARuleShowsItsOwnOptionsAndKeepsThem) {
    OptionsWorld w({text("A", 20), text("B", 20)}, {text("A", 10), text("B", 10), text("K", 10)}, 0);
    // Rule A: an overlength default. Rule B: a conditional default. A rounding without formula is dropped.
    w.changeRule("A", [](MappingRule& r) { r.Vorgabewert_alph = "lang"; });
    w.changeRule("B", [](MappingRule& r) {
        r.Vorgabewert_alph = "leer";
        r.BedLeer = true;
    });
    RuleOptions& o = w.select("A");
    EXPECT_TRUE(w.on("cbxSS_UEVorgabe"));
    EXPECT_FALSE(w.on("cbxSS_Vorgabe"));
    w.select("B");
    EXPECT_TRUE(w.on("cbxSS_Vorgabe"));
    EXPECT_FALSE(w.on("cbxSS_UEVorgabe"));
    EXPECT_EQ(w.rule().Vorgabewert_alph, "leer");  // the switch left on by rule A clears nothing here
    EXPECT_EQ(o.view().texts.at("edtSS_Vorgabe_Wert"), "leer");
    w.select("A");
    EXPECT_EQ(w.rule().Vorgabewert_alph, "lang");
}

TEST(RuleOptions, AKeyTargetIsAlignedRight) {
    OptionsWorld w({text("NR", 8)}, {text("NR", 8)}, 1);
    w.changeRule("NR", [](MappingRule& r) { r.Ausrichtung_re = r.Ausrichtung_li = false; });
    w.select("NR");
    EXPECT_TRUE(w.rule().Ausrichtung_re);
    // No conditional default for a key target on the number pages.
    OptionsWorld n({text("NR", 8)}, {typed("NR", FieldType::Integer)}, 1);
    n.select("NR");
    EXPECT_FALSE(n.enabled("cbxSZ_Vorgabe"));
}
