#include "SessionLink.h"

#include "TsanHandOff.h"

#include <QMetaObject>
#include <QObject>

SessionLink::SessionLink(QObject *receiver, MessageHandler onMessage, FinishedHandler onFinished)
    : m_receiver(receiver), m_onMessage(std::move(onMessage)), m_onFinished(std::move(onFinished))
{
}

void SessionLink::detach()
{
    {
        std::lock_guard lock(m_mutex);
        m_receiver = nullptr;
    }
    m_closed.notify_all();
}

void SessionLink::showMessage(const std::string &gbkText)
{
    std::unique_lock lock(m_mutex);
    if (!m_receiver)
        return;
    const unsigned ticket = m_boxesClosed + 1;
    // Posted while the lock is held: the receiver detaches before it goes,
    // so it cannot go in between; a call still queued when it goes goes too.
    handoff::posting();
    QMetaObject::invokeMethod(
        m_receiver,
        [self = shared_from_this(), text = gbkText] {
            handoff::received();
            self->deliverMessage(text);
        },
        Qt::QueuedConnection);
    m_closed.wait(lock, [&] { return m_boxesClosed >= ticket || !m_receiver; });
}

void SessionLink::deliverMessage(const std::string &gbkText)
{
    MessageHandler handler;
    {
        std::lock_guard lock(m_mutex);
        if (m_receiver)
            handler = m_onMessage;
    }
    // The box runs its own event loop; no lock is held meanwhile.
    if (handler)
        handler(gbkText);
    {
        std::lock_guard lock(m_mutex);
        ++m_boxesClosed;
    }
    m_closed.notify_all();
}

void SessionLink::loginFinished()
{
    std::lock_guard lock(m_mutex);
    if (!m_receiver)
        return;
    handoff::posting();
    QMetaObject::invokeMethod(
        m_receiver,
        [self = shared_from_this()] {
            handoff::received();
            self->deliverFinished();
        },
        Qt::QueuedConnection);
}

void SessionLink::deliverFinished()
{
    FinishedHandler handler;
    {
        std::lock_guard lock(m_mutex);
        if (m_receiver)
            handler = m_onFinished;
    }
    if (handler)
        handler();
}
