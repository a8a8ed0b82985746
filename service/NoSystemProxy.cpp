#include "service/SystemProxy.h"

namespace systemproxy {

// Without Qt and without WinHTTP there are no system settings to read.
std::optional<ProxySetting> forAddress(const std::string &)
{
    return std::nullopt;
}

} // namespace systemproxy
