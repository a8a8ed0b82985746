#pragma once

#include "base/PolicySet.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

// The client's settings, each from the first of: the administrator's policy
// files (which the user cannot change), the environment (development and
// tests), the built-in value. The one place that reads them.
struct ClientSettings
{
    // LoginServiceUrl; KELUMO_LOGIN_ENDPOINT; the built-in login service address.
    std::string loginEndpoint;
    // SiteUrl; KELUMO_SITE; the built-in site. Without a trailing '/'.
    std::string site;
    // KELUMO_TRACE=1: moments traced on stderr.
    bool trace = false;
    // DownloadDirectory; KELUMO_DOWNLOAD_DIR: downloads saved there without
    // asking (unless promptForDownloadLocation); empty asks.
    std::string downloadFolder;
    // PlatformHosts; KELUMO_PLATFORM_HOSTS (separated by commas or spaces):
    // further hosts of the platform's pages; each covers its subdomains.
    std::vector<std::string> platformHosts;

    // ProxyMode, ProxyServer, ProxyBypassList: the one way out for the login
    // call and the pages. Without ProxyMode, the environment's proxy
    // variables and then the desktop's settings decide.
    enum class ProxyMode { Environment, Direct, System, FixedServers };
    ProxyMode proxyMode = ProxyMode::Environment;
    std::string proxyServer;
    std::string proxyBypassList;
    // TrustedRootCertificates: PEM files trusted beside the system's roots.
    std::vector<std::string> trustedRootCertificates;
    // AuthServerAllowlist: hosts that may use the desktop's own sign-on.
    std::vector<std::string> authServerAllowlist;
    // PasswordSavingEnabled: false stores no password anywhere.
    bool passwordSavingEnabled = true;
    // PromptForDownloadLocation: asked for each download even with a folder set.
    std::optional<bool> promptForDownloadLocation;
    // DownloadsEnabled, PrintingEnabled, NotificationsAllowed, MediaCaptureAllowed.
    bool downloadsEnabled = true;
    bool printingEnabled = true;
    bool notificationsAllowed = true;
    bool mediaCaptureAllowed = true;

    // A policy in force: its name, its value as text, the file it came from.
    struct InForce
    {
        std::string name;
        std::string value;
        std::string source;
    };
    std::vector<InForce> policies;
    // What the policy files could not give, each passed over.
    std::vector<PolicyProblem> policyProblems;

    // Reads one environment variable; null or empty when unset.
    using Environment = std::function<const char *(const char *name)>;

    // The policies, then `environment`, then the built-in values.
    static ClientSettings resolve(const PolicySet &policies, const Environment &environment);
    // The machine's policies, then this process's environment.
    static ClientSettings fromEnvironment();
};
