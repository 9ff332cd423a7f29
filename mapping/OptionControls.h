// Which control of the option pages edits which column of a mapping rule:
// the bound edits, memos and check boxes of each page, by their names.
#pragma once

#include "mapping/RuleOptions.h"

#include <optional>
#include <string>
#include <vector>

namespace kimport {

enum class Column {
    Div, Mul, Vorgabewert_alph, Vorgabewert_num, BedGleich, BedKleiner, BedGroesser, BedLeer, Quellwert_alph,
    Quellwert_num, Formel_alph, Formel_num, Runden, Ausrichtung_li, Ausrichtung_re, Ueberl_li, Ueberl_re,
    StringAuswahlBeg, StringAuswahlEnd, FeldAkt
};

struct Bound {
    const char* control;
    Column column;
};

// Bound controls of each page (switches are not bound: they live in the view only).
const std::vector<Bound>& boundControls(OptionsPage page);
// The bound control of that name on the page, or none.
const Bound* findBound(OptionsPage page, const std::string& control);
// The two-letter infix of a page's control names ("SZ", "ZS", "SS", "ZZ").
std::string prefixOf(OptionsPage page);

// The rule's column of each kind; null when the column is of another kind.
bool* flagOf(MappingRule& r, Column c);
std::string* textColumn(MappingRule& r, Column c);
std::optional<double>* numberColumn(MappingRule& r, Column c);
std::optional<int>* wholeColumn(MappingRule& r, Column c);

}  // namespace kimport
