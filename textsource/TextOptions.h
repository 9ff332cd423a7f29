// The text value options ("Allgemeine Einstellungen"): the DOS conversion of
// text sources and the separators and date order every conversion of text to
// numbers, dates and times uses.
#pragma once

#include "common/FormatSettings.h"

#include <string>
#include <vector>

namespace kimport {

struct TextOptionsForm {
    bool cbxDosToWin = false;
    std::string edtDecimal, edtTausend, edtTime, edtDate;  // one character each, or empty
    std::string comTMJ;                                      // "TT/MM/JJJJ" ...
};

// The six orders as comTMJ shows them, in list order.
const std::vector<std::string>& tmjItems();
// "TT/MM/JJJJ" -> "DD/MM/YYYY"; any other text gives "DD/MM/YYYY".
std::string shortDateOfTmj(const std::string& shown);
// "DD/MM/YYYY" -> "TT/MM/JJJJ"; a format that is none of the six gives "" .
std::string tmjOfShortDate(const std::string& shortDate);

// What the window shows when it opens: the current settings (an unknown date order becomes
// "DD/MM/YYYY" in the settings and "TT/MM/JJJJ" in the window).
TextOptionsForm optionsOnShow(FormatSettings& current, bool dos);
// Closing: each separator edit that is not empty sets its separator; the date order from comTMJ.
void applyOptionsOnClose(const TextOptionsForm& form, FormatSettings& current);

constexpr int kOptionsHelpContext = 10;

}  // namespace kimport
