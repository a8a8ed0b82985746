#include "app/SingleInstance.h"

#include <QDir>
#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <iostream>
#include <thread>

// The socket, its lock and their system calls are LocalEndpoint's; here is
// what a launch and the running client do with them.

struct SingleInstance::Connection
{
    qintptr handle = -1;
    QSocketNotifier *notifier = nullptr;
    QTimer *timer = nullptr;
    QByteArray received;
};

namespace {

// A client that is starting at the same moment listens within far less.
constexpr int startingTimeoutMs = 1000;
// A connected launch has this long to send its message.
constexpr int readTimeoutMs = 2000;
constexpr std::size_t maxConnections = 8;

} // namespace

SingleInstance::SingleInstance(QString name, QObject *parent)
    : QObject(parent), m_name(std::move(name)), m_endpoint(m_name)
{
}

SingleInstance::~SingleInstance()
{
    // The endpoint, a member, closes the name and the lock after these.
    for (const auto &connection : m_connections)
        LocalEndpoint::close(connection->handle);
}

HandOver SingleInstance::thisLaunch(const QStringList &arguments)
{
    HandOver handOver;
    handOver.arguments = arguments;
    handOver.workingDirectory = QDir::currentPath();
    handOver.activationToken = qgetenv("XDG_ACTIVATION_TOKEN");
    return handOver;
}

SingleInstance::Outcome SingleInstance::claim(const HandOver &message)
{
    if (!LocalEndpoint::available())
        return Outcome::Alone;
    if (m_name.isEmpty()) {
        std::cerr << "kelumo: no private folder for the check for a running client; starting without it\n";
        return Outcome::Alone;
    }
    const QByteArray bytes = message.encode();
    QElapsedTimer since;
    since.start();
    for (;;) {
        switch (LocalEndpoint::call(m_name, bytes, HandOver::acknowledgement(), answerTimeoutMs)) {
        case LocalEndpoint::Call::Answered:
            return Outcome::HandedOver;
        case LocalEndpoint::Call::NoAnswer:
            std::cerr << "kelumo: the running client did not take the launch (waited up to "
                      << answerTimeoutMs / 1000 << " s); starting on its own\n";
            return Outcome::Alone;
        case LocalEndpoint::Call::Nobody:
            break;
        }
        switch (m_endpoint.take()) {
        case LocalEndpoint::Take::Taken:
            return Outcome::First;
        case LocalEndpoint::Take::Failed:
            std::cerr << "kelumo: cannot set up " << qPrintable(m_name) << ": " << std::strerror(errno)
                      << "; starting without the check for a running client\n";
            return Outcome::Alone;
        case LocalEndpoint::Take::Held:
            // Another launch holds the lock and is about to listen.
            break;
        }
        if (since.elapsed() > startingTimeoutMs) {
            std::cerr << "kelumo: a running client holds " << qPrintable(m_name)
                      << ".lock but does not listen; starting on its own\n";
            return Outcome::Alone;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void SingleInstance::listen()
{
    if (m_endpoint.handle() < 0 || m_notifier)
        return;
    m_notifier = new QSocketNotifier(m_endpoint.handle(), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] { accept(); });
}

void SingleInstance::accept()
{
    for (;;) {
        const qintptr handle = m_endpoint.accept();
        if (handle < 0)
            return;
        if (m_connections.size() >= maxConnections) {
            LocalEndpoint::close(handle);
            continue;
        }
        auto connection = std::make_unique<Connection>();
        Connection *c = connection.get();
        c->handle = handle;
        c->notifier = new QSocketNotifier(handle, QSocketNotifier::Read, this);
        connect(c->notifier, &QSocketNotifier::activated, this, [this, c] { read(c); });
        // A launch that connects and says nothing is let go.
        c->timer = new QTimer(this);
        c->timer->setSingleShot(true);
        connect(c->timer, &QTimer::timeout, this, [this, c] { drop(c); });
        c->timer->start(readTimeoutMs);
        m_connections.push_back(std::move(connection));
    }
}

void SingleInstance::read(Connection *c)
{
    LocalEndpoint::Received received;
    while ((received = LocalEndpoint::receive(c->handle, c->received)) == LocalEndpoint::Received::Data) {
        if (c->received.size() > HandOver::maxBytes) {
            drop(c);
            return;
        }
    }
    const bool ended = received == LocalEndpoint::Received::Ended;
    // The message says how long it is; a launch waits for the answer without
    // closing. Another program's bytes, or more than the message, are let go
    // at once.
    const qsizetype expected = HandOver::expectedSize(c->received);
    if (expected < 0 || (expected > 0 && c->received.size() > expected)) {
        drop(c);
        return;
    }
    const bool complete = expected > 0 && c->received.size() == expected;
    if (!complete && !ended)
        return;
    const std::optional<HandOver> message = complete ? HandOver::decode(c->received) : std::nullopt;
    if (message)
        LocalEndpoint::send(c->handle, HandOver::acknowledgement());
    drop(c);
    if (message)
        emit handedOver(*message);
}

void SingleInstance::drop(Connection *c)
{
    const auto it = std::find_if(m_connections.begin(), m_connections.end(),
                                 [c](const std::unique_ptr<Connection> &item) { return item.get() == c; });
    if (it == m_connections.end())
        return;
    // Deleted later: this may run inside their own signals.
    c->notifier->setEnabled(false);
    c->notifier->deleteLater();
    c->timer->stop();
    c->timer->deleteLater();
    LocalEndpoint::close(c->handle);
    m_connections.erase(it);
}
