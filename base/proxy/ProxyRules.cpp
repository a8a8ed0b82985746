#include "base/proxy/ProxyRules.h"

#include "base/proxy/HostAddress.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>

namespace proxyrules {

namespace {

std::string lower(std::string_view text)
{
    std::string out(text);
    for (char &c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool blank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

std::string trimmed(std::string_view text)
{
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return std::string(text);
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// No blank, control character or character an address must escape, and
// every "%" followed by two hex digits.
bool readable(std::string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c <= 0x20 || c == 0x7f || std::string_view("\"<>\\^`{|}").find(char(c)) != std::string_view::npos)
            return false;
        if (c == '%' && (i + 2 >= text.size() || hexValue(text[i + 1]) < 0 || hexValue(text[i + 2]) < 0))
            return false;
    }
    return true;
}

std::string percentDecoded(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// Labels of letters, digits, '-' (not at either end) and '_', at most 63
// each, a trailing dot allowed; what is not ASCII is left to the resolver.
bool hostName(std::string_view name)
{
    if (name.ends_with('.'))
        name.remove_suffix(1);
    while (true) {
        const std::string_view label = name.substr(0, name.find('.'));
        const bool ascii = std::all_of(label.begin(), label.end(), [](char c) { return (c & 0x80) == 0; });
        if (label.empty() || (ascii && label.size() > 63) || label.front() == '-' || label.back() == '-')
            return false;
        for (const char c : label)
            if (!((c & 0x80) || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                  c == '-' || c == '_'))
                return false;
        if (label.size() == name.size())
            return true;
        name.remove_prefix(label.size() + 1);
    }
}

// Lower case first, as most programs read these variables.
std::string variable(const Environment &environment, const char *lowerName, const char *upperName)
{
    const std::string value = trimmed(environment(lowerName));
    return value.empty() ? trimmed(environment(upperName)) : value;
}

// One entry of no_proxy, without its network part.
bool namesHost(std::string token, const std::string &name, const std::optional<HostAddress> &address)
{
    if (token.front() == '[') {
        const auto close = token.find(']');
        token = token.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    } else if (std::count(token.begin(), token.end(), ':') == 1) {
        token.resize(token.find(':'));
    }
    if (token.starts_with("*."))
        token.erase(0, 2);
    else if (token.starts_with("."))
        token.erase(0, 1);
    if (token.empty())
        return false;
    if (address)
        return HostAddress::parse(token) == address;
    return name == token || name.ends_with("." + token);
}

} // namespace

std::optional<Target> targetOf(const std::string &address)
{
    const auto colon = address.find("://");
    if (colon == std::string::npos)
        return std::nullopt;
    Target target{lower(address.substr(0, colon)), {}};
    std::string_view rest(address);
    rest.remove_prefix(colon + 3);
    rest = rest.substr(0, rest.find_first_of("/?#"));
    if (const auto at = rest.rfind('@'); at != std::string_view::npos)
        rest.remove_prefix(at + 1);
    if (!rest.empty() && rest.front() == '[') {
        const auto close = rest.find(']');
        if (close == std::string_view::npos)
            return std::nullopt;
        target.host = lower(rest.substr(1, close - 1));
    } else {
        target.host = lower(rest.substr(0, rest.find(':')));
    }
    return target;
}

std::optional<ProxySetting> choose(const Target &target, const Environment &environment,
                                   const SystemLookup &systemLookup)
{
    const std::string scheme = lower(target.scheme);
    const std::string host = lower(target.host);
    if ((scheme != "http" && scheme != "https") || host.empty())
        return std::nullopt;
    if (alwaysDirect(host))
        return std::nullopt;
    if (listedInNoProxy(variable(environment, "no_proxy", "NO_PROXY"), host))
        return std::nullopt;

    std::string configured = scheme == "https" ? variable(environment, "https_proxy", "HTTPS_PROXY")
                                               : variable(environment, "http_proxy", "HTTP_PROXY");
    if (configured.empty())
        configured = variable(environment, "all_proxy", "ALL_PROXY");
    if (!configured.empty())
        return fromProxyAddress(configured);
    return systemLookup ? systemLookup() : std::nullopt;
}

std::optional<ProxySetting> choose(const std::string &address, const Environment &environment,
                                   const SystemLookup &systemLookup)
{
    const auto target = targetOf(address);
    return target ? choose(*target, environment, systemLookup) : std::nullopt;
}

std::optional<ProxySetting> choose(const Target &target, const Policy &policy, const Environment &environment,
                                   const SystemLookup &systemLookup)
{
    if (policy.mode == Policy::Mode::Unset)
        return choose(target, environment, systemLookup);
    const std::string scheme = lower(target.scheme);
    const std::string host = lower(target.host);
    if (policy.mode == Policy::Mode::Direct || (scheme != "http" && scheme != "https") || host.empty() ||
        alwaysDirect(host))
        return std::nullopt;
    if (policy.mode == Policy::Mode::System)
        return systemLookup ? systemLookup() : std::nullopt;
    std::string bypass = policy.bypassList;
    std::replace(bypass.begin(), bypass.end(), ';', ',');
    if (listedInNoProxy(bypass, host))
        return std::nullopt;
    const std::string server = trimmed(policy.server);
    return server.empty() ? std::nullopt : fromProxyAddress(server);
}

std::optional<ProxySetting> choose(const std::string &address, const Policy &policy,
                                   const Environment &environment, const SystemLookup &systemLookup)
{
    const auto target = targetOf(address);
    return target ? choose(*target, policy, environment, systemLookup) : std::nullopt;
}

std::string processEnvironment(const char *name)
{
    const char *value = std::getenv(name);
    return value ? value : "";
}

bool alwaysDirect(const std::string &host)
{
    const std::string name = lower(host);
    if (name == "localhost" || name.ends_with(".localhost"))
        return true;
    const auto address = HostAddress::parse(name);
    if (!address)
        return name.find('.') == std::string::npos;
    return address->isLoopback() || address->isLinkLocal();
}

bool listedInNoProxy(const std::string &noProxy, const std::string &host)
{
    const std::string name = lower(host);
    const auto address = HostAddress::parse(name);
    std::string list = lower(noProxy);
    std::replace_if(list.begin(), list.end(), [](char c) { return c == ',' || blank(c); }, ' ');
    std::size_t start = 0;
    while (start < list.size()) {
        const auto end = std::min(list.find(' ', start), list.size());
        const std::string token = list.substr(start, end - start);
        start = end + 1;
        if (token.empty())
            continue;
        if (token == "*")
            return true;
        if (token.find('/') != std::string::npos) {
            if (address && address->isIn(token))
                return true;
            continue;
        }
        if (namesHost(token, name, address))
            return true;
    }
    return false;
}

std::optional<ProxySetting> fromProxyAddress(const std::string &value)
{
    std::string text = value;
    if (text.find("://") == std::string::npos)
        text.insert(0, "http://");
    const auto colon = text.find("://");
    if (lower(text.substr(0, colon)) != "http" || !readable(text))
        return std::nullopt;
    std::string_view rest(text);
    rest.remove_prefix(colon + 3);
    rest = rest.substr(0, rest.find_first_of("/?#"));
    ProxySetting setting;
    if (const auto at = rest.rfind('@'); at != std::string_view::npos) {
        const std::string_view userInfo = rest.substr(0, at);
        // Delimiters that an address's user part must escape.
        if (userInfo.find_first_of("[]@") != std::string_view::npos)
            return std::nullopt;
        const auto split = userInfo.find(':');
        setting.user = percentDecoded(userInfo.substr(0, split));
        if (split != std::string_view::npos)
            setting.password = percentDecoded(userInfo.substr(split + 1));
        rest.remove_prefix(at + 1);
    }
    std::string_view port;
    if (!rest.empty() && rest.front() == '[') {
        const auto close = rest.find(']');
        if (close == std::string_view::npos)
            return std::nullopt;
        const auto address = HostAddress::parse(std::string(rest.substr(1, close - 1)));
        if (!address || !address->isV6())
            return std::nullopt;
        setting.host = address->text();
        rest.remove_prefix(close + 1);
        if (!rest.empty() && rest.front() != ':')
            return std::nullopt;
        port = rest.empty() ? rest : rest.substr(1);
    } else {
        const auto split = rest.find(':');
        const std::string host(rest.substr(0, split));
        if (const auto address = HostAddress::parse(host))
            setting.host = address->text();
        else if (hostName(host))
            setting.host = lower(host);
        else
            return std::nullopt;
        if (split != std::string_view::npos)
            port = rest.substr(split + 1);
    }
    setting.port = 8080;
    if (!port.empty()) {
        int n = 0;
        for (const char d : port) {
            if (d < '0' || d > '9' || n > 65535)
                return std::nullopt;
            n = n * 10 + (d - '0');
        }
        if (n > 65535)
            return std::nullopt;
        setting.port = n;
    }
    return setting;
}

} // namespace proxyrules
