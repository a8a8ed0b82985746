#include "tools/standin/HopLog.h"

#include <chrono>
#include <cstdio>

namespace standin {

namespace {

// Runs are few, but a driver that never asks again must not grow this forever.
constexpr std::size_t kMaxRuns = 64;
constexpr std::size_t kMaxHopsPerRun = 100000;

} // namespace

void HopLog::record(std::string_view run, int hop)
{
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
    std::lock_guard lock(m_mutex);
    auto it = m_runs.find(std::string(run));
    if (it == m_runs.end()) {
        if (m_runs.size() >= kMaxRuns)
            return;
        it = m_runs.emplace(std::string(run), std::vector<Arrival>{}).first;
    }
    if (it->second.size() < kMaxHopsPerRun)
        it->second.push_back({hop, ms});
}

std::string HopLog::text(std::string_view run) const
{
    std::string out;
    std::lock_guard lock(m_mutex);
    const auto it = m_runs.find(std::string(run));
    if (it == m_runs.end())
        return out;
    char line[64];
    for (const Arrival &arrival : it->second) {
        std::snprintf(line, sizeof line, "%d %.3f\n", arrival.hop, arrival.ms);
        out += line;
    }
    return out;
}

} // namespace standin
