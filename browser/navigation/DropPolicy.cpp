#include "browser/navigation/DropPolicy.h"

bool pageMayOpen(const QUrl &url, QWebEnginePage::NavigationType type)
{
    if (!url.isLocalFile())
        return true;
    switch (type) {
    case QWebEnginePage::NavigationTypeTyped:
    case QWebEnginePage::NavigationTypeReload:
    case QWebEnginePage::NavigationTypeBackForward:
        return true;
    default:
        return false;
    }
}
