#pragma once

// The floors print the client's trace lines ("kelumo-trace <ms since the
// epoch> <moment>") so one parser reads both sides. Always on: a floor exists
// only to be measured.

#include <chrono>
#include <cstdio>

inline void benchTrace(const char *moment)
{
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const double ms = std::chrono::duration<double, std::milli>(now).count();
    std::fprintf(stderr, "kelumo-trace %.3f %s\n", ms, moment);
    std::fflush(stderr);
}
