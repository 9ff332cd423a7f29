// Numbers of dBase N and F fields as text: the quick reading of the usual field must give exactly the
// double the general reading gives, and fields it does not take must still be read the lenient way.
#include "tablestore/dbase/DbfNumbers.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cstring>
#include <random>
#include <string>

using namespace kimport::dbase;

namespace {

double generalReading(const std::string& text) {
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

}  // namespace

TEST(DbfNumbers, PlainFieldsReadAsTheNearestDouble) {
    std::mt19937_64 random(5);
    for (int i = 0; i < 200000; ++i) {
        // Up to 15 digits, the point anywhere among them, sometimes a minus.
        const int digits = static_cast<int>(random() % 15) + 1;
        std::string text = random() % 4 == 0 ? "-" : "";
        const int point = static_cast<int>(random() % static_cast<unsigned>(digits + 1));
        for (int d = 0; d < digits; ++d) {
            if (d == point && d > 0) text += '.';
            text += static_cast<char>('0' + random() % 10);
        }
        const std::optional<double> read = parseFieldNumber("   " + text);
        ASSERT_TRUE(read) << text;
        const double expected = generalReading(text);
        ASSERT_EQ(std::memcmp(&*read, &expected, sizeof expected), 0) << text;  // bit for bit, -0 included
    }
}

TEST(DbfNumbers, OtherFieldsAreReadLeniently) {
    EXPECT_EQ(parseFieldNumber("  2.675"), 2.675);
    EXPECT_EQ(parseFieldNumber("     5."), 5.0);
    EXPECT_EQ(parseFieldNumber("    .5"), 0.5);
    EXPECT_EQ(parseFieldNumber("   -.5"), -0.5);
    EXPECT_EQ(parseFieldNumber("1234567890123456"), 1234567890123456.0);  // 16 digits
    EXPECT_EQ(parseFieldNumber("  1,5"), 1.5);
    EXPECT_EQ(parseFieldNumber(" +7"), 7.0);
    EXPECT_EQ(parseFieldNumber("-  5"), -5.0);
    EXPECT_EQ(parseFieldNumber("1e3"), 1000.0);
    EXPECT_FALSE(parseFieldNumber("   "));
    EXPECT_FALSE(parseFieldNumber("  -"));
    EXPECT_FALSE(parseFieldNumber("  ."));
    EXPECT_FALSE(parseFieldNumber("****"));
    EXPECT_FALSE(parseFieldNumber("1.2.3"));
    EXPECT_FALSE(parseFieldNumber("12 3"));
}
