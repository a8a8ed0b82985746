#pragma once

#include "SignInHost.h"

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

class QObject;

// Carries one run's requests from its worker to the user-interface thread,
// as calls queued to `receiver`. Once detached (the run was cancelled or
// replaced), requests are dropped and a worker waiting for a message box to
// close is let go at once.
class SessionLink final : public SignInHost, public std::enable_shared_from_this<SessionLink>
{
public:
    // Both run on the receiver's thread. `onMessage` returns when the user
    // has closed the box.
    using MessageHandler = std::function<void(const std::string &gbkText)>;
    using FinishedHandler = std::function<void()>;

    SessionLink(QObject *receiver, MessageHandler onMessage, FinishedHandler onFinished);

    // Receiver's thread. After this no handler runs.
    void detach();

    void showMessage(const std::string &gbkText) override;
    void loginFinished() override;

private:
    void deliverMessage(const std::string &gbkText);
    void deliverFinished();

    std::mutex m_mutex;
    std::condition_variable m_closed;
    QObject *m_receiver; // null once detached; guarded by m_mutex
    MessageHandler m_onMessage;
    FinishedHandler m_onFinished;
    unsigned m_boxesClosed = 0;
};
