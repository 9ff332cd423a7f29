// The wizard: its start (control tables, registry values, command line), its
// end, and one controller per page sharing the context. The main window shows
// the context's state and forwards each control's event to its page's
// controller.
#pragma once

#include "wizard/ContentViewerController.h"
#include "wizard/FinishPageController.h"
#include "wizard/MappingPageController.h"
#include "wizard/ModePageController.h"
#include "wizard/SettingsPageController.h"
#include "wizard/SourcePageController.h"
#include "wizard/TargetPageController.h"
#include "wizard/TextLayoutController.h"
#include "wizard/WizardContext.h"

#include <string>
#include <vector>

namespace kimport {

// Registry keys of the main window.
constexpr const char* kRegistryGroup = "1.0/ImportMain/";

class ImportWizard {
public:
    explicit ImportWizard(WizardEnvironment env);
    ~ImportWizard();
    ImportWizard(const ImportWizard&) = delete;
    ImportWizard& operator=(const ImportWizard&) = delete;

    WizardContext& context() { return context_; }
    WizardState& state() { return context_.state; }
    const WizardEnvironment& environment() const { return context_.env; }

    // Start-up: table names, alias, registry values, command line, ImpList.
    void start(const std::vector<std::string>& parameters);
    // Program end: working tables emptied, registry written, Temp emptied, tables closed.
    void finish();
    // False when another instance has the control tables: this one then ends without touching them.
    bool ownsControlTables() const { return ownsControlTables_; }
    // "&Abbrechen" on any page
    void btnAbbrechenClick();

    SettingsPageController& settingsPage() { return settingsPage_; }
    SourcePageController& sourcePage() { return sourcePage_; }
    TargetPageController& targetPage() { return targetPage_; }
    TextLayoutController& textPages() { return textPages_; }
    MappingPageController& mappingPage() { return mappingPage_; }
    ModePageController& modePage() { return modePage_; }
    FinishPageController& finishPage() { return finishPage_; }
    ContentViewerController& contentViewer() { return contentViewer_; }

private:
    bool takeControlTables();
    std::string regKey(const std::string& name) const { return std::string(kRegistryGroup) + name; }

    WizardContext context_;
    bool ownsControlTables_ = false;
    SettingsPageController settingsPage_;
    SourcePageController sourcePage_;
    TargetPageController targetPage_;
    TextLayoutController textPages_;
    MappingPageController mappingPage_;
    ModePageController modePage_;
    FinishPageController finishPage_;
    ContentViewerController contentViewer_;
};

}  // namespace kimport
