#pragma once

#include "base/ProxySetting.h"

#include <functional>
#include <optional>
#include <string>

// The client's proxy decision where there is no Qt (the Windows build of the
// service and kelumo-login): the same rules as ProxyChoice.h, on plain
// strings, with the system's settings read through WinHTTP on Windows.
namespace proxychoice {

// Reads one environment variable; empty when unset.
using PlainEnvironment = std::function<std::string(const char *name)>;
// The system's HTTP proxy for an address, if it names one.
using PlainSystemLookup = std::function<std::optional<ProxySetting>(const std::string &address)>;

// The rules of ProxyChoice.h's choose(), for an address given as text.
std::optional<ProxySetting> choosePlain(const std::string &address, const PlainEnvironment &environment,
                                        const PlainSystemLookup &systemLookup);

// choosePlain() on this process's environment and the system's settings.
std::optional<ProxySetting> forAddressPlain(const std::string &address);

// The system's proxy for the address: on Windows the user's settings (a
// fixed proxy with its bypass list, or a PAC script, found or named) through
// WinHTTP; elsewhere none.
std::optional<ProxySetting> systemProxy(const std::string &address);

} // namespace proxychoice
