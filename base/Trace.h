#pragma once

#include <string_view>

// With KELUMO_TRACE=1, prints "kelumo-trace <ms since the epoch> <moment>
// [detail]" on stderr at the moments users feel (start, dialog painted, login
// command, signed in, page loaded) and for every message the sign-in shows.
// Benchmarks and end-to-end tests read these lines. Costs one flag test when off.
void trace(const char *moment, std::string_view detail = {});
bool traceEnabled();
// For tests: tracing on or off from now on, whatever the environment said.
void setTraceEnabled(bool on);
