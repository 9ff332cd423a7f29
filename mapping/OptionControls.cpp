#include "mapping/OptionControls.h"

namespace kimport {

const std::vector<Bound>& boundControls(OptionsPage page) {
    static const std::vector<Bound> sz{
        {"edtSZ_DivWert", Column::Div}, {"edtSZ_MulWert", Column::Mul},
        {"edtSZ_Vorgabe_Wert", Column::Vorgabewert_num}, {"cbxSZ_Vorgabe_Gleich", Column::BedGleich},
        {"cbxSZ_Vorgabe_Kleiner", Column::BedKleiner}, {"cbxSZ_Vorgabe_Groesser", Column::BedGroesser},
        {"edtSZ_Vorgabe_Quelltxt", Column::Quellwert_alph}, {"memSZ_Formel", Column::Formel_num},
        {"edtSZ_Runden", Column::Runden}, {"cbxSZ_FAkt", Column::FeldAkt}};
    static const std::vector<Bound> zs{
        {"cbxZS_Ausrichtung_li", Column::Ausrichtung_li}, {"cbxZS_Ausrichtung_re", Column::Ausrichtung_re},
        {"cbxZS_Abschneiden_li", Column::Ueberl_li}, {"cbxZS_Abschneiden_re", Column::Ueberl_re},
        {"cbxZS_Vorgabe_Gleich", Column::BedGleich}, {"cbxZS_Vorgabe_Kleiner", Column::BedKleiner},
        {"cbxZS_Vorgabe_Groesser", Column::BedGroesser}, {"edtZS_Vorgabe_Quelltxt", Column::Quellwert_num},
        {"edtZS_Vorgabe_Wert", Column::Vorgabewert_alph}, {"edtZS_DivWert", Column::Div},
        {"edtZS_MulWert", Column::Mul}, {"cbxZS_FAkt", Column::FeldAkt}};
    static const std::vector<Bound> ss{
        {"cbxSS_Ausrichtung_li", Column::Ausrichtung_li}, {"cbxSS_Ausrichtung_re", Column::Ausrichtung_re},
        {"cbxSS_Abschneiden_li", Column::Ueberl_li}, {"cbxSS_Abschneiden_re", Column::Ueberl_re},
        {"cbxSS_Vorgabe_Gleich", Column::BedGleich}, {"edtSS_Vorgabe_Quelltxt", Column::Quellwert_alph},
        {"cbxSS_Vorgabe_Leer", Column::BedLeer}, {"edtSS_Vorgabe_Wert", Column::Vorgabewert_alph},
        {"edtSS_AusschnittBegString", Column::StringAuswahlBeg}, {"edtSS_AusschnittEndString", Column::StringAuswahlEnd},
        {"memSS_Formel", Column::Formel_alph}, {"cbxSS_FAkt", Column::FeldAkt}};
    static const std::vector<Bound> zz{
        {"edtZZ_DivWert", Column::Div}, {"edtZZ_MulWert", Column::Mul},
        {"edtZZ_Vorgabe_Wert", Column::Vorgabewert_num}, {"cbxZZ_Vorgabe_Gleich", Column::BedGleich},
        {"cbxZZ_Vorgabe_Kleiner", Column::BedKleiner}, {"cbxZZ_Vorgabe_Groesser", Column::BedGroesser},
        {"edtZZ_Vorgabe_Quelltxt", Column::Quellwert_num}, {"memZZ_Formel", Column::Formel_num},
        {"edtZZ_Runden", Column::Runden}, {"cbxZZ_Akt", Column::FeldAkt}};
    static const std::vector<Bound> none;
    switch (page) {
    case OptionsPage::String_Zahl: return sz;
    case OptionsPage::Zahl_String: return zs;
    case OptionsPage::String_String: return ss;
    case OptionsPage::Zahl_Zahl: return zz;
    default: return none;
    }
}

std::string prefixOf(OptionsPage page) {
    switch (page) {
    case OptionsPage::String_Zahl: return "SZ";
    case OptionsPage::Zahl_String: return "ZS";
    case OptionsPage::String_String: return "SS";
    case OptionsPage::Zahl_Zahl: return "ZZ";
    default: return "";
    }
}

const Bound* findBound(OptionsPage page, const std::string& control) {
    for (const Bound& b : boundControls(page))
        if (control == b.control) return &b;
    return nullptr;
}

bool* flagOf(MappingRule& r, Column c) {
    switch (c) {
    case Column::BedGleich: return &r.BedGleich;
    case Column::BedKleiner: return &r.BedKleiner;
    case Column::BedGroesser: return &r.BedGroesser;
    case Column::BedLeer: return &r.BedLeer;
    case Column::Ausrichtung_li: return &r.Ausrichtung_li;
    case Column::Ausrichtung_re: return &r.Ausrichtung_re;
    case Column::Ueberl_li: return &r.Ueberl_abschneid_li;
    case Column::Ueberl_re: return &r.Ueberl_abschneid_re;
    case Column::FeldAkt: return &r.FeldAkt;
    default: return nullptr;
    }
}

std::string* textColumn(MappingRule& r, Column c) {
    switch (c) {
    case Column::Vorgabewert_alph: return &r.Vorgabewert_alph;
    case Column::Quellwert_alph: return &r.Quellwert_alph;
    case Column::Formel_alph: return &r.Formel_alph;
    case Column::Formel_num: return &r.Formel_num;
    default: return nullptr;
    }
}

std::optional<double>* numberColumn(MappingRule& r, Column c) {
    switch (c) {
    case Column::Div: return &r.Div;
    case Column::Mul: return &r.Mul;
    case Column::Vorgabewert_num: return &r.Vorgabewert_num;
    case Column::Quellwert_num: return &r.Quellwert_num;
    default: return nullptr;
    }
}

std::optional<int>* wholeColumn(MappingRule& r, Column c) {
    switch (c) {
    case Column::Runden: return &r.Runden;
    case Column::StringAuswahlBeg: return &r.StringAuswahlBeg;
    case Column::StringAuswahlEnd: return &r.StringAuswahlEnd;
    default: return nullptr;
    }
}

const char* optionsPageName(OptionsPage page) {
    switch (page) {
    case OptionsPage::String_Zahl: return "String_Zahl";
    case OptionsPage::Zahl_String: return "Zahl_String";
    case OptionsPage::String_String: return "String_String";
    case OptionsPage::Zahl_Zahl: return "Zahl_Zahl";
    default: return "";
    }
}

}  // namespace kimport
