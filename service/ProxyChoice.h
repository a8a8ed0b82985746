#pragma once

#include "base/ProxySetting.h"

#include <QByteArray>
#include <QList>
#include <QNetworkProxy>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>
#include <string>

// Which HTTP proxy, if any, the client uses to reach an address. One decision
// for the login call and for the pages, so that the two cannot disagree.
namespace proxychoice {

// Reads one environment variable; empty when unset.
using Environment = std::function<QByteArray(const char *name)>;
// The system's proxies for an address, best first (Qt's system lookup).
using SystemLookup = std::function<QList<QNetworkProxy>(const QUrl &target)>;

// The rules, in order: only http and https addresses can use a proxy;
// hosts the web engine never sends through a proxy go direct (see
// alwaysDirect); a host that no_proxy lists goes direct;
// then the scheme's variable (http_proxy or https_proxy), then all_proxy,
// each in lower or upper case; when none of them is set, the system's own
// settings (the desktop's, where Qt reads them). Only HTTP proxies count: any
// other kind, or a proxy address that cannot be read, means direct.
// Credentials come from the proxy address's user part, percent-decoded.
std::optional<ProxySetting> choose(const QUrl &target, const Environment &environment,
                                   const SystemLookup &systemLookup);

// choose() on this process's environment and Qt's system lookup.
std::optional<ProxySetting> forAddress(const std::string &address);

// Loopback and link-local addresses, localhost and its subdomains, and
// simple names without a dot: the engine always reaches these directly, so
// the login call does too.
bool alwaysDirect(const QString &host);
// no_proxy's syntax: names or addresses separated by commas or spaces, a name
// also covering its subdomains (a leading "." or "*." changes nothing),
// optional ":port" ignored, address/bits for a network, "*" for every host.
bool listedInNoProxy(const QByteArray &noProxy, const QString &host);

// The web engine's counterpart of a decision.
QNetworkProxy networkProxy(const std::optional<ProxySetting> &choice);

// Makes the web engine take the way the login call to `endpoint` takes: the
// application proxy, which the engine reads, set explicitly either way.
void applyToPages(const std::string &endpoint);
// The same, for a decision already made.
void applyToPages(const std::optional<ProxySetting> &choice);

} // namespace proxychoice
