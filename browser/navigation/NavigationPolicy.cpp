#include "browser/navigation/NavigationPolicy.h"

namespace {

// Lower case, ASCII (IDNA), without the trailing dot of a fully qualified name.
QString normalHost(const QUrl &url)
{
    QString host = url.host(QUrl::EncodeUnicode).toLower();
    if (host.endsWith(QLatin1Char('.')))
        host.chop(1);
    return host;
}

QString hostOf(const QString &address)
{
    const QString text = address.trimmed();
    if (text.isEmpty())
        return {};
    // A bare name, as a deployment may list it.
    const QUrl url = text.contains(QLatin1String("://")) ? QUrl(text) : QUrl(QStringLiteral("http://") + text);
    return url.isValid() ? normalHost(url) : QString();
}

bool isAddressLiteral(const QString &host)
{
    if (host.contains(QLatin1Char(':')))
        return true;
    for (const QChar c : host) {
        if (!c.isDigit() && c != QLatin1Char('.'))
            return false;
    }
    return true;
}

bool isWeb(const QString &scheme)
{
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

bool staysWithEngine(const QString &scheme)
{
    return scheme == QLatin1String("javascript") || scheme == QLatin1String("data") ||
           scheme == QLatin1String("blob") || scheme == QLatin1String("about");
}

} // namespace

PlatformHosts PlatformHosts::of(const QString &startAddress, const QString &site, const QString &loginEndpoint,
                                const QStringList &extraHosts)
{
    PlatformHosts hosts;
    hosts.addHost(hostOf(startAddress));
    hosts.addHost(hostOf(loginEndpoint));
    const QString siteHost = hostOf(site);
    hosts.addHost(siteHost);
    hosts.addDomain(siteHost.startsWith(QLatin1String("www.")) ? siteHost.mid(4) : siteHost);
    for (QString extra : extraHosts) {
        // "*.name" as no_proxy-style lists write it: the name covers its subdomains anyway.
        extra = extra.trimmed();
        if (extra.startsWith(QLatin1String("*.")))
            extra.remove(0, 2);
        const QString host = hostOf(extra);
        hosts.addHost(host);
        hosts.addDomain(host);
    }
    return hosts;
}

void PlatformHosts::addHost(const QString &host)
{
    if (!host.isEmpty() && !m_hosts.contains(host))
        m_hosts << host;
}

void PlatformHosts::addDomain(const QString &domain)
{
    // An address has no subdomains, and a name without a dot (a top-level
    // domain, "localhost") would take in far too much.
    if (domain.contains(QLatin1Char('.')) && !isAddressLiteral(domain) && !m_domains.contains(domain))
        m_domains << domain;
}

bool PlatformHosts::contains(const QUrl &url) const
{
    const QString host = normalHost(url);
    if (host.isEmpty())
        return false;
    if (m_hosts.contains(host))
        return true;
    if (isAddressLiteral(host))
        return false;
    for (const QString &domain : m_domains) {
        if (host == domain ||
            (host.endsWith(domain) && host.at(host.size() - domain.size() - 1) == QLatin1Char('.')))
            return true;
    }
    return false;
}

NavigationDecision navigationDecision(const QUrl &url, NavigationStart start, bool mainFrame,
                                      const PlatformHosts &hosts)
{
    const QString scheme = url.scheme().toLower();
    // Nothing the system could take: the engine says what it makes of it.
    // The client's own loads (the start address, the address dialog) go
    // where they are sent.
    if (scheme.isEmpty() || staysWithEngine(scheme) || start == NavigationStart::Typed)
        return NavigationDecision::Stay;
    const bool fromPage = start != NavigationStart::BackForward && start != NavigationStart::Reload;
    if (scheme == QLatin1String("file"))
        return fromPage ? NavigationDecision::Ignore : NavigationDecision::Stay;
    // A frame inside a platform page is part of that page.
    if (!mainFrame)
        return NavigationDecision::Stay;
    const bool byUser = start == NavigationStart::LinkClicked || start == NavigationStart::FormSubmitted ||
                        start == NavigationStart::NewWindow;
    if (isWeb(scheme)) {
        if (hosts.contains(url))
            return NavigationDecision::Stay;
        if (normalHost(url).isEmpty())
            return NavigationDecision::Ignore;
        // Single sign-on and report servers pass through other hosts.
        return byUser ? NavigationDecision::OpenOutside : NavigationDecision::Stay;
    }
    // mailto:, tel: and the like belong to the system's handlers, and only
    // when the user asked.
    return byUser ? NavigationDecision::OpenOutside : NavigationDecision::Ignore;
}
