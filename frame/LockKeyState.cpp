#include "frame/LockKeyState.h"

#ifdef KELUMO_HAVE_XKB
#include "frame/XkbIndicators.h"
#endif

#include <QEvent>
#include <QGuiApplication>

LockKeyState::LockKeyState(QObject *parent) : QObject(parent)
{
    m_timer.setInterval(pollIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &LockKeyState::poll);
    if (qGuiApp) {
        connect(qGuiApp, &QGuiApplication::applicationStateChanged, this,
                &LockKeyState::followApplicationState);
    }
    setReader(platformReader());
}

LockKeyState::~LockKeyState()
{
    if (m_watchingKeys && qGuiApp)
        qGuiApp->removeEventFilter(this);
}

LockKeyState::Reader LockKeyState::platformReader()
{
#ifdef KELUMO_HAVE_XKB
    // Decided once per reader: a session does not move between X11 and Wayland.
    if (XkbIndicators::available())
        return &XkbIndicators::read;
#endif
    return {};
}

void LockKeyState::setReader(Reader reader)
{
    m_reader = std::move(reader);

    const bool watch = hasReader() && qGuiApp;
    if (watch != m_watchingKeys) {
        if (watch)
            qGuiApp->installEventFilter(this);
        else if (qGuiApp)
            qGuiApp->removeEventFilter(this);
        m_watchingKeys = watch;
    }

    if (!hasReader()) {
        m_timer.stop();
        apply(Locks{});
        return;
    }
    followApplicationState(qGuiApp ? qGuiApp->applicationState() : Qt::ApplicationInactive);
    poll();
}

void LockKeyState::poll()
{
    m_pollQueued = false;
    if (!m_reader)
        return;
    // A failed read (the display went away) shows the locks as off rather than stale.
    apply(m_reader().value_or(Locks{}));
}

void LockKeyState::apply(const Locks &locks)
{
    if (locks == m_locks)
        return;
    m_locks = locks;
    emit changed(m_locks);
}

bool LockKeyState::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if ((type == QEvent::KeyPress || type == QEvent::KeyRelease) && !m_pollQueued) {
        // One key event passes here once per receiver on its way (window, focus
        // widget, parents) and a read is a round trip to the display server:
        // read once, after the event has been delivered.
        m_pollQueued = true;
        QMetaObject::invokeMethod(this, &LockKeyState::poll, Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
}

void LockKeyState::followApplicationState(Qt::ApplicationState state)
{
    // The timer only catches changes made outside the application; nobody
    // looks at the indicators while another program is in front.
    if (hasReader() && state == Qt::ApplicationActive) {
        if (!m_timer.isActive()) {
            m_timer.start();
            poll();
        }
    } else {
        m_timer.stop();
    }
}
