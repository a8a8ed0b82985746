#include "app/SingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cstring>
#include <iostream>

#ifndef Q_OS_WIN
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif

// The hand-over runs on a plain AF_UNIX socket rather than QLocalSocket: the
// executable links no Qt Network, whose loading would lengthen every launch
// (see the README). On Windows there is no hand-over yet: every launch
// starts on its own.

struct SingleInstance::Connection
{
    int fd = -1;
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

#ifndef Q_OS_WIN

bool socketAddress(const QByteArray &path, sockaddr_un &address)
{
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.isEmpty() || static_cast<std::size_t>(path.size()) >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.constData(), static_cast<std::size_t>(path.size()));
    return true;
}

bool waitFor(int fd, short events, const QDeadlineTimer &deadline)
{
    for (;;) {
        pollfd p{fd, events, 0};
        const int left = static_cast<int>(qMax<qint64>(0, deadline.remainingTime()));
        const int n = ::poll(&p, 1, left);
        if (n > 0)
            return true;
        if (n == 0 || errno != EINTR)
            return false;
    }
}

bool sendAll(int fd, const QByteArray &bytes, const QDeadlineTimer &deadline)
{
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        if (!waitFor(fd, POLLOUT, deadline))
            return false;
        const ssize_t n = ::send(fd, bytes.constData() + sent, static_cast<std::size_t>(bytes.size() - sent),
                                 MSG_NOSIGNAL);
        if (n < 0 && errno != EINTR && errno != EAGAIN)
            return false;
        if (n > 0)
            sent += n;
    }
    return true;
}

bool receiveAcknowledgement(int fd, const QDeadlineTimer &deadline)
{
    const QByteArray wanted = HandOver::acknowledgement();
    QByteArray got;
    while (got.size() < wanted.size()) {
        if (!waitFor(fd, POLLIN, deadline))
            return false;
        char buffer[16];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n == 0)
            return false;
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            return false;
        }
        got.append(buffer, static_cast<qsizetype>(n));
    }
    return got.startsWith(wanted);
}

// The user's own folder in /tmp, for a session without XDG_RUNTIME_DIR;
// empty when it is not private to the user.
QString fallbackFolder()
{
    const QByteArray path = QByteArray("/tmp/kelumo-") + QByteArray::number(::getuid());
    ::mkdir(path.constData(), 0700);
    struct stat st{};
    if (::lstat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() ||
        (st.st_mode & 077) != 0)
        return {};
    return QString::fromLocal8Bit(path);
}

#endif

} // namespace

SingleInstance::SingleInstance(QString name, QObject *parent) : QObject(parent), m_name(std::move(name))
{
}

SingleInstance::~SingleInstance()
{
#ifndef Q_OS_WIN
    for (const auto &connection : m_connections)
        ::close(connection->fd);
    // The name goes before the lock that guards it.
    if (m_listenFd >= 0) {
        ::close(m_listenFd);
        ::unlink(m_name.toLocal8Bit().constData());
    }
    if (m_lockFd >= 0)
        ::close(m_lockFd);
#endif
}

QString SingleInstance::sessionName()
{
#ifdef Q_OS_WIN
    return {};
#else
    QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (display.isEmpty())
        display = qEnvironmentVariable("DISPLAY");
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return handOverName(runtime, runtime.isEmpty() ? fallbackFolder() : QString(), display);
#endif
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
#ifdef Q_OS_WIN
    Q_UNUSED(message)
    return Outcome::Alone;
#else
    if (m_name.isEmpty()) {
        std::cerr << "kelumo: no private folder for the check for a running client; starting without it\n";
        return Outcome::Alone;
    }
    const QByteArray bytes = message.encode();
    QElapsedTimer since;
    since.start();
    for (;;) {
        switch (handOver(bytes)) {
        case Attempt::Answered:
            return Outcome::HandedOver;
        case Attempt::NoAnswer:
            std::cerr << "kelumo: the running client did not take the launch (waited up to "
                      << answerTimeoutMs / 1000 << " s); starting on its own\n";
            return Outcome::Alone;
        case Attempt::Nobody:
            break;
        }
        switch (takeName()) {
        case Take::Taken:
            return Outcome::First;
        case Take::Failed:
            std::cerr << "kelumo: cannot set up " << qPrintable(m_name) << ": " << std::strerror(errno)
                      << "; starting without the check for a running client\n";
            return Outcome::Alone;
        case Take::Held:
            // Another launch holds the lock and is about to listen.
            break;
        }
        if (since.elapsed() > startingTimeoutMs) {
            std::cerr << "kelumo: a running client holds " << qPrintable(m_name)
                      << ".lock but does not listen; starting on its own\n";
            return Outcome::Alone;
        }
        ::usleep(10 * 1000);
    }
#endif
}

SingleInstance::Attempt SingleInstance::handOver(const QByteArray &message)
{
#ifdef Q_OS_WIN
    Q_UNUSED(message)
    return Attempt::Nobody;
#else
    sockaddr_un address;
    if (!socketAddress(m_name.toLocal8Bit(), address))
        return Attempt::Nobody;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return Attempt::Nobody;
    // Refused or missing: nobody listens (a crashed client leaves the name).
    // A full queue (EAGAIN) is a client that does not take its calls.
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0 && errno != EAGAIN) {
        ::close(fd);
        return Attempt::Nobody;
    }
    const QDeadlineTimer deadline(answerTimeoutMs);
    const bool answered = sendAll(fd, message, deadline) && receiveAcknowledgement(fd, deadline);
    ::close(fd);
    return answered ? Attempt::Answered : Attempt::NoAnswer;
#endif
}

SingleInstance::Take SingleInstance::takeName()
{
#ifdef Q_OS_WIN
    return Take::Failed;
#else
    const QByteArray path = m_name.toLocal8Bit();
    sockaddr_un address;
    if (!socketAddress(path, address)) {
        errno = ENAMETOOLONG;
        return Take::Failed;
    }
    const int lock = ::open((path + ".lock").constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (lock < 0)
        return Take::Failed;
    if (::flock(lock, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(lock);
        errno = error;
        return error == EWOULDBLOCK ? Take::Held : Take::Failed;
    }
    // Nobody holds the lock: whatever name is left is a crashed client's.
    ::unlink(path.constData());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        ::close(lock);
        return Take::Failed;
    }
    // Reachable by its user only, whatever folder it is in.
    const mode_t mask = ::umask(077);
    const bool bound = ::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    ::umask(mask);
    if (!bound || ::listen(fd, 16) != 0) {
        const int error = errno;
        ::close(fd);
        ::close(lock);
        errno = error;
        return Take::Failed;
    }
    m_lockFd = lock;
    m_listenFd = fd;
    return Take::Taken;
#endif
}

void SingleInstance::listen()
{
    if (m_listenFd < 0 || m_notifier)
        return;
    m_notifier = new QSocketNotifier(m_listenFd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] { accept(); });
}

void SingleInstance::accept()
{
#ifndef Q_OS_WIN
    for (;;) {
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
            return;
        if (m_connections.size() >= maxConnections) {
            ::close(fd);
            continue;
        }
        auto connection = std::make_unique<Connection>();
        Connection *c = connection.get();
        c->fd = fd;
        c->notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(c->notifier, &QSocketNotifier::activated, this, [this, c] { read(c); });
        // A launch that connects and says nothing is let go.
        c->timer = new QTimer(this);
        c->timer->setSingleShot(true);
        connect(c->timer, &QTimer::timeout, this, [this, c] { drop(c); });
        c->timer->start(readTimeoutMs);
        m_connections.push_back(std::move(connection));
    }
#endif
}

void SingleInstance::read(Connection *c)
{
#ifndef Q_OS_WIN
    bool ended = false;
    for (;;) {
        char buffer[4096];
        const ssize_t n = ::recv(c->fd, buffer, sizeof buffer, 0);
        if (n > 0) {
            c->received.append(buffer, static_cast<qsizetype>(n));
            if (c->received.size() > HandOver::maxBytes) {
                drop(c);
                return;
            }
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        ended = n == 0 || errno != EAGAIN;
        break;
    }
    // The message ends with its own last line; a launch waits for the answer
    // without closing.
    const bool complete = c->received.endsWith("\nend\n");
    if (!complete && !ended)
        return;
    const std::optional<HandOver> message = complete ? HandOver::decode(c->received) : std::nullopt;
    if (message) {
        const QByteArray answer = HandOver::acknowledgement();
        [[maybe_unused]] const ssize_t sent =
            ::send(c->fd, answer.constData(), static_cast<std::size_t>(answer.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
    }
    drop(c);
    if (message)
        emit handedOver(*message);
#else
    Q_UNUSED(c)
#endif
}

void SingleInstance::drop(Connection *c)
{
#ifndef Q_OS_WIN
    const auto it = std::find_if(m_connections.begin(), m_connections.end(),
                                 [c](const std::unique_ptr<Connection> &item) { return item.get() == c; });
    if (it == m_connections.end())
        return;
    // Deleted later: this may run inside their own signals.
    c->notifier->setEnabled(false);
    c->notifier->deleteLater();
    c->timer->stop();
    c->timer->deleteLater();
    ::close(c->fd);
    m_connections.erase(it);
#else
    Q_UNUSED(c)
#endif
}
