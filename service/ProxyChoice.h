#pragma once

#include "base/ProxySetting.h"

#include <QByteArray>
#include <QList>
#include <QNetworkProxy>
#include <QUrl>

#include <functional>
#include <optional>
#include <string>

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

// choose() on this process's environment and Qt's system lookup.
std::optional<ProxySetting> forAddress(const std::string &address);

// The web engine's counterpart of a decision.
QNetworkProxy networkProxy(const std::optional<ProxySetting> &choice);

// Makes the web engine take the way the login call to `endpoint` takes: the
// application proxy, which the engine reads, set explicitly either way.
void applyToPages(const std::string &endpoint);
// The same, for a decision already made.
void applyToPages(const std::optional<ProxySetting> &choice);

// The pages' proxy takes the user name and password the login call got
// through with, when it is the same proxy (host and port): the user is not
// asked twice for it. Kept in memory only.
void lendCredentials(const ProxySetting &answered);

} // namespace proxychoice
