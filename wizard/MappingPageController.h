// Page 4: assigning source fields to target fields by hand, the options of the
// selected target field's rule, and the check before the mode page (some field
// assigned, the key situation that decides the mode page's choices).
#pragma once

#include "mapping/RuleOptions.h"
#include "wizard/PageController.h"

namespace kimport {

class MappingPageController : public PageController {
public:
    MappingPageController(WizardContext& context, ImportWizard& wizard);

    void btnZuordnenClick();
    void btnAufhebenClick();
    void btnAlleAufhebenClick();
    void btnOptionenClick();
    // The mapping grid's cursor moved while the grid had the focus.
    void mappingRowChanged();
    void ruleOptionClick(const std::string& control, bool checked);
    void ruleOptionEdit(const std::string& control, const std::string& text);
    void ruleOptionLeave(const std::string& control);
    RuleOptions& ruleOptions() { return ruleOptions_; }
    void btnZurueck4Click();
    void btnWeiter4Click();

    // Whether the saved mapping still fits the source and target (after its message when not).
    bool checkStoredMapping(bool textVariant);
    // A new structure: the rules saved aside carried onto it, or a new mapping by equal names.
    void carryOverRules();
    void autoMap();

private:
    bool preRunCheck();
    RuleOptions ruleOptions_;
};

}  // namespace kimport
