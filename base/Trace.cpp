#include "base/Trace.h"

#include "base/ClientSettings.h"

#include <chrono>
#include <cstdio>

namespace {

const bool enabled = ClientSettings::fromEnvironment().trace;

} // namespace

bool traceEnabled()
{
    return enabled;
}

void trace(const char *moment, std::string_view detail)
{
    if (!enabled)
        return;
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const double ms = std::chrono::duration<double, std::milli>(now).count();
    std::fprintf(stderr, "kelumo-trace %.3f %s%s%.*s\n", ms, moment, detail.empty() ? "" : " ",
                 static_cast<int>(detail.size()), detail.data());
    std::fflush(stderr);
}
