#include "common/CodePage.h"
#include "common/Text.h"

#include <gtest/gtest.h>

using namespace kimport;

TEST(CodePages, DecodeTheDosAndWindowsPages) {
    EXPECT_EQ(decodeCodePage("\x81\xE1\x94", 850), "üßö");
    EXPECT_EQ(decodeCodePage("\x81\xE1\x94", 437), "üßö");
    EXPECT_EQ(decodeCodePage("\xFC\xDF\x80", 1252), "üß€");
    EXPECT_EQ(decodeCodePage("\xFC\xDF\x80", 28591), "üß\xC2\x80");
    EXPECT_EQ(decodeCodePage("\xB5", 850), "Á");
    EXPECT_EQ(decodeCodePage("\xB5", 437), "╡");
}

TEST(CodePages, EncodeRoundTripsAndCountsWhatCannotBeHeld) {
    for (int cp : {437, 850, 852, 865, 866, 1250, 1251, 1252, 28591}) {
        std::string all;
        for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
        EXPECT_EQ(encodeCodePage(decodeCodePage(all, cp), cp), all) << cp;
    }
    std::size_t lost = 0;
    EXPECT_EQ(encodeCodePage("Preis: 5 € – ok", 850, &lost), "Preis: 5 ? ? ok");
    EXPECT_EQ(lost, 2u);
    lost = 0;
    EXPECT_EQ(encodeCodePage("Grüße", 1252, &lost), "Gr\xFC\xDF" "e");
    EXPECT_EQ(lost, 0u);
}

TEST(DosToWindowsText, RereadsTheWindowsTextAsDos850Bytes) {
    // A DOS file read as Windows-1252 gives these characters for the bytes 0x81, 0xE1, 0x84.
    std::string readAsWindows = decodeCodePage("M\x81nchen Stra\xE1" "e \x84", 1252);
    EXPECT_EQ(DosToWindowsText(readAsWindows), "München Straße ä");
    EXPECT_EQ(charCount(DosToWindowsText(readAsWindows)), charCount(readAsWindows));
    EXPECT_EQ(DosToWindowsText(""), "");
    EXPECT_EQ(DosToWindowsText("plain ASCII"), "plain ASCII");
}

TEST(Utf8, CharacterFunctionsAndCaseFolding) {
    EXPECT_EQ(charCount("größe"), 5u);
    EXPECT_EQ(firstChars("größe", 3), "grö");
    EXPECT_EQ(charSlice("größe", 2, 2), "öß");
    EXPECT_EQ(asciiUpper("größe"), "GRößE");
    EXPECT_EQ(foldedUpper("zstrukt.db"), "ZSTRUKT.DB");
    EXPECT_TRUE(equalsIgnoreCase("Müller.DB", "MÜLLER.db"));
    EXPECT_TRUE(isValidUtf8("Grüße"));
    EXPECT_FALSE(isValidUtf8("Gr\xFC\xDF" "e"));
    EXPECT_EQ(formatMessage("%s: Feld '%s' nicht gefunden", {"KUNDEN.DB", "Name"}),
              "KUNDEN.DB: Feld 'Name' nicht gefunden");
}

TEST(CodePages, OtherPagesGoThroughIconvAndUnknownOnesAreRefusedByNumber) {
    // Greek 1253, Baltic 1257, Mac Roman, DOS Greek 737: none is read as Windows-1252.
    EXPECT_EQ(decodeCodePage("\xC1\xE8\xDE\xED\xE1", 1253), "Αθήνα");
    EXPECT_EQ(encodeCodePage("Αθήνα", 1253), "\xC1\xE8\xDE\xED\xE1");
    EXPECT_EQ(decodeCodePage("\x8A", 10000), "ä");
    EXPECT_EQ(decodeCodePage("\x80", 737), "Α");
    EXPECT_EQ(decodeCodePage("\xE0", 1257), "ą");
    // Japanese: two bytes a character; a cut never splits one.
    std::string out;
    EXPECT_TRUE(encodeCodePageExactly("東京", 932, out));
    EXPECT_EQ(out.size(), 4u);
    EXPECT_EQ(decodeCodePage(out, 932), "東京");
    EXPECT_TRUE(encodeCodePageExactly("東京", 932, out, nullptr, 3));
    EXPECT_EQ(decodeCodePage(out, 932), "東");
    char32_t bad = 0;
    EXPECT_FALSE(encodeCodePageExactly("Grüße", 1253, out, &bad));
    EXPECT_EQ(bad, U'ü');
    // Kamenický (895) is a code page no converter knows: refused, never guessed.
    EXPECT_FALSE(isSupportedCodePage(895));
    try {
        decodeCodePage("\x80", 895);
        FAIL() << "decoded";
    } catch (const CodePageError& e) {
        EXPECT_NE(std::string(e.what()).find("895"), std::string::npos);
    }
    EXPECT_TRUE(isSupportedCodePage(950));
}
