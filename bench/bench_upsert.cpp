// A small change to a large table: 1,000 rows into a keyed Paradox table of 2,500,000 records through
// `kimport run`, against sqlite3 doing the same to the same rows in its own table (an attached source
// database, INSERT … ON CONFLICT; process start counted on both sides). Four jobs: new keys after the
// last one (mode 1), new keys scattered between the present ones (mode 1; blocks fill and split),
// existing keys scattered (mode 5, updates) and half of each (mode 5). Each round starts both sides from
// a fresh copy of their table; rounds alternate the two sides. Prints medians, the ratio ours/sqlite3
// and kimport's peak memory. The folder is below TMPDIR, so TMPDIR picks the file system.
// KIMPORT_BENCH_RECORDS sets the table's size, KIMPORT_BENCH_ROUNDS the rounds.
#include "BenchSupport.h"
#include "common/FileSets.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <set>

using namespace kimport;
using kimport::bench::timeCommand;
using kimport::bench::Timed;

namespace {

constexpr int kRows = 1000;
// At least as many records as rows: the scattered keys are drawn without repeats from the table's.
const std::int64_t kRecords = std::max<std::int64_t>(
    kRows, std::getenv("KIMPORT_BENCH_RECORDS") ? std::atoll(std::getenv("KIMPORT_BENCH_RECORDS")) : 2500000);
const int kRounds =
    std::getenv("KIMPORT_BENCH_ROUNDS") ? std::max(1, std::atoi(std::getenv("KIMPORT_BENCH_ROUNDS"))) : 3;

std::vector<FieldSpec> fields() {
    return {{"Nr", FieldType::Integer, 0}, {"Name", FieldType::String, 40}, {"Ort", FieldType::String, 30}};
}

std::string nameOf(std::int64_t key, bool changed) {
    return (changed ? "Neu " : "Kunde ") + std::to_string(key);
}

// The target holds the even keys 2 … 2·records, so that odd keys fall between present ones.
void fillTarget(const std::string& path) {
    Table t;
    t.setPath(path);
    t.CreateTable(newTableImage(path, fields(), 1));
    t.ReserveRecords(static_cast<std::uint64_t>(kRecords));
    for (std::int64_t i = 1; i <= kRecords; ++i) {
        t.BeginAppend();
        t.SetAsInteger(0, 2 * i);
        t.SetText(1, nameOf(2 * i, false));
        t.SetText(2, "Ort " + std::to_string(i % 1000));
        t.PostRecord();
    }
    t.CloseTable();
}

void fillSource(const std::string& path, const std::vector<std::int64_t>& keys) {
    MakeTable(directoryOf(path), fileNameOf(path), fields(), 1);
    Table t;
    t.setPath(path);
    t.Exclusive = true;
    t.OpenTable();
    for (std::int64_t key : keys) {
        t.BeginAppend();
        t.SetAsInteger(0, key);
        t.SetText(1, nameOf(key, true));
        t.SetText(2, "Ort neu");
        t.PostRecord();
    }
    t.CloseTable();
}

std::string sqlQuoted(const std::string& s) {
    return "'" + s + "'";
}

void fillSqliteSource(const std::string& path, const std::vector<std::int64_t>& keys) {
    std::string sql = "CREATE TABLE s(Nr INTEGER PRIMARY KEY, Name TEXT, Ort TEXT); BEGIN;";
    for (std::int64_t key : keys)
        sql += "INSERT INTO s VALUES(" + std::to_string(key) + "," + sqlQuoted(nameOf(key, true)) + ",'Ort neu');";
    sql += "COMMIT;";
    std::filesystem::remove(path);
    const std::string script = path + ".sql";
    if (FILE* f = std::fopen(script.c_str(), "w")) {
        std::fputs(sql.c_str(), f);
        std::fclose(f);
    }
    std::system(("sqlite3 '" + path + "' < '" + script + "'").c_str());
}

struct Job {
    const char* what;
    int mode;
    std::vector<std::int64_t> keys;
    std::int64_t added;  // records the job adds to the table
    std::string source = {}, sqliteSource = {};
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const std::string kimport = bench::kimportBeside(argc, argv);
    if (std::system("command -v sqlite3 >/dev/null 2>&1") != 0) {
        std::printf("sqlite3 fehlt: scripts/install-deps --bench\n");
        return 1;
    }
    const std::string dir = bench::freshBenchFolder("kimport-bench-upsert");
    std::printf("making a keyed table of %lld records and sqlite3's copy of it ...\n",
                static_cast<long long>(kRecords));
    std::fflush(stdout);
    fillTarget(dir + "Gross.DB");
    std::system(("sqlite3 '" + dir +
                 "gross.sqlite' \"CREATE TABLE t(Nr INTEGER PRIMARY KEY, Name TEXT, Ort TEXT); "
                 "WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM c WHERE i<" +
                 std::to_string(kRecords) + ") INSERT INTO t SELECT 2*i, 'Kunde '||(2*i), 'Ort '||(i%1000) FROM c;\"")
                    .c_str());

    std::mt19937_64 random(25);
    auto scattered = [&](bool odd, int count) {
        std::set<std::int64_t> keys;
        std::uniform_int_distribution<std::int64_t> pick(1, kRecords);
        while (static_cast<int>(keys.size()) < count) keys.insert(2 * pick(random) - (odd ? 1 : 0));
        std::vector<std::int64_t> v(keys.begin(), keys.end());
        std::shuffle(v.begin(), v.end(), random);
        return v;
    };
    std::vector<Job> jobs;
    {
        std::vector<std::int64_t> after;
        for (int i = 1; i <= kRows; ++i) after.push_back(2 * kRecords + 2 * i);
        jobs.push_back({"neue Schlüssel am Ende, Modus 1", 1, after, kRows});
    }
    jobs.push_back({"neue Schlüssel verstreut, Modus 1", 1, scattered(true, kRows), kRows});
    jobs.push_back({"vorhandene verstreut, Modus 5", 5, scattered(false, kRows), 0});
    {
        std::vector<std::int64_t> mixed = scattered(false, kRows / 2), fresh = scattered(true, kRows / 2);
        mixed.insert(mixed.end(), fresh.begin(), fresh.end());
        jobs.push_back({"halb und halb, Modus 5", 5, mixed, kRows / 2});
    }
    for (std::size_t j = 0; j < jobs.size(); ++j) {
        jobs[j].source = dir + "Q" + std::to_string(j) + ".DB";
        jobs[j].sqliteSource = dir + "q" + std::to_string(j) + ".sqlite";
        fillSource(jobs[j].source, jobs[j].keys);
        fillSqliteSource(jobs[j].sqliteSource, jobs[j].keys);
    }

    std::printf("%-36s %9s %9s %7s %9s\n", "job (1,000 rows)", "kimport s", "sqlite3 s", "ratio", "peak MB");
    bool ok = true;
    for (const Job& job : jobs) {
        std::vector<double> ours, theirs;
        long peakKb = 0;
        for (int round = 0; round < kRounds; ++round) {
            // Fresh copies outside the timing; a file system that clones makes them cheaply.
            std::system(("cd '" + dir +
                         "' && for f in Gross.*; do cp --reflink=auto \"$f\" \"run_$f\"; done && "
                         "cp --reflink=auto gross.sqlite run.sqlite")
                            .c_str());
            const std::string target = dir + "run_Gross.DB";
            for (int side = 0; side < 2; ++side) {
                const bool kimportFirst = round % 2 == 0;
                if ((side == 0) == kimportFirst) {
                    Timed t = timeCommand(kimport + " run --program-dir " + dir + "prog --source " + job.source +
                                          " --target " + target + " --mode " + std::to_string(job.mode) +
                                          " >/dev/null 2>" + dir + "stderr.txt");
                    ok = ok && t.status == 0;
                    if (t.status != 0) std::system(("cat " + dir + "stderr.txt").c_str());
                    ours.push_back(t.seconds);
                    peakKb = std::max(peakKb, t.peakKb);
                } else {
                    Timed t = timeCommand("sqlite3 '" + dir + "run.sqlite' \"ATTACH '" + job.sqliteSource +
                                          "' AS q; INSERT INTO t SELECT * FROM q.s WHERE true ON CONFLICT(Nr) DO "
                                          "UPDATE SET Name=excluded.Name, Ort=excluded.Ort;\"");
                    ok = ok && t.status == 0;
                    theirs.push_back(t.seconds);
                }
            }
            const std::int64_t expected = kRecords + job.added;
            if (bench::recordsIn(target) != expected) {
                std::printf("  %s: %lld records afterwards, %lld expected\n", job.what,
                            static_cast<long long>(bench::recordsIn(target)), static_cast<long long>(expected));
                ok = false;
            }
        }
        const double a = median(ours), b = median(theirs);
        std::printf("%-36s %9.3f %9.3f %7.1f %9.1f\n", job.what, a, b, b > 0 ? a / b : 0, peakKb / 1024.0);
        std::fflush(stdout);
    }
    if (!std::getenv("KIMPORT_BENCH_KEEP")) std::filesystem::remove_all(dir);
    return ok ? 0 : 1;
}
