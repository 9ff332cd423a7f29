#include "ImportCase.h"

#include "BenchSupport.h"

#include <algorithm>
#include <cstdio>
#include <exception>

namespace kimport::bench {

namespace {

struct Outcome {
    double best = 0;
    long peakKb = 0;
    int runs = 0;
    bool ok = true;
};

// One run of one side; what went wrong is said at once and makes the side's outcome fail.
void runSide(const Side& side, const Figures& expected, Outcome& o) {
    side.freshTarget();
    const Timed t = timeCommand(side.command);
    if (o.runs == 0 || t.seconds < o.best) o.best = t.seconds;
    o.peakKb = std::max(o.peakKb, t.peakKb);
    ++o.runs;
    if (t.status != 0) {
        std::printf("  %s: exit status %d\n", side.name.c_str(), t.status);
        o.ok = false;
        return;
    }
    try {
        const Figures got = side.figures();
        if (got == expected) return;
        std::printf("  %s left %s\n  %*s expected %s\n", side.name.c_str(), got.text().c_str(),
                    static_cast<int>(side.name.size()), "", expected.text().c_str());
    } catch (const std::exception& e) {
        std::printf("  %s: its target cannot be read: %s\n", side.name.c_str(), e.what());
    }
    o.ok = false;
}

}  // namespace

void printCaseHead() {
    std::printf("%-22s %10s  %-9s %9s %7s %10s %9s\n", "case", "kimport s", "best peer", "peer s", "ratio", "peak MB",
                "goal MB");
}

bool runCase(const ImportCase& c, int rounds) {
    Outcome ours;
    std::vector<Outcome> peers(c.peers.size());
    double goal = 0;
    for (int round = 0; round < rounds; ++round) {
        const bool oursFirst = round % 2 == 0;
        if (oursFirst) runSide(c.ours, c.expected, ours), goal = memoryGoalMb(c.target);
        for (std::size_t p = 0; p < c.peers.size(); ++p) runSide(c.peers[p], c.expected, peers[p]);
        if (!oursFirst) runSide(c.ours, c.expected, ours), goal = memoryGoalMb(c.target);
    }
    // The best peer among those that did the job.
    int best = -1;
    for (std::size_t p = 0; p < peers.size(); ++p)
        if (peers[p].ok && (best < 0 || peers[p].best < peers[static_cast<std::size_t>(best)].best))
            best = static_cast<int>(p);
    const double peerSeconds = best < 0 ? 0 : peers[static_cast<std::size_t>(best)].best;
    std::printf("%-22s %10.3f  %-9s %9.3f %7.2f %10.1f %9.1f%s\n", c.name.c_str(), ours.best,
                best < 0 ? "-" : c.peers[static_cast<std::size_t>(best)].name.c_str(), peerSeconds,
                peerSeconds > 0 ? ours.best / peerSeconds : 0.0, static_cast<double>(ours.peakKb) / 1024, goal,
                ours.ok ? "" : "  (kimport failed)");
    std::string others = "   ";
    for (std::size_t p = 0; p < peers.size(); ++p) {
        char piece[160];
        std::snprintf(piece, sizeof piece, " %s %.3f s (peak %.1f MB)%s;", c.peers[p].name.c_str(), peers[p].best,
                      static_cast<double>(peers[p].peakKb) / 1024, peers[p].ok ? "" : " FAILED");
        others += piece;
    }
    if (!others.empty() && others.back() == ';') others.pop_back();
    std::printf("%s\n", others.c_str());
    std::fflush(stdout);
    bool ok = ours.ok;
    for (const Outcome& p : peers) ok = ok && p.ok;
    return ok;
}

}  // namespace kimport::bench
