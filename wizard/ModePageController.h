// Page 5: the import mode, its sub-options and the start value, checked on
// leaving the page.
#pragma once

#include "wizard/PageController.h"

namespace kimport {

class ModePageController : public PageController {
public:
    using PageController::PageController;

    void rbtEndeAnhaengenClick();
    void rbtAktualisierenClick();
    void rbtIgnorierenClick();
    void rbtUmbenennenClick();
    void rbtSelfIncClick();
    void edtStartwertEnter();
    void btnZurueck5Click();
    void btnWeiter5Click();

private:
    bool modeChecks();
};

}  // namespace kimport
