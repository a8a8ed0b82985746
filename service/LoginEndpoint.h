#pragma once

#include <string>

// The service address compiled in: the platform's web server, port 80.
extern const char *const LoginServiceEndpoint;

// The address a proxy uses when none was set: KELUMO_LOGIN_ENDPOINT when it is
// set and not empty (staging servers, the local stand-in), else the default.
std::string defaultLoginEndpoint();
