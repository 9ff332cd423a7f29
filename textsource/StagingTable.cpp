#include "textsource/StagingTable.h"

#include "common/CodePage.h"
#include "common/FileSets.h"
#include "common/Text.h"
#include "tablestore/FormatCodec.h"
#include "tablestore/RowFeed.h"
#include "tablestore/Table.h"
#include "tablestore/TableFiles.h"
#include "textsource/TextFile.h"
#include "textsource/TextSplit.h"

#include <algorithm>
#include <filesystem>

namespace kimport {

namespace {

constexpr std::size_t kPreviewLines = 20;
constexpr std::size_t kMaxAlpha = 255;
constexpr std::size_t kMaxFields = 255;  // fields of a Paradox table
constexpr int kMaxRecordBytes = 4000;
// A memo field takes its leader (the value's first characters) and 10 bytes saying where the rest lies.
constexpr int kMemoLeader = 10;
constexpr int kShortMemoLeader = 1;  // for narrow columns that must still leave the record
constexpr int kMemoPointerBytes = 10;

// The staging fields: a text field per column sized to its longest value, a memo field for values a text
// field cannot hold. Where a record would be longer than a Paradox table takes, the widest text fields
// become memo fields, each only where that makes the record shorter; a file whose records cannot fit even
// then is refused.
std::vector<FieldSpec> stagingFields(const std::string& textPath, const std::vector<std::string>& names,
                                     const std::vector<std::size_t>& widths) {
    auto inRecord = [](const FieldSpec& f) { return f.type == FieldType::Memo ? f.size + kMemoPointerBytes : f.size; };
    std::vector<FieldSpec> fields;
    fields.reserve(names.size());
    std::size_t recordBytes = 0;
    for (std::size_t j = 0; j < names.size(); ++j) {
        if (widths[j] > kMaxAlpha)
            fields.push_back(FieldSpec{names[j], FieldType::Memo, kMemoLeader});
        else
            fields.push_back(FieldSpec{names[j], FieldType::String, static_cast<int>(widths[j])});
        recordBytes += static_cast<std::size_t>(inRecord(fields.back()));
    }
    auto tooLong = [&] { return recordBytes > static_cast<std::size_t>(kMaxRecordBytes); };
    // Changes fields, most bytes saved first, while the record is too long and the change saves bytes.
    auto shrink = [&](FieldType from, int leader) {
        std::vector<std::size_t> order;
        for (std::size_t j = 0; j < fields.size(); ++j)
            if (fields[j].type == from && inRecord(fields[j]) > leader + kMemoPointerBytes) order.push_back(j);
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t x, std::size_t y) { return fields[x].size > fields[y].size; });
        for (std::size_t k = 0; k < order.size() && tooLong(); ++k) {
            FieldSpec& f = fields[order[k]];
            recordBytes -= static_cast<std::size_t>(inRecord(f) - leader - kMemoPointerBytes);
            f = FieldSpec{f.name, FieldType::Memo, leader};
        }
    };
    shrink(FieldType::String, kMemoLeader);       // wide columns keep their first characters in the record
    shrink(FieldType::Memo, kShortMemoLeader);    // then memo fields give up most of their leader
    shrink(FieldType::String, kShortMemoLeader);  // then narrow columns go into memo fields too
    if (tooLong())
        throw TableError("Die Textdatei " + fileNameOf(textPath) + " hat " + std::to_string(names.size()) +
                             " Spalten; ein Datensatz bräuchte auch mit Memofeldern " + std::to_string(recordBytes) +
                             " Bytes, eine Paradox-Tabelle nimmt höchstens " + std::to_string(kMaxRecordBytes) +
                             " Bytes je Datensatz auf.",
                         TableError::Kind::Limit, textPath);
    return fields;
}

std::string upperName(const std::string& raw) {
    std::string out;
    for (std::size_t pos = 0; pos < raw.size();) {
        std::size_t start = pos;
        char32_t c = nextCodePoint(raw, pos);
        // Brackets, braces and quotes are not allowed in Paradox field names.
        if (c == '[' || c == ']' || c == '{' || c == '}' || c == '(' || c == ')' || c == '"' || c < 32) {
            out += '_';
            continue;
        }
        out += foldedUpper(raw.substr(start, pos - start));
    }
    return trim(out);
}

// The six one-character values of a variable layout, as one text to compare.
std::string separatorKey(const TextLayout& layout) {
    return std::string(layout.comma ? "," : "") + (layout.tab ? "\t" : "") + (layout.space ? " " : "") +
           (layout.semicolon ? ";" : "") + "|" + (layout.other ? layout.otherChar : "") + "|" +
           std::string(1, layout.activeQuote());
}

// The values read by the first pass, kept while they fit in a bounded amount of memory, so that the
// table is filled without reading and splitting the file a second time. Past the bound they are
// dropped and the file is read again.
class HeldValues {
public:
    void add(const std::string& value) {
        if (dropped_) return;
        if (bytes_.size() + value.size() + sizeof(std::uint32_t) * (ends_.size() + 1) > kLimit) {
            dropped_ = true;
            std::string().swap(bytes_);
            std::vector<std::uint32_t>().swap(ends_);
            return;
        }
        bytes_ += value;
        ends_.push_back(static_cast<std::uint32_t>(bytes_.size()));
    }
    void reserve(std::uintmax_t bytes) { bytes_.reserve(static_cast<std::size_t>(std::min<std::uintmax_t>(bytes, kLimit))); }
    bool complete() const { return !dropped_; }
    // The k-th value added.
    std::string_view at(std::size_t k) const {
        const std::uint32_t from = k == 0 ? 0 : ends_[k - 1];
        return std::string_view(bytes_).substr(from, ends_[k] - from);
    }

private:
    static constexpr std::size_t kLimit = 256u << 20;
    std::string bytes_;
    std::vector<std::uint32_t> ends_;
    bool dropped_ = false;
};

}  // namespace

std::string validColumnName(const std::string& raw, int column, std::set<std::string>& taken) {
    std::string name = upperName(raw);
    if (charCount(name) > 25) name = firstChars(name, 25);
    if (name.empty()) name = "FELD_" + std::to_string(column + 1);
    std::string unique = name;
    for (int n = 2; taken.count(foldedUpper(unique)); ++n) {
        std::string suffix = "_" + std::to_string(n);
        unique = firstChars(name, 25 - suffix.size()) + suffix;
    }
    taken.insert(foldedUpper(unique));
    return unique;
}

std::vector<std::string> columnNamesFor(const std::vector<std::string>& firstValues, const TextLayout& layout) {
    std::vector<std::string> names;
    std::set<std::string> taken;
    for (std::size_t i = 0; i < firstValues.size(); ++i) {
        std::string raw;
        if (layout.namesInFirstLine)
            raw = firstValues[i];
        else if (i < layout.columnNames.size())
            raw = layout.columnNames[i];
        names.push_back(validColumnName(raw, static_cast<int>(i), taken));
    }
    return names;
}

TextPreview BuildPreview(const std::string& path, const TextLayout& layout) {
    TextPreview preview;
    TextFileReader reader(path, detectEncoding(path, layout.encoding, layout.dos));
    std::string record;
    std::size_t columns = 0;
    for (std::size_t line = 0; line < kPreviewLines && reader.nextRecord(record, layout); ++line) {
        std::vector<std::string> values = splitLine(record, layout);
        if (line == 0) {
            columns = values.size();
            preview.names = columnNamesFor(values, layout);
            if (layout.namesInFirstLine) continue;
        }
        values.resize(columns);
        preview.rows.push_back(std::move(values));
    }
    return preview;
}

std::string stagingTablePath(const std::string& textPath, const std::string& tempDir) {
    return withTrailingSlash(tempDir) + baseNameOf(textPath) + ".db";
}

namespace {

// What the reading pass found: the records' count, lines and problems, the fields sized to the
// longest values, and the values themselves while they fit in bounded memory.
struct TextPass {
    StagingResult result;
    std::vector<FieldSpec> fields;
    int codePage = 1252;
    TextEncoding encoding = TextEncoding::Auto;
    HeldValues held;
};

TextPass readTextPass(const std::string& textPath, const TextLayout& layout, const std::vector<std::string>& names,
                      const std::string& tempDir, ProgressSink& progress) {
    TextPass pass;
    StagingResult& result = pass.result;
    HeldValues& held = pass.held;
    if (names.empty())
        throw TableError("Die Textdatei " + fileNameOf(textPath) + " hat keine Spalten.", TableError::Kind::Usage,
                         textPath);
    if (names.size() > kMaxFields)
        throw TableError("Die Textdatei " + fileNameOf(textPath) + " hat " + std::to_string(names.size()) +
                             " Spalten; eine Paradox-Tabelle nimmt höchstens " + std::to_string(kMaxFields) +
                             " Felder auf.",
                         TableError::Kind::Limit, textPath);
    std::filesystem::create_directories(tempDir);
    const std::size_t columns = names.size();
    TextFileReader reader(textPath, detectEncoding(textPath, layout.encoding, layout.dos));
    const std::uint64_t fileSize = reader.size();
    progress.prepareTextRead("Textdatei wird eingelesen...",
                             static_cast<int>(std::min<std::uint64_t>(fileSize / 1024 + 1, INT32_MAX)));
    progress.show();

    // The reading pass finds the longest value of each column and keeps the values while they fit in
    // bounded memory; the table, sized by then, is filled from them (or from a second reading pass).
    std::vector<std::size_t> longest(columns, 1), longestBytes(columns, 1);
    held.reserve(fileSize);  // the values are about as long as the file: grown once, not by doubling
    bool windowsText = true;  // every value fits Windows-1252
    std::string record;
    bool unclosed = false;
    if (layout.namesInFirstLine) reader.nextRecord(record, layout);
    std::vector<std::string> values;
    while (!progress.cancelled() && reader.nextRecord(record, layout, &unclosed)) {
        splitLineInto(record, layout, values);
        result.lineOfRecord.push_back(reader.lineNumber());
        const bool keepProblem = result.readProblems.size() < RunReport::kMaxEntries;
        auto problem = [&](std::string field, std::string value, std::string reason) {
            ++result.readErrors;
            progress.addToCounter(Counter::AnzFehler);
            if (!keepProblem) return;
            ReportEntry e;
            e.record = result.records + 1;
            e.field = std::move(field);
            e.sourceValue = std::move(value);
            e.reason = std::move(reason);
            e.counter = ReportCounter::Errors;
            result.readProblems.push_back(std::move(e));
        };
        if (values.size() > columns) {
            ++result.surplusLines;
            if (result.firstSurplus.size() < 10) result.firstSurplus.push_back(reader.lineNumber());
            std::string surplus;
            for (std::size_t j = columns; j < values.size() && surplus.size() <= RunReport::kMaxValueChars; ++j)
                surplus += (j > columns ? "; " : "") + values[j];
            problem({}, std::move(surplus),
                    "Die Zeile hat " + std::to_string(values.size()) + " Werte, die Datei " + std::to_string(columns) +
                        " Spalten; die überzähligen Werte wurden nicht eingelesen.");
        }
        if (unclosed) {
            ++result.unclosedQuotes;
            problem({}, firstChars(record, RunReport::kMaxValueChars),
                    "Ein Anführungszeichen wird nicht geschlossen; es wurde als Zeichen gelesen, und die "
                    "folgenden Zeilen wurden einzeln eingelesen.");
        }
        values.resize(columns);
        // A text field cannot hold the character 0: such a value is a field error, not cut at it.
        for (std::size_t j = 0; j < columns; ++j) {
            const std::size_t nul = values[j].find('\0');
            if (nul == std::string::npos) continue;
            std::string shown = values[j];
            for (std::size_t at = shown.find('\0'); at != std::string::npos; at = shown.find('\0', at))
                shown.replace(at, 1, "<NUL>");
            problem(names[j], firstChars(shown, RunReport::kMaxValueChars),
                    "Der Wert enthält an Stelle " + std::to_string(charCount(std::string_view(values[j]).substr(0, nul)) + 1) +
                        " das Zeichen 0 (NUL), das ein Textfeld nicht aufnehmen kann; er wurde nicht eingelesen.");
            values[j].clear();
        }
        for (std::size_t j = 0; j < columns; ++j) {
            const std::string& v = values[j];
            const bool ascii = isAscii(v);
            if (!ascii) {
                std::string ignored;
                windowsText = windowsText && encodeCodePageExactly(v, 1252, ignored);
            }
            longest[j] = std::max(longest[j], ascii ? v.size() : charCount(v));
            longestBytes[j] = std::max(longestBytes[j], v.size());
            held.add(v);
        }
        ++result.records;
        progress.addToCounter(Counter::AnzGeles2);
        if ((result.records & 0xFF) == 0)
            progress.setPosition(static_cast<int>(std::min<std::uint64_t>(reader.position() / 1024, INT32_MAX)));
        progress.pump();
    }
    result.cancelled = progress.cancelled();
    progress.setPosition(static_cast<int>(std::min<std::uint64_t>(reader.position() / 1024, INT32_MAX)));

    // Text that Windows-1252 cannot hold is kept as UTF-8: the staging table is read only by this program.
    const int codePage = windowsText ? 1252 : 65001;
    std::vector<FieldSpec> fields = stagingFields(textPath, names, windowsText ? longest : longestBytes);
    for (const FieldSpec& f : fields)
        if (f.type == FieldType::Memo) result.memoColumns.push_back(f.name);

    pass.codePage = codePage;
    pass.fields = std::move(fields);
    pass.encoding = reader.encoding();
    result.path = stagingTablePath(textPath, tempDir);
    return pass;
}

// Writes one record's values into a row of the staging layout, as Table::SetText would.
void fillRow(TableImage& image, char* row, const std::vector<std::string_view>& values) {
    const FormatCodec& codec = codecFor(image.format);
    for (std::size_t j = 0; j < values.size(); ++j)
        if (!values[j].empty()) codec.writeText(image, image.fields[j], row, values[j]);
}

// Hands out the staging records from the values the reading pass held, or, where they did not fit,
// by reading and splitting the file again.
class TextRowFeed : public RowFeed {
public:
    // Takes the held values of the pass.
    TextRowFeed(std::string textPath, TextLayout layout, TextPass& pass)
        : textPath_(std::move(textPath)), layout_(std::move(layout)), encoding_(pass.encoding),
          records_(pass.result.records), columns_(pass.fields.size()), held_(std::move(pass.held)) {}

    std::uint64_t liveRecords() override { return static_cast<std::uint64_t>(records_); }
    void restart() override {
        next_ = 0;
        reader_.reset();
    }
    bool nextBatch(TableImage& image, std::size_t rows) override {
        if (next_ >= records_) return false;
        if (!held_.complete() && !reader_) {
            reader_ = std::make_unique<TextFileReader>(textPath_, encoding_);
            if (layout_.namesInFirstLine) reader_->nextRecord(record_, layout_);
        }
        std::vector<std::string_view> values(columns_);
        const std::uint32_t first = image.rowCount();
        for (std::size_t n = 0; n < rows && next_ < records_; ++n, ++next_) {
            if (held_.complete()) {
                for (std::size_t j = 0; j < columns_; ++j) values[j] = held_.at(static_cast<std::size_t>(next_) * columns_ + j);
            } else {
                if (!reader_->nextRecord(record_, layout_)) {
                    next_ = records_;  // the file became shorter meanwhile
                    break;
                }
                splitLineInto(record_, layout_, split_);
                split_.resize(columns_);
                for (std::size_t j = 0; j < columns_; ++j) {
                    if (split_[j].find('\0') != std::string::npos) split_[j].clear();  // reported by the first pass
                    values[j] = split_[j];
                }
            }
            const std::uint32_t r = image.newRow();
            fillRow(image, image.row(r), values);
            image.order.push_back(r);
        }
        return image.rowCount() > first;
    }

private:
    std::string textPath_;
    TextLayout layout_;
    TextEncoding encoding_;
    std::int64_t records_;
    std::size_t columns_;
    HeldValues held_;
    std::int64_t next_ = 0;
    std::unique_ptr<TextFileReader> reader_;
    std::string record_;
    std::vector<std::string> split_;
};

// The staging table's structure, sized by the reading pass, without records.
std::unique_ptr<TableImage> stagingImage(const TextPass& pass) {
    auto image = newTableImage(pass.result.path, pass.fields);
    paradox::setCodePage(*image, pass.codePage);
    return image;
}

// The progress window of a text read: closed however the read ends, since a window left open keeps
// the wizard disabled.
class TextReadWindow {
public:
    explicit TextReadWindow(ProgressSink& progress) : progress_(progress) {}
    ~TextReadWindow() {
        if (!finished_) {
            progress_.endTextRead();
            progress_.close();
        }
    }
    TextReadWindow(const TextReadWindow&) = delete;
    TextReadWindow& operator=(const TextReadWindow&) = delete;
    void finish() {
        progress_.appendStatus("fertig.");
        progress_.endTextRead();
        progress_.close();
        finished_ = true;
    }

private:
    ProgressSink& progress_;
    bool finished_ = false;
};

}  // namespace

StagingResult BuildStagingTable(const std::string& textPath, const TextLayout& layout,
                                const std::vector<std::string>& names, const std::string& tempDir,
                                ProgressSink& progress, Table* keepOpen) {
    TextReadWindow window(progress);
    TextPass pass = readTextPass(textPath, layout, names, tempDir, progress);
    StagingResult& result = pass.result;
    progress.setStatus("Feldgrößen werden definiert...");
    progress.setAnimation(GaugeAnimation::Sizing);
    auto image = stagingImage(pass);
    // The records come through the same feed a run may read the text through.
    image->rows.reserve(static_cast<std::uint64_t>(result.records), static_cast<std::size_t>(image->recordLength));
    TextRowFeed feed(textPath, layout, pass);
    while (feed.nextBatch(*image, 1024)) progress.pump();
    Table local;
    Table& table = keepOpen ? *keepOpen : local;
    table.setPath(result.path);
    table.CreateTable(std::move(image));
    if (keepOpen)
        table.Flush();
    else
        table.CloseTable();
    window.finish();
    return result;
}

StagingResult OpenStagingStream(const std::string& textPath, const TextLayout& layout,
                                const std::vector<std::string>& names, const std::string& tempDir,
                                ProgressSink& progress, Table& into) {
    TextReadWindow window(progress);
    TextPass pass = readTextPass(textPath, layout, names, tempDir, progress);
    auto image = stagingImage(pass);
    auto feed = std::make_unique<TextRowFeed>(textPath, layout, pass);
    StagingResult result = std::move(pass.result);
    into.OpenStream(TableStream{std::move(image), std::move(feed)});
    window.finish();
    return result;
}

bool LayoutMemory::LayoutChanged(const std::string& source, const std::string& target, const TextLayout& layout,
                                 const std::vector<std::string>& names) const {
    if (!remembered_) return true;
    if (foldedUpper(source) != source_ || foldedUpper(target) != target_) return true;
    if (layout.kind == LayoutKind::Fixed) {
        if (layout.breaks != breaks_) return true;
    } else {
        if (separatorKey(layout) != separators_) return true;
    }
    if (layout.namesInFirstLine != namesInFirstLine_) return true;
    std::size_t n = std::min<std::size_t>(100, names.size());
    for (std::size_t i = 0; i < n; ++i)
        if (i >= names_.size() || names[i] != names_[i]) return true;
    return false;
}

void LayoutMemory::RememberLayout(const std::string& source, const std::string& target, const TextLayout& layout,
                                  const std::vector<std::string>& names) {
    remembered_ = true;
    source_ = foldedUpper(source);
    target_ = foldedUpper(target);
    if (layout.kind == LayoutKind::Fixed)
        breaks_ = layout.breaks;
    else
        separators_ = separatorKey(layout);
    namesInFirstLine_ = layout.namesInFirstLine;
    names_.assign(names.begin(), names.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(100, names.size())));
}

}  // namespace kimport
