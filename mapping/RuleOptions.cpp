#include "mapping/RuleOptions.h"

#include "common/Numbers.h"
#include "common/Text.h"
#include "mapping/OptionControls.h"
#include "settings/ColumnValues.h"
#include "settings/ControlTables.h"
#include "tablestore/ValueConversion.h"

#include <functional>
#include <optional>

namespace kimport {

namespace {

bool isTextCode(int code) { return targetClass(code) == TypeClass::S; }
bool isNumberPageCode(int code) {
    switch (fieldTypeOfCode(code)) {
    case FieldType::SmallInt: case FieldType::Integer: case FieldType::Word: case FieldType::Float:
    case FieldType::Currency: case FieldType::Bytes: case FieldType::VarBytes: case FieldType::TypedBinary:
        return true;
    default: return false;
    }
}


}  // namespace

struct RuleOptions::Facts {
    bool hasRule = false;
    std::string feldname, laenge;
    int typ = 0;
    bool keyTarget = false;
    bool assigned = false;
    OptionsPage page = OptionsPage::None;
    bool noPage = false;          // the panel is hidden and "&Optionen" disabled
    bool unchanged = false;       // type code 0 of an unassigned rule: nothing changes
    bool overlengthPossible = false;
    std::optional<long> cutOutLimit;
};

RuleOptions::RuleOptions(RuleTables tables, Prompter& prompter, const FormatSettings& formats)
    : t_(tables), prompter_(prompter), formats_(formats) {}

MappingRule RuleOptions::rule() { return readMappingRule(t_.zStrukt); }

void RuleOptions::store(const MappingRule& r) {
    if (readMappingRule(t_.zStrukt) == r) return;
    t_.zStrukt.BeginEdit();
    writeMappingRule(t_.zStrukt, r);
    t_.zStrukt.PostRecord();
}

RuleOptions::Facts RuleOptions::facts() {
    Facts f;
    Table& z = t_.zStrukt;
    if (!z.Active() || z.RecordCount() == 0 || z.AtEnd()) return f;
    f.hasRule = true;
    f.feldname = textOf(z, "Feldname");
    f.laenge = textOf(z, "Laenge");
    f.typ = static_cast<int>(z.AsInteger(z.FieldNamed("Typ")));
    f.keyTarget = !trim(textOf(z, "Index")).empty();
    const std::string zuordnung = textOf(z, "Zuordnung");
    f.assigned = !zuordnung.empty();
    for (Table* t : {&t_.source, &t_.target})
        if (!t->Active() && !t->path().empty()) t->OpenTable();
    // Field numbers, -1 for a field that is not there.
    auto lookup = [](Table& t, const std::string& name) {
        if (!t.Active()) return -1;
        std::optional<int> i = t.LookupField(name);
        return i ? *i : -1;
    };
    const int sourceIndex = lookup(t_.source, zuordnung), targetIndex = lookup(t_.target, f.feldname);
    if (f.assigned) {
        const int sourceCode = sourceIndex >= 0 ? typeCode(t_.source.FieldDefAt(sourceIndex).type) : 0;
        std::optional<TypePair> pair = typePair(sourceCode, f.typ);
        if (!pair) {
            f.noPage = true;
        } else {
            switch (*pair) {
            case TypePair::SZ: f.page = OptionsPage::String_Zahl; break;
            case TypePair::ZS: f.page = OptionsPage::Zahl_String; break;
            case TypePair::SS: f.page = OptionsPage::String_String; break;
            case TypePair::ZZ: f.page = OptionsPage::Zahl_Zahl; break;
            }
        }
        f.overlengthPossible = !isMemoType(fieldTypeOfCode(f.typ)) && !f.keyTarget && sourceIndex >= 0 && targetIndex >= 0 &&
                               t_.source.DataSize(sourceIndex) > t_.target.DataSize(targetIndex);
    } else if (isTextCode(f.typ)) {
        f.page = OptionsPage::String_String;
    } else if (isNumberPageCode(f.typ)) {
        f.page = OptionsPage::Zahl_Zahl;
    } else if (f.typ == typeCode(FieldType::Unknown)) {
        f.unchanged = true;
    } else {
        f.noPage = true;
    }
    // The cut-out ends at the target's length; a memo target takes the source field's (none for a memo).
    std::string limit = f.laenge;
    if (fieldTypeOfCode(f.typ) == FieldType::Memo) {
        const bool textSource = sourceIndex >= 0 && t_.source.FieldDefAt(sourceIndex).type == FieldType::String;
        limit = textSource ? std::to_string(t_.source.FieldDefAt(sourceIndex).size) : std::string();
    }
    if (IsDigitString(limit)) f.cutOutLimit = std::stol(limit);
    return f;
}

void RuleOptions::ShowRuleOptions() {
    Facts f = facts();
    if (!f.hasRule || f.unchanged) return;
    if (f.noPage) {
        hidePanel(true);
        return;
    }
    view_.btnOptionenEnabled = true;
    MappingRule r = rule();
    // A key target's digits are aligned: right, unless the rule says left.
    if ((f.page == OptionsPage::String_String || f.page == OptionsPage::Zahl_String) && f.assigned && f.keyTarget &&
        !r.Ausrichtung_li && !r.Ausrichtung_re)
        r.Ausrichtung_re = true;
    normalize(r, f);
    store(r);
    setSwitchesFromRule(r, f);
    deriveView(r, f);
}

// Columns that the switches, set from the rule, do not allow are cleared, as switching them off
// would: a rounding without a formula, comparisons without a default, a cut-out end without start,
// both division and multiplication. A column that another switch still uses is kept.
void RuleOptions::normalize(MappingRule& r, const Facts& f) {
    switch (f.page) {
    case OptionsPage::String_Zahl:
    case OptionsPage::Zahl_Zahl:
        if (r.Div && r.Mul) r.Mul.reset();
        if (r.Formel_num.empty()) r.Runden.reset();
        if (!r.Vorgabewert_num) {
            if (f.page == OptionsPage::String_Zahl)
                r.Quellwert_alph.clear();
            else
                r.Quellwert_num.reset();
            r.BedGleich = r.BedKleiner = r.BedGroesser = false;
        }
        break;
    case OptionsPage::Zahl_String:
        if (r.Div && r.Mul) r.Mul.reset();
        if (r.Vorgabewert_alph.empty()) {
            r.Quellwert_num.reset();
            r.BedGleich = r.BedKleiner = r.BedGroesser = false;
        }
        break;
    case OptionsPage::String_String:
        if (r.Vorgabewert_alph.empty()) {
            r.Quellwert_alph.clear();
            r.BedGleich = r.BedLeer = false;
        }
        if (!r.StringAuswahlBeg) r.StringAuswahlEnd.reset();
        break;
    default: break;
    }
}

void RuleOptions::setSwitchesFromRule(const MappingRule& r, const Facts& f) {
    switches_.clear();
    const std::string p = prefixOf(f.page);
    auto set = [&](const std::string& name, bool on) { switches_["cbx" + p + "_" + name] = on; };
    switch (f.page) {
    case OptionsPage::String_Zahl:
    case OptionsPage::Zahl_Zahl:
        set("Div", r.Div.has_value());
        set("Mul", r.Mul.has_value() && !r.Div);
        set("Vorgabe", r.Vorgabewert_num.has_value());
        set("Formel", !r.Formel_num.empty());
        set("Runden", r.Runden.has_value());
        break;
    case OptionsPage::Zahl_String: {
        const bool filled = !r.Vorgabewert_alph.empty();
        set("Abschneiden", r.Ueberl_abschneid_li || r.Ueberl_abschneid_re);
        set("Vorgabe", filled && r.Quellwert_num.has_value());
        set("UEVorgabe", filled && !r.Quellwert_num.has_value());
        set("Div", r.Div.has_value());
        set("Mul", r.Mul.has_value() && !r.Div);
        break;
    }
    case OptionsPage::String_String: {
        const bool filled = !r.Vorgabewert_alph.empty();
        const bool conditional = !f.assigned || r.BedLeer || r.BedGleich;
        set("Abschneiden", f.assigned && (r.Ueberl_abschneid_li || r.Ueberl_abschneid_re));
        set("Vorgabe", filled && conditional);
        set("UEVorgabe", f.assigned && filled && !conditional);
        set("Ausschnitt", f.assigned && r.StringAuswahlBeg.has_value());
        set("Formel", !r.Formel_alph.empty());
        break;
    }
    default: break;
    }
}

void RuleOptions::btnOptionenClick() {
    if (view_.panelVisible)
        hidePanel();
    else
        showPanel();
}

void RuleOptions::showPanel() {
    view_.panelVisible = true;
    ShowRuleOptions();
}

void RuleOptions::hidePanel(bool disableButton) {
    view_.panelVisible = false;
    if (disableButton) view_.btnOptionenEnabled = false;
}

// The panel shows another rule's page (the rule was unassigned, or the cursor moved): it is shown anew
// and the click or edit meant for the old page is dropped.
bool RuleOptions::stale(const Facts& f) {
    if (f.page == view_.page) return false;
    ShowRuleOptions();
    return true;
}

void RuleOptions::click(const std::string& control, bool checked) {
    Facts f = facts();
    if (!f.hasRule || f.page == OptionsPage::None || stale(f)) return;
    MappingRule r = rule();
    if (switches_.count(control)) {
        switches_[control] = checked;
        onSwitch(control, checked, r);
    } else if (const Bound* b = findBound(f.page, control); b && flagOf(r, b->column)) {
        *flagOf(r, b->column) = checked;
        onCheckBox(control, checked, r);
    } else {
        return;
    }
    store(r);
    deriveView(r, f);
}

void RuleOptions::onSwitch(const std::string& name, bool on, MappingRule& r) {
    const std::string what = name.substr(name.find('_') + 1);
    const std::string p = name.substr(3, 2);
    if (what == "Div" || what == "Mul") {
        const bool div = what == "Div";
        if (on) {
            // Division and multiplication exclude each other.
            switches_["cbx" + p + (div ? "_Mul" : "_Div")] = false;
            (div ? r.Mul : r.Div).reset();
        } else {
            (div ? r.Div : r.Mul).reset();
        }
    } else if (what == "Vorgabe") {
        if (!on) {
            if (p == "SZ" || p == "ZZ") r.Vorgabewert_num.reset();
            if (p == "ZS" || p == "SS") r.Vorgabewert_alph.clear();
            if (p == "SZ" || p == "SS") r.Quellwert_alph.clear();
            if (p == "ZZ" || p == "ZS") r.Quellwert_num.reset();
            if (p == "SS")
                r.BedGleich = r.BedLeer = false;
            else
                r.BedGleich = r.BedKleiner = r.BedGroesser = false;
        }
    } else if (what == "UEVorgabe") {
        if (!on) r.Vorgabewert_alph.clear();
    } else if (what == "Abschneiden") {
        if (!on) r.Ueberl_abschneid_li = r.Ueberl_abschneid_re = false;
    } else if (what == "Ausschnitt") {
        if (!on) {
            r.StringAuswahlBeg.reset();
            r.StringAuswahlEnd.reset();
        }
    } else if (what == "Formel") {
        if (!on) {
            if (p == "SS") {
                r.Formel_alph.clear();
            } else {
                r.Formel_num.clear();
                switches_["cbx" + p + "_Runden"] = false;  // no rounding without a formula
                r.Runden.reset();
            }
        }
    } else if (what == "Runden") {
        if (!on) r.Runden.reset();
    }
}

void RuleOptions::onCheckBox(const std::string& name, bool on, MappingRule& r) {
    const std::string p = name.substr(3, 2);
    const std::string what = name.substr(name.find('_') + 1);
    if (what == "Abschneiden_li" && on) r.Ueberl_abschneid_re = false;
    if (what == "Abschneiden_re" && on) r.Ueberl_abschneid_li = false;
    if (what == "Ausrichtung_li" && on) r.Ausrichtung_re = false;
    if (what == "Ausrichtung_re" && on) r.Ausrichtung_li = false;
    if (p == "SS") {
        if (what == "Vorgabe_Gleich" && on) r.BedLeer = false;
        if (what == "Vorgabe_Leer" && on) {
            r.BedGleich = false;
            r.Quellwert_alph.clear();
        }
        return;
    }
    // At most two of "=", "<", ">": the third is refused with a beep.
    bool* flags[] = {&r.BedGleich, &r.BedKleiner, &r.BedGroesser};
    const char* names[] = {"Vorgabe_Gleich", "Vorgabe_Kleiner", "Vorgabe_Groesser"};
    for (int i = 0; i < 3; ++i) {
        if (what != names[i]) continue;
        if (*flags[(i + 1) % 3] && *flags[(i + 2) % 3]) {
            prompter_.beep();
            *flags[i] = false;
        }
    }
}

void RuleOptions::edit(const std::string& control, const std::string& text) {
    Facts f = facts();
    if (!f.hasRule || stale(f)) return;
    const Bound* b = findBound(f.page, control);
    if (!b) return;
    MappingRule r = rule();
    try {
        if (std::string* s = textColumn(r, b->column)) {
            *s = text;
        } else if (std::optional<double>* d = numberColumn(r, b->column)) {
            if (trim(text).empty())
                d->reset();
            else
                *d = parseFloat(text, formats_.decimalSeparator);
        } else if (std::optional<int>* n = wholeColumn(r, b->column)) {
            // An empty position is no whole number; an empty rounding is no rounding.
            if (trim(text).empty() && b->column == Column::Runden) {
                n->reset();
            } else {
                std::int64_t v = parseInteger(text);
                if (v < -32767 || v > 32767) throw ConversionError("'" + trim(text) + "' ist keine ganze Zahl");
                *n = static_cast<int>(v);
                // An end typed before the start cuts from the first character, so that it is kept.
                if (b->column == Column::StringAuswahlEnd && !r.StringAuswahlBeg) r.StringAuswahlBeg = 1;
            }
        } else {
            return;
        }
    } catch (const ConversionError& e) {
        prompter_.error(e.what());
        deriveView(rule(), f);  // the edit shows the column again
        return;
    }
    store(r);
    deriveView(r, f);
}

void RuleOptions::leave(const std::string& control) {
    Facts f = facts();
    if (!f.hasRule || f.page != OptionsPage::String_String || stale(f)) return;
    MappingRule r = rule();
    if (control == "edtSS_AusschnittBegString") {
        if (r.StringAuswahlBeg && *r.StringAuswahlBeg < 1) r.StringAuswahlBeg = 1;
    } else if (control == "edtSS_AusschnittEndString") {
        if (!r.StringAuswahlEnd) return;
        if (r.StringAuswahlBeg && *r.StringAuswahlEnd < *r.StringAuswahlBeg) {
            prompter_.beep();
            r.StringAuswahlEnd = r.StringAuswahlBeg;
        }
        if (f.cutOutLimit && *f.cutOutLimit < *r.StringAuswahlEnd) r.StringAuswahlEnd = static_cast<int>(*f.cutOutLimit);
    } else {
        return;
    }
    store(r);
    deriveView(r, f);
}

std::string RuleOptions::formulaText(bool textFormula) {
    MappingRule r = rule();
    return textFormula ? r.Formel_alph : r.Formel_num;
}

void RuleOptions::setFormulaText(bool textFormula, const std::string& text) {
    MappingRule r = rule();
    (textFormula ? r.Formel_alph : r.Formel_num) = text;
    store(r);
    deriveView(r, facts());
}

FormulaTarget RuleOptions::formulaTarget() {
    Facts f = facts();
    return FormulaTarget{f.feldname, f.typ, f.laenge};
}

// Which control is enabled follows from the page, the switches and the rule alone, so that the
// panel looks the same whatever order the user clicked in.
void RuleOptions::deriveView(const MappingRule& rConst, const Facts& f) {
    MappingRule r = rConst;
    view_.page = f.page;
    view_.controls.clear();
    view_.texts.clear();
    if (f.page == OptionsPage::None) return;
    view_.label = "Optionen für Zielfeld \"" + f.feldname + "\"";
    const std::string p = prefixOf(f.page);
    auto sw = [&](const char* name) { return switches_["cbx" + p + "_" + name]; };
    auto put = [&](const std::string& name, bool enabled, bool checked = false) {
        view_.controls[name] = OptionControl{checked, enabled};
    };
    auto putSwitch = [&](const char* name, bool enabled) { put("cbx" + p + "_" + name, enabled, sw(name)); };

    for (const Bound& b : boundControls(f.page)) {
        if (bool* flag = flagOf(r, b.column)) {
            put(b.control, true, *flag);
        } else if (std::string* s = textColumn(r, b.column)) {
            view_.texts[b.control] = *s;
        } else if (std::optional<double>* d = numberColumn(r, b.column)) {
            view_.texts[b.control] = *d ? formatFloat(**d, formats_) : std::string();
        } else if (std::optional<int>* n = wholeColumn(r, b.column)) {
            view_.texts[b.control] = *n ? std::to_string(**n) : std::string();
        }
        if (!flagOf(r, b.column)) put(b.control, true);
    }
    auto enable = [&](std::initializer_list<std::string> names, bool on) {
        for (const std::string& n : names) view_.controls[n].enabled = on;
    };
    const bool assigned = f.assigned;
    view_.defaultMaxLength = 0;
    switch (f.page) {
    case OptionsPage::String_Zahl:
    case OptionsPage::Zahl_Zahl: {
        putSwitch("Div", assigned);
        putSwitch("Mul", assigned);
        enable({"edt" + p + "_DivWert"}, assigned && sw("Div"));
        enable({"edt" + p + "_MulWert"}, assigned && sw("Mul"));
        putSwitch("Vorgabe", !(assigned && f.keyTarget));
        const bool conditional = sw("Vorgabe");
        enable({"edt" + p + "_Vorgabe_Wert"}, conditional);
        enable({"lbl" + p + "_Vorgabe", "cbx" + p + "_Vorgabe_Gleich", "cbx" + p + "_Vorgabe_Kleiner",
                "cbx" + p + "_Vorgabe_Groesser", "edt" + p + "_Vorgabe_Quelltxt"},
               conditional && assigned);
        putSwitch("Formel", true);
        enable({"mem" + p + "_Formel", "btn" + p + "_Zoom"}, sw("Formel"));
        put("btn" + p + "_Zoom", sw("Formel"));
        putSwitch("Runden", assigned && sw("Formel"));
        enable({"edt" + p + "_Runden"}, assigned && sw("Runden"));
        if (f.page == OptionsPage::Zahl_Zahl) put("lblZZ_Stellen", assigned && sw("Runden"));
        break;
    }
    case OptionsPage::Zahl_String: {
        putSwitch("Abschneiden", true);
        enable({"cbxZS_Abschneiden_li", "cbxZS_Abschneiden_re"}, sw("Abschneiden"));
        putSwitch("UEVorgabe", !f.keyTarget && !sw("Vorgabe"));
        putSwitch("Vorgabe", !f.keyTarget && !sw("UEVorgabe"));
        enable({"cbxZS_Vorgabe_Gleich", "cbxZS_Vorgabe_Kleiner", "cbxZS_Vorgabe_Groesser", "edtZS_Vorgabe_Quelltxt"},
               sw("Vorgabe"));
        put("lblZS_Vorgabe", sw("Vorgabe"));
        put("lblZS_Vorgabewert", sw("Vorgabe") || sw("UEVorgabe"));
        enable({"edtZS_Vorgabe_Wert"}, sw("Vorgabe") || sw("UEVorgabe"));
        putSwitch("Div", true);
        putSwitch("Mul", true);
        enable({"edtZS_DivWert"}, sw("Div"));
        enable({"edtZS_MulWert"}, sw("Mul"));
        if (fieldTypeOfCode(f.typ) == FieldType::String && IsDigitString(f.laenge)) view_.defaultMaxLength = std::stoi(f.laenge);
        break;
    }
    case OptionsPage::String_String: {
        const bool over = assigned && f.overlengthPossible;
        put("lblBeiUeberlaenge", over);
        putSwitch("Abschneiden", over);
        enable({"cbxSS_Abschneiden_li", "cbxSS_Abschneiden_re"}, over && sw("Abschneiden"));
        putSwitch("UEVorgabe", over && !sw("Vorgabe"));
        putSwitch("Vorgabe", !sw("UEVorgabe"));
        const bool conditional = sw("Vorgabe") && assigned;
        put("lblSS_Vorgabe", conditional);
        enable({"cbxSS_Vorgabe_Gleich", "cbxSS_Vorgabe_Leer"}, conditional);
        enable({"edtSS_Vorgabe_Quelltxt"}, conditional && r.BedGleich);
        put("lblSS_Vorgabewert", sw("Vorgabe") || sw("UEVorgabe"));
        enable({"edtSS_Vorgabe_Wert"}, sw("Vorgabe") || sw("UEVorgabe"));
        putSwitch("Ausschnitt", assigned);
        enable({"edtSS_AusschnittBegString", "edtSS_AusschnittEndString"}, assigned && sw("Ausschnitt"));
        put("lblSS_Bis", assigned && sw("Ausschnitt"));
        put("lblSS_Uebernehmen", assigned && sw("Ausschnitt"));
        putSwitch("Formel", true);
        enable({"memSS_Formel"}, sw("Formel"));
        put("btnSS_Zoom", sw("Formel"));
        if (fieldTypeOfCode(f.typ) == FieldType::String && IsDigitString(f.laenge)) view_.defaultMaxLength = std::stoi(f.laenge);
        break;
    }
    default: break;
    }
}

}  // namespace kimport
