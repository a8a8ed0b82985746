#pragma once

#include "frame/FrameAccelerators.h"

#include <QMainWindow>
#include <QPointer>
#include <QStyle>
#include <QTimer>

#include <functional>

class QAction;
class QToolBar;
class MyStateBar;

// The application's main window: the view in the middle, the navigation
// toolbar above it, the status bar below, and no menu bar. The frame's
// accelerators are taken before the embedded page sees the keys. The frame
// knows its view only as a QWidget; the application wires the signals.
// It never sets its own caption.
class CMainFrame final : public QMainWindow
{
    Q_OBJECT

public:
    static constexpr int stopDelayMs = 150;

    using ViewFactory = std::function<QWidget *(QWidget *parent)>;

    explicit CMainFrame(QWidget *parent = nullptr);
    ~CMainFrame() override;

    // Builds the window around the view createView(this) returns. False when
    // any part cannot be made (a null view among them); the application ends
    // then. An empty createView builds the frame without a view.
    bool LoadFrame(const ViewFactory &createView);

    QWidget *view() const { return m_view; }
    MyStateBar *stateBar() const { return m_stateBar; }
    QToolBar *navigationBar() const { return m_toolBar; }

    // The toolbar cannot be hidden, so there is no menu to toggle it: null.
    QMenu *createPopupMenu() override;

public slots:
    // Back and Forward follow the history, Stop is only there while loading,
    // once a load has lasted stopDelayMs: a click's page that is there
    // sooner does not flash the button (each repaint of the bar redraws the
    // window around the page).
    void setNavigationState(bool canGoBack, bool canGoForward, bool loading);
    // Status text from the page (hovered links); the status bar decides what shows.
    void showStatusText(const QString &text);

signals:
    void goBack();
    void goForward();
    void goRefresh();
    void goStop();

    void fileNew();
    void fileOpen();
    void fileSave();
    void editCut();
    void editCopy();
    void editPaste();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    bool PreCreateWindow();
    bool OnCreate(const ViewFactory &createView);
    bool OnCreateClient(const ViewFactory &createView);
    bool createToolBar();
    bool createStatusBar();
    void createAccelerators();

    QAction *addNavigationAction(const QString &themeIcon, QStyle::StandardPixmap fallback,
                                 const QString &tip, void (CMainFrame::*signal)());
    bool isInsideFrame(const QObject *object) const;
    void runCommand(FrameCommand command);

    QPointer<QWidget> m_view;
    MyStateBar *m_stateBar = nullptr;
    QToolBar *m_toolBar = nullptr;
    QAction *m_back = nullptr;
    QAction *m_forward = nullptr;
    QAction *m_refresh = nullptr;
    QAction *m_stop = nullptr;
    QTimer m_stopDelay;
    bool m_loaded = false;
};
