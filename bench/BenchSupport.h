// Timing and peak memory of one phase, measured in a child process so each
// phase's peak is its own.
#pragma once

#include "settings/ControlTables.h"
#include "tablestore/Table.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kimport::bench {

// A table of `records` articles (number, name, price, date, flag) with `keyFields` key fields; appended
// from the highest number down when `descending`, so that key order and file order differ.
inline void writeArticles(const std::string& dir, const std::string& name, int records, int keyFields,
                          bool descending) {
    MakeTable(dir, name,
              {{"Nr", FieldType::Integer, 0}, {"Name", FieldType::String, 20}, {"Preis", FieldType::Float, 0, false, 2},
               {"Datum", FieldType::Date, 0}, {"Aktiv", FieldType::Boolean, 0}},
              keyFields);
    Table t;
    t.setPath(dir + name);
    t.Exclusive = true;
    t.OpenTable();
    t.ReserveRecords(static_cast<std::uint64_t>(records));
    const DayNumber start = dayNumberFromCivil(2000, 1, 1);
    for (int n = 0; n < records; ++n) {
        const int i = descending ? records - n : n + 1;
        t.BeginAppend();
        t.SetValue(0, Value::ofInteger(i));
        t.SetValue(1, Value::ofText("Artikel " + std::to_string(i)));
        t.SetValue(2, Value::ofFloat(i * 0.25));
        t.SetValue(3, Value::ofDate(start + i % 9000));
        t.SetValue(4, Value::ofBoolean(i % 2 == 0));
        t.PostRecord();
    }
    t.CloseTable();
}

// The records a table holds, read as a stream.
inline std::int64_t recordsIn(const std::string& path) {
    Table t;
    t.Sequential = true;
    t.setPath(path);
    t.OpenTable();
    return t.RecordCount();
}

struct PhaseResult {
    double seconds = 0;
    long peakKb = 0;
    bool ok = false;
};

inline PhaseResult runPhase(const std::function<void()>& work) {
    int pipeFd[2];
    if (pipe(pipeFd) != 0) std::abort();
    pid_t child = fork();
    if (child == 0) {
        close(pipeFd[0]);
        auto start = std::chrono::steady_clock::now();
        work();
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        PhaseResult r{seconds, usage.ru_maxrss, true};
        (void)!write(pipeFd[1], &r, sizeof r);
        _exit(0);
    }
    close(pipeFd[1]);
    PhaseResult r;
    if (read(pipeFd[0], &r, sizeof r) != sizeof r) r.ok = false;
    close(pipeFd[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return r;
}

struct Timed {
    double seconds = 0;
    long peakKb = 0;
    int status = 0;
};

// Runs a shell command and measures its wall time and its peak memory. The peak is taken by GNU time:
// a process started straight from this one would count this process's memory as its own (the kernel
// keeps the larger of the two across the start of the new program).
inline Timed timeCommand(const std::string& command) {
    // Files just written are flushed first: the timed command does not pay for writing what came before.
    ::sync();
    const std::string peakFile = (std::filesystem::temp_directory_path() / "kimport-bench-peak.txt").string();
    std::string quoted;
    for (char c : command) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    const std::string measured = "/usr/bin/time -f %M -o " + peakFile + " sh -c '" + quoted + "'";
    auto start = std::chrono::steady_clock::now();
    pid_t child = fork();
    if (child == 0) {
        execl("/bin/sh", "sh", "-c", measured.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    Timed t;
    t.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    t.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    // A command that failed has "Command exited with non-zero status" before the figure.
    if (FILE* f = std::fopen(peakFile.c_str(), "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, f)) t.peakKb = std::atol(line) > 0 ? std::atol(line) : t.peakKb;
        std::fclose(f);
    }
    return t;
}

// The kimport executable to time: the first argument, else the one beside the benchmark.
inline std::string kimportBeside(int argc, char** argv) {
    return argc > 1 ? argv[1] : (std::filesystem::path(argv[0]).parent_path() / "kimport").string();
}

// A fresh working folder below the system's temporary one, with a program folder "prog/" holding
// empty control tables; returned with a trailing "/".
inline std::string freshBenchFolder(const std::string& name) {
    const std::string dir = (std::filesystem::temp_directory_path() / name).string() + "/";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir + "prog");
    makeControlTables(dir + "prog/");
    return dir;
}

// The bytes of a table's files (the data file and its companions of the same base name).
inline std::uint64_t fileSetBytes(const std::string& dataPath) {
    std::uint64_t bytes = 0;
    const std::filesystem::path p(dataPath);
    for (const auto& e : std::filesystem::directory_iterator(p.parent_path()))
        if (e.path().stem() == p.stem() && e.is_regular_file()) bytes += e.file_size();
    return bytes;
}

// The memory a run into this target may take: 1.5 times its files plus 100 MB, in MB.
inline double memoryGoalMb(const std::string& dataPath) {
    return 1.5 * static_cast<double>(fileSetBytes(dataPath)) / (1024.0 * 1024.0) + 100;
}

inline long fileSetKb(const std::string& dir) {
    std::string cmd = "du -sk '" + dir + "' | cut -f1";
    FILE* p = popen(cmd.c_str(), "r");
    long kb = 0;
    if (p) {
        if (std::fscanf(p, "%ld", &kb) != 1) kb = 0;
        pclose(p);
    }
    return kb;
}

}  // namespace kimport::bench
