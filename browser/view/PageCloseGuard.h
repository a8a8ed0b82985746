#pragma once

#include "browser/view/ClosePolicy.h"

#include <QObject>
#include <QPointer>

class CorvanePage;
class QWebEngineView;
class QWidget;

// Lets a view's page run its beforeunload before the view's window closes:
// a close of the window is held back and handed to the page, which either
// agrees (the window then goes) or, through the engine's prompt, lets the
// user stay. A logout waits a few seconds at most.
class PageCloseGuard final : public QObject
{
    Q_OBJECT

public:
    // The guard of `view`'s window, whose page is `page`; it lives as long
    // as the view.
    PageCloseGuard(QWebEngineView *view, CorvanePage *page);

    // A pop-up's window goes whenever its page asks; the main window only
    // when it was the one asking (its page's own window.close() does not end
    // the program).
    void setClosesWhenPageAsks(bool closes) { m_closesWhenPageAsks = closes; }

    // Closes the window for `cause`, asking the page first where that is the
    // rule; returns once the window is closed, or, without a time limit, once
    // the page has been asked.
    void closeFor(CloseCause cause);

    bool pageAgreed() const { return m_pageAgreed; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void askPage();

    CorvanePage *m_page;
    QPointer<QWidget> m_window;
    bool m_pageAgreed = false;
    bool m_asked = false;
    bool m_closesWhenPageAsks = false;
};
