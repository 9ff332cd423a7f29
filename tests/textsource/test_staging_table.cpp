// Reading text files: line ends, encodings, column names, the preview and the
// staging table the run reads; and `kimport run` on a text file end to end.
#include "support/ScriptedPrompter.h"
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

namespace {

TextLayout csv(bool names = true) { return semicolonLayout(names); }

StagingResult stage(const std::string& text, const TextLayout& layout, TempDir& dir, GaugeModel& gauge) {
    std::string path = dir.file("daten.txt");
    writeFile(path, text);
    TextPreview preview = BuildPreview(path, layout);
    return BuildStagingTable(path, layout, preview.names, dir.file("Temp/"), gauge);
}

}  // namespace

TEST(TextFile, LineEndsEncodingsAndTheEndOfFileMark) {
    TempDir dir;
    // CR, CR LF and LF each end a line; 0x1A ends the file.
    writeFile(dir.file("a.txt"), "eins\rzwei\r\ndrei\nvier\x1A" "fünf");
    EXPECT_EQ(firstLines(dir.file("a.txt"), TextEncoding::Windows1252, 10),
              (std::vector<std::string>{"eins", "zwei", "drei", "vier"}));
    // UTF-8 with umlauts is read as UTF-8, also without byte-order mark; Windows bytes as Windows-1252.
    writeFile(dir.file("u.txt"), "Größe;Maß\n");
    EXPECT_EQ(detectEncoding(dir.file("u.txt"), TextEncoding::Auto, false), TextEncoding::Utf8);
    writeFile(dir.file("b.txt"), "\xEF\xBB\xBFName\n");
    EXPECT_EQ(firstLines(dir.file("b.txt"), detectEncoding(dir.file("b.txt"), TextEncoding::Auto, false), 1)[0], "Name");
    writeFile(dir.file("w.txt"), "Gr\xF6\xDF" "e\n");
    TextEncoding w = detectEncoding(dir.file("w.txt"), TextEncoding::Auto, false);
    EXPECT_EQ(w, TextEncoding::Windows1252);
    EXPECT_EQ(firstLines(dir.file("w.txt"), w, 1)[0], "Größe");
    // The DOS switch reads DOS 850 bytes.
    writeFile(dir.file("d.txt"), "M\x81nchen\n");
    TextEncoding d = detectEncoding(dir.file("d.txt"), TextEncoding::Auto, true);
    EXPECT_EQ(firstLines(dir.file("d.txt"), d, 1)[0], "München");
}

TEST(TextFile, LinesAcrossTheReadBlocks) {
    TempDir dir;
    // The file is read in blocks of 64 KiB: a CR LF split between two blocks is still one line end,
    // and a line longer than a block comes back whole.
    const std::string first(65535, 'a'), longLine(200000, 'b');
    writeFile(dir.file("l.txt"), first + "\r\n" + longLine + "\r\nende");
    EXPECT_EQ(firstLines(dir.file("l.txt"), TextEncoding::Windows1252, 10),
              (std::vector<std::string>{first, longLine, "ende"}));
    // A line that is no UTF-8 in a file read as UTF-8 is read as Windows text.
    writeFile(dir.file("m.txt"), "Größe\nGr\xF6\xDF" "e\n");
    EXPECT_EQ(firstLines(dir.file("m.txt"), TextEncoding::Utf8, 10), (std::vector<std::string>{"Größe", "Größe"}));
}

TEST(TextFile, AQuotedValueGoesOnOverLineBreaks) {
    TempDir dir;
    writeFile(dir.file("q.txt"), "1;\"zwei\nZeilen\";x\r\n2;\"offen\n");
    TextFileReader reader(dir.file("q.txt"), TextEncoding::Utf8);
    TextLayout l = csv(false);
    std::string record;
    bool unclosed = false;
    ASSERT_TRUE(reader.nextRecord(record, l, &unclosed));
    EXPECT_EQ(record, "1;\"zwei\r\nZeilen\";x");
    EXPECT_FALSE(unclosed);
    ASSERT_TRUE(reader.nextRecord(record, l, &unclosed));
    EXPECT_TRUE(unclosed);
    EXPECT_EQ(reader.lineNumber(), 3);
}

TEST(ColumnNames, AreMadeValidForTheTableStore) {
    TextLayout names = csv();
    EXPECT_EQ(columnNamesFor({"Nr", "", "nr", std::string(30, 'x'), "Preis [EUR]"}, names),
              (std::vector<std::string>{"NR", "FELD_2", "NR_2", std::string(25, 'X'), "PREIS _EUR_"}));
    TextLayout plain = csv(false);
    EXPECT_EQ(columnNamesFor({"a", "b"}, plain), (std::vector<std::string>{"FELD_1", "FELD_2"}));
    plain.columnNames = {"Kunde"};
    EXPECT_EQ(columnNamesFor({"a", "b"}, plain), (std::vector<std::string>{"KUNDE", "FELD_2"}));
}

TEST(StagingTable, SizesItsFieldsToTheLongestValueAndKeepsEveryValue) {
    TempDir dir;
    const FormatSettings german = FormatSettings::german();
    GaugeModel gauge(german);
    std::string longText(300, 'L');
    StagingResult r = stage("Nr;Name;Leer;Notiz\n1;Anna;;kurz\n2;Bernhard;;" + longText + "\n3;Eva;;x;zu viel\n", csv(),
                            dir, gauge);
    EXPECT_EQ(r.path, dir.file("Temp/daten.db"));
    EXPECT_EQ(r.records, 3);
    EXPECT_EQ(r.surplusLines, 1);
    EXPECT_EQ(r.firstSurplus, (std::vector<std::int64_t>{4}));
    EXPECT_EQ(r.memoColumns, (std::vector<std::string>{"NOTIZ"}));
    EXPECT_EQ(gauge.counterText(Counter::AnzGeles2), "3");
    EXPECT_EQ(gauge.counterText(Counter::AnzFehler), "1");
    Table t;
    t.setPath(r.path);
    t.OpenTable();
    EXPECT_EQ(t.FieldDefAt(0).size, 1);
    EXPECT_EQ(t.FieldDefAt(1).size, 8);
    EXPECT_EQ(t.FieldDefAt(2).size, 1);  // an empty column gets size 1
    EXPECT_EQ(t.FieldDefAt(3).type, FieldType::Memo);
    EXPECT_EQ(contents(t), (Rows{{"1", "Anna", "", "kurz"}, {"2", "Bernhard", "", longText}, {"3", "Eva", "", "x"}}));
}

TEST(StagingTable, CancelKeepsTheLinesReadSoFar) {
    TempDir dir;
    const FormatSettings german = FormatSettings::german();
    GaugeModel gauge(german);
    ScriptedPrompter prompter;
    prompter.expectMessage(MsgKind::Warning, Buttons::YesNoDefaultNo, kCancelQuestion, Answer::Yes);
    // The window is pumped after every line read: "Abbrechen" pressed after the second.
    int pumps = 0;
    gauge.onPump = [&] {
        if (++pumps == 2) gauge.btnGaugeAbbrechenClick(prompter);
    };
    StagingResult r = stage("Nr;Name\n1;Anna\n2;Bernd\n3;Eva\n4;Otto\n", csv(), dir, gauge);
    EXPECT_TRUE(prompter.finished());
    EXPECT_TRUE(r.cancelled);
    EXPECT_EQ(r.records, 2);
    EXPECT_EQ(contentsOf(r.path), (Rows{{"1", "Anna"}, {"2", "Bernd"}}));
    EXPECT_FALSE(gauge.visible());
}

TEST(StagingTable, TextThatWindowsCannotHoldStaysWhole) {
    TempDir dir;
    const FormatSettings german = FormatSettings::german();
    GaugeModel gauge(german);
    StagingResult r = stage("Stadt\nΑθήνα\nZürich\n", csv(), dir, gauge);
    EXPECT_EQ(contentsOf(r.path), (Rows{{"Αθήνα"}, {"Zürich"}}));
}

TEST(KimportRunText, ACsvWithNamesInTheFirstLineIntoAParadoxTarget) {
    TempDir program, data;
    makeControlTables(program.path());
    std::string target = makeTableWithRows(data.path(), "Ziel.DB",
                                           {{"Nr", FieldType::Integer}, {"Name", FieldType::String, 20},
                                            {"Preis", FieldType::Float}},
                                           1, {});
    writeFile(data.file("preise.csv"), "Nr;Name;Preis\r\n1;\"Mutter \"\"M4\"\"\";0,05\r\n2;Dübel;1,5\r\n");
    auto r = runCommand(std::string(KIMPORT_KIMPORT_EXE) + " run --source '" + data.file("preise.csv") +
                        "' --target '" + target + "' --program-dir '" + program.path() + "' --names-first-line");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(contentsOf(target), (Rows{{"1", "Mutter \"M4\"", "0,05"}, {"2", "Dübel", "1,5"}}));
}

TEST(KimportRunText, AFixedWidthFileUpdatesAKeyedTargetAndADosFileFillsADBaseTable) {
    TempDir program, data;
    makeControlTables(program.path());
    std::string keyed = makeTableWithRows(data.path(), "Kunden.DB",
                                          {{"Nr", FieldType::String, 4}, {"Name", FieldType::String, 10}}, 1,
                                          {{"0001", "Alt"}});
    writeFile(data.file("kunden.txt"), "Nr  Name      \r\n0001Anna      \r\n0002Bert      \r\n");
    auto r = runCommand(std::string(KIMPORT_KIMPORT_EXE) + " run --source '" + data.file("kunden.txt") +
                        "' --target '" + keyed + "' --program-dir '" + program.path() +
                        "' --fixed 4 --names-first-line --mode 5 2>&1");
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(contentsOf(keyed), (Rows{{"0001", "Anna"}, {"0002", "Bert"}}));

    std::string dbf = makeTableWithRows(data.path(), "ORTE.DBF", {{"ORT", FieldType::String, 20}}, 0, {});
    writeFile(data.file("orte.txt"), "ORT\r\nM\x81nchen\r\nK\x94ln\r\n");  // DOS 850
    r = runCommand(std::string(KIMPORT_KIMPORT_EXE) + " run --source '" + data.file("orte.txt") + "' --target '" +
                   dbf + "' --program-dir '" + program.path() + "' --names-first-line --dos 2>&1");
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(contentsOf(dbf), (Rows{{"München"}, {"Köln"}}));

    // The same file in UTF-8 is recognised without any option.
    std::string utf = makeTableWithRows(data.path(), "ORTE2.DBF", {{"ORT", FieldType::String, 20}}, 0, {});
    writeFile(data.file("orte8.txt"), "ORT\nMünchen\nKöln\n");
    r = runCommand(std::string(KIMPORT_KIMPORT_EXE) + " run --source '" + data.file("orte8.txt") + "' --target '" +
                   utf + "' --program-dir '" + program.path() + "' --names-first-line 2>&1");
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(contentsOf(utf), (Rows{{"München"}, {"Köln"}}));
}

// A run reads the text as a stream of the same records the staging table holds, without writing it.
TEST(StagingTable, AStreamGivesTheTablesRecordsAndWritesNothing) {
    const FormatSettings german = FormatSettings::german();
    const std::string longText(300, 'L');
    for (const std::string& text : {"Nr;Name;Leer;Notiz\n1;Anna;;kurz\n2;Bernhard;;" + longText + "\n3;Eva;;x;zu viel\n",
                                     std::string("Stadt\nΑθήνα\nZürich\n\"Köln; am Rhein\"\n")}) {
        TempDir dir;
        GaugeModel gauge(german);
        StagingResult built = stage(text, csv(), dir, gauge);
        const Rows expected = contentsOf(built.path);

        GaugeModel again(german);
        Table stream;
        const std::string path = dir.file("daten.txt");
        StagingResult r = OpenStagingStream(path, csv(), BuildPreview(path, csv()).names, dir.file("Strom/"), again, stream);
        EXPECT_EQ(r.records, built.records);
        EXPECT_EQ(r.lineOfRecord, built.lineOfRecord);
        EXPECT_EQ(r.memoColumns, built.memoColumns);
        EXPECT_EQ(again.counterText(Counter::AnzFehler), gauge.counterText(Counter::AnzFehler));
        EXPECT_EQ(stream.RecordCount(), built.records);
        EXPECT_EQ(contents(stream), expected);
        EXPECT_EQ(contents(stream), expected);  // a second walk starts again at the first record
        EXPECT_THROW(stream.BeginAppend(), TableError);
        stream.CloseTable();
        EXPECT_FALSE(std::filesystem::exists(r.path));
    }
}
