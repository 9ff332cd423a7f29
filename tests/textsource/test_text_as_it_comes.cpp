// Text files as real exports write them: quotes inside values, quotes never closed, UTF-8 found
// late, UTF-16, the character 0, separators beyond ASCII. Nothing is lost or changed silently: the
// preview, the staging table and `kimport run` read the same records, and what cannot be taken is
// an error of its line.
#include "importrun/GaugeModel.h"
#include "settings/ControlTables.h"
#include "support/TestSupport.h"
#include "tablestore/TableTestSupport.h"
#include "textsource/StagingTable.h"
#include "textsource/TextFile.h"
#include "textsource/TextTestSupport.h"

#include <gtest/gtest.h>

using namespace kimport;
using namespace kimport::test;
using namespace std::string_literals;

namespace {

struct Staged {
    TextPreview preview;
    StagingResult result;
    Rows rows;
};

Staged stageFile(const std::string& path, const TextLayout& layout, TempDir& dir) {
    const FormatSettings german = FormatSettings::german();
    GaugeModel gauge(german);
    Staged s;
    s.preview = BuildPreview(path, layout);
    s.result = BuildStagingTable(path, layout, s.preview.names, dir.file("Temp/"), gauge);
    s.rows = contentsOf(s.result.path);
    return s;
}

Staged stageText(const std::string& text, const TextLayout& layout, TempDir& dir) {
    writeFile(dir.file("daten.txt"), text);
    return stageFile(dir.file("daten.txt"), layout, dir);
}

std::string utf16(const std::u16string& text, bool bigEndian) {
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t c : text) {
        const char hi = static_cast<char>(c >> 8), lo = static_cast<char>(c & 0xFF);
        out += bigEndian ? std::string{hi, lo} : std::string{lo, hi};
    }
    return out;
}

}  // namespace

TEST(TextAsItComes, AQuoteInsideAValueIsACharacterAndLosesNoRecord) {
    TempDir dir;
    Staged s = stageText("Nr;Artikel;Preis\n1;Monitor 24\";199,00\n2;Kabel;5,00\n3;Maus;9,00\n4;Tisch;80,00\n",
                         semicolonLayout(), dir);
    EXPECT_EQ(s.rows, (Rows{{"1", "Monitor 24\"", "199,00"}, {"2", "Kabel", "5,00"}, {"3", "Maus", "9,00"},
                            {"4", "Tisch", "80,00"}}));
    EXPECT_EQ(s.preview.rows.size(), 4u);
    EXPECT_EQ(s.preview.rows[0][1], "Monitor 24\"");
    EXPECT_EQ(s.result.readErrors, 0);
}

TEST(TextAsItComes, AQuoteNeverClosedIsACharacterAndEveryLaterLineARecord) {
    TempDir dir;
    Staged s = stageText("Nr;Text\n0;\"a;\nb\"\n1;\"offen\n2;zwei\n5;fünf\n", semicolonLayout(), dir);
    // Line 2 opens a section line 3 closes: a value over two lines. Line 4's quote is never closed.
    EXPECT_EQ(s.rows, (Rows{{"0", "a;\r\nb"}, {"1", "\"offen"}, {"2", "zwei"}, {"5", "fünf"}}));
    EXPECT_EQ(s.result.lineOfRecord, (std::vector<std::int64_t>{2, 4, 5, 6}));
    EXPECT_EQ(s.result.readErrors, 1);
    ASSERT_EQ(s.result.readProblems.size(), 1u);
    EXPECT_EQ(s.result.readProblems[0].record, 2);
    EXPECT_EQ(s.result.readProblems[0].counter, ReportCounter::Errors);
    EXPECT_EQ(s.preview.rows.size(), 4u);

    // A section closed in a later line and opened again there: the lines from the second opening on
    // are read again.
    Staged t = stageText("1;\"a\nb\";\"c\n2;x\n", semicolonLayout(false), dir);
    EXPECT_EQ(t.rows, (Rows{{"1", "a\r\nb", "\"c"}, {"2", "x", ""}}));
    EXPECT_EQ(t.result.lineOfRecord, (std::vector<std::int64_t>{1, 3}));

    // A section may span many lines, but not without end.
    std::string many = "1;\"lang\n";
    for (std::size_t i = 0; i < kMaxQuotedLines + 5; ++i) many += "z\n";
    Staged u = stageText(many, semicolonLayout(false), dir);
    ASSERT_EQ(u.rows.size(), kMaxQuotedLines + 6);
    EXPECT_EQ(u.rows[0], (std::vector<std::string>{"1", "\"lang"}));
    EXPECT_EQ(u.rows.back(), (std::vector<std::string>{"z", ""}));
}

TEST(TextAsItComes, Utf8IsFoundAnywhereAndUtf16ByItsMark) {
    TempDir dir;
    // The first umlaut after 1 MiB of ASCII.
    std::string late;
    for (int i = 0; i < 40000; ++i) late += "Name;Ort\n" "Meier;Bonn" + std::to_string(i) + "\n";
    late += "Müller;Köln\n";
    writeFile(dir.file("spaet.txt"), late);
    EXPECT_EQ(detectEncoding(dir.file("spaet.txt"), TextEncoding::Auto, false), TextEncoding::Utf8);
    Staged s = stageFile(dir.file("spaet.txt"), semicolonLayout(), dir);
    EXPECT_EQ(s.rows.back(), (std::vector<std::string>{"Müller", "Köln"}));
    // One byte that is no UTF-8, however late, makes all of it Windows text: never two decodings.
    writeFile(dir.file("gemischt.txt"), "Müller\n" + std::string(2 << 20, 'a') + "\nK\xF6ln\n");
    EXPECT_EQ(detectEncoding(dir.file("gemischt.txt"), TextEncoding::Auto, false), TextEncoding::Windows1252);

    // A spreadsheet's "Unicode text": UTF-16 with its mark, tab separated, either byte order.
    TextLayout tabs = semicolonLayout();
    tabs.semicolon = false;
    tabs.tab = true;
    for (bool big : {false, true}) {
        writeFile(dir.file("unicode.txt"), utf16(u"Name\tStadt\r\nJörg\tΑθήνα\r\n\"Zoë\"\t€ 5\r\n", big));
        EXPECT_EQ(detectEncoding(dir.file("unicode.txt"), TextEncoding::Auto, false),
                  big ? TextEncoding::Utf16Be : TextEncoding::Utf16Le);
        Staged u = stageFile(dir.file("unicode.txt"), tabs, dir);
        EXPECT_EQ(u.preview.names, (std::vector<std::string>{"NAME", "STADT"}));
        EXPECT_EQ(u.rows, (Rows{{"Jörg", "Αθήνα"}, {"Zoë", "€ 5"}})) << big;
    }
}

TEST(TextAsItComes, AValueHoldingNulIsAFieldErrorNamedWithItsLine) {
    TempDir dir;
    Staged s = stageText("Nr;Text\n1;Anfang\0Ende\n2;gut\n"s, semicolonLayout(), dir);
    EXPECT_EQ(s.rows, (Rows{{"1", ""}, {"2", "gut"}}));
    EXPECT_EQ(s.result.readErrors, 1);
    ASSERT_EQ(s.result.readProblems.size(), 1u);
    EXPECT_EQ(s.result.readProblems[0].field, "TEXT");
    EXPECT_EQ(s.result.readProblems[0].sourceValue, "Anfang<NUL>Ende");
    EXPECT_EQ(s.result.lineOfRecord[0], 2);
}

TEST(TextAsItComes, TheBarMovesWhileALargeFileIsRead) {
    TempDir dir;
    std::string text = "Nr;Text\n";
    for (int i = 0; i < 60000; ++i) text += std::to_string(i) + ";Wert\n";
    writeFile(dir.file("gross.txt"), text);
    const FormatSettings german = FormatSettings::german();
    GaugeModel gauge(german);
    int seen = 0;
    bool sizingAnimated = false;
    gauge.onPump = [&] {
        seen = std::max(seen, gauge.bar().percentDone());
        // The second animation runs while the field sizes are worked out.
        sizingAnimated = sizingAnimated || (gauge.status() == "Feldgrößen werden definiert..." && gauge.animateTimer2());
    };
    TextLayout layout = semicolonLayout();
    TextPreview preview = BuildPreview(dir.file("gross.txt"), layout);
    BuildStagingTable(dir.file("gross.txt"), layout, preview.names, dir.file("Temp/"), gauge);
    EXPECT_GE(seen, 90);
    EXPECT_TRUE(sizingAnimated);
    EXPECT_FALSE(gauge.animateTimer2());  // and stops with the reading
}

// The same file through `kimport run`: every record arrives, what could not be taken is counted and
// named in the report, a value the field cuts is a note, and --separator alone keeps the quote.
TEST(KimportRunText, TextAsItComesEndToEnd) {
    TempDir program, data;
    makeControlTables(program.path());
    std::string target = makeTableWithRows(data.path(), "Ziel.DB",
                                           {{"Nr", FieldType::Integer}, {"Text", FieldType::String, 12}}, 0, {});
    writeFile(data.file("liste.csv"), "Nr§Text\n1§Monitor 24\"\n3§\"a§b\"\n4§A\0B\n"
                                        "5§ein sehr langer Wert\n2§\"offen\n"s);
    const std::string report = data.file("bericht.csv");
    auto r = runCommand(std::string(KIMPORT_KIMPORT_EXE) + " run --source '" + data.file("liste.csv") + "' --target '" +
                        target + "' --program-dir '" + program.path() + "' --names-first-line --separator § --report '" +
                        report + "' 2>&1");
    EXPECT_EQ(r.exitCode, 1) << r.out;  // two errors: the open quote and the NUL
    EXPECT_NE(r.out.find("Anzahl der aufgetretenen Fehler:\t2"), std::string::npos) << r.out;
    EXPECT_EQ(contentsOf(target), (Rows{{"1", "Monitor 24\""}, {"3", "a§b"}, {"4", ""}, {"5", "ein sehr lan"},
                                        {"2", "\"offen"}}));
    const std::string written = readFile(report);
    EXPECT_NE(written.find("Anführungszeichen wird nicht geschlossen"), std::string::npos) << written;
    EXPECT_NE(written.find("A<NUL>B"), std::string::npos) << written;
    EXPECT_NE(written.find("ein sehr langer Wert;ein sehr lan;"), std::string::npos) << written;
    EXPECT_NE(written.find("Hinweis"), std::string::npos) << written;

    // --separator without --quote: the double quote stays as detected.
    std::string second = makeTableWithRows(data.path(), "Zwei.DB",
                                           {{"Nr", FieldType::Integer}, {"Text", FieldType::String, 20}}, 0, {});
    writeFile(data.file("quoted.csv"), "Nr;Text\n1;\"a;b\"\n2;\"c\"\n");
    r = runCommand(std::string(KIMPORT_KIMPORT_EXE) + " run --source '" + data.file("quoted.csv") + "' --target '" +
                   second + "' --program-dir '" + program.path() + "' --names-first-line --separator ';' 2>&1");
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(contentsOf(second), (Rows{{"1", "a;b"}, {"2", "c"}}));

    // UTF-16 chosen outright.
    std::string third = makeTableWithRows(data.path(), "Drei.DB", {{"Stadt", FieldType::String, 20}}, 0, {});
    writeFile(data.file("u16.txt"), utf16(u"Stadt\r\nKöln\r\n", false));
    r = runCommand(std::string(KIMPORT_KIMPORT_EXE) + " run --source '" + data.file("u16.txt") + "' --target '" +
                   third + "' --program-dir '" + program.path() + "' --names-first-line --encoding utf16 2>&1");
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(contentsOf(third), (Rows{{"Köln"}}));
}
