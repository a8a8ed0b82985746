#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace standin {

// When each page of a chain of hops (/hop) was asked for, per run, so that a
// benchmark can take the time per navigation from the server's side, the
// same way for every browser it drives. Safe to use from the server's threads.
class HopLog final
{
public:
    void record(std::string_view run, int hop);
    // "HOP MILLISECONDS" lines, in arrival order; milliseconds on a steady
    // clock with an arbitrary origin.
    std::string text(std::string_view run) const;

private:
    struct Arrival
    {
        int hop;
        double ms;
    };
    mutable std::mutex m_mutex;
    std::unordered_map<std::string, std::vector<Arrival>> m_runs;
};

} // namespace standin
