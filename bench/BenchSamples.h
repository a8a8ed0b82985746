#pragma once

// Per-call samples in microseconds, one per line on stdout, so the driver
// can pool the calls of every round before taking medians.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

using BenchClock = std::chrono::steady_clock;

inline double microsecondsSince(BenchClock::time_point start)
{
    return std::chrono::duration<double, std::micro>(BenchClock::now() - start).count();
}

inline void printSamples(std::vector<double> samples)
{
    for (double us : samples)
        std::printf("%.1f\n", us);
    std::sort(samples.begin(), samples.end());
    if (!samples.empty())
        std::fprintf(stderr, "median %.1f us over %zu calls\n", samples[samples.size() / 2], samples.size());
}
