// Writes 1,000,000 records (long integer key, alpha 20, number, date,
// logical) to a keyed Paradox table and to a dBase table, then opens and
// reads them back. Prints time and peak memory of each phase.
#include "BenchSupport.h"
#include "tablestore/Table.h"

#include <cstdio>
#include <filesystem>

using namespace kimport;
using namespace kimport::bench;

namespace {

constexpr int kRecords = 1000000;

void writeTable(const std::string& dir, const std::string& name, int keyFields) {
    MakeTable(dir, name,
              {{"Nr", FieldType::Integer, 0}, {"Name", FieldType::String, 20}, {"Preis", FieldType::Float, 0, false, 2},
               {"Datum", FieldType::Date, 0}, {"Aktiv", FieldType::Boolean, 0}},
              keyFields);
    Table t;
    t.setPath(dir + name);
    t.Exclusive = true;
    t.OpenTable();
    const DayNumber start = dayNumberFromCivil(2000, 1, 1);
    for (int i = 0; i < kRecords; ++i) {
        t.BeginAppend();
        t.SetValue(0, Value::ofInteger(i + 1));
        t.SetValue(1, Value::ofText("Artikel " + std::to_string(i)));
        t.SetValue(2, Value::ofFloat(i * 0.25));
        t.SetValue(3, Value::ofDate(start + i % 9000));
        t.SetValue(4, Value::ofBoolean(i % 2 == 0));
        t.PostRecord();
    }
    t.CloseTable();
}

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
    auto pxWrite = runPhase([&] { writeTable(dir + "px/", "Bench.DB", 1); });
    long pxKb = fileSetKb(dir + "px");
    report("Paradox keyed: write", pxWrite, pxKb);
    auto pxRead = runPhase([&] { readTable(dir + "px/Bench.DB"); });
    report("Paradox keyed: open + read", pxRead, pxKb);
    auto dbWrite = runPhase([&] { writeTable(dir + "dbf/", "BENCH.DBF", 0); });
    long dbKb = fileSetKb(dir + "dbf");
    report("dBase: write", dbWrite, dbKb);
    auto dbRead = runPhase([&] { readTable(dir + "dbf/BENCH.DBF"); });
    report("dBase: open + read", dbRead, dbKb);
    std::filesystem::remove_all(dir);
    bool ok = pxWrite.ok && pxRead.ok && dbWrite.ok && dbRead.ok;
    return ok ? 0 : 1;
}
