#pragma once

#include "base/ProxySetting.h"
#include "base/proxy/ProxyRules.h"

#include <QByteArray>
#include <QList>
#include <QNetworkProxy>
#include <QUrl>

#include <functional>
#include <optional>
#include <string>

struct ClientSettings;

// The client's side of the proxy rules (base/proxy/ProxyRules.h): the
// desktop's settings as Qt reads them stand for the system's, and the
// decision is handed to the web engine, so that the login call and the pages
// take the same way.
namespace proxychoice {

// Reads one environment variable; empty when unset.
using Environment = std::function<QByteArray(const char *name)>;
// The system's proxies for an address, best first (Qt's system lookup).
using SystemLookup = std::function<QList<QNetworkProxy>(const QUrl &target)>;

// The rules for `target`, with the first of the system's proxies when it is
// an HTTP proxy (any other kind means direct).
std::optional<ProxySetting> choose(const QUrl &target, const Environment &environment,
                                   const SystemLookup &systemLookup);

// The same under an administrator's proxy policy.
std::optional<ProxySetting> choose(const QUrl &target, const proxyrules::Policy &policy,
                                   const Environment &environment, const SystemLookup &systemLookup);

// The proxy policy the settings hold.
proxyrules::Policy policyOf(const ClientSettings &settings);

// choose() under the machine's policy, on this process's environment and
// Qt's system lookup.
std::optional<ProxySetting> forAddress(const std::string &address);

// The web engine's counterpart of a decision.
QNetworkProxy networkProxy(const std::optional<ProxySetting> &choice);

// Makes the web engine take the way the login call to `endpoint` takes: the
// application proxy, which the engine reads, set explicitly either way.
void applyToPages(const std::string &endpoint);
// The same, for a decision already made. The engine takes one proxy for
// every page: a policy's bypass list counts for the pages only through this
// decision (Qt WebEngine 6.4 reads the application proxy or the system's
// settings, not the engine's --proxy-server or --proxy-bypass-list switches).
void applyToPages(const std::optional<ProxySetting> &choice);

// The pages' proxy takes the user name and password the login call got
// through with, when it is the same proxy (host and port): the user is not
// asked twice for it. Kept in memory only.
void lendCredentials(const ProxySetting &answered);

} // namespace proxychoice
