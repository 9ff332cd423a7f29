// The run's report: every error and ignored record the counters count is there with its record, field,
// values and reason, in every mode; the CSV a spreadsheet reads; the bound on kept entries.
#include "Importing.h"

#include "progress/RunReport.h"

#include <fstream>
#include <sstream>

using namespace kimport;
using namespace kimport::test;

namespace {

// The counters' errors and ignored records, as the report explains them.
void expectReportExplainsCounters(const Importing& w, const RunReport& report, const char* what) {
    EXPECT_EQ(report.recordsFor(ReportCounter::Errors), w.gauge.count(Counter::AnzFehler)) << what;
    EXPECT_EQ(report.recordsFor(ReportCounter::Ignored), w.gauge.count(Counter::Ignor)) << what;
}

// Source keys 1, 2, 2, "", 5 with a price that is no number in record 2; the target holds key 1.
struct Case {
    ImportMode mode;
    bool emptied;
    const char* name;
};

void prepare(Importing& w) {
    const Fields source{text("Nr", 6), text("Name", 10), text("Preis", 8)};
    w.makeSource("Q.DB", source, 0, {{"1", "Eins", "1,5"}, {"2", "Zwei", "zwei"}, {"2", "Doppelt", "3"},
                                     {"", "Leer", "4"}, {"5", "Fünf", "5"}});
    w.makeTarget("Z.DB", {typed("Nr", FieldType::Integer), text("Name", 10), typed("Preis", FieldType::Float)}, 1,
                 {{"1", "Alt", "9"}});
    w.map();
}

}  // namespace

TEST(RunReport, ExplainsTheErrorAndIgnoredCountersOfEveryMode) {
    const Case cases[] = {{ImportMode::AppendNew, false, "2"},   {ImportMode::AppendNew, true, "2 geleert"},
                          {ImportMode::RenameExisting, false, "3"}, {ImportMode::SelfIncrement, false, "4"},
                          {ImportMode::Update, false, "5"}};
    for (const Case& c : cases) {
        Importing w;
        prepare(w);
        if (c.mode == ImportMode::SelfIncrement) {
            // Mode 4 generates the key: the source's key is left unassigned.
            w.changeRule("Nr", [](MappingRule& r) { r.Zuordnung.clear(); });
        }
        if (c.emptied) {
            w.target.Exclusive = true;
            w.target.OpenTable();
            w.target.ClearTable();
            w.target.CloseTable();
        }
        RunReport report;
        ImportRun run = w.runner();
        run.setReport(&report);
        run.run(c.mode, c.mode == ImportMode::SelfIncrement ? "100" : "900", c.emptied);
        expectReportExplainsCounters(w, report, c.name);
        // The price that is no number: record 2, field Preis, its value, and the store's reason.
        bool priceSeen = false;
        for (const ReportEntry& e : report.entries())
            if (e.field == "Preis") {
                EXPECT_EQ(e.record, 2) << c.name;
                EXPECT_EQ(e.sourceValue, "zwei") << c.name;
                EXPECT_EQ(e.triedValue, "zwei") << c.name;
                EXPECT_FALSE(e.reason.empty()) << c.name;
                priceSeen = true;
            }
        EXPECT_TRUE(priceSeen) << c.name;
    }
}

TEST(RunReport, NamesTheSkippedKeysAndTheEmptyKey) {
    Importing w;
    prepare(w);
    RunReport report;
    ImportRun run = w.runner();
    run.setReport(&report);
    run.run(ImportMode::AppendNew, "", false);
    std::vector<std::string> lines;
    for (const ReportEntry& e : report.entries()) lines.push_back(describeEntry(report, e));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].rfind("Datensatz 1, Feld Nr: Der Schlüssel ist in der Zieltabelle schon vorhanden", 0), 0u);
    EXPECT_EQ(lines[1].rfind("Datensatz 2, Feld Preis:", 0), 0u);
    EXPECT_EQ(lines[2].rfind("Datensatz 3, Feld Nr: Der Schlüssel ist in der Zieltabelle schon vorhanden", 0), 0u);
    EXPECT_EQ(lines[3].rfind("Datensatz 4, Feld Nr: Der Schlüsselwert ist leer", 0), 0u);
    EXPECT_EQ(w.counter(Counter::Ignor), "2");
    EXPECT_EQ(w.counter(Counter::AnzFehler), "2");
}

// Cancelled while the second record is read (it is still carried over): records 3 to 5 are one entry that
// covers what the counter counts.
TEST(RunReport, TheRecordsACancelLeavesAreOneEntry) {
    Importing w;
    prepare(w);
    w.gauge.onPump = [&] {
        if (w.source.RecordNumber() == 2 && !w.gauge.cancelled()) {
            w.prompter.expectMessage(MsgKind::Warning, Buttons::YesNoDefaultNo, kCancelQuestionText, Answer::Yes);
            w.gauge.btnGaugeAbbrechenClick(w.prompter);
        }
    };
    RunReport report;
    ImportRun run = w.runner();
    run.setReport(&report);
    run.run(ImportMode::AppendNew, "", false);
    expectReportExplainsCounters(w, report, "abgebrochen");
    ASSERT_FALSE(report.entries().empty());
    const ReportEntry& rest = report.entries().back();
    EXPECT_EQ(rest.record, 3);
    EXPECT_EQ(rest.records, 3);
    EXPECT_EQ(rest.reason, "Nicht bearbeitet: der Lauf wurde abgebrochen.");
}

// A key violation in mode 1 ends the run; the report says where and why.
TEST(RunReport, TheFailureThatEndsARunIsTheLastEntry) {
    Importing w;
    prepare(w);
    RunReport report;
    ImportRun run = w.runner();
    run.setReport(&report);
    EXPECT_THROW(run.run(ImportMode::Append, "", false), TableError);
    ASSERT_FALSE(report.entries().empty());
    const ReportEntry& last = report.entries().back();
    EXPECT_EQ(last.record, 1);
    EXPECT_EQ(last.counter, ReportCounter::None);
    EXPECT_EQ(last.reason.rfind("Der Lauf wurde hier beendet: ", 0), 0u);
}

TEST(RunReport, CsvForASpreadsheetAndTheBoundOnEntries) {
    RunReport report;
    report.setLineNumbers({3, 4, 7});  // a text file: record 3 came from line 7
    report.add({3, 1, "Name", "Müller; \"Hans\"", "", "Zu lang", ReportCounter::Errors});
    std::ostringstream csv;
    writeReportCsv(report, csv);
    EXPECT_EQ(csv.str(), "\xEF\xBB\xBFZeile;Art;Zielfeld;Quellwert;Versuchter Wert;Grund\r\n"
                         "7;Fehler;Name;\"Müller; \"\"Hans\"\"\";;Zu lang\r\n");

    RunReport big;
    for (std::size_t i = 0; i < RunReport::kMaxEntries + 5; ++i) {
        ReportEntry e;
        e.record = static_cast<std::int64_t>(i + 1);
        big.add(std::move(e));
    }
    EXPECT_EQ(big.entries().size(), RunReport::kMaxEntries);
    EXPECT_EQ(big.omitted(), 5);
    EXPECT_EQ(big.recordsFor(ReportCounter::Errors), static_cast<std::int64_t>(RunReport::kMaxEntries + 5));
    std::ostringstream out;
    writeReportCsv(big, out);
    EXPECT_NE(out.str().find(";Hinweis;;;;5 weitere Einträge wurden nicht aufgeführt.\r\n"), std::string::npos);

    // Saved through the table's all-or-nothing writer: the file holds exactly the CSV.
    TempDir dir;
    saveReportCsv(report, dir.file("Bericht.csv"));
    std::ifstream in(dir.file("Bericht.csv"), std::ios::binary);
    std::stringstream saved;
    saved << in.rdbuf();
    EXPECT_EQ(saved.str(), csv.str());
}
