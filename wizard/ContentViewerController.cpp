#include "tablestore/TableFiles.h"
#include "wizard/ContentViewerController.h"

#include "common/FileSets.h"
#include "wizard/ImportWizard.h"

namespace kimport {

void ContentViewerController::btnInhaltAnzClick(int page) {
    if (state_.contentViewerOpenedFrom != 0) {
        // Page 4's button is ignored while the viewer is open; the others are disabled then.
        if (page == 4) return;
    }
    ContentViewerRequest& r = state_.viewerRequest;
    r = ContentViewerRequest{};
    r.targetEmptied = state_.cbxZielLeeren.checked;
    if (page == 2) {
        if (!wizard_.sourcePage().checkSource()) {
            state_.focusControl = "edtQuelle";
            return;
        }
        r.kind = isTablePath(state_.edtQuelle) ? ContentViewerRequest::Kind::SourceTable
                                                  : ContentViewerRequest::Kind::SourceText;
        r.source = findIgnoringCase(state_.edtQuelle, env_.fs);
        r.dosConversion = state_.textLayout.dos;
    } else if (page == 3 || page == 5) {
        if (!wizard_.targetPage().checkTarget()) {
            state_.focusControl = "edtZiel";
            return;
        }
        r.kind = ContentViewerRequest::Kind::TargetTable;
        r.target = findIgnoringCase(state_.edtZiel, env_.fs);
    } else {
        showBothTables(false);
    }
    state_.contentViewerOpenedFrom = page;
}

// Source and target as the run sees them: a text source through its staging table.
void ContentViewerController::showBothTables(bool afterRun) {
    ContentViewerRequest& r = state_.viewerRequest;
    r = ContentViewerRequest{};
    r.kind = ContentViewerRequest::Kind::BothTables;
    r.source = !c_.tblQuelle.TableName.empty() ? c_.tblQuelle.path() : findIgnoringCase(state_.edtQuelle, env_.fs);
    r.target = !c_.tblZiel.TableName.empty() ? c_.tblZiel.path() : findIgnoringCase(state_.edtZiel, env_.fs);
    r.targetEmptied = state_.cbxZielLeeren.checked;
    r.afterRun = afterRun;
    state_.contentViewerOpenedFrom = afterRun ? 6 : 4;
}

void ContentViewerController::contentViewerClosed() {
    state_.contentViewerOpenedFrom = 0;
    // After the run the viewer is the last thing the user looks at: closing it ends the program.
    if (state_.page == WizardPage::Seite6) state_.closeRequested = true;
}

bool ContentViewerController::buttonEnabled(int page) const {
    return state_.contentViewerOpenedFrom != page;
}

}  // namespace kimport
