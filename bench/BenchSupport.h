// Timing and peak memory of one phase, measured in a child process so each
// phase's peak is its own.
#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kimport::bench {

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
