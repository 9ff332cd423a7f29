// Text files as they may come from outside: lines without end, files wider than a table,
// and names that are no regular file. Each ends with a clear message, never a hang or
// all of the memory.
#include "importrun/GaugeModel.h"
#include "settings/ControlTables.h"
#include "support/TestSupport.h"
#include "tablestore/TableTestSupport.h"
#include "textsource/StagingTable.h"
#include "textsource/TextFile.h"
#include "textsource/TextTestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kimport;
using namespace kimport::test;

namespace {

TextLayout semicolons() { return semicolonLayout(); }

// A header S1;S2;... and two lines of values `width` letters wide.
std::string wideText(int columns, int width) {
    std::string text;
    for (int line = 0; line < 3; ++line) {
        for (int c = 0; c < columns; ++c) {
            if (c > 0) text += ';';
            text += line == 0 ? "S" + std::to_string(c + 1) : std::string(static_cast<std::size_t>(width), 'a' + c % 26);
        }
        text += '\n';
    }
    return text;
}

std::string errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const TableError& e) {
        return e.what();
    }
    return "(kein Fehler)";
}

}  // namespace

TEST(TextLimits, ALineLongerThanTheLimitIsRefusedWithItsNumberAnOpenQuoteEndsAtIt) {
    TempDir dir;
    const std::string path = dir.file("lang.txt");
    const std::string longest(kMaxTextLineBytes, 'x');
    writeFile(path, "kurz\nauch kurz\n" + longest + "\n");
    std::vector<std::string> lines = firstLines(path, TextEncoding::Windows1252, 5);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[2].size(), kMaxTextLineBytes);

    writeFile(path, "kurz\nauch kurz\n" + longest + "y\nnoch eine\n");
    const std::string refused = errorOf([&] { firstLines(path, TextEncoding::Windows1252, 5); });
    EXPECT_EQ(refused, "Die Zeile 3 der Datei " + path + " ist länger als 64 MB; so lange Zeilen nimmt keine "
                                                         "Zieltabelle auf.");

    // A quote that is never closed joins the following lines only up to the limit; then it is a
    // character and every line after it is a record of its own.
    std::string open = "Nr;Text\n1;\"offen\n";
    const std::string line(1 << 20, 'z');
    for (int i = 0; i < 65; ++i) open += line + "\n";
    writeFile(path, open);
    TextFileReader reader(path, TextEncoding::Windows1252);
    std::string record;
    bool unclosed = false;
    ASSERT_TRUE(reader.nextRecord(record, semicolons()));
    ASSERT_TRUE(reader.nextRecord(record, semicolons(), &unclosed));
    EXPECT_TRUE(unclosed);
    EXPECT_EQ(record, "1;\"offen");
    EXPECT_EQ(reader.lineNumber(), 2);
    int more = 0;
    while (reader.nextRecord(record, semicolons(), &unclosed)) {
        ++more;
        EXPECT_EQ(record, line);
        EXPECT_EQ(reader.lineNumber(), 2 + more);
    }
    EXPECT_EQ(more, 65);
}

TEST(TextLimits, AWideFileFitsThroughMemoFieldsOrIsRefusedAtOnce) {
    TempDir dir;
    const FormatSettings german = FormatSettings::german();
    GaugeModel gauge(german);
    const std::string path = dir.file("breit.txt");
    auto stage = [&](int columns, int width) {
        writeFile(path, wideText(columns, width));
        return BuildStagingTable(path, semicolons(), BuildPreview(path, semicolons()).names, dir.file("Temp/"), gauge);
    };
    // 150 x 20 = 3,000 bytes fit as they are.
    EXPECT_TRUE(stage(150, 20).memoColumns.empty());
    // 150 x 30 = 4,500 bytes: the widest (here the first) columns move into memo fields until it fits.
    StagingResult thirty = stage(150, 30);
    EXPECT_EQ(thirty.memoColumns.size(), 50u);
    EXPECT_EQ(thirty.memoColumns.front(), "S1");
    // 210 x 20 = 4,200 bytes: columns no wider than a memo field with a long leader keep a short one.
    StagingResult twenty = stage(210, 20);
    EXPECT_EQ(twenty.records, 2);
    EXPECT_EQ(twenty.memoColumns.size(), 23u);
    Rows rows = contentsOf(twenty.path);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1][0], std::string(20, 'a'));
    EXPECT_EQ(rows[1][209], std::string(20, 'a' + 209 % 26));
    // More columns than a table has fields: refused before the file is read.
    writeFile(path, wideText(400, 20));
    EXPECT_EQ(errorOf([&] { stage(400, 20); }),
              "Die Textdatei breit.txt hat 400 Spalten; eine Paradox-Tabelle nimmt höchstens 255 Felder auf.");
    EXPECT_FALSE(gauge.visible());
    // As many columns as a table takes, each too wide for a text field: memo fields with short leaders.
    StagingResult widest = stage(255, 300);
    EXPECT_EQ(widest.memoColumns.size(), 255u);
    EXPECT_EQ(contentsOf(widest.path)[0][254], std::string(300, 'a' + 254 % 26));
}

TEST(KimportRunText, OnlyARegularFileIsReadAsASource) {
    TempDir program, data;
    makeControlTables(program.path());
    const std::string target =
        makeTableWithRows(data.path(), "Ziel.DB", {{"Name", FieldType::String, 20}}, 0, {{"alt"}});
    const std::string before = readFile(target);
    ASSERT_EQ(::mkfifo(data.file("pipe.csv").c_str(), 0600), 0);
    // A writer waits at the pipe with two lines: a run that opened it would read them and import a record,
    // which the checks below see, rather than wait for a writer that never comes.
    const pid_t writer = fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
        const int fd = ::open(data.file("pipe.csv").c_str(), O_WRONLY);
        const std::string lines = "Name\nAus der Pipe\n";
        if (fd >= 0) (void)!::write(fd, lines.data(), lines.size());
        ::_exit(0);
    }
    ::mkdir(data.file("ordner.csv").c_str(), 0700);
    ::symlink("/dev/zero", data.file("null.csv").c_str());
    struct Case {
        std::string source, what;
    };
    for (const Case& c : {Case{data.file("pipe.csv"), "sie ist keine gewöhnliche Datei, sondern eine benannte Pipe."},
                          Case{data.file("null.csv"), "sie ist keine gewöhnliche Datei, sondern ein zeichenorientiertes Gerät."},
                          Case{"/dev/zero", "sie ist keine gewöhnliche Datei, sondern ein zeichenorientiertes Gerät."},
                          Case{data.file("ordner.csv"), "Ist ein Verzeichnis"}}) {
        auto r = runCommand("'" + std::string(KIMPORT_KIMPORT_EXE) + "' run --source '" + c.source + "' --target '" +
                            target + "' --program-dir '" + program.path() + "' --names-first-line");
        EXPECT_EQ(r.exitCode, 1) << c.source << ": " << r.err;
        EXPECT_NE(r.err.find("Die Datei " + c.source + " kann nicht geöffnet werden: " + c.what), std::string::npos)
            << r.err;
        EXPECT_EQ(r.err.find("ist gespeichert"), std::string::npos) << r.err;
    }
    EXPECT_EQ(readFile(target), before);
    ::kill(writer, SIGKILL);  // still waiting for a reader
    ::waitpid(writer, nullptr, 0);
}

TEST(KimportRunText, AFileThatIsOneHugeLineEndsWithItsLineNumberInBoundedMemory) {
    TempDir program, data;
    makeControlTables(program.path());
    const std::string target = makeTableWithRows(data.path(), "Ziel.DB", {{"Name", FieldType::String, 20}}, 0, {});
    writeFile(data.file("eine.csv"), "Name\n" + std::string(kMaxTextLineBytes + 1000, 'x'));
    // Under a limit of 600 MB of address space: the line is refused long before it is held more than once.
    auto r = runCommand("ulimit -v 600000; '" + std::string(KIMPORT_KIMPORT_EXE) + "' run --source '" +
                        data.file("eine.csv") + "' --target '" + target + "' --program-dir '" + program.path() +
                        "' --names-first-line");
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find("Die Zeile 2 der Datei " + data.file("eine.csv") + " ist länger als 64 MB"), std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find("std::"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("nichts importiert"), std::string::npos) << r.err;
}
