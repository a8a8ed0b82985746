#include "browser/permissions/PermissionPolicy.h"

#include "browser/navigation/NavigationPolicy.h"

namespace {

bool fromThePlatform(const QUrl &origin, const QUrl &pageUrl, const PlatformHosts &hosts)
{
    const bool web = origin.scheme() == QLatin1String("http") || origin.scheme() == QLatin1String("https");
    return web && !origin.host().isEmpty() && hosts.contains(origin) && hosts.contains(pageUrl);
}

bool isMediaCapture(QWebEnginePage::Feature feature)
{
    switch (feature) {
    case QWebEnginePage::MediaAudioCapture:
    case QWebEnginePage::MediaVideoCapture:
    case QWebEnginePage::MediaAudioVideoCapture:
    case QWebEnginePage::DesktopVideoCapture:
    case QWebEnginePage::DesktopAudioVideoCapture:
        return true;
    default:
        return false;
    }
}

} // namespace

PermissionAnswer permissionAnswer(QWebEnginePage::Feature feature, const QUrl &origin, const QUrl &pageUrl,
                                  const PlatformHosts &hosts, const PermissionSettings &settings)
{
    if (!fromThePlatform(origin, pageUrl, hosts))
        return PermissionAnswer::Deny;
    if (feature == QWebEnginePage::Notifications)
        return settings.notificationsAllowed ? PermissionAnswer::Grant : PermissionAnswer::Deny;
    if (isMediaCapture(feature))
        return settings.mediaCaptureAllowed ? PermissionAnswer::Ask : PermissionAnswer::Deny;
    return PermissionAnswer::Deny;
}

QString permissionQuestion(QWebEnginePage::Feature feature, const QUrl &origin)
{
    QString what;
    switch (feature) {
    case QWebEnginePage::MediaAudioCapture: what = QStringLiteral("使用您的麦克风"); break;
    case QWebEnginePage::MediaVideoCapture: what = QStringLiteral("使用您的摄像头"); break;
    case QWebEnginePage::MediaAudioVideoCapture: what = QStringLiteral("使用您的麦克风和摄像头"); break;
    case QWebEnginePage::DesktopVideoCapture: what = QStringLiteral("共享您的屏幕"); break;
    case QWebEnginePage::DesktopAudioVideoCapture: what = QStringLiteral("共享您的屏幕和声音"); break;
    default: what = QStringLiteral("使用此功能"); break;
    }
    return QStringLiteral("“%1”想要%2。是否允许？").arg(origin.host(), what);
}
