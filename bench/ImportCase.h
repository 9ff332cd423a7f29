// One case of the import benchmark: kimport and the tools people would pick instead, each doing the
// same job (the same rows from the same kind of source into the same kind of target). Each side runs
// `rounds` times, kimport first in even rounds and last in odd ones, every run from a fresh target;
// each side's best time counts (a shared machine's noise is as large as the differences measured).
// After every run the side's target is checked against the figures the job must leave.
#pragma once

#include "TargetFigures.h"

#include <functional>
#include <string>
#include <vector>

namespace kimport::bench {

struct Side {
    std::string name;
    std::function<void()> freshTarget;  // untimed, before each run
    std::string command;                // timed, with the start of its process
    std::function<Figures()> figures;   // untimed, after each run
};

struct ImportCase {
    std::string name;
    Side ours;
    std::vector<Side> peers;
    Figures expected;
    std::string target;  // kimport's, for the memory goal
};

// Prints the table's head line.
void printCaseHead();
// Runs a case and prints its line, and beneath it every peer's time; false when a run failed or
// left other figures than expected (said beneath the line).
bool runCase(const ImportCase& c, int rounds);

}  // namespace kimport::bench
