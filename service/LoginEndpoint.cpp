#include "service/LoginEndpoint.h"

#include "base/ClientSettings.h"
#include "base/KelumoConfig.h"

const char *const LoginServiceEndpoint = kelumo::builtInLoginEndpoint;

std::string defaultLoginEndpoint()
{
    return ClientSettings::fromEnvironment().loginEndpoint;
}
