#include "browser/commands/FullScreenPolicy.h"

#include "browser/navigation/NavigationPolicy.h"

bool mayGoFullScreen(const QUrl &origin, const QUrl &pageUrl, const PlatformHosts &hosts)
{
    if (!origin.isValid() || !pageUrl.isValid() || origin.host().isEmpty())
        return false;
    const bool web = origin.scheme() == QLatin1String("http") || origin.scheme() == QLatin1String("https");
    if (web && hosts.contains(origin) && hosts.contains(pageUrl))
        return true;
    return origin.scheme() == pageUrl.scheme() && origin.host().compare(pageUrl.host(), Qt::CaseInsensitive) == 0
        && origin.port(-1) == pageUrl.port(-1);
}
