#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

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
    // The view's full-screen mode, made on first use; it lives as long as the view.
    static FullScreenMode *attach(QWebEngineView *view);

    // F11: the whole window, or back.
    void toggle();
    bool isOn() const { return m_on; }

private:
    explicit FullScreenMode(QWebEngineView *view);

    void onRequest(QWebEngineFullScreenRequest &request);
    void enter();
    void leave();

    QWebEngineView *m_view;
    QAction *m_escape;
    bool m_on = false;
    Qt::WindowStates m_stateBefore;
    QList<QPointer<QWidget>> m_hiddenBars;
};
