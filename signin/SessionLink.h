#pragma once

#include "signin/SignInHost.h"

#include <QEvent>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
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

    // One request. Built whole on the worker before it is posted, so that
    // the receiver reads only what the hand-off published.
    class Event final : public QEvent
    {
    public:
        static QEvent::Type eventType();

        Event(std::shared_ptr<SessionLink> link, bool finished, std::string gbkText);
        // Receiver's thread.
        void deliver();

    private:
        std::shared_ptr<SessionLink> m_link;
        bool m_finished;
        std::string m_text;
    };

    SessionLink(QObject *receiver, MessageHandler onMessage, FinishedHandler onFinished);

    // Receiver's thread. After this no handler runs.
    void detach();

    void showMessage(const std::string &gbkText) override;
    void loginFinished() override;

private:
    void post(bool finished, const std::string &gbkText);
    void deliverMessage(const std::string &gbkText);
    void deliverFinished();

    std::mutex m_mutex;
    std::condition_variable m_closed;
    QObject *m_receiver; // null once detached; guarded by m_mutex
    MessageHandler m_onMessage;
    FinishedHandler m_onFinished;
    unsigned m_boxesClosed = 0;
};
