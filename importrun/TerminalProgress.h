// The progress window of the command line: the same counters and bar, drawn
// as one line on standard error; an interrupt (Ctrl-C) cancels without asking.
#pragma once

#include "importrun/GaugeModel.h"
#include "importrun/ProgressClock.h"

#include <atomic>
#include <chrono>
#include <ostream>
#include <string>

namespace kimport {

class TerminalProgress : public GaugeModel {
public:
    // The line is drawn again at most every 100 ms of `clock`.
    TerminalProgress(const FormatSettings& current, std::ostream& out, const std::atomic<bool>& interrupted,
                     ProgressClockReader clock = progressClockNow)
        : GaugeModel(current), out_(out), interrupted_(interrupted), ticker_(std::chrono::milliseconds(100), clock) {}

    bool cancelled() const override { return GaugeModel::cancelled() || interrupted_.load(); }
    void pump() override;
    void finish() override;
    // Ends the bar's line.
    void endLine();

private:
    void draw();

    std::ostream& out_;
    const std::atomic<bool>& interrupted_;
    ProgressTicker ticker_;
    bool drawn_ = false;
};

}  // namespace kimport
