#include "frame/CMainFrame.h"

#include "frame/MyStateBar.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QToolBar>
#include <QWindow>

CMainFrame::CMainFrame(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("mainframe"));
}

CMainFrame::~CMainFrame()
{
    if (m_loaded)
        qApp->removeEventFilter(this);
}

bool CMainFrame::LoadFrame(const ViewFactory &createView)
{
    if (m_loaded)
        return false; // a frame is built once
    if (!PreCreateWindow() || !OnCreate(createView))
        return false;
    m_loaded = true;

    // The page claims editing keys while the key is being matched against
    // shortcuts; only an application-wide filter comes before it.
    qApp->installEventFilter(this);
    return true;
}

bool CMainFrame::PreCreateWindow()
{
    // No maximize button: the window keeps the size the user drags it to.
    // Title bar double-clicks belong to the window manager on X11; leaving
    // out the maximize hint is all a client can do about them.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowCloseButtonHint);

    const QString iconPath = QStringLiteral(":/kelumo/kelumo.png");
    if (QFile::exists(iconPath)) {
        QIcon icon(iconPath);
        const QString smallPath = QStringLiteral(":/kelumo/kelumo-48.png");
        if (QFile::exists(smallPath))
            icon.addFile(smallPath); // sharper in task bars than a scaled-down 256
        setWindowIcon(icon);
    }
    return true;
}

bool CMainFrame::OnCreate(const ViewFactory &createView)
{
    if (!OnCreateClient(createView))
        return false;
    if (!createToolBar() || !createStatusBar())
        return false;
    createAccelerators();
    // No menu bar is ever made: nothing calls menuBar(), which would create one.
    return true;
}

bool CMainFrame::OnCreateClient(const ViewFactory &createView)
{
    if (!createView)
        return true;
    QWidget *view = createView(this);
    if (!view)
        return false;
    setCentralWidget(view);
    m_view = view;
    return true;
}

bool CMainFrame::createToolBar()
{
    m_toolBar = new QToolBar(this);
    m_toolBar->setObjectName(QStringLiteral("toolbar"));
    m_toolBar->setMovable(false);
    m_toolBar->setFloatable(false);
    m_toolBar->setContextMenuPolicy(Qt::PreventContextMenu);
    addToolBar(Qt::TopToolBarArea, m_toolBar);

    m_back = addNavigationAction(QStringLiteral("go-previous"), QStyle::SP_ArrowBack,
                                 QStringLiteral("后退"), &CMainFrame::goBack);
    m_forward = addNavigationAction(QStringLiteral("go-next"), QStyle::SP_ArrowForward,
                                    QStringLiteral("前进"), &CMainFrame::goForward);
    m_refresh = addNavigationAction(QStringLiteral("view-refresh"), QStyle::SP_BrowserReload,
                                    QStringLiteral("刷新"), &CMainFrame::goRefresh);
    m_stop = addNavigationAction(QStringLiteral("process-stop"), QStyle::SP_BrowserStop,
                                 QStringLiteral("停止"), &CMainFrame::goStop);
    m_stopDelay.setSingleShot(true);
    m_stopDelay.setInterval(stopDelayMs);
    connect(&m_stopDelay, &QTimer::timeout, this, [this] { m_stop->setEnabled(true); });
    // The buttons take no focus; a keyboard reaches them by the browsers' keys.
    // Reload is the page's F5. Escape stops only while a page loads: the
    // action is disabled otherwise, and the key goes to the page.
    m_back->setShortcuts(QKeySequence::Back);
    m_forward->setShortcuts(QKeySequence::Forward);
    m_stop->setShortcut(QKeySequence(Qt::Key_Escape));
    for (QAction *action : {m_back, m_forward, m_stop})
        action->setShortcutContext(Qt::WindowShortcut);
    // Nothing is loaded and there is no history yet.
    setNavigationState(false, false, false);
    return true;
}

QAction *CMainFrame::addNavigationAction(const QString &themeIcon, QStyle::StandardPixmap fallback,
                                         const QString &tip, void (CMainFrame::*signal)())
{
    const QIcon icon = QIcon::fromTheme(themeIcon, style()->standardIcon(fallback, nullptr, this));
    QAction *action = m_toolBar->addAction(icon, tip);
    action->setToolTip(tip);
    connect(action, &QAction::triggered, this, signal);
    return action;
}

bool CMainFrame::createStatusBar()
{
    m_stateBar = new MyStateBar(this);
    setStatusBar(m_stateBar);
    // The idle text goes the way every status text goes.
    return m_stateBar->OnSetText(QStringLiteral("就绪")) == 0;
}

void CMainFrame::createAccelerators()
{
    for (const FrameAccelerator &accelerator : frameAccelerators()) {
        auto *action = new QAction(this);
        action->setShortcut(QKeySequence(accelerator.keys));
        action->setShortcutContext(Qt::WindowShortcut);
        const FrameCommand command = accelerator.command;
        connect(action, &QAction::triggered, this, [this, command] { runCommand(command); });
        addAction(action);
    }
}

void CMainFrame::runCommand(FrameCommand command)
{
    switch (command) {
    case FrameCommand::FileNew: emit fileNew(); break;
    case FrameCommand::FileOpen: emit fileOpen(); break;
    case FrameCommand::FileSave: emit fileSave(); break;
    case FrameCommand::EditCut: emit editCut(); break;
    case FrameCommand::EditCopy: emit editCopy(); break;
    case FrameCommand::EditPaste: emit editPaste(); break;
    case FrameCommand::Swallow: break;
    }
}

void CMainFrame::setNavigationState(bool canGoBack, bool canGoForward, bool loading)
{
    if (!m_toolBar)
        return;
    m_back->setEnabled(canGoBack);
    m_forward->setEnabled(canGoForward);
    m_refresh->setEnabled(true);
    if (!loading) {
        m_stopDelay.stop();
        m_stop->setEnabled(false);
    } else if (!m_stop->isEnabled() && !m_stopDelay.isActive()) {
        m_stopDelay.start();
    }
}

void CMainFrame::showStatusText(const QString &text)
{
    if (m_stateBar)
        m_stateBar->OnSetText(text);
}

bool CMainFrame::isInsideFrame(const QObject *object) const
{
    if (object->isWidgetType()) {
        const auto *widget = static_cast<const QWidget *>(object);
        // isAncestorOf() stops at window borders: dialogs and popups keep their keys.
        return widget == this || isAncestorOf(widget);
    }
    // A key first reaches the top-level QWindow, which hands it to the focus widget.
    return object->isWindowType() && object == windowHandle();
}

bool CMainFrame::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::ShortcutOverride && type != QEvent::KeyPress)
        return QMainWindow::eventFilter(watched, event);

    auto *key = static_cast<QKeyEvent *>(event);
    const std::optional<FrameCommand> command = frameCommandFor(key->keyCombination());
    if (!command || !isInsideFrame(watched)
        || !frameTakesKeys(key->keyCombination(), qobject_cast<QLineEdit *>(QApplication::focusWidget()) != nullptr))
        return QMainWindow::eventFilter(watched, event);

    if (type == QEvent::ShortcutOverride) {
        // Filtered out and left unaccepted: no widget can claim the key, so
        // the shortcut map gives it to the frame's action and the key press
        // is never delivered.
        return true;
    }
    // A press only gets here when no shortcut took the key (the window is not
    // the active one, say); the frame's command still runs, the view gets nothing.
    runCommand(*command);
    return true;
}

void CMainFrame::mouseDoubleClickEvent(QMouseEvent *event)
{
    // A double-click on the frame's own area does nothing at all.
    if (event->button() == Qt::LeftButton) {
        event->accept();
        return;
    }
    QMainWindow::mouseDoubleClickEvent(event);
}

QMenu *CMainFrame::createPopupMenu()
{
    return nullptr;
}
