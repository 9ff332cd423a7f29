// Page 3: the target's name and its checks, the backup copy, and leaving the
// page: the target opened and checked for writing, the structures read again
// where source or target changed, the mapping made or carried over.
#pragma once

#include "wizard/PageController.h"

namespace kimport {

class TargetPageController : public PageController {
public:
    using PageController::PageController;

    void comZielSelect(const std::string& item);
    void btnZBrowseClick();
    void btnSicherungskopieClick();
    void btnZurueck3Click();
    void btnWeiter3Click();
    // The checks of the target's name; false after their message.
    bool checkTarget();
    // The save dialog for a copy of the target's files, then the copy.
    void makeBackupCopy();

private:
    bool readSourceStructure();
    bool readTargetStructure();
    bool layoutChanged();
    void rememberLayout();
};

}  // namespace kimport
