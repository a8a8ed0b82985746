#include "base/ClientSettings.h"

#include "base/KelumoConfig.h"

#include <cstdlib>
#include <cstring>

namespace {

// Set and not empty, else the fallback.
std::string variable(const char *name, const char *fallback = "")
{
    const char *value = std::getenv(name);
    return (value && *value) ? value : fallback;
}

} // namespace

ClientSettings ClientSettings::fromEnvironment()
{
    ClientSettings settings;
    settings.loginEndpoint = variable("KELUMO_LOGIN_ENDPOINT", kelumo::builtInLoginEndpoint);
    settings.site = variable("KELUMO_SITE", kelumo::builtInSite);
    while (!settings.site.empty() && settings.site.back() == '/')
        settings.site.pop_back();
    settings.trace = variable("KELUMO_TRACE") == "1";
    settings.downloadFolder = variable("KELUMO_DOWNLOAD_DIR");
    const std::string hosts = variable("KELUMO_PLATFORM_HOSTS");
    std::size_t at = 0;
    while ((at = hosts.find_first_not_of(", \t", at)) != std::string::npos) {
        const std::size_t end = hosts.find_first_of(", \t", at);
        settings.platformHosts.push_back(hosts.substr(at, end - at));
        at = end;
    }
    return settings;
}
