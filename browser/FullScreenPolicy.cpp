#include "browser/FullScreenPolicy.h"

bool mayGoFullScreen(const QUrl &origin, const QUrl &pageUrl)
{
    if (!origin.isValid() || !pageUrl.isValid() || origin.host().isEmpty())
        return false;
    return origin.scheme() == pageUrl.scheme() && origin.host().compare(pageUrl.host(), Qt::CaseInsensitive) == 0
        && origin.port(-1) == pageUrl.port(-1);
}
