#pragma once

#include "base/ProxySetting.h"

#include <functional>
#include <optional>
#include <string>

// Which HTTP proxy, if any, the client uses to reach an address: one decision
// for the login call, the pages and kelumo-login, so that they cannot
// disagree. Plain text in, no Qt: the system's own settings come from the
// caller (Qt's lookup in service/ProxyChoice, WinHTTP in service/SystemProxy).
namespace proxyrules {

// Reads one environment variable; empty when unset.
using Environment = std::function<std::string(const char *name)>;
// The system's HTTP proxy for the address being decided, if it names one.
using SystemLookup = std::function<std::optional<ProxySetting>()>;

// What the rules look at in an address.
struct Target
{
    std::string scheme;
    // Without the brackets of an IPv6 address.
    std::string host;
};

// An administrator's proxy policy (ProxyMode, ProxyServer, ProxyBypassList).
// Once its mode is set it alone decides: the proxy variables are not read.
struct Policy
{
    enum class Mode { Unset, Direct, System, FixedServers };
    Mode mode = Mode::Unset;
    // FixedServers: the proxy, written as a proxy variable is.
    std::string server;
    // FixedServers: hosts that go direct, written as no_proxy is (semicolons
    // also separate).
    std::string bypassList;
};

// The scheme and host of "scheme://[userinfo@]host[:port][/...]", in lower
// case; none when the text has no "://" or an unclosed '['.
std::optional<Target> targetOf(const std::string &address);

// The rules, in order: only http and https addresses can use a proxy;
// hosts the web engine never sends through a proxy go direct (see
// alwaysDirect); a host that no_proxy lists goes direct;
// then the scheme's variable (http_proxy or https_proxy), then all_proxy,
// each in lower or upper case (lower case wins); when none of them is set,
// the system's own settings. Only HTTP proxies count: a proxy address that
// cannot be read means direct. Credentials come from the proxy address's user
// part, percent-decoded.
std::optional<ProxySetting> choose(const Target &target, const Environment &environment,
                                   const SystemLookup &systemLookup);
// The same for an address given as text; one that cannot be read goes direct.
std::optional<ProxySetting> choose(const std::string &address, const Environment &environment,
                                   const SystemLookup &systemLookup);

// The rules under `policy`: without a mode, the rules above. Direct: always
// direct. System: the hosts of alwaysDirect direct, else the system's
// settings. FixedServers: the hosts of alwaysDirect and of the bypass list
// direct, else the policy's server (direct when it cannot be read).
std::optional<ProxySetting> choose(const Target &target, const Policy &policy, const Environment &environment,
                                   const SystemLookup &systemLookup);
std::optional<ProxySetting> choose(const std::string &address, const Policy &policy,
                                   const Environment &environment, const SystemLookup &systemLookup);

// This process's environment.
std::string processEnvironment(const char *name);

// Loopback and link-local addresses (an IPv4-mapped IPv6 address as the IPv4
// one it holds), localhost and its subdomains, and simple names without a
// dot: the engine always reaches these directly, so the login call does too.
bool alwaysDirect(const std::string &host);

// no_proxy's syntax: names or addresses separated by commas or blanks, a name
// also covering its subdomains (a leading "." or "*." changes nothing),
// optional ":port" ignored, "*" for every host, and address/bits for a
// network, where bits may also be an IPv4 netmask and an IPv4 network may
// leave out its trailing zero parts ("192.168/16").
bool listedInNoProxy(const std::string &noProxy, const std::string &host);

// "http://[user[:password]@]host[:port]", or just "host:port"; port 8080 when
// none is given, the host in lower case. None for another scheme or text that
// is no such address (a blank or a control character, a broken "%" escape).
std::optional<ProxySetting> fromProxyAddress(const std::string &value);

} // namespace proxyrules
