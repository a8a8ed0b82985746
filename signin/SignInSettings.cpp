#include "SignInSettings.h"

#include <cstdlib>

namespace {

std::string fromEnvironment(const char *name, const char *fallback)
{
    const char *value = std::getenv(name);
    return (value && *value) ? value : fallback;
}


void trimSlashes(std::string &site)
{
    while (!site.empty() && site.back() == '/')
        site.pop_back();
}

} // namespace

SignInSettings SignInSettings::builtIn()
{
    SignInSettings settings;
    settings.site = KELUMO_DEFAULT_SITE;
    trimSlashes(settings.site);
    return settings;
}

SignInSettings SignInSettings::fromEnvironment()
{
    SignInSettings settings = builtIn();
    settings.endpoint = ::fromEnvironment("KELUMO_LOGIN_ENDPOINT", "");
    settings.site = ::fromEnvironment("KELUMO_SITE", settings.site.c_str());
    trimSlashes(settings.site);
    return settings;
}
