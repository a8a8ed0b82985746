#include "base/Trace.h"

#include "base/ClientSettings.h"

#include <atomic>
#include <chrono>
#include <cstdio>

namespace {

std::atomic<bool> enabled{ClientSettings::fromEnvironment().trace};

} // namespace

bool traceEnabled()
{
    return enabled.load(std::memory_order_relaxed);
}

void setTraceEnabled(bool on)
{
    enabled.store(on, std::memory_order_relaxed);
}

void trace(const char *moment, std::string_view detail)
{
    if (!traceEnabled())
        return;
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const double ms = std::chrono::duration<double, std::milli>(now).count();
    std::fprintf(stderr, "kelumo-trace %.3f %s%s%.*s\n", ms, moment, detail.empty() ? "" : " ",
                 static_cast<int>(detail.size()), detail.data());
    std::fflush(stderr);
}
