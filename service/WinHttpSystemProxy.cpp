#include "service/SystemProxy.h"

#include "base/proxy/ProxyRules.h"

#include <algorithm>
#include <string_view>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <winhttp.h>

namespace systemproxy {

namespace {

std::string lower(std::string text)
{
    for (char &c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

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
                general = proxyrules::fromProxyAddress(entry);
        } else if (lower(entry.substr(0, equals)) == scheme) {
            return proxyrules::fromProxyAddress(entry.substr(equals + 1));
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

} // namespace

std::optional<ProxySetting> forAddress(const std::string &address)
{
    const auto target = proxyrules::targetOf(address);
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
}

} // namespace systemproxy
