#pragma once

#include <string>

// The HTTP proxy a login call goes through. Decided above the service layer
// and handed down as plain text: the service knows nothing of how it was
// chosen.
struct ProxySetting
{
    std::string host;
    int port = 0;
    // Sent as Basic proxy authorization when the user is not empty.
    std::string user;
    std::string password;

    bool operator==(const ProxySetting &) const = default;
};
