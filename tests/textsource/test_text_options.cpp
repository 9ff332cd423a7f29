// The text value options: what the window shows and what closing it sets.
#include "textsource/TextOptions.h"

#include <gtest/gtest.h>

using namespace kimport;

TEST(TextOptions, ShowTheCurrentSettingsAndSetThemOnClose) {
    FormatSettings current = FormatSettings::german();
    TextOptionsForm f = optionsOnShow(current, false);
    EXPECT_EQ(f.edtDecimal, ",");
    EXPECT_EQ(f.comTMJ, "TT/MM/JJJJ");
    // "JJJJ/MM/TT" with "-" makes 1998-12-24 a date.
    f.comTMJ = "JJJJ/MM/TT";
    f.edtDate = "-";
    f.edtDecimal.clear();  // an empty edit keeps its separator
    applyOptionsOnClose(f, current);
    EXPECT_EQ(current.shortDateFormat, "YYYY/MM/DD");
    EXPECT_EQ(current.dateSeparator, '-');
    EXPECT_EQ(current.decimalSeparator, ',');
    // Any other text in the date order gives "DD/MM/YYYY".
    f.comTMJ = "irgendwas";
    applyOptionsOnClose(f, current);
    EXPECT_EQ(current.shortDateFormat, "DD/MM/YYYY");
    // An order that is none of the six is shown as "TT/MM/JJJJ" and set so.
    current.shortDateFormat = "YYYY.DD";
    EXPECT_EQ(optionsOnShow(current, true).comTMJ, "TT/MM/JJJJ");
    EXPECT_EQ(current.shortDateFormat, "DD/MM/YYYY");
    EXPECT_EQ(tmjOfShortDate("YYYY/DD/MM"), "JJJJ/TT/MM");
    EXPECT_EQ(tmjItems().size(), 6u);
}
