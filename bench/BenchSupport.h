// Timing and peak memory of one phase, measured in a child process so each
// phase's peak is its own.
#pragma once

#include "tablestore/Table.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
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

// Runs a shell command and measures its wall time and its peak memory.
inline Timed timeCommand(const std::string& command) {
    // Files just written are flushed first: the timed command does not pay for writing what came before.
    ::sync();
    auto start = std::chrono::steady_clock::now();
    pid_t child = fork();
    if (child == 0) {
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    Timed t;
    t.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    t.peakKb = usage.ru_maxrss;
    t.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return t;
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
