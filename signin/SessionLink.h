#pragma once

#include "signin/SignInHost.h"

#include <QEvent>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

class QObject;

// Carries one run's requests from its worker to the user-interface thread,
// as events posted to `receiver`, whose customEvent() hands them to
// Event::deliver(). Once detached (the run was cancelled or replaced),
// requests are dropped and a worker waiting for a message box to close is
// let go at once.
class SessionLink final : public SignInHost, public std::enable_shared_from_this<SessionLink>
{
public:
    // Both run on the receiver's thread. `onMessage` returns when the user
    // has closed the box.
    using MessageHandler = std::function<void(const std::string &gbkText)>;
    using FinishedHandler = std::function<void()>;
    // Returns when the user has answered or cancelled.
    using ProxyHandler = std::function<std::optional<ProxyAnswer>(const ProxyQuestion &question)>;

    // One request. Built whole on the worker before it is posted, so that
    // the receiver reads only what the hand-off published.
    class Event final : public QEvent
    {
    public:
        static QEvent::Type eventType();

        enum class Kind { Message, Finished, ProxyQuestion };

        Event(std::shared_ptr<SessionLink> link, Kind kind, std::string gbkText, ProxyQuestion question = {});
        // Receiver's thread.
        void deliver();

    private:
        std::shared_ptr<SessionLink> m_link;
        Kind m_kind;
        std::string m_text;
        ProxyQuestion m_question;
    };

    SessionLink(QObject *receiver, MessageHandler onMessage, FinishedHandler onFinished,
                ProxyHandler onProxyQuestion = {});

    // Receiver's thread. After this no handler runs.
    void detach();

    void showMessage(const std::string &gbkText) override;
    std::optional<ProxyAnswer> askProxyCredentials(const ProxyQuestion &question) override;
    void loginFinished() override;

private:
    void post(Event::Kind kind, const std::string &gbkText, const ProxyQuestion &question = {});
    // Posts and waits until the receiver has dealt with it (or detached).
    void postAndWait(std::unique_lock<std::mutex> &lock, Event::Kind kind, const std::string &gbkText,
                     const ProxyQuestion &question = {});
    void deliverMessage(const std::string &gbkText);
    void deliverProxyQuestion(const ProxyQuestion &question);
    void deliverFinished();

    std::mutex m_mutex;
    std::condition_variable m_closed;
    QObject *m_receiver; // null once detached; guarded by m_mutex
    MessageHandler m_onMessage;
    FinishedHandler m_onFinished;
    ProxyHandler m_onProxyQuestion;
    unsigned m_boxesClosed = 0;
    // The answer of the last proxy question; guarded by m_mutex.
    std::optional<ProxyAnswer> m_proxyAnswer;
};
