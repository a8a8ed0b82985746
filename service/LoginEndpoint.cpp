#include "LoginEndpoint.h"

#include <cstdlib>

const char *const LoginServiceEndpoint = KELUMO_DEFAULT_LOGIN_ENDPOINT;

const char *defaultLoginEndpoint()
{
    const char *fromEnv = std::getenv("KELUMO_LOGIN_ENDPOINT");
    return (fromEnv && *fromEnv) ? fromEnv : LoginServiceEndpoint;
}
