#include "browser/commands/FullScreenMode.h"

#include "browser/commands/FullScreenPolicy.h"

#include <QAction>
#include <QStatusBar>
#include <QToolBar>
#include <QWebEngineFullScreenRequest>
#include <QWebEngineView>

FullScreenMode::FullScreenMode(QWebEngineView *view, HostsOf platformHosts)
    : QObject(view), m_view(view), m_platformHosts(std::move(platformHosts)), m_escape(new QAction(view))
{
    connect(view->page(), &QWebEnginePage::fullScreenRequested, this,
            [this](QWebEngineFullScreenRequest request) { onRequest(request); });
    // Escape is the way back only while the window is full screen.
    m_escape->setShortcut(QKeySequence(Qt::Key_Escape));
    m_escape->setShortcutContext(Qt::WindowShortcut);
    m_escape->setEnabled(false);
    connect(m_escape, &QAction::triggered, this, [this] { toggle(); });
    view->addAction(m_escape);
}

void FullScreenMode::onRequest(QWebEngineFullScreenRequest &request)
{
    if (request.toggleOn()) {
        const PlatformHosts hosts = m_platformHosts ? m_platformHosts() : PlatformHosts();
        if (!mayGoFullScreen(request.origin(), m_view->url(), hosts)) {
            request.reject();
            return;
        }
        request.accept();
        enter();
    } else {
        request.accept();
        leave();
    }
}

void FullScreenMode::toggle()
{
    if (m_on) {
        m_view->triggerPageAction(QWebEnginePage::ExitFullScreen);
        leave();
    } else {
        enter();
    }
}

void FullScreenMode::enter()
{
    if (m_on)
        return;
    QWidget *window = m_view->window();
    m_on = true;
    m_stateBefore = window->windowState();
    m_hiddenBars.clear();
    // The bars of the window itself; the find bar, if open, goes too.
    for (QWidget *bar : window->findChildren<QToolBar *>(QString(), Qt::FindDirectChildrenOnly))
        if (bar->isVisible())
            m_hiddenBars << bar;
    for (QWidget *bar : window->findChildren<QStatusBar *>(QString(), Qt::FindDirectChildrenOnly))
        if (bar->isVisible())
            m_hiddenBars << bar;
    for (const QPointer<QWidget> &bar : std::as_const(m_hiddenBars))
        bar->hide();
    m_escape->setEnabled(true);
    window->setWindowState((m_stateBefore & ~Qt::WindowMinimized) | Qt::WindowFullScreen);
}

void FullScreenMode::leave()
{
    if (!m_on)
        return;
    m_on = false;
    m_escape->setEnabled(false);
    QWidget *window = m_view->window();
    window->setWindowState(m_stateBefore & ~Qt::WindowFullScreen);
    for (const QPointer<QWidget> &bar : std::as_const(m_hiddenBars))
        if (bar)
            bar->show();
    m_hiddenBars.clear();
}
