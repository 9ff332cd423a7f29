// A text source made into a table: the column names, the preview of the
// first lines, the staging table in Temp that the run reads, and the memory
// of the layout it was built with.
#pragma once

#include "progress/ProgressSink.h"
#include "progress/RunReport.h"
#include "textsource/TextLayout.h"

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace kimport {

class Table;

// A column name the table store takes: upper case, at most 25 characters, without the characters
// Paradox does not allow in names; "FELD_n" for an empty one, "_2", "_3" ... for repeats.
std::string validColumnName(const std::string& raw, int column, std::set<std::string>& taken);

// The column names for the values of the first line: from the line itself when it holds names,
// else the stored names of an existing setting, else FELD_1, FELD_2, ...
std::vector<std::string> columnNamesFor(const std::vector<std::string>& firstValues, const TextLayout& layout);

struct TextPreview {
    std::vector<std::string> names;
    std::vector<std::vector<std::string>> rows;  // at most 20 lines, each cut to the column count
};
// The preview: at most 20 lines of the file (the header line included) split by the layout.
TextPreview BuildPreview(const std::string& path, const TextLayout& layout);

struct StagingResult {
    std::string path;                       // the staging table
    std::int64_t records = 0;
    std::int64_t surplusLines = 0;          // lines with more values than columns (counted as errors)
    std::vector<std::int64_t> firstSurplus; // their line numbers, the first ten
    std::int64_t unclosedQuotes = 0;        // quotes no other closed (taken as characters)
    std::int64_t readErrors = 0;            // all the errors of the reading: the run counts them too
    std::vector<std::string> memoColumns;   // columns with values longer than 255 characters
    // The line of the file each record starts on (entry k-1 for record k), and what the reading could
    // not take as it stood (surplus values, a quote no other closed, a value holding NUL), by record
    // number: errors of the run's report.
    std::vector<std::int64_t> lineOfRecord;
    std::vector<ReportEntry> readProblems;
    bool cancelled = false;
};

// "Temp/<base name of the text file>.db" below tempDir's parent folder (tempDir ends with "/").
std::string stagingTablePath(const std::string& textPath, const std::string& tempDir);

// Reads the text file into its staging table: one text field per column, sized to the longest value
// (a memo field for a column with values over 255 characters). Progress and cancel through the sink;
// lines with surplus values count one error each. Throws TableError when the file or table fails.
// With `keepOpen` the table is built in it and stays open once saved: a run right after reads it
// without loading it again.
StagingResult BuildStagingTable(const std::string& textPath, const TextLayout& layout,
                                const std::vector<std::string>& names, const std::string& tempDir,
                                ProgressSink& progress, Table* keepOpen = nullptr);

// Reads the text file as BuildStagingTable does, but writes no table: `into` is opened as a stream
// (Table::OpenStream) whose records are made from the text as its cursor goes. For a run, which walks
// its source once; the staging table's memory and file are saved.
StagingResult OpenStagingStream(const std::string& textPath, const TextLayout& layout,
                                const std::vector<std::string>& names, const std::string& tempDir,
                                ProgressSink& progress, Table& into);

// The layout a staging table was last built with (LayoutChanged / RememberLayout).
class LayoutMemory {
public:
    bool LayoutChanged(const std::string& source, const std::string& target, const TextLayout& layout,
                       const std::vector<std::string>& names) const;
    void RememberLayout(const std::string& source, const std::string& target, const TextLayout& layout,
                        const std::vector<std::string>& names);

private:
    bool remembered_ = false;
    std::string source_, target_;
    std::string separators_;
    std::array<int, kBreakSlots> breaks_{};
    bool namesInFirstLine_ = false;
    std::vector<std::string> names_;
};

}  // namespace kimport
