#include "progress/RunReport.h"

#include "common/Text.h"
#include "tablestore/Dump.h"
#include "tablestore/FileSetWriter.h"

#include <sstream>

namespace kimport {

void RunReport::clear() {
    entries_.clear();
    lines_.clear();
    omitted_ = 0;
    for (std::int64_t& n : recordsFor_) n = 0;
}

void RunReport::add(ReportEntry entry) {
    if (full()) {
        countOnly(entry.counter, entry.records);
        return;
    }
    recordsFor_[static_cast<int>(entry.counter)] += entry.records;
    for (std::string* value : {&entry.sourceValue, &entry.triedValue})
        if (value->size() > kMaxValueChars) *value = firstChars(*value, kMaxValueChars) + "…";
    if (!lines_.empty() && entry.record >= 1 && entry.record <= static_cast<std::int64_t>(lines_.size()))
        entry.record = lines_[static_cast<std::size_t>(entry.record - 1)];
    entries_.push_back(std::move(entry));
}

std::int64_t RunReport::recordsFor(ReportCounter counter) const { return recordsFor_[static_cast<int>(counter)]; }

const char* counterName(ReportCounter counter) {
    switch (counter) {
    case ReportCounter::Errors: return "Fehler";
    case ReportCounter::Ignored: return "ignoriert";
    case ReportCounter::None: break;
    }
    return "Hinweis";
}

namespace {

std::string csvField(const std::string& value) { return csvQuote(value, ';'); }

}  // namespace

std::string recordText(const ReportEntry& e) {
    if (e.record <= 0) return {};  // about the whole run, no record of it
    if (e.records <= 1) return std::to_string(e.record);
    return std::to_string(e.record) + "-" + std::to_string(e.record + e.records - 1);
}

std::vector<std::string> reportHeadings(const RunReport& report) {
    return {report.namesLines() ? "Zeile" : "Datensatz", "Art", "Zielfeld", "Quellwert", "Versuchter Wert", "Grund"};
}

void writeReportCsv(const RunReport& report, std::ostream& out) {
    out << "\xEF\xBB\xBF";
    const std::vector<std::string> headings = reportHeadings(report);
    for (std::size_t i = 0; i < headings.size(); ++i) out << (i ? ";" : "") << headings[i];
    out << "\r\n";
    for (const ReportEntry& e : report.entries())
        out << recordText(e) << ';' << counterName(e.counter) << ';' << csvField(e.field) << ';'
            << csvField(e.sourceValue) << ';' << csvField(e.triedValue) << ';' << csvField(e.reason) << "\r\n";
    if (report.omitted() > 0)
        out << ";Hinweis;;;;" << report.omitted() << " weitere Einträge wurden nicht aufgeführt.\r\n";
}

void saveReportCsv(const RunReport& report, const std::string& path, FileSystem& fs) {
    std::ostringstream text;
    writeReportCsv(report, text);
    const std::string bytes = text.str();
    FileSetWriter writer(fs, path);
    FileHandle& file = writer.create(path);
    file.write(bytes.data(), bytes.size());
    writer.commit();
}

std::string describeEntry(const RunReport& report, const ReportEntry& e) {
    std::string text = e.record <= 0 ? std::string("Vor dem Lauf")
                                     : std::string(report.namesLines() ? "Zeile " : "Datensatz ") + recordText(e);
    if (!e.field.empty()) text += ", Feld " + e.field;
    text += ": " + e.reason;
    if (!e.sourceValue.empty()) text += " (Quellwert \"" + e.sourceValue + "\")";
    if (!e.triedValue.empty()) text += " (versucht: \"" + e.triedValue + "\")";
    return text;
}

}  // namespace kimport
