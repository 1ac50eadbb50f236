#pragma once

#include <atomic>

// Protocol intervals of the transfer workers. The defaults are the
// production values; tests shorten them so they do not wait for real.
struct VTransferTimings
{
    static std::atomic<int> stallMs;      // no progress for this long: "网络超时" (10 s)
    static std::atomic<int> probeMs;      // download probe time-out (10 s)
    static std::atomic<int> retrySleepMs; // pause before retrying a busy block (1 s)
    static void reset();
};
