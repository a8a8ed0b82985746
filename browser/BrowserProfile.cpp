#include "browser/BrowserProfile.h"

#include "browser/ZoomMemory.h"

#include <QWebEngineProfile>

QByteArray pageAcceptLanguage()
{
    return QByteArrayLiteral("zh-CN,zh;q=0.9");
}

void configureBrowserProfile(QWebEngineProfile *profile)
{
    profile->setHttpAcceptLanguage(QString::fromLatin1(pageAcceptLanguage()));
    ZoomMemory::attach(profile);
}
