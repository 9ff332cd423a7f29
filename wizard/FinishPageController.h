// Page 6: the name and remark the setting is saved under, then the run
// ("&Fertigstellen"), and what follows it: the day of the last import, the
// content viewer, or back to the page whose choice the run could not use.
#pragma once

#include "wizard/PageController.h"

namespace kimport {

class FinishPageController : public PageController {
public:
    using PageController::PageController;

    void btnZurueck6Click();
    void btnFertigstellenClick();
    // The remark editor in place of "&Bemerkung".
    void btnBemerkungClick();
    void btnBemerkSpeichernClick();
    void btnBemerkVerwerfenClick();

private:
    // The setting saved first (an unchanged run is not). False keeps page 6.
    bool saveSetting();
    void startRun();
    void recordRunDay();
};

}  // namespace kimport
