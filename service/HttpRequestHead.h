#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The request line and headers of a login call, written as bytes without a
// socket: what the service and a proxy receive is decided here alone.

// Whether the address's scheme is https, whatever the case of its letters.
bool isHttps(std::string_view address);

// A host as a request target names it: an IPv6 address in brackets; the port
// unless it is `defaultPort`.
std::string authority(std::string_view host, int port, int defaultPort = 0);

// An HTTP proxy's user name and password; no user, no authorization.
struct ProxyCredentials {
    std::string_view user;
    std::string_view password;
    // The proxy's last challenge (its Proxy-Authenticate value): a Digest
    // one is answered by Digest, anything else (or none) by Basic.
    std::string_view challenge = {};
    // Digest's client nonce for this request.
    std::string_view cnonce = {};
};

// What the head of the login POST depends on.
struct PostHead {
    // The address called, as given: its scheme decides the request target.
    std::string_view endpoint;
    // Its host as the runtime parsed it (an IPv6 address without brackets),
    // port and path (with or without the leading '/').
    std::string_view host;
    int port = 80;
    std::string_view path;
    // The SOAPAction header's value; empty for none.
    std::string_view action;
    std::uint64_t contentLength = 0;
    std::string_view httpVersion = "1.1";
    // An HTTP proxy carries the call; `overTls` once the connection is TLS
    // (inside a tunnel the request is the origin server's).
    bool viaProxy = false;
    bool overTls = false;
    ProxyCredentials proxy;
};

// The request line and headers the service has always received, in this
// order and with nothing else (no action parameter on the content type),
// through the blank line. Through a proxy, plain http names the whole address
// in the request line and adds the proxy's authorization.
std::string postHead(const PostHead &head);

// The proxy's request for a tunnel to host:port, through the blank line.
std::string connectHead(std::string_view host, int port, std::string_view httpVersion,
                        const ProxyCredentials &proxy);
