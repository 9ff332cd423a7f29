#include "tablestore/TableFiles.h"
#include "wizard/SourcePageController.h"

#include "common/FileSets.h"
#include "common/Text.h"
#include "common/UserMessage.h"
#include "wizard/BrowseDialogs.h"
#include "wizard/ImportWizard.h"
#include "wizard/PresetTables.h"

namespace kimport {

void SourcePageController::comQuelleSelect(const std::string& item) {
    if (std::optional<std::string> path = presetTablePath(env_.bkdbAlias, item)) state_.edtQuelle = *path;
}

void SourcePageController::btnQBrowseClick() {
    state_.viewerRequest.kind = ContentViewerRequest::Kind::Close;
    browseForFile(c_, true);
}

bool SourcePageController::checkSource() {
    return c_.checkName(true);
}

void SourcePageController::btnZurueck2Click() {
    c_.leavePage();
    c_.tblQuelle.CloseTable();
    c_.tblQuelle.DatabaseName.clear();
    c_.tblQuelle.TableName.clear();
    c_.goTo(WizardPage::Seite1);
}

void SourcePageController::btnWeiter2Click() {
    c_.leavePage();
    if (!checkSource()) {
        state_.focusControl = "edtQuelle";
        return;
    }
    Table& source = c_.tblQuelle;
    if (isTablePath(state_.edtQuelle)) {
        source.CloseTable();
        source.setPath(state_.edtQuelle);
        try {
            source.OpenTable();
        } catch (const TableError& e) {
            env_.prompter.error(userMessage(e));
            state_.focusControl = "edtQuelle";
            return;
        }
        if (source.RecordCount() == 0) {
            env_.prompter.message(MsgKind::Information, Buttons::Ok,
                                  "Die von Ihnen gewählte Quelldatenbank ist leer.\r\n\r\nBitte wählen Sie eine "
                                  "andere Quelldatenbank.");
            source.CloseTable();
            return;
        }
    }
    if (state_.rbtNeueImport.checked) {
        c_.goTo(WizardPage::Seite3);
    } else if (state_.rbtVorhEinst_mAE.checked) {
        if (state_.cbxZielAusw)
            c_.goTo(WizardPage::Seite3);
        else
            wizard_.targetPage().btnWeiter3Click();
    }
}

}  // namespace kimport
