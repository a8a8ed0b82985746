#include "browser/permissions/DesktopNotifications.h"

#include "base/KelumoConfig.h"
#include "base/Trace.h"

#include <QApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QIcon>
#include <QImage>
#include <QMainWindow>
#include <QWebEngineNotification>
#include <QWebEngineProfile>

namespace {

const QString service = QStringLiteral("org.freedesktop.Notifications");
const QString path = QStringLiteral("/org/freedesktop/Notifications");
const QString interface = QStringLiteral("org.freedesktop.Notifications");
// A page waits on its request: a service that has not answered by then is
// taken as none.
constexpr int probeTimeoutMs = 700;
constexpr int notifyTimeoutMs = 5000;
constexpr int iconSize = 48;

QDBusMessage call(const QString &method)
{
    return QDBusMessage::createMethodCall(service, path, interface, method);
}

// The service's "image-data" hint: (iiibiiay), RGBA rows.
QVariant imageData(QImage image)
{
    image = image.scaled(iconSize, iconSize, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                .convertToFormat(QImage::Format_RGBA8888);
    QDBusArgument argument;
    argument.beginStructure();
    argument << image.width() << image.height() << int(image.bytesPerLine()) << true << 8 << 4
             << QByteArray(reinterpret_cast<const char *>(image.constBits()), int(image.sizeInBytes()));
    argument.endStructure();
    return QVariant::fromValue(argument);
}

void bringClientToFront()
{
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (!qobject_cast<QMainWindow *>(window) || !window->isVisible())
            continue;
        if (window->isMinimized())
            window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
        window->raise();
        window->activateWindow();
        return;
    }
}

} // namespace

DesktopNotifications::DesktopNotifications(QObject *parent) : QObject(parent) {}

DesktopNotifications *DesktopNotifications::attach(QWebEngineProfile *profile)
{
    if (DesktopNotifications *attached = of(profile))
        return attached;
    auto *notifications = new DesktopNotifications(profile);
    QPointer<DesktopNotifications> guard(notifications);
    profile->setNotificationPresenter([guard](std::unique_ptr<QWebEngineNotification> notification) {
        if (guard)
            guard->present(std::move(notification));
    });
    return notifications;
}

DesktopNotifications *DesktopNotifications::of(QWebEngineProfile *profile)
{
    return profile ? profile->findChild<DesktopNotifications *>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

bool DesktopNotifications::listen()
{
    if (m_listening)
        return true;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    bus.connect(service, path, interface, QStringLiteral("ActionInvoked"), this,
                SLOT(onActionInvoked(uint, QString)));
    bus.connect(service, path, interface, QStringLiteral("NotificationClosed"), this,
                SLOT(onNotificationClosed(uint, uint)));
    m_listening = true;
    return true;
}

void DesktopNotifications::whenAvailable(QObject *context, std::function<void(bool)> answer)
{
    // Once one has answered it is taken to stay; none is asked again.
    if (m_available) {
        answer(true);
        return;
    }
    if (!listen()) {
        trace("notification service", "none");
        answer(false);
        return;
    }
    const QDBusPendingCall pending =
        QDBusConnection::sessionBus().asyncCall(call(QStringLiteral("GetServerInformation")), probeTimeoutMs);
    auto *watcher = new QDBusPendingCallWatcher(pending, this);
    // Gone with its answer, whether or not the page still waits for it.
    connect(watcher, &QDBusPendingCallWatcher::finished, watcher, &QObject::deleteLater);
    connect(watcher, &QDBusPendingCallWatcher::finished, context,
            [this, watcher, answer = std::move(answer)] {
                const QDBusPendingReply<QString, QString, QString, QString> reply = *watcher;
                m_available = !reply.isError();
                trace("notification service", m_available ? reply.argumentAt<0>().toStdString() : "none");
                answer(m_available);
            });
}

void DesktopNotifications::present(std::unique_ptr<QWebEngineNotification> notification)
{
    if (!listen())
        return;
    // A page's notification with the tag of one on screen takes its place.
    uint replaces = 0;
    for (auto it = m_shown.cbegin(); it != m_shown.cend(); ++it)
        if (it.value()->matches(notification.get()))
            replaces = it.key();

    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("kelumo"));
    const QImage icon = notification->icon().isNull()
                            ? QApplication::windowIcon().pixmap(iconSize, iconSize).toImage()
                            : notification->icon();
    if (!icon.isNull())
        hints.insert(QStringLiteral("image-data"), imageData(icon));

    QDBusMessage notify = call(QStringLiteral("Notify"));
    notify << QString::fromUtf8(kelumo::productName) << replaces << QStringLiteral("kelumo") << notification->title()
           << notification->message() << QStringList{QStringLiteral("default"), QStringLiteral("打开")} << hints
           << -1;
    const QDBusPendingCall pending = QDBusConnection::sessionBus().asyncCall(notify, notifyTimeoutMs);
    auto *watcher = new QDBusPendingCallWatcher(pending, this);
    // Held by the watcher until the service has given it a number.
    auto held = std::make_shared<std::unique_ptr<QWebEngineNotification>>(std::move(notification));
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, held] {
        watcher->deleteLater();
        const QDBusPendingReply<uint> reply = *watcher;
        if (reply.isError()) {
            trace("notification failed", reply.error().name().toStdString());
            return;
        }
        shown(reply.value(), std::move(*held));
    });
}

void DesktopNotifications::shown(uint id, std::unique_ptr<QWebEngineNotification> notification)
{
    trace("notification shown", std::to_string(id));
    QWebEngineNotification *page = notification.release();
    page->setParent(this);
    if (QWebEngineNotification *earlier = m_shown.value(id); earlier && earlier != page)
        earlier->deleteLater();
    m_shown.insert(id, page);
    // The page closed it itself (notification.close()).
    connect(page, &QWebEngineNotification::closed, this, [this, id, page] {
        if (m_shown.value(id) != page)
            return;
        m_shown.remove(id);
        page->deleteLater();
        QDBusMessage close = call(QStringLiteral("CloseNotification"));
        close << id;
        QDBusConnection::sessionBus().asyncCall(close, notifyTimeoutMs);
    });
    page->show();
}

void DesktopNotifications::onActionInvoked(uint id, const QString &action)
{
    QWebEngineNotification *page = m_shown.value(id);
    if (!page || action != QLatin1String("default"))
        return;
    trace("notification clicked", std::to_string(id));
    page->click();
    bringClientToFront();
}

void DesktopNotifications::onNotificationClosed(uint id, uint)
{
    QWebEngineNotification *page = m_shown.take(id);
    if (!page)
        return;
    page->close();
    page->deleteLater();
}
