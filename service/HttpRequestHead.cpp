#include "service/HttpRequestHead.h"

#include "service/ProxyAuth.h"

namespace {

char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string base64(std::string_view plain)
{
    static constexpr char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve(4 * ((plain.size() + 2) / 3));
    for (std::size_t i = 0; i < plain.size(); i += 3) {
        const std::size_t left = plain.size() - i;
        std::uint32_t value = static_cast<unsigned char>(plain[i]) << 16;
        if (left > 1)
            value |= static_cast<unsigned char>(plain[i + 1]) << 8;
        if (left > 2)
            value |= static_cast<unsigned char>(plain[i + 2]);
        out += digits[(value >> 18) & 63];
        out += digits[(value >> 12) & 63];
        out += left > 1 ? digits[(value >> 6) & 63] : '=';
        out += left > 2 ? digits[value & 63] : '=';
    }
    return out;
}

// The proxy's own header, only for the proxy: never inside a tunnel, where
// the origin server would read it.
// Digest answers for the request's method and target as its first line has them.
void appendProxyAuthorization(std::string &h, const ProxyCredentials &proxy, std::string_view method,
                              std::string_view uri)
{
    if (proxy.user.empty())
        return;
    if (!proxy.challenge.empty()) {
        const proxyauth::Challenge challenge = proxyauth::parseChallenge(proxy.challenge);
        if (challenge.isDigest()) {
            const std::string answer =
                proxyauth::digestAuthorization(challenge, proxy.user, proxy.password, method, uri, proxy.cnonce);
            if (!answer.empty()) {
                h += "Proxy-Authorization: " + answer + "\r\n";
                return;
            }
        }
    }
    std::string plain(proxy.user);
    plain += ':';
    plain += proxy.password;
    h += "Proxy-Authorization: Basic ";
    h += base64(plain);
    h += "\r\n";
}

} // namespace

bool isHttps(std::string_view address)
{
    // Scheme names compare without regard to (ASCII) case, whatever the locale.
    static constexpr std::string_view scheme = "https:";
    if (address.size() < scheme.size())
        return false;
    for (std::size_t i = 0; i < scheme.size(); ++i) {
        if (asciiLower(address[i]) != scheme[i])
            return false;
    }
    return true;
}

std::string authority(std::string_view host, int port, int defaultPort)
{
    const bool ipv6 = host.find(':') != std::string_view::npos && !host.starts_with('[');
    std::string a;
    if (ipv6)
        a += '[';
    a += host;
    if (ipv6)
        a += ']';
    if (port != defaultPort)
        a += ':' + std::to_string(port);
    return a;
}

std::string postHead(const PostHead &head)
{
    const bool forProxy = head.viaProxy && !head.overTls && !isHttps(head.endpoint);
    std::string h;
    h.reserve(256);
    std::string target;
    if (forProxy) {
        target += "http://";
        target += authority(head.host, head.port, 80);
    }
    target += '/';
    target += head.path.starts_with('/') ? head.path.substr(1) : head.path;
    h += "POST " + target + " HTTP/";
    h += head.httpVersion;
    h += "\r\nHost: ";
    h += authority(head.host, head.port, 80);
    h += "\r\nUser-Agent: gSOAP/2.7"
         "\r\nContent-Type: application/soap+xml; charset=utf-8"
         "\r\nContent-Length: ";
    h += std::to_string(head.contentLength);
    h += "\r\nConnection: close\r\n";
    if (forProxy)
        appendProxyAuthorization(h, head.proxy, "POST", target);
    if (!head.action.empty()) {
        h += "SOAPAction: \"";
        h += head.action;
        h += "\"\r\n";
    }
    h += "\r\n";
    return h;
}

std::string connectHead(std::string_view host, int port, std::string_view httpVersion,
                        const ProxyCredentials &proxy)
{
    const std::string target = authority(host, port);
    std::string h = "CONNECT " + target + " HTTP/";
    h += httpVersion;
    h += "\r\nHost: " + target + "\r\n";
    appendProxyAuthorization(h, proxy, "CONNECT", target);
    h += "\r\n";
    return h;
}
