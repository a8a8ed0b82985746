#pragma once

#include <QString>
#include <QUrl>
#include <QWebEnginePage>

class PlatformHosts;

// What the client does with a page's request for a feature.
enum class PermissionAnswer {
    Grant, // at once (notifications: once the desktop's notification service answers)
    Deny,  // at once, without a word to the user
    Ask,   // the user decides, once per host and feature for the run
};

// The administrator's say in it (NotificationsAllowed, MediaCaptureAllowed).
struct PermissionSettings
{
    bool notificationsAllowed = true;
    bool mediaCaptureAllowed = true;
};

// The rule: notifications from the platform's pages are granted; microphone,
// camera and screen sharing asked for by a platform page are asked of the
// user; everything else, and anything a foreign host's frame asks for, is
// refused. `origin` is the asking frame's, `pageUrl` the page on screen.
PermissionAnswer permissionAnswer(QWebEnginePage::Feature feature, const QUrl &origin, const QUrl &pageUrl,
                                  const PlatformHosts &hosts, const PermissionSettings &settings);

// The question's text: the host, and what it wants, in the user's words.
QString permissionQuestion(QWebEnginePage::Feature feature, const QUrl &origin);
