#pragma once

#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QPointer>

#include "browser/commands/FindBar.h"
#include "browser/commands/FullScreenMode.h"
class PagePrinter;
class ZoomMemory;
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

    // The view's commands; they live as long as the view. `zoom` keeps the
    // levels of the view's profile; `platformHosts` says which pages may go
    // full screen.
    PageCommands(QWebEngineView *view, ZoomMemory *zoom, FullScreenMode::HostsOf platformHosts);

    // The keys of each command.
    static QList<QKeySequence> keysFor(Command command);

    void run(Command command);
    // Sets the page zoom, remembers it for the page's host and shows it briefly.
    void zoomTo(int percent);
    int zoomPercent() const;

    // An administrator's PrintingEnabled=false: every way to print, the
    // page's window.print() too, only says that printing is off.
    void disablePrinting();
    // The note the print commands show instead, while printing is off.
    static QString printingDisabledNote();

    FindBar *findBar() const { return m_findBar; }
    PagePrinter *printer() const { return m_printer; }
    // The page's context menu with the print entry; the caller owns it.
    QMenu *createContextMenu();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:

    void createActions();
    void ensureFindBar();
    void applyRememberedZoom();
    void showZoomLevel(int percent);
    void refusePrint();

    QWebEngineView *m_view;
    ZoomMemory *m_zoom;
    PagePrinter *m_printer;
    FullScreenMode *m_fullScreen;
    QPointer<FindBar> m_findBar;
    bool m_printingEnabled = true;
};
