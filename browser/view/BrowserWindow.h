#pragma once

#include <QMainWindow>

class QWebEngineView;

// A window for a page that opens one (a link with a target, window.open).
// Its view shares the profile, and so the sign-in, with the main view. It
// closes when its page asks to and deletes itself when closed.
class BrowserWindow final : public QMainWindow
{
    Q_OBJECT

public:
    explicit BrowserWindow(QWidget *owner = nullptr);

    // The window's view, made with this window as its parent.
    void setView(QWebEngineView *view);
    QWebEngineView *view() const { return m_view; }

    // The window that owns new windows opened from `opener`: the main frame,
    // also for popups of popups, so that they all go when it goes.
    static QWidget *ownerFor(QWidget *opener);

private:
    QWebEngineView *m_view = nullptr;
};
