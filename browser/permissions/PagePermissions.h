#pragma once

#include "browser/permissions/PermissionPolicy.h"

#include <QObject>
#include <QPointer>
#include <QUrl>
#include <QWebEnginePage>

#include <functional>

class PlatformHosts;
class QMessageBox;

// Answers a page's permission requests by PermissionPolicy's rule, at once or
// with the user's answer to a question; none is left waiting on the client.
class PagePermissions final : public QObject
{
    Q_OBJECT

public:
    // Lives as long as `page`.
    static void attach(QWebEnginePage *page, const PermissionSettings &settings,
                       std::function<PlatformHosts()> hosts);

private:
    PagePermissions(QWebEnginePage *page, const PermissionSettings &settings, std::function<PlatformHosts()> hosts);
    void onRequested(const QUrl &origin, QWebEnginePage::Feature feature);
    void onCanceled(const QUrl &origin, QWebEnginePage::Feature feature);
    void ask(const QUrl &origin, QWebEnginePage::Feature feature);
    void answer(const QUrl &origin, QWebEnginePage::Feature feature, bool granted);

    QWebEnginePage *m_page;
    PermissionSettings m_settings;
    std::function<PlatformHosts()> m_hosts;
    // The question on screen, and what it asks.
    QPointer<QMessageBox> m_question;
    QUrl m_questionOrigin;
    QWebEnginePage::Feature m_questionFeature{};
};
