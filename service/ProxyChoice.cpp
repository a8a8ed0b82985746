#include "service/ProxyChoice.h"

#include <QHostAddress>
#include <QNetworkProxyFactory>
#include <QNetworkProxyQuery>
#include <QRegularExpression>

namespace proxychoice {

namespace {

// Lower case first, as most programs read these variables.
QByteArray variable(const Environment &environment, const char *lower, const char *upper)
{
    const QByteArray value = environment(lower).trimmed();
    return value.isEmpty() ? environment(upper).trimmed() : value;
}

// "http://user:pw@host:port", or just "host:port".
std::optional<ProxySetting> fromProxyAddress(const QByteArray &value)
{
    QString text = QString::fromLocal8Bit(value);
    if (!text.contains(QLatin1String("://")))
        text.prepend(QLatin1String("http://"));
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().compare(QLatin1String("http"), Qt::CaseInsensitive) != 0 ||
        url.host().isEmpty())
        return std::nullopt;
    ProxySetting setting;
    setting.host = url.host().toStdString();
    setting.port = url.port(8080);
    setting.user = url.userName(QUrl::FullyDecoded).toStdString();
    setting.password = url.password(QUrl::FullyDecoded).toStdString();
    return setting;
}

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

bool alwaysDirect(const QString &host)
{
    const QString name = host.toLower();
    if (name == QLatin1String("localhost") || name.endsWith(QLatin1String(".localhost")))
        return true;
    const QHostAddress address(name);
    if (address.isNull())
        return !name.contains(QLatin1Char('.'));
    return address.isLoopback() || address.isLinkLocal();
}

bool listedInNoProxy(const QByteArray &noProxy, const QString &host)
{
    const QString name = host.toLower();
    const QHostAddress address(name);
    const QString list = QString::fromLocal8Bit(noProxy).toLower();
    for (QString token : list.split(QRegularExpression(QStringLiteral("[,\\s]+")), Qt::SkipEmptyParts)) {
        if (token == QLatin1String("*"))
            return true;
        if (token.contains(QLatin1Char('/'))) {
            const auto subnet = QHostAddress::parseSubnet(token);
            if (!address.isNull() && !subnet.first.isNull() && address.isInSubnet(subnet))
                return true;
            continue;
        }
        if (token.startsWith(QLatin1Char('['))) {
            token = token.mid(1, token.indexOf(QLatin1Char(']')) - 1);
        } else if (token.count(QLatin1Char(':')) == 1) {
            token.truncate(token.indexOf(QLatin1Char(':')));
        }
        if (token.startsWith(QLatin1String("*.")))
            token.remove(0, 2);
        else if (token.startsWith(QLatin1Char('.')))
            token.remove(0, 1);
        if (token.isEmpty())
            continue;
        if (!address.isNull()) {
            if (QHostAddress(token) == address)
                return true;
            continue;
        }
        if (name == token || name.endsWith(QLatin1Char('.') + token))
            return true;
    }
    return false;
}

std::optional<ProxySetting> choose(const QUrl &target, const Environment &environment,
                                   const SystemLookup &systemLookup)
{
    const QString scheme = target.scheme().toLower();
    if ((scheme != QLatin1String("http") && scheme != QLatin1String("https")) || target.host().isEmpty())
        return std::nullopt;
    if (alwaysDirect(target.host()))
        return std::nullopt;
    if (listedInNoProxy(variable(environment, "no_proxy", "NO_PROXY"), target.host()))
        return std::nullopt;

    QByteArray configured = scheme == QLatin1String("https") ? variable(environment, "https_proxy", "HTTPS_PROXY")
                                                               : variable(environment, "http_proxy", "HTTP_PROXY");
    if (configured.isEmpty())
        configured = variable(environment, "all_proxy", "ALL_PROXY");
    if (!configured.isEmpty())
        return fromProxyAddress(configured);
    return systemLookup ? fromSystem(systemLookup(target)) : std::nullopt;
}

std::optional<ProxySetting> forAddress(const std::string &address)
{
    return choose(
        QUrl(QString::fromStdString(address)),
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
}

} // namespace proxychoice
