// Page 2: the source's name (typed, browsed or one of the two presets) and its
// checks; a table source is opened here, a text source goes on to the text pages
// after the target.
#pragma once

#include "wizard/PageController.h"

namespace kimport {

class SourcePageController : public PageController {
public:
    using PageController::PageController;

    void comQuelleSelect(const std::string& item);
    void btnQBrowseClick();
    void btnZurueck2Click();
    void btnWeiter2Click();
    // The checks of the source's name; false after their message.
    bool checkSource();
};

}  // namespace kimport
