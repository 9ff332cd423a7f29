#include "common/Numbers.h"

#include <gtest/gtest.h>

using namespace kimport;

namespace {
const FormatSettings kGerman = FormatSettings::german();
const FormatSettings kEnglish = FormatSettings::make('.', ',', ':', '/', "MM/DD/YYYY");
}  // namespace

TEST(DigitStrings, RecogniseOnlyNonEmptyRunsOfDigits) {
    EXPECT_FALSE(IsDigitString(""));
    EXPECT_TRUE(IsDigitString("007"));
    EXPECT_FALSE(IsDigitString(" 7"));
    EXPECT_FALSE(IsDigitString("1,5"));
    EXPECT_FALSE(IsDigitString("-1"));
}

TEST(PadAndCut, CountCharactersNotBytes) {
    EXPECT_EQ(PadLeft("42", 5), "   42");
    EXPECT_EQ(PadLeft("123456", 5), "123456");
    EXPECT_EQ(PadLeft("äö", 3), " äö");
    EXPECT_EQ(CutLeft("ABCDEFGH", 5), "DEFGH");
    EXPECT_EQ(CutLeft("ABC", 5), "ABC");
    EXPECT_EQ(CutLeft("Größenänderung", 4), "rung");
    EXPECT_EQ(CutLeft("xxÄÖÜ", 3), "ÄÖÜ");
}

TEST(RoundDecimals, RoundsFromEighteenSignificantDigitsHalfAwayFromZero) {
    EXPECT_DOUBLE_EQ(RoundDecimals(2, 2.675, kGerman), 2.67);  // held slightly below 2.675
    EXPECT_DOUBLE_EQ(RoundDecimals(2, 0.125, kGerman), 0.13);
    EXPECT_DOUBLE_EQ(RoundDecimals(0, -2.5, kGerman), -3);
    EXPECT_DOUBLE_EQ(RoundDecimals(0, 2.5, kGerman), 3);
    EXPECT_DOUBLE_EQ(RoundDecimals(1, 9.96, kGerman), 10.0);
    EXPECT_DOUBLE_EQ(RoundDecimals(3, 0.0004, kGerman), 0.0);
    EXPECT_DOUBLE_EQ(RoundDecimals(3, 0.0005, kGerman), 0.001);
    EXPECT_DOUBLE_EQ(RoundDecimals(2, 1234567.891, kGerman), 1234567.89);
    EXPECT_DOUBLE_EQ(RoundDecimals(19, 3.14159, kGerman), 3.14);  // more than 18 decimals: 2
    EXPECT_DOUBLE_EQ(RoundDecimals(2, 2.675, kEnglish), 2.67);    // either decimal separator
    EXPECT_DOUBLE_EQ(RoundDecimals(2, 1e20, kGerman), 1e20);
}

TEST(TextToNumber, AcceptsPointAndCommaButNoThousandsSeparators) {
    EXPECT_DOUBLE_EQ(TextToNumber("1,5", kGerman), 1.5);
    EXPECT_DOUBLE_EQ(TextToNumber("1.5", kGerman), 1.5);
    EXPECT_DOUBLE_EQ(TextToNumber("1,5", kEnglish), 1.5);
    EXPECT_DOUBLE_EQ(TextToNumber(" -2,25 ", kGerman), -2.25);
    EXPECT_DOUBLE_EQ(TextToNumber("1,5E3", kGerman), 1500);
    EXPECT_THROW(TextToNumber("1.234,5", kGerman), ConversionError);
    EXPECT_THROW(TextToNumber("abc", kGerman), ConversionError);
    EXPECT_THROW(TextToNumber("", kGerman), ConversionError);
    EXPECT_THROW(TextToNumber("1,5x", kGerman), ConversionError);
    try {
        TextToNumber("abc", kGerman);
    } catch (const ConversionError& e) {
        EXPECT_STREQ(e.what(), "'abc' ist keine Zahl");
    }
}

TEST(Counts, FormatAndParseWithTheThousandsSeparator) {
    EXPECT_EQ(FormatCount(1234567, kGerman), "1.234.567");
    EXPECT_EQ(FormatCount(999, kGerman), "999");
    EXPECT_EQ(FormatCount(1000, kGerman), "1.000");
    EXPECT_EQ(FormatCount(0, kGerman), "0");
    EXPECT_EQ(FormatCount(1234567, kEnglish), "1,234,567");
    EXPECT_EQ(ParseCount("1.000", kGerman), 1000);
    EXPECT_EQ(ParseCount("1.234.567", kGerman), 1234567);
    EXPECT_EQ(ParseCount(FormatCount(987654321, kGerman), kGerman), 987654321);
    EXPECT_THROW(ParseCount("12a", kGerman), ConversionError);
    EXPECT_THROW(ParseCount("", kGerman), ConversionError);
}

TEST(ShortestDecimal, NeverWritesAnExponent) {
    EXPECT_EQ(shortestDecimal(12.5), "12.5");
    EXPECT_EQ(shortestDecimal(0.1), "0.1");
    EXPECT_EQ(shortestDecimal(-3), "-3");
    EXPECT_EQ(shortestDecimal(17000000000.0), "17000000000");
    EXPECT_EQ(shortestDecimal(0.0), "0");
    EXPECT_EQ(shortestDecimal(1.5e-7), "0.00000015");
}

TEST(MaxMin, PickTheLargerAndTheSmaller) {
    EXPECT_EQ(Max(3, -4), 3);
    EXPECT_EQ(Min(3, -4), -4);
}
