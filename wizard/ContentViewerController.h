// The content viewer's requests: "Inhalt ansehen" on pages 2, 3 and 5 and
// "Zieldatenbank anzeigen" on page 4 ask for the source, the target or both;
// after the run both are shown when the last page asked for it.
#pragma once

#include "wizard/PageController.h"

namespace kimport {

class ContentViewerController : public PageController {
public:
    using PageController::PageController;

    // "Inhalt ansehen" / "Inhalte ansehen" / "Zieldatenbank anzeigen" on page 2, 3, 4 or 5.
    void btnInhaltAnzClick(int page);
    // Source and target as the run sees them: a text source through its staging table.
    void showBothTables(bool afterRun);
    void contentViewerClosed();
    // A page's viewer button is off while the viewer it opened is shown.
    bool buttonEnabled(int page) const;
};

}  // namespace kimport
