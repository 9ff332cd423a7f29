#include "common/FormatSettings.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace kimport;

TEST(FormatSettings, GermanIsTheDefault) {
    FormatSettings fs = FormatSettings::german();
    EXPECT_EQ(fs.decimalSeparator, ',');
    EXPECT_EQ(fs.thousandSeparator, '.');
    EXPECT_EQ(fs.timeSeparator, ':');
    EXPECT_EQ(fs.dateSeparator, '.');
    EXPECT_EQ(fs.shortDateFormat, "DD/MM/YYYY");
}

TEST(FormatSettings, ShortDateFormatFromTheLocalesDateForm) {
    std::string shortDate;
    char sep = 0;
    shortDateFromStrftime("%d.%m.%Y", shortDate, sep);
    EXPECT_EQ(shortDate, "DD/MM/YYYY");
    EXPECT_EQ(sep, '.');
    shortDateFromStrftime("%m/%d/%Y", shortDate, sep);
    EXPECT_EQ(shortDate, "MM/DD/YYYY");
    EXPECT_EQ(sep, '/');
    shortDateFromStrftime("%Y-%m-%d", shortDate, sep);
    EXPECT_EQ(shortDate, "YYYY/MM/DD");
    EXPECT_EQ(sep, '-');
}

TEST(FormatSettings, WithoutANamedLocaleTheGermanSettingsApply) {
    const char* saved = std::getenv("LC_ALL");
    std::string keep = saved ? saved : "";
    setenv("LC_ALL", "C", 1);
    EXPECT_EQ(FormatSettings::regional(), FormatSettings::german());
    setenv("LC_ALL", "C.UTF-8", 1);
    EXPECT_EQ(FormatSettings::regional(), FormatSettings::german());
    if (saved) setenv("LC_ALL", keep.c_str(), 1); else unsetenv("LC_ALL");
}
