#include "browser/view/PageCloseGuard.h"

#include "browser/view/CorvanePage.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QSessionManager>
#include <QTimer>
#include <QWebEngineView>

PageCloseGuard::PageCloseGuard(QWebEngineView *view, CorvanePage *page)
    : QObject(view), m_page(page), m_window(view->window())
{
    m_window->installEventFilter(this);
    connect(page, &QWebEnginePage::windowCloseRequested, this, [this] {
        if (!m_asked && !m_closesWhenPageAsks)
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
    m_page->triggerAction(QWebEnginePage::RequestClose);
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
        m_page->dismissDialogs();
        loop.quit();
    });
    connect(m_page, &QWebEnginePage::windowCloseRequested, &loop, &QEventLoop::quit);
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
