#pragma once

#include "tests/support/BoxCloser.h"

#include "signin/SignInSession.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QObject>
#include <QTimer>

#include <cstdio>
#include <sys/resource.h>

// Peak resident set of this process so far, in KiB. A high-water mark: its
// growth over a step is how far that step pushed the peak.
inline long maxRssKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Lowers the peak back to the present size (Linux: writing 5 to clear_refs),
// so that each step is measured on its own and not hidden behind an earlier,
// higher peak. False where that is not possible.
inline bool resetPeakRss()
{
    FILE *file = std::fopen("/proc/self/clear_refs", "w");
    if (!file)
        return false;
    const bool written = std::fputs("5", file) >= 0;
    return std::fclose(file) == 0 && written;
}

// How much a single hostile exchange may raise the peak. Sanitizer runtimes
// keep freed memory in quarantine and add shadow memory, so they get more.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr long rssGrowthLimitKiB = 96 * 1024;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
inline constexpr long rssGrowthLimitKiB = 96 * 1024;
#else
inline constexpr long rssGrowthLimitKiB = 32 * 1024;
#endif
#else
inline constexpr long rssGrowthLimitKiB = 32 * 1024;
#endif

