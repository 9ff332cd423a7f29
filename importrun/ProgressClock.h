// The time for progress displays. A run asks once per record, so the kernel's coarse clock serves:
// reading it costs a few nanoseconds, and its resolution of a few milliseconds is fine for a window
// redrawn every 30 ms and a terminal line every 100 ms.
#pragma once

#include <algorithm>
#include <chrono>
#include <ctime>

namespace kimport {

inline std::chrono::milliseconds progressClockNow() {
#ifdef CLOCK_MONOTONIC_COARSE
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &ts);
    return std::chrono::seconds(ts.tv_sec) + std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::nanoseconds(ts.tv_nsec));
#else
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch());
#endif
}

// Where a display reads the time: progressClockNow, or a clock a test moves by hand.
using ProgressClockReader = std::chrono::milliseconds (*)();

// Says when a display is due again. Asked once per record: while calls come fast the clock is read
// only every few calls (up to every 64th), while they come slowly at every call.
class ProgressTicker {
public:
    explicit ProgressTicker(std::chrono::milliseconds interval, ProgressClockReader clock = progressClockNow)
        : interval_(interval), clock_(clock) {}
    // The first call is always due; later ones once the interval has passed since the last due one.
    bool due() {
        if (++calls_ < stride_) return false;
        calls_ = 0;
        const auto now = clock_();
        stride_ = now == lastRead_ ? std::min(stride_ * 2, 64u) : 1;  // the same tick of the coarse clock: fast calls
        lastRead_ = now;
        if (started_ && now - last_ < interval_) return false;
        started_ = true;
        last_ = now;
        return true;
    }
    void setInterval(std::chrono::milliseconds interval) { interval_ = interval; }

private:
    std::chrono::milliseconds interval_;
    ProgressClockReader clock_;
    std::chrono::milliseconds last_{}, lastRead_{};
    unsigned calls_ = 0, stride_ = 1;
    bool started_ = false;
};

}  // namespace kimport
