#include "signin/SessionLink.h"

#include "signin/TsanHandOff.h"

#include <QCoreApplication>
#include <QObject>

#include <utility>

QEvent::Type SessionLink::Event::eventType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

SessionLink::Event::Event(std::shared_ptr<SessionLink> link, Kind kind, std::string gbkText, ProxyQuestion question)
    : QEvent(eventType()),
      m_link(std::move(link)),
      m_kind(kind),
      m_text(std::move(gbkText)),
      m_question(std::move(question))
{
}

void SessionLink::Event::deliver()
{
    switch (m_kind) {
    case Kind::Finished:
        m_link->deliverFinished();
        break;
    case Kind::Message:
        m_link->deliverMessage(m_text);
        break;
    case Kind::ProxyQuestion:
        m_link->deliverProxyQuestion(m_question);
        break;
    }
}

SessionLink::SessionLink(QObject *receiver, MessageHandler onMessage, FinishedHandler onFinished,
                         ProxyHandler onProxyQuestion)
    : m_receiver(receiver),
      m_onMessage(std::move(onMessage)),
      m_onFinished(std::move(onFinished)),
      m_onProxyQuestion(std::move(onProxyQuestion))
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
void SessionLink::post(Event::Kind kind, const std::string &gbkText, const ProxyQuestion &question)
{
    auto *event = new Event(shared_from_this(), kind, gbkText, question);
    handoff::posting();
    QCoreApplication::postEvent(m_receiver, event);
}

void SessionLink::postAndWait(std::unique_lock<std::mutex> &lock, Event::Kind kind, const std::string &gbkText,
                              const ProxyQuestion &question)
{
    const unsigned ticket = m_boxesClosed + 1;
    post(kind, gbkText, question);
    m_closed.wait(lock, [&] { return m_boxesClosed >= ticket || !m_receiver; });
}

void SessionLink::showMessage(const std::string &gbkText)
{
    std::unique_lock lock(m_mutex);
    if (m_receiver)
        postAndWait(lock, Event::Kind::Message, gbkText);
}

std::optional<ProxyAnswer> SessionLink::askProxyCredentials(const ProxyQuestion &question)
{
    std::unique_lock lock(m_mutex);
    if (!m_receiver)
        return std::nullopt;
    m_proxyAnswer.reset();
    postAndWait(lock, Event::Kind::ProxyQuestion, {}, question);
    // Detached meanwhile: the run is over, whatever was answered.
    if (!m_receiver)
        m_proxyAnswer.reset();
    return std::exchange(m_proxyAnswer, std::nullopt);
}

void SessionLink::deliverProxyQuestion(const ProxyQuestion &question)
{
    ProxyHandler handler;
    {
        std::lock_guard lock(m_mutex);
        if (m_receiver)
            handler = m_onProxyQuestion;
    }
    // The dialog runs its own event loop; no lock is held meanwhile.
    std::optional<ProxyAnswer> answer = handler ? handler(question) : std::nullopt;
    {
        std::lock_guard lock(m_mutex);
        m_proxyAnswer = std::move(answer);
        ++m_boxesClosed;
    }
    m_closed.notify_all();
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
        post(Event::Kind::Finished, {});
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
