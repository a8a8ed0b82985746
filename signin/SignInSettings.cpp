#include "signin/SignInSettings.h"

#include "base/ClientSettings.h"
#include "base/KelumoConfig.h"

SignInSettings SignInSettings::builtIn()
{
    SignInSettings settings;
    settings.site = kelumo::builtInSite;
    while (!settings.site.empty() && settings.site.back() == '/')
        settings.site.pop_back();
    return settings;
}

SignInSettings SignInSettings::fromEnvironment()
{
    const ClientSettings client = ClientSettings::fromEnvironment();
    SignInSettings settings;
    settings.endpoint = client.loginEndpoint;
    settings.site = client.site;
    settings.passwordSavingAllowed = client.passwordSavingEnabled;
    settings.trustedRoots = client.trustedRootCertificates;
    return settings;
}
