// Splitting text lines and the detections that preset a layout: the rules and
// edge cases of delimited and fixed layouts, and the mends for doubled quotes.
#include "textsource/TextSplit.h"

#include <gtest/gtest.h>

using namespace kimport;

namespace {

using Values = std::vector<std::string>;

TextLayout semicolons(int quote = 0) {
    TextLayout l;
    l.kind = LayoutKind::Variable;
    l.semicolon = true;
    l.quoteIndex = quote;
    return l;
}

}  // namespace

TEST(SplitDelimitedLine, SeparatorsGiveEmptyValuesWhereNothingStandsBetween) {
    TextLayout l = semicolons();
    EXPECT_EQ(SplitDelimitedLine("a;b;", l), (Values{"a", "b", ""}));
    EXPECT_EQ(SplitDelimitedLine("a;;b", l), (Values{"a", "", "b"}));
    EXPECT_EQ(SplitDelimitedLine(" a ; b", l), (Values{" a ", " b"}));  // blanks stay
    l.comma = true;
    EXPECT_EQ(SplitDelimitedLine("1;2,3", l), (Values{"1", "2", "3"}));  // several separators alike
    // An "other" separator only counts while its switch is on.
    l.otherChar = "|";
    EXPECT_EQ(SplitDelimitedLine("a|b", l), (Values{"a|b"}));
    l.other = true;
    EXPECT_EQ(SplitDelimitedLine("a|b", l), (Values{"a", "b"}));
}

TEST(SplitDelimitedLine, QuotedSectionsAndTheCharacterAfterTheClosingQuote) {
    TextLayout l = semicolons(2);  // the apostrophe
    EXPECT_EQ(SplitDelimitedLine("'x;y';z", l), (Values{"x;y", "z"}));
    EXPECT_EQ(SplitDelimitedLine("'ab'cd;e", l), (Values{"abcd", "e"}));
    // A quote opens a section only where a value starts (after blanks at most); inside a value it is a
    // character, as every spreadsheet reads it.
    EXPECT_EQ(SplitDelimitedLine("x'y;z';w", l), (Values{"x'y", "z'", "w"}));
    EXPECT_EQ(SplitDelimitedLine("  'a;b' ;c", l), (Values{"a;b ", "c"}));
    EXPECT_EQ(SplitDelimitedLine("'ab'c'd;e", l), (Values{"abc'd", "e"}));
    // A doubled quote inside a quoted section stands for one, and the section goes on.
    TextLayout d = semicolons(1);
    EXPECT_EQ(SplitDelimitedLine("\"ha \"\"ha\"\" ha\";2", d), (Values{"ha \"ha\" ha", "2"}));
    EXPECT_EQ(SplitDelimitedLine("\"\";x", d), (Values{"", "x"}));
    EXPECT_EQ(SplitDelimitedLine("1;Monitor 24\";199,00", d), (Values{"1", "Monitor 24\"", "199,00"}));
    // A quote no other closes is a character, and the rest of the line splits as usual.
    bool open = false;
    EXPECT_EQ(SplitDelimitedLine("\"offen;x", d, &open), (Values{"\"offen", "x"}));
    EXPECT_TRUE(open);
    EXPECT_EQ(SplitDelimitedLine("a;\"b\";\"c;d", d, &open), (Values{"a", "b", "\"c", "d"}));
    EXPECT_TRUE(open);
    EXPECT_FALSE(quoteOpenAtEnd("1;Monitor 24\";199,00", d));
    EXPECT_TRUE(quoteOpenAtEnd("1; \"Monitor", d));
}

TEST(SplitDelimitedLine, AnyOneCharacterSeparates) {
    TextLayout l = semicolons(1);
    l.semicolon = false;
    l.other = true;
    for (const char* sep : {"§", "¦", "ä", "€", "|"}) {
        l.otherChar = sep;
        const std::string s = sep;
        EXPECT_EQ(SplitDelimitedLine("a" + s + "\"b" + s + "c\"" + s + "Zoë", l), (Values{"a", "b" + s + "c", "Zoë"})) << sep;
        EXPECT_EQ(SplitDelimitedLine("a" + s + s + "b", l), (Values{"a", "", "b"})) << sep;
    }
    // Two characters are no separator.
    l.otherChar = "ab";
    EXPECT_FALSE(l.anySeparator());
    EXPECT_EQ(SplitDelimitedLine("xaby", l), (Values{"xaby"}));
}

TEST(Detection, QuoteAndSeparatorsFromTheFirstLine) {
    TextLayout l;
    DetectQuoteCharacter("a;'b';\"c", l);
    EXPECT_EQ(l.quoteIndex, 2);
    TextLayout n;
    DetectQuoteCharacter("a;'b;\"c", n);
    EXPECT_EQ(n.quoteIndex, -1);
    TextLayout s;
    DetectSeparators("1;2,3,4", s);
    EXPECT_TRUE(s.comma);
    EXPECT_FALSE(s.semicolon);
    TextLayout none;
    none.semicolon = true;
    none.comma = true;
    DetectSeparators("abc", none);
    EXPECT_FALSE(none.comma);
    EXPECT_TRUE(none.semicolon);
}

TEST(SplitFixedLine, CutsAtSortedBreaksAndTrimsEveryPiece) {
    EXPECT_EQ(SplitFixedLine("abcdefg", {3, 5}), (Values{"abc", "de", "fg"}));
    EXPECT_EQ(SplitFixedLine("ab", {3, 5}), (Values{"ab", "", ""}));
    EXPECT_EQ(SplitFixedLine(" a  b c ", {3, 5}), (Values{"a", "b", "c"}));
    EXPECT_EQ(SplitFixedLine("ÄÖÜäöü", {2}), (Values{"ÄÖ", "Üäöü"}));  // characters, never bytes
    TextLayout l;
    l.kind = LayoutKind::Fixed;
    l.breaks[0] = 5;
    l.breaks[1] = -1;
    l.breaks[2] = 3;
    EXPECT_EQ(l.sortedBreaks(), (std::vector<int>{3, 5}));
    EXPECT_EQ(splitLine("abcdefg", l), (Values{"abc", "de", "fg"}));
    TextLayout whole;
    whole.kind = LayoutKind::Fixed;
    EXPECT_EQ(splitLine(" a b ", whole), (Values{" a b "}));  // no break: the whole line, not trimmed
}
