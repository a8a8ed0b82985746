#pragma once

#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QPointer>

#include "browser/FindBar.h"
class PagePrinter;
class QAction;
class QMenu;
class QWebEngineView;

// What the user does with the page besides navigating: print (Ctrl+P and the
// context menu's "打印…"), find (Ctrl+F, F3, Shift+F3), zoom (Ctrl+wheel,
// Ctrl+=, Ctrl++, Ctrl+-, Ctrl+0; remembered per host in the profile) and
// reload (F5; Ctrl+F5 without the cache) and full screen (F11). None of the keys is one of the
// main frame's accelerators.
class PageCommands final : public QObject
{
    Q_OBJECT

public:
    enum class Command { Print, Find, FindNext, FindPrevious, ZoomIn, ZoomOut, ZoomReset, Reload, ReloadBypassingCache,
                         FullScreen };

    // The view's commands, made on first use; they live as long as the view.
    static PageCommands *attach(QWebEngineView *view);

    // The keys of each command.
    static QList<QKeySequence> keysFor(Command command);

    void run(Command command);
    // Sets the page zoom, remembers it for the page's host and shows it briefly.
    void zoomTo(int percent);
    int zoomPercent() const;

    FindBar *findBar() const { return m_findBar; }
    PagePrinter *printer() const { return m_printer; }
    // The page's context menu with the print entry; the caller owns it.
    QMenu *createContextMenu();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit PageCommands(QWebEngineView *view);

    void createActions();
    void ensureFindBar();
    void applyRememberedZoom();
    void showZoomLevel(int percent);

    QWebEngineView *m_view;
    PagePrinter *m_printer;
    QPointer<FindBar> m_findBar;
};
