#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

class QWebEngineNotification;
class QWebEngineProfile;

// The pages' notifications on the desktop, through its notification service
// (org.freedesktop.Notifications on the session bus), as the platform
// ("Kelumo大数据", its icon). A click on one brings the client's window to the
// front. The bus is first touched when a page asks, never at start.
class DesktopNotifications final : public QObject
{
    Q_OBJECT

public:
    // The profile's presenter; it lives as long as the profile.
    static DesktopNotifications *attach(QWebEngineProfile *profile);
    // The one attached to `profile`, if any.
    static DesktopNotifications *of(QWebEngineProfile *profile);

    // Calls `answer` with whether a notification service answers, within
    // the given time; at once when there is no session bus. Not called once
    // `context` is gone.
    void whenAvailable(QObject *context, std::function<void(bool)> answer);

private slots:
    // The bus's signals (their names come from the interface).
    void onActionInvoked(uint id, const QString &action);
    void onNotificationClosed(uint id, uint reason);

private:
    explicit DesktopNotifications(QObject *parent);
    void present(std::unique_ptr<QWebEngineNotification> notification);
    void shown(uint id, std::unique_ptr<QWebEngineNotification> notification);
    bool listen();

    bool m_listening = false;
    bool m_available = false;
    QHash<uint, QWebEngineNotification *> m_shown;
};
