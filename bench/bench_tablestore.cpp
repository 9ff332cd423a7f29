// Writes 1,000,000 records (long integer key, alpha 20, number, date,
// logical) to a keyed Paradox table and to a dBase table, then opens and
// reads them back. Prints time and peak memory of each phase. The dBase
// writer alone, from a table held in memory, has its own phase and goal.
#include "BenchSupport.h"
#include "tablestore/FormatCodec.h"
#include "tablestore/Table.h"
#include "tablestore/TableFiles.h"

#include <cstdio>
#include <filesystem>

using namespace kimport;
using namespace kimport::bench;

namespace {

constexpr int kRecords = 1000000;

void readTable(const std::string& path) {
    Table t;
    t.setPath(path);
    t.OpenTable();
    double sum = 0;
    std::size_t chars = 0;
    long count = 0;
    for (t.MoveFirst(); !t.AtEnd(); t.MoveNext()) {
        sum += static_cast<double>(t.GetValue(0).integer) + t.GetValue(2).number + static_cast<double>(t.GetValue(3).integer);
        chars += t.GetValue(1).text.size() + (t.GetValue(4).boolean ? 1 : 0);
        ++count;
    }
    if (count != kRecords) {
        std::fprintf(stderr, "read %ld records, expected %d (%f %zu)\n", count, kRecords, sum, chars);
        std::exit(1);
    }
}

// 1,000,000 records of 40 bytes (name, number, date) held in memory, then written by the dBase writer alone.
void writeDbfImage(const std::string& dir) {
    auto image = dbase::newTable(dir + "GROSS.DBF", {{"Name", FieldType::String, 20}, {"Nr", FieldType::Integer},
                                                     {"Da", FieldType::Date}});
    const std::uint32_t first = image->newRow();
    dbaseCodec().write(*image, image->fields[0], image->row(first), Value::ofText("Kunde"));
    dbaseCodec().write(*image, image->fields[2], image->row(first), Value::ofDate(dayNumberFromCivil(2024, 1, 2)));
    for (int r = 1; r < kRecords; ++r) image->appendRow(image->row(0));
    for (int r = 0; r < kRecords; ++r) {
        dbaseCodec().write(*image, image->fields[1], image->row(static_cast<std::uint32_t>(r)), Value::ofInteger(r));
        image->order.push_back(static_cast<std::uint32_t>(r));
    }
    PhaseResult written = runPhase([&] { dbase::writeTable(*image, realFileSystem()); });
    std::printf("%-28s %7.3f s   goal %5.1f s\n", "dBase: writeTable (memory)", written.seconds, 2.0);
}

void report(const char* what, const PhaseResult& r, long fileKb) {
    std::printf("%-28s %7.3f s   peak %7.1f MB   files %6.1f MB   peak/files %.2f\n", what, r.seconds,
                static_cast<double>(r.peakKb) / 1024, static_cast<double>(fileKb) / 1024,
                fileKb ? static_cast<double>(r.peakKb) / static_cast<double>(fileKb) : 0.0);
}

}  // namespace

int main() {
    std::string dir = (std::filesystem::temp_directory_path() / "kimport-bench-tablestore/").string();
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir + "px");
    std::filesystem::create_directories(dir + "dbf");
    std::printf("table store: %d records (long key, alpha 20, number, date, logical)\n", kRecords);
    auto pxWrite = runPhase([&] { writeArticles(dir + "px/", "Bench.DB", kRecords, 1, false); });
    long pxKb = fileSetKb(dir + "px");
    report("Paradox keyed: write", pxWrite, pxKb);
    auto pxRead = runPhase([&] { readTable(dir + "px/Bench.DB"); });
    report("Paradox keyed: open + read", pxRead, pxKb);
    auto dbWrite = runPhase([&] { writeArticles(dir + "dbf/", "BENCH.DBF", kRecords, 0, false); });
    long dbKb = fileSetKb(dir + "dbf");
    report("dBase: write", dbWrite, dbKb);
    auto dbRead = runPhase([&] { readTable(dir + "dbf/BENCH.DBF"); });
    report("dBase: open + read", dbRead, dbKb);
    writeDbfImage(dir + "dbf/");
    std::filesystem::remove_all(dir);
    bool ok = pxWrite.ok && pxRead.ok && dbWrite.ok && dbRead.ok;
    return ok ? 0 : 1;
}
