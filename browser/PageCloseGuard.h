#pragma once

#include "browser/ClosePolicy.h"

#include <QObject>
#include <QPointer>

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
    // The view's guard, made on first use; it lives as long as the view.
    static PageCloseGuard *attach(QWebEngineView *view);

    // Closes the window for `cause`, asking the page first where that is the
    // rule; returns once the window is closed, or, without a time limit, once
    // the page has been asked.
    void closeFor(CloseCause cause);

    bool pageAgreed() const { return m_pageAgreed; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit PageCloseGuard(QWebEngineView *view);

    void askPage();

    QWebEngineView *m_view;
    QPointer<QWidget> m_window;
    bool m_pageAgreed = false;
    bool m_asked = false;
};
