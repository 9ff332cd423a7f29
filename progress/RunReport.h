// What a run could not do as asked, record by record: field errors, keys that could not be keys,
// records skipped because their key exists, records left when the run was cancelled, the failure
// that ended a run, and lines of a text file with more values than columns. The progress window's
// counters say how many; this says which and why.
#pragma once

#include "common/FileSystem.h"

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace kimport {

// Which counter of the progress window an entry explains.
enum class ReportCounter { None, Errors, Ignored };

struct ReportEntry {
    std::int64_t record = 0;  // source record number (a text source's line number once translated); 0: the whole run
    std::int64_t records = 1; // records the entry stands for (the rest of a cancelled run)
    std::string field;        // target field, empty for the whole record
    std::string sourceValue;  // as read from the source
    std::string triedValue;   // what was to be written, where there was something
    std::string reason;       // in German
    ReportCounter counter = ReportCounter::Errors;
};

class RunReport {
public:
    // Entries kept; the rest are only counted.
    static constexpr std::size_t kMaxEntries = 100000;
    // Characters of a value an entry keeps: enough to find the line, bounded however long values are.
    static constexpr std::size_t kMaxValueChars = 1000;

    void clear();
    void add(ReportEntry entry);
    // Once full, entries are only counted: callers need not build them.
    bool full() const { return entries_.size() >= kMaxEntries; }
    void countOnly(ReportCounter counter, std::int64_t records = 1) {
        recordsFor_[static_cast<int>(counter)] += records;
        ++omitted_;
    }
    // Record numbers of a text source's staging table, each with the line of the file it came from
    // (entry k-1 for record k): entries added afterwards name the line instead of the record.
    void setLineNumbers(std::vector<std::int64_t> lines) { lines_ = std::move(lines); }
    // A text source's run: its lines, and first what reading the file could not take.
    void startWithReading(std::vector<std::int64_t> lineOfRecord, const std::vector<ReportEntry>& readProblems) {
        setLineNumbers(std::move(lineOfRecord));
        for (const ReportEntry& e : readProblems) add(e);
    }
    bool namesLines() const { return !lines_.empty(); }

    const std::vector<ReportEntry>& entries() const { return entries_; }
    std::int64_t omitted() const { return omitted_; }
    bool empty() const { return entries_.empty() && omitted_ == 0; }
    // Records explained for a counter, kept and omitted entries alike.
    std::int64_t recordsFor(ReportCounter counter) const;

private:
    std::vector<ReportEntry> entries_;
    std::vector<std::int64_t> lines_;
    std::int64_t omitted_ = 0;
    std::int64_t recordsFor_[3] = {0, 0, 0};
};

// The report as a spreadsheet reads it: UTF-8 with byte-order mark, semicolons, German headers, values
// quoted where they must be. A last line tells how many entries were left out.
void writeReportCsv(const RunReport& report, std::ostream& out);
// Writes the CSV under path through the same all-or-nothing replacement as the tables; throws on failure.
void saveReportCsv(const RunReport& report, const std::string& path, FileSystem& fs = realFileSystem());
// The column headings of the report, as the CSV and the error list show them: "Zeile" (a text
// source) or "Datensatz", then Art, Zielfeld, Quellwert, Versuchter Wert, Grund.
std::vector<std::string> reportHeadings(const RunReport& report);
// The record (or line) an entry names: "12", "3-5" for several, empty for the whole run.
std::string recordText(const ReportEntry& entry);

// One line of an entry for a terminal or a list: "Datensatz 12, Feld Preis: Grund (Wert "x")".
std::string describeEntry(const RunReport& report, const ReportEntry& entry);
// "Fehler", "ignoriert" or "Hinweis".
const char* counterName(ReportCounter counter);

}  // namespace kimport
