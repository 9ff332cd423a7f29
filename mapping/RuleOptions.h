// The options of one target field on the mapping page: which of the four
// option pages a rule gets, the state of every switch and control on it, and
// what a click or an edit writes into the rule (a row of ZStrukt). The window
// shows the view and sends the user's clicks and edits here.
#pragma once

#include "common/FormatSettings.h"
#include "common/Prompter.h"
#include "formula/FormelPreview.h"
#include "settings/TypeCodes.h"
#include "tablestore/Table.h"

#include <map>
#include <string>

namespace kimport {

enum class OptionsPage { None, String_Zahl, Zahl_String, String_String, Zahl_Zahl };

// Object name of a page of tpcOptionen ("String_Zahl", ...); empty for None.
const char* optionsPageName(OptionsPage page);

struct OptionControl {
    bool checked = false;  // switches and check boxes
    bool enabled = true;
};

// What the options panel shows for the selected rule.
struct RuleOptionsView {
    bool panelVisible = false;        // tpcOptionen; panZuordHint is shown exactly while it is hidden
    bool btnOptionenEnabled = true;   // "&Optionen" / "Optionen &schließen"
    OptionsPage page = OptionsPage::None;
    std::string label;                // "Optionen für Zielfeld \"NAME\"" on the active page
    // Switches, check boxes, edits, memos and labels of the active page, by object name.
    std::map<std::string, OptionControl> controls;
    // Bound edits and memos of the active page: their rule column as text.
    std::map<std::string, std::string> texts;
    int defaultMaxLength = 0;         // edtSS_Vorgabe_Wert / edtZS_Vorgabe_Wert; 0 for no limit

    const char* optionsCaption() const { return panelVisible ? "Optionen &schließen" : "&Optionen"; }
};

// The tables the options read: ZStrukt's current row is the selected rule; the source and target
// tables give the source field's type and the data sizes.
struct RuleTables {
    Table& zStrukt;
    Table& qStrukt;
    Table& source;
    Table& target;
};

class RuleOptions {
public:
    RuleOptions(RuleTables tables, Prompter& prompter, const FormatSettings& formats);

    const RuleOptionsView& view() const { return view_; }

    // Chooses the page for the selected rule and sets every switch from it. Columns that the
    // switches so set do not allow (a rounding without formula, conditions without a default)
    // are cleared.
    void ShowRuleOptions();
    // "&Optionen": shows or hides the panel (showing refreshes it).
    void btnOptionenClick();
    void showPanel();
    // Hides the panel; with `disableButton` "&Optionen" is disabled too (a refused assignment).
    void hidePanel(bool disableButton = false);

    // A click on a switch or check box of the active page (its state after the click).
    void click(const std::string& control, bool checked);
    // The text of a bound edit or memo changed; a number that cannot be read is reported and the
    // column keeps its value.
    void edit(const std::string& control, const std::string& text);
    // Leaving one of the cut-out position edits.
    void leave(const std::string& control);
    // The formula column the page's memo edits ("Formel_alph" or "Formel_num"), for the editor.
    std::string formulaText(bool textFormula);
    void setFormulaText(bool textFormula, const std::string& text);
    // The selected rule's field as the formula preview needs it.
    FormulaTarget formulaTarget();

private:
    struct Facts;  // what the page depends on, read from the tables
    Facts facts();
    MappingRule rule();
    void store(const MappingRule& r);
    void normalize(MappingRule& r, const Facts& f);
    void setSwitchesFromRule(const MappingRule& r, const Facts& f);
    void onSwitch(const std::string& name, bool on, MappingRule& r);
    void onCheckBox(const std::string& name, bool on, MappingRule& r);
    void deriveView(const MappingRule& r, const Facts& f);
    bool stale(const Facts& f);

    RuleTables t_;
    Prompter& prompter_;
    const FormatSettings& formats_;
    RuleOptionsView view_;
    std::map<std::string, bool> switches_;  // the unbound switches of the active page
};

}  // namespace kimport
