// The base of the wizard's page controllers: each works on the shared context
// and reaches the other pages through the wizard (loading a setting walks
// through the source and target pages, for instance).
#pragma once

#include "wizard/WizardContext.h"

namespace kimport {

class ImportWizard;

class PageController {
public:
    PageController(WizardContext& context, ImportWizard& wizard)
        : c_(context), state_(context.state), env_(context.env), wizard_(wizard) {}

protected:
    WizardContext& c_;
    WizardState& state_;
    WizardEnvironment& env_;
    ImportWizard& wizard_;
};

}  // namespace kimport
