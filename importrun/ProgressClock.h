// The time for progress displays. A run asks once per record, so the kernel's coarse clock serves:
// reading it costs a few nanoseconds, and its resolution of a few milliseconds is fine for a window
// redrawn every 30 ms and a terminal line every 100 ms.
#pragma once

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

}  // namespace kimport
