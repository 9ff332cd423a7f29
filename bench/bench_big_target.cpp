// Tables near the formats' size limits: a 1.9 GB Paradox table with 32 KB blocks and a 2 GB dBase
// table each take 100,000 records from a source table through `kimport run` (Paradox in mode 1 and
// mode 5, dBase in mode 1, as dBase tables have no primary key). Prints each run's time, its peak
// memory and the goal for it (1.5 times the target's files plus 100 MB), and checks the record
// counts afterwards. The tables are made here and removed at the end (KIMPORT_BENCH_KEEP=1 keeps them).
#include "BenchSupport.h"

#include <cstdio>
#include <filesystem>

using namespace kimport;
using kimport::bench::Timed;
using kimport::bench::timeCommand;

namespace {

constexpr std::uint64_t kAppended = 100000;
constexpr int kNameLength = 196;  // with the 4-byte number a 200-byte Paradox record

std::vector<FieldSpec> paradoxFields() { return {{"Nr", FieldType::Integer, 0}, {"Name", FieldType::String, kNameLength}}; }
std::vector<FieldSpec> dbaseFields() {
    return {{"NR", FieldType::Float, 10, false, 0}, {"NAME", FieldType::String, kNameLength - 7}};  // 200 bytes with the flag
}

// Numbers first..last with a name that fills most of its field.
void fill(const std::string& dir, const std::string& name, const std::vector<FieldSpec>& fields, int keys,
          std::int64_t first, std::int64_t last) {
    // Made anew in memory, a Paradox table may take the level-7 block size its records need.
    Table t;
    t.setPath(dir + name);
    t.CreateTable(newTableImage(dir + name, fields, keys));
    t.ReserveRecords(static_cast<std::uint64_t>(last - first + 1));
    const std::string filler(150, 'x');
    for (std::int64_t i = first; i <= last; ++i) {
        t.BeginAppend();
        t.SetAsInteger(0, i);
        t.SetText(1, "Kunde " + std::to_string(i) + " " + filler);
        t.PostRecord();
    }
    t.CloseTable();
}

double mb(double bytes) { return bytes / (1024.0 * 1024.0); }

struct Case {
    const char* what;
    std::string target, source;
    int mode;
    std::int64_t expectAfter;
};

}  // namespace

int main(int argc, char** argv) {
    const std::string kimport = bench::kimportBeside(argc, argv);
    const std::string dir = bench::freshBenchFolder("kimport-bench-big");

    // 65535 blocks of 32 KB hold 163 records of 200 bytes each; 1.9 GB are 57,983 blocks.
    const std::int64_t paradoxRecords = 57983LL * 163;
    const std::int64_t dbaseRecords = 2000000000LL / 200;
    std::printf("making the tables: Paradox %lld records, dBase %lld records ...\n",
                static_cast<long long>(paradoxRecords), static_cast<long long>(dbaseRecords));
    std::fflush(stdout);
    fill(dir, "Gross.DB", paradoxFields(), 1, 1, paradoxRecords);
    // Mode 1 appends new keys; mode 5 then updates 50,000 and adds 50,000.
    fill(dir, "Neu.DB", paradoxFields(), 1, paradoxRecords + 1, paradoxRecords + kAppended);
    fill(dir, "Mischung.DB", paradoxFields(), 1, paradoxRecords + kAppended / 2 + 1,
         paradoxRecords + 3 * kAppended / 2);
    fill(dir, "GROSS.DBF", dbaseFields(), 0, 1, dbaseRecords);
    fill(dir, "NEU.DBF", dbaseFields(), 0, dbaseRecords + 1, dbaseRecords + kAppended);

    const Case cases[] = {
        {"Paradox mode 1", dir + "Gross.DB", dir + "Neu.DB", 1, paradoxRecords + static_cast<std::int64_t>(kAppended)},
        {"Paradox mode 5", dir + "Gross.DB", dir + "Mischung.DB", 5,
         paradoxRecords + 3 * static_cast<std::int64_t>(kAppended) / 2},
        {"dBase mode 1", dir + "GROSS.DBF", dir + "NEU.DBF", 1, dbaseRecords + static_cast<std::int64_t>(kAppended)},
    };
    std::printf("%-16s %10s %10s %10s %10s %s\n", "case", "target MB", "time s", "peak MB", "goal MB", "records after");
    bool ok = true;
    for (const Case& c : cases) {
        const double targetBytes = static_cast<double>(bench::fileSetBytes(c.target));
        Timed t = timeCommand(kimport + " run --program-dir " + dir + "prog --source " + c.source + " --target " +
                              c.target + " --mode " + std::to_string(c.mode) + " >/dev/null 2>" + dir + "stderr.txt");
        const std::int64_t after = bench::recordsIn(c.target);
        const double goal = 1.5 * mb(targetBytes) + 100;
        const double peak = static_cast<double>(t.peakKb) / 1024;
        const bool good = t.status == 0 && after == c.expectAfter && peak <= goal;
        ok = ok && good;
        std::printf("%-16s %10.1f %10.2f %10.1f %10.1f %lld%s\n", c.what, mb(targetBytes), t.seconds, peak, goal,
                    static_cast<long long>(after), good ? "" : "   (FAILED)");
        std::fflush(stdout);
        if (t.status != 0) std::system(("cat " + dir + "stderr.txt").c_str());
    }
    if (!std::getenv("KIMPORT_BENCH_KEEP")) std::filesystem::remove_all(dir);
    return ok ? 0 : 1;
}
