#pragma once

#include <string>

// The HTTP proxy a login call goes through, as plain text. The proxy rules
// (base/proxy/ProxyRules.h) decide it once for the call and the pages; the
// SOAP proxy that sends the call knows nothing of how.
struct ProxySetting
{
    std::string host;
    int port = 0;
    // Sent as Basic proxy authorization when the user is not empty.
    std::string user;
    std::string password;

    bool operator==(const ProxySetting &) const = default;
};
