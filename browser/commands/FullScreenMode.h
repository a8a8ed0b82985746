#pragma once

#include "browser/navigation/NavigationPolicy.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>

class QAction;
class QWebEngineFullScreenRequest;
class QWebEngineView;
class QWidget;

// Full screen for a view's window: asked for by the page (requestFullscreen)
// or by F11. The window covers the screen without its tool and status bars
// and comes back as it was on Escape, on F11 again, or when the page leaves
// full screen.
class FullScreenMode final : public QObject
{
    Q_OBJECT

public:
    // The hosts of the platform as the view's page sees them now.
    using HostsOf = std::function<PlatformHosts()>;

    // The view's full-screen mode; it lives as long as the view.
    FullScreenMode(QWebEngineView *view, HostsOf platformHosts);

    // F11: the whole window, or back.
    void toggle();
    bool isOn() const { return m_on; }

private:

    void onRequest(QWebEngineFullScreenRequest &request);
    void enter();
    void leave();

    QWebEngineView *m_view;
    HostsOf m_platformHosts;
    QAction *m_escape;
    bool m_on = false;
    Qt::WindowStates m_stateBefore;
    QList<QPointer<QWidget>> m_hiddenBars;
};
