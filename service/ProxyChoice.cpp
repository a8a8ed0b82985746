#include "service/ProxyChoice.h"

#include "base/ClientSettings.h"

#include <QNetworkProxyFactory>
#include <QNetworkProxyQuery>

#include <atomic>

namespace proxychoice {

namespace {

// Set once the pages' way is decided; only then is there a proxy to lend to.
std::atomic<bool> g_pagesProxySet{false};

std::optional<ProxySetting> fromSystem(const QList<QNetworkProxy> &proxies)
{
    if (proxies.isEmpty())
        return std::nullopt;
    const QNetworkProxy &first = proxies.front();
    const bool http = first.type() == QNetworkProxy::HttpProxy || first.type() == QNetworkProxy::HttpCachingProxy;
    if (!http || first.hostName().isEmpty() || first.port() == 0)
        return std::nullopt;
    // Qt hands the user part over decoded already.
    return ProxySetting{first.hostName().toStdString(), first.port(), first.user().toStdString(),
                        first.password().toStdString()};
}

} // namespace

std::optional<ProxySetting> choose(const QUrl &target, const Environment &environment,
                                   const SystemLookup &systemLookup)
{
    return choose(target, proxyrules::Policy{}, environment, systemLookup);
}

std::optional<ProxySetting> choose(const QUrl &target, const proxyrules::Policy &policy,
                                   const Environment &environment, const SystemLookup &systemLookup)
{
    // The host as Qt reads it: IPv4 written short or in hexadecimal already
    // in its usual form, international names decoded.
    return proxyrules::choose(
        proxyrules::Target{target.scheme().toStdString(), target.host().toStdString()}, policy,
        [&environment](const char *name) { return environment(name).toStdString(); },
        [&target, &systemLookup]() -> std::optional<ProxySetting> {
            return systemLookup ? fromSystem(systemLookup(target)) : std::nullopt;
        });
}

proxyrules::Policy policyOf(const ClientSettings &settings)
{
    using Mode = proxyrules::Policy::Mode;
    Mode mode = Mode::Unset;
    switch (settings.proxyMode) {
    case ClientSettings::ProxyMode::Environment: mode = Mode::Unset; break;
    case ClientSettings::ProxyMode::Direct: mode = Mode::Direct; break;
    case ClientSettings::ProxyMode::System: mode = Mode::System; break;
    case ClientSettings::ProxyMode::FixedServers: mode = Mode::FixedServers; break;
    }
    return proxyrules::Policy{mode, settings.proxyServer, settings.proxyBypassList};
}

std::optional<ProxySetting> forAddress(const std::string &address)
{
    return choose(
        QUrl(QString::fromStdString(address)), policyOf(ClientSettings::fromEnvironment()),
        [](const char *name) { return qgetenv(name); },
        [](const QUrl &target) { return QNetworkProxyFactory::systemProxyForQuery(QNetworkProxyQuery(target)); });
}

QNetworkProxy networkProxy(const std::optional<ProxySetting> &choice)
{
    if (!choice)
        return QNetworkProxy(QNetworkProxy::NoProxy);
    return QNetworkProxy(QNetworkProxy::HttpProxy, QString::fromStdString(choice->host),
                         static_cast<quint16>(choice->port), QString::fromStdString(choice->user),
                         QString::fromStdString(choice->password));
}

void applyToPages(const std::string &endpoint)
{
    applyToPages(forAddress(endpoint));
}

void applyToPages(const std::optional<ProxySetting> &choice)
{
    QNetworkProxyFactory::setUseSystemConfiguration(false);
    QNetworkProxy::setApplicationProxy(networkProxy(choice));
    g_pagesProxySet = true;
}

void lendCredentials(const ProxySetting &answered)
{
    // Before the pages' way is set, Qt would ask the system (a PAC script,
    // perhaps) only to find nothing to lend to.
    if (!g_pagesProxySet)
        return;
    QNetworkProxy pages = QNetworkProxy::applicationProxy();
    if (pages.type() != QNetworkProxy::HttpProxy || pages.hostName() != QString::fromStdString(answered.host) ||
        pages.port() != answered.port)
        return;
    const QString user = QString::fromStdString(answered.user);
    const QString password = QString::fromStdString(answered.password);
    if (pages.user() == user && pages.password() == password)
        return;
    pages.setUser(user);
    pages.setPassword(password);
    QNetworkProxy::setApplicationProxy(pages);
}

} // namespace proxychoice
