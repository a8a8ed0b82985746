#include "service/PlainProxyChoice.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <winhttp.h>
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#endif

namespace proxychoice {

namespace {

std::string lower(std::string_view text)
{
    std::string out(text);
    for (char &c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string trimmed(std::string_view text)
{
    const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; };
    while (!text.empty() && space(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && space(text.back()))
        text.remove_suffix(1);
    return std::string(text);
}

// An IPv4 or IPv6 address in its 16-byte form (IPv4 in the first four).
struct Address {
    bool v6 = false;
    std::array<unsigned char, 16> bytes{};
};

std::optional<Address> parseAddress(const std::string &text)
{
    Address a;
    if (::inet_pton(AF_INET, text.c_str(), a.bytes.data()) == 1)
        return a;
    a.v6 = true;
    if (::inet_pton(AF_INET6, text.c_str(), a.bytes.data()) == 1)
        return a;
    return std::nullopt;
}

bool inNetwork(const Address &address, const Address &network, int bits)
{
    if (address.v6 != network.v6 || bits < 0 || bits > (address.v6 ? 128 : 32))
        return false;
    for (int i = 0; i < bits; ++i) {
        const int mask = 0x80 >> (i % 8);
        if ((address.bytes[i / 8] & mask) != (network.bytes[i / 8] & mask))
            return false;
    }
    return true;
}

// The parts of an http(s) address the decision needs.
struct Target {
    std::string scheme;
    std::string host;
};

std::optional<Target> parseTarget(const std::string &address)
{
    const auto colon = address.find("://");
    if (colon == std::string::npos)
        return std::nullopt;
    Target t{lower(address.substr(0, colon)), {}};
    std::string_view rest(address);
    rest.remove_prefix(colon + 3);
    rest = rest.substr(0, rest.find_first_of("/?#"));
    const auto at = rest.rfind('@');
    if (at != std::string_view::npos)
        rest.remove_prefix(at + 1);
    if (!rest.empty() && rest.front() == '[') {
        const auto close = rest.find(']');
        if (close == std::string_view::npos)
            return std::nullopt;
        t.host = std::string(rest.substr(1, close - 1));
    } else {
        t.host = std::string(rest.substr(0, rest.find(':')));
    }
    t.host = lower(t.host);
    return t;
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

std::string percentDecoded(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        int high, low;
        if (text[i] == '%' && i + 2 < text.size() && (high = hexValue(text[i + 1])) >= 0 &&
            (low = hexValue(text[i + 2])) >= 0) {
            out += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// "http://user:pw@host:port", or just "host:port".
std::optional<ProxySetting> fromProxyAddress(const std::string &value)
{
    std::string text = value;
    if (text.find("://") == std::string::npos)
        text.insert(0, "http://");
    const auto colon = text.find("://");
    if (lower(text.substr(0, colon)) != "http")
        return std::nullopt;
    std::string_view rest(text);
    rest.remove_prefix(colon + 3);
    rest = rest.substr(0, rest.find_first_of("/?#"));
    ProxySetting setting;
    const auto at = rest.rfind('@');
    if (at != std::string_view::npos) {
        const std::string_view userInfo = rest.substr(0, at);
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
        setting.host = std::string(rest.substr(1, close - 1));
        rest.remove_prefix(close + 1);
        if (!rest.empty() && rest.front() != ':')
            return std::nullopt;
        port = rest.empty() ? rest : rest.substr(1);
    } else {
        const auto split = rest.find(':');
        setting.host = std::string(rest.substr(0, split));
        if (split != std::string_view::npos)
            port = rest.substr(split + 1);
    }
    if (setting.host.empty())
        return std::nullopt;
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

std::string variable(const PlainEnvironment &environment, const char *lowerName, const char *upperName)
{
    const std::string value = trimmed(environment(lowerName));
    return value.empty() ? trimmed(environment(upperName)) : value;
}

bool alwaysDirect(const std::string &name)
{
    if (name == "localhost" || (name.size() > 10 && name.ends_with(".localhost")))
        return true;
    const auto address = parseAddress(name);
    if (!address)
        return name.find('.') == std::string::npos;
    const auto &b = address->bytes;
    if (!address->v6)
        return b[0] == 127 || (b[0] == 169 && b[1] == 254);
    static const std::array<unsigned char, 16> loopback6{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    return b == loopback6 || (b[0] == 0xfe && (b[1] & 0xc0) == 0x80);
}

bool listedInNoProxy(const std::string &noProxy, const std::string &name)
{
    const auto address = parseAddress(name);
    std::string list = lower(noProxy);
    std::replace_if(list.begin(), list.end(), [](char c) { return c == ',' || c == ' ' || c == '\t' || c == '\n' || c == '\r'; }, ' ');
    std::size_t start = 0;
    while (start < list.size()) {
        const auto end = std::min(list.find(' ', start), list.size());
        std::string token = list.substr(start, end - start);
        start = end + 1;
        if (token.empty())
            continue;
        if (token == "*")
            return true;
        if (const auto slash = token.find('/'); slash != std::string::npos) {
            const auto network = parseAddress(token.substr(0, slash));
            const std::string bits = token.substr(slash + 1);
            if (address && network && !bits.empty() && bits.size() <= 3 &&
                std::all_of(bits.begin(), bits.end(), [](char c) { return c >= '0' && c <= '9'; }) &&
                inNetwork(*address, *network, std::atoi(bits.c_str())))
                return true;
            continue;
        }
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
            continue;
        if (address) {
            const auto other = parseAddress(token);
            if (other && other->v6 == address->v6 && other->bytes == address->bytes)
                return true;
            continue;
        }
        if (name == token || name.ends_with("." + token))
            return true;
    }
    return false;
}

#ifdef _WIN32
std::wstring wide(const std::string &utf8)
{
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(std::max(n, 0)), L'\0');
    if (n > 0)
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

std::string narrow(const wchar_t *text)
{
    if (!text)
        return {};
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1)
        return {};
    std::string out(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
    out.resize(static_cast<std::size_t>(n - 1));
    return out;
}

// WinHTTP's proxy list: entries separated by ';' or blanks, each "host:port"
// for every scheme or "scheme=host:port" for one. The first for the
// address's scheme, else the first for every scheme.
std::optional<ProxySetting> fromProxyList(const std::string &list, const std::string &scheme)
{
    std::optional<ProxySetting> general;
    std::size_t start = 0;
    while (start < list.size()) {
        const auto end = std::min(list.find_first_of("; \t", start), list.size());
        const std::string entry = list.substr(start, end - start);
        start = end + 1;
        if (entry.empty())
            continue;
        const auto equals = entry.find('=');
        if (equals == std::string::npos) {
            if (!general)
                general = fromProxyAddress(entry);
        } else if (lower(entry.substr(0, equals)) == scheme) {
            return fromProxyAddress(entry.substr(equals + 1));
        }
    }
    return general;
}

// The bypass list of the user's settings: names with '*' wildcards, and
// "<local>" for simple names (which go direct anyway).
bool bypassed(const std::string &bypassList, const std::string &host)
{
    const auto matches = [](std::string_view pattern, std::string_view text) {
        // Iterative '*' matching.
        std::size_t p = 0, t = 0, star = std::string_view::npos, mark = 0;
        while (t < text.size()) {
            if (p < pattern.size() && (pattern[p] == text[t] || pattern[p] == '?')) {
                ++p;
                ++t;
            } else if (p < pattern.size() && pattern[p] == '*') {
                star = p++;
                mark = t;
            } else if (star != std::string_view::npos) {
                p = star + 1;
                t = ++mark;
            } else {
                return false;
            }
        }
        while (p < pattern.size() && pattern[p] == '*')
            ++p;
        return p == pattern.size();
    };
    const std::string list = lower(bypassList);
    std::size_t start = 0;
    while (start < list.size()) {
        const auto end = std::min(list.find_first_of("; \t", start), list.size());
        const std::string entry = list.substr(start, end - start);
        start = end + 1;
        if (entry.empty())
            continue;
        if (entry == "<local>" ? host.find('.') == std::string::npos : matches(entry, host))
            return true;
    }
    return false;
}
#endif

} // namespace

std::optional<ProxySetting> choosePlain(const std::string &address, const PlainEnvironment &environment,
                                        const PlainSystemLookup &systemLookup)
{
    const auto target = parseTarget(address);
    if (!target || (target->scheme != "http" && target->scheme != "https") || target->host.empty())
        return std::nullopt;
    if (alwaysDirect(target->host))
        return std::nullopt;
    if (listedInNoProxy(variable(environment, "no_proxy", "NO_PROXY"), target->host))
        return std::nullopt;
    std::string configured = target->scheme == "https" ? variable(environment, "https_proxy", "HTTPS_PROXY")
                                                       : variable(environment, "http_proxy", "HTTP_PROXY");
    if (configured.empty())
        configured = variable(environment, "all_proxy", "ALL_PROXY");
    if (!configured.empty())
        return fromProxyAddress(configured);
    return systemLookup ? systemLookup(address) : std::nullopt;
}

std::optional<ProxySetting> forAddressPlain(const std::string &address)
{
    return choosePlain(
        address,
        [](const char *name) {
            const char *value = std::getenv(name);
            return std::string(value ? value : "");
        },
        systemProxy);
}

std::optional<ProxySetting> systemProxy(const std::string &address)
{
#ifdef _WIN32
    const auto target = parseTarget(address);
    if (!target)
        return std::nullopt;
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config{};
    if (!::WinHttpGetIEProxyConfigForCurrentUser(&config))
        return std::nullopt;
    const std::string fixedProxy = narrow(config.lpszProxy);
    const std::string bypassList = narrow(config.lpszProxyBypass);
    const std::wstring script = config.lpszAutoConfigUrl ? config.lpszAutoConfigUrl : L"";
    const bool detect = config.fAutoDetect;
    for (wchar_t *text : {config.lpszProxy, config.lpszProxyBypass, config.lpszAutoConfigUrl})
        if (text)
            ::GlobalFree(text);

    if (detect || !script.empty()) {
        std::optional<ProxySetting> found;
        bool answered = false;
        if (HINTERNET session = ::WinHttpOpen(L"kelumo", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                              WINHTTP_NO_PROXY_BYPASS, 0)) {
            // A PAC script must not hold the sign-in for long.
            ::WinHttpSetTimeouts(session, 5000, 5000, 5000, 5000);
            WINHTTP_AUTOPROXY_OPTIONS options{};
            options.fAutoLogonIfChallenged = TRUE;
            if (!script.empty()) {
                options.dwFlags = WINHTTP_AUTOPROXY_CONFIG_URL;
                options.lpszAutoConfigUrl = script.c_str();
            } else {
                options.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT;
                options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
            }
            WINHTTP_PROXY_INFO info{};
            const std::wstring url = wide(address);
            if (::WinHttpGetProxyForUrl(session, url.c_str(), &options, &info)) {
                answered = true;
                if (info.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY && info.lpszProxy)
                    found = fromProxyList(narrow(info.lpszProxy), target->scheme);
                if (info.lpszProxy)
                    ::GlobalFree(info.lpszProxy);
                if (info.lpszProxyBypass)
                    ::GlobalFree(info.lpszProxyBypass);
            }
            ::WinHttpCloseHandle(session);
        }
        // A script that answered decides; otherwise the fixed proxy, if any.
        if (answered)
            return found;
    }
    if (fixedProxy.empty() || bypassed(bypassList, target->host))
        return std::nullopt;
    return fromProxyList(fixedProxy, target->scheme);
#else
    (void)address;
    return std::nullopt;
#endif
}

} // namespace proxychoice
