#include "Trace.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const bool enabled = [] {
    const char *value = std::getenv("KELUMO_TRACE");
    return value && std::strcmp(value, "1") == 0;
}();

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
