#include "signin/SessionLink.h"

#include "signin/TsanHandOff.h"

#include <QCoreApplication>
#include <QObject>

QEvent::Type SessionLink::Event::eventType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

SessionLink::Event::Event(std::shared_ptr<SessionLink> link, bool finished, std::string gbkText)
    : QEvent(eventType()), m_link(std::move(link)), m_finished(finished), m_text(std::move(gbkText))
{
}

void SessionLink::Event::deliver()
{
    if (m_finished)
        m_link->deliverFinished();
    else
        m_link->deliverMessage(m_text);
}

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

// Called with m_mutex held: the receiver detaches before it goes, so it
// cannot go in between; an event still queued when it goes goes with it.
void SessionLink::post(bool finished, const std::string &gbkText)
{
    auto *event = new Event(shared_from_this(), finished, gbkText);
    handoff::posting();
    QCoreApplication::postEvent(m_receiver, event);
}

void SessionLink::showMessage(const std::string &gbkText)
{
    std::unique_lock lock(m_mutex);
    if (!m_receiver)
        return;
    const unsigned ticket = m_boxesClosed + 1;
    post(false, gbkText);
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
    if (m_receiver)
        post(true, {});
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
