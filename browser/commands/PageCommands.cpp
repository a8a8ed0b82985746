#include "browser/commands/PageCommands.h"

#include "base/Trace.h"
#include "browser/commands/FindBar.h"
#include "browser/commands/PageZoom.h"
#include "browser/commands/ZoomMemory.h"
#include "browser/print/PagePrinter.h"

#include <QAccessible>
#include <QAction>
#include <QChildEvent>
#include <QMainWindow>
#include <QMenu>
#include <QToolTip>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <QWheelEvent>

#include <cmath>

QList<QKeySequence> PageCommands::keysFor(Command command)
{
    switch (command) {
    case Command::Print: return {QKeySequence(Qt::CTRL | Qt::Key_P)};
    case Command::Find: return {QKeySequence(Qt::CTRL | Qt::Key_F)};
    case Command::FindNext: return {QKeySequence(Qt::Key_F3)};
    case Command::FindPrevious: return {QKeySequence(Qt::SHIFT | Qt::Key_F3)};
    // Ctrl++ is Ctrl+Shift+= on most keyboards, Ctrl++ on the keypad.
    case Command::ZoomIn:
        return {QKeySequence(Qt::CTRL | Qt::Key_Equal), QKeySequence(Qt::CTRL | Qt::Key_Plus),
                QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Equal)};
    case Command::ZoomOut: return {QKeySequence(Qt::CTRL | Qt::Key_Minus)};
    case Command::ZoomReset: return {QKeySequence(Qt::CTRL | Qt::Key_0)};
    case Command::Reload: return {QKeySequence(Qt::Key_F5)};
    case Command::ReloadBypassingCache: return {QKeySequence(Qt::CTRL | Qt::Key_F5)};
    case Command::FullScreen: return {QKeySequence(Qt::Key_F11)};
    }
    return {};
}

PageCommands::PageCommands(QWebEngineView *view, ZoomMemory *zoom, FullScreenMode::HostsOf platformHosts)
    : QObject(view), m_view(view), m_zoom(zoom), m_printer(new PagePrinter(view)),
      m_fullScreen(new FullScreenMode(view, std::move(platformHosts)))
{
    createActions();
    // The print entry joins the engine's own menu.
    m_view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_view, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        QMenu *menu = createContextMenu();
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(m_view->mapToGlobal(pos));
    });
    // The engine forgets the zoom when the page changes host; each load gets
    // the level remembered for its host.
    connect(m_view, &QWebEngineView::urlChanged, this, [this] { applyRememberedZoom(); });
    connect(m_view, &QWebEngineView::loadFinished, this, [this] { applyRememberedZoom(); });
    // Wheel events go to the widget the engine renders into.
    m_view->installEventFilter(this);
    for (QWidget *child : m_view->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
        child->installEventFilter(this);
}

void PageCommands::createActions()
{
    static constexpr Command all[] = {Command::Print, Command::Find, Command::FindNext, Command::FindPrevious,
                                      Command::ZoomIn, Command::ZoomOut, Command::ZoomReset, Command::Reload,
                                      Command::ReloadBypassingCache, Command::FullScreen};
    for (const Command command : all) {
        auto *action = new QAction(m_view);
        action->setShortcuts(keysFor(command));
        // The find bar sits beside the view, not in it: the keys work from there too.
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, [this, command] { run(command); });
        m_view->addAction(action);
    }
}

void PageCommands::run(Command command)
{
    switch (command) {
    case Command::Print:
        if (m_printingEnabled)
            m_printer->printWithPreview();
        else
            refusePrint();
        break;
    case Command::Find: ensureFindBar(); m_findBar->openBar(); break;
    case Command::FindNext: ensureFindBar(); m_findBar->findNext(); break;
    case Command::FindPrevious: ensureFindBar(); m_findBar->findPrevious(); break;
    case Command::ZoomIn: zoomTo(nextZoomPercent(zoomPercent(), 1)); break;
    case Command::ZoomOut: zoomTo(nextZoomPercent(zoomPercent(), -1)); break;
    case Command::ZoomReset: zoomTo(100); break;
    case Command::Reload: m_view->reload(); break;
    case Command::ReloadBypassingCache: m_view->triggerPageAction(QWebEnginePage::ReloadAndBypassCache); break;
    case Command::FullScreen: m_fullScreen->toggle(); break;
    }
}

void PageCommands::disablePrinting()
{
    m_printingEnabled = false;
    // The printer answers window.print() by itself; no longer.
    disconnect(m_view, &QWebEngineView::printRequested, m_printer, nullptr);
    connect(m_view, &QWebEngineView::printRequested, this, &PageCommands::refusePrint);
}

QString PageCommands::printingDisabledNote()
{
    return QStringLiteral("打印已被贵单位的管理员停用");
}

void PageCommands::refusePrint()
{
    trace("print refused");
    // Like the zoom level: a passing note, kept for a screen reader.
    m_view->setAccessibleDescription(printingDisabledNote());
    QAccessibleEvent changed(m_view, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&changed);
    if (m_view->isVisible())
        QToolTip::showText(m_view->mapToGlobal(m_view->rect().center()), printingDisabledNote(), m_view, {}, 3000);
}

void PageCommands::ensureFindBar()
{
    if (m_findBar)
        return;
    // In a main window the bar is a strip along the bottom, above the status
    // bar; elsewhere it lies over the bottom of the view.
    if (auto *window = qobject_cast<QMainWindow *>(m_view->window())) {
        m_findBar = new FindBar(m_view, window);
        window->addToolBar(Qt::BottomToolBarArea, m_findBar);
    } else {
        m_findBar = new FindBar(m_view, m_view);
        m_findBar->setAutoFillBackground(true);
        m_findBar->setGeometry(0, m_view->height() - m_findBar->sizeHint().height(), m_view->width(),
                               m_findBar->sizeHint().height());
    }
}

int PageCommands::zoomPercent() const
{
    return static_cast<int>(std::lround(m_view->zoomFactor() * 100));
}

void PageCommands::zoomTo(int percent)
{
    percent = boundedZoomPercent(percent);
    m_view->setZoomFactor(percent / 100.0);
    m_zoom->remember(m_view->url().host(), percent);
    showZoomLevel(percent);
}

void PageCommands::applyRememberedZoom()
{
    const int percent = m_zoom->percentFor(m_view->url().host());
    if (percent != zoomPercent())
        m_view->setZoomFactor(percent / 100.0);
}

void PageCommands::showZoomLevel(int percent)
{
    // The level stays with the view for a screen reader, which may not read
    // the passing tip.
    m_view->setAccessibleDescription(QStringLiteral("页面缩放 ") + zoomLevelText(percent));
    QAccessibleEvent changed(m_view, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&changed);
    if (!m_view->isVisible())
        return;
    const QPoint centre = m_view->mapToGlobal(m_view->rect().center());
    QToolTip::showText(centre, zoomLevelText(percent), m_view, {}, 1500);
}

QMenu *PageCommands::createContextMenu()
{
    // The engine's entries exist only for a click the page has seen.
    QMenu *menu = m_view->lastContextMenuRequest() ? m_view->createStandardContextMenu() : new QMenu;
    menu->addSeparator();
    QAction *print = menu->addAction(QStringLiteral("打印…"));
    print->setObjectName(QStringLiteral("print"));
    // Queued: the menu is gone before the preview's own loop starts.
    connect(print, &QAction::triggered, this, [this] { run(Command::Print); }, Qt::QueuedConnection);
    return menu;
}

bool PageCommands::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_view && event->type() == QEvent::ChildAdded) {
        // The engine renders into a child widget, made with the first page and
        // made anew when a renderer is replaced.
        if (QObject *child = static_cast<QChildEvent *>(event)->child(); child && child->isWidgetType())
            child->installEventFilter(this);
    } else if (event->type() == QEvent::Wheel && watched != m_view) {
        const auto *wheel = static_cast<QWheelEvent *>(event);
        if (wheel->modifiers().testFlag(Qt::ControlModifier)) {
            const int delta = wheel->angleDelta().y();
            if (delta != 0)
                run(delta > 0 ? Command::ZoomIn : Command::ZoomOut);
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
