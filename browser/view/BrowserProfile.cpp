#include "browser/view/BrowserProfile.h"

#include "browser/commands/ZoomMemory.h"
#include "browser/permissions/DesktopNotifications.h"

#include <QWebEngineProfile>
#include <QWebEngineSettings>

QByteArray pageAcceptLanguage()
{
    return QByteArrayLiteral("zh-CN,zh;q=0.9");
}

void configureBrowserProfile(QWebEngineProfile *profile)
{
    profile->setHttpAcceptLanguage(QString::fromLatin1(pageAcceptLanguage()));
    ZoomMemory::attach(profile);
    // Pop-ups only from a user's click, key or form: the engine's own blocker
    // then drops window.open() calls no user action started, before any
    // window, or any hand-over to the system, is made for them.
    profile->settings()->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    // Dashboards go full screen; which pages may is the view's decision.
    profile->settings()->setAttribute(QWebEngineSettings::FullScreenSupportEnabled, true);
    // The platform's PDF reports show in the window, in the engine's own
    // viewer (the one plug-in it has); foreign pages never load here.
    profile->settings()->setAttribute(QWebEngineSettings::PluginsEnabled, true);
    profile->settings()->setAttribute(QWebEngineSettings::PdfViewerEnabled, true);
    DesktopNotifications::attach(profile);
}
