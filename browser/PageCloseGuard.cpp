#include "browser/PageCloseGuard.h"

#include "browser/BrowserWindow.h"
#include "browser/CorvanePage.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QSessionManager>
#include <QTimer>
#include <QWebEngineView>

PageCloseGuard *PageCloseGuard::attach(QWebEngineView *view)
{
    if (auto *existing = view->findChild<PageCloseGuard *>(QString(), Qt::FindDirectChildrenOnly))
        return existing;
    return new PageCloseGuard(view);
}

PageCloseGuard::PageCloseGuard(QWebEngineView *view) : QObject(view), m_view(view), m_window(view->window())
{
    m_window->installEventFilter(this);
    connect(view->page(), &QWebEnginePage::windowCloseRequested, this, [this] {
        // A pop-up goes when its page asks; the main window only when it was
        // the one asking (its page's own window.close() does not end the program).
        if (!m_asked && !qobject_cast<BrowserWindow *>(m_window.data()))
            return;
        m_pageAgreed = true;
        if (m_window)
            m_window->close();
    });
    // Direct: the session manager expects the answer before the handler returns.
    connect(qGuiApp, &QGuiApplication::commitDataRequest, this,
            [this](QSessionManager &) { closeFor(CloseCause::SessionEnd); }, Qt::DirectConnection);
}

bool PageCloseGuard::eventFilter(QObject *watched, QEvent *event)
{
    // A window shown again asks its page again.
    if (watched == m_window && event->type() == QEvent::Show)
        m_pageAgreed = m_asked = false;
    if (watched == m_window && event->type() == QEvent::Close
        && closeStep(CloseCause::User, m_pageAgreed) == CloseStep::AskPage) {
        event->ignore();
        askPage();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void PageCloseGuard::askPage()
{
    // The engine answers with windowCloseRequested when the page lets go, and
    // with nothing when the user chose to stay.
    m_asked = true;
    m_view->page()->triggerAction(QWebEnginePage::RequestClose);
}

void PageCloseGuard::closeFor(CloseCause cause)
{
    if (!m_window || !m_window->isVisible())
        return;
    if (closeStep(cause, m_pageAgreed) == CloseStep::CloseNow) {
        m_pageAgreed = true;
        m_window->close();
        return;
    }
    askPage();
    const int limitMs = closeTimeLimitMs(cause);
    if (limitMs <= 0)
        return;
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    connect(&limit, &QTimer::timeout, &loop, [this, &loop] {
        // A prompt still up takes its default, leaving; then the loop ends.
        if (auto *page = qobject_cast<CorvanePage *>(m_view->page()))
            page->dismissDialogs();
        loop.quit();
    });
    connect(m_view->page(), &QWebEnginePage::windowCloseRequested, &loop, &QEventLoop::quit);
    limit.start(limitMs);
    const QPointer<PageCloseGuard> self(this);
    loop.exec();
    if (!self)
        return;
    if (!m_pageAgreed && m_window) {
        m_pageAgreed = true;
        m_window->close();
    }
}
