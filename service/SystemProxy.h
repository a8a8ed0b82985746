#pragma once

#include "base/ProxySetting.h"

#include <optional>
#include <string>

// The system's own proxy settings where there is no Qt to read them (the
// Windows build of the service and kelumo-login), for the proxy rules' last
// step (base/proxy/ProxyRules.h).
namespace systemproxy {

// The system's HTTP proxy for the address: on Windows the user's settings (a
// fixed proxy with its bypass list, or a PAC script, found or named) through
// WinHTTP; elsewhere none.
std::optional<ProxySetting> forAddress(const std::string &address);

} // namespace systemproxy
