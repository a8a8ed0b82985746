#include "app/LocalEndpoint.h"

#include <QDeadlineTimer>

#include <cerrno>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

// A plain AF_UNIX socket rather than QLocalSocket: the executable links no Qt
// Network, whose loading would lengthen every launch (see the README).

namespace {

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

bool receiveAnswer(int fd, const QByteArray &wanted, const QDeadlineTimer &deadline)
{
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

} // namespace

bool LocalEndpoint::available()
{
    return true;
}

QString LocalEndpoint::privateFolder()
{
    const QByteArray path = QByteArray("/tmp/kelumo-") + QByteArray::number(::getuid());
    ::mkdir(path.constData(), 0700);
    struct stat st{};
    if (::lstat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() ||
        (st.st_mode & 077) != 0)
        return {};
    return QString::fromLocal8Bit(path);
}

LocalEndpoint::Call LocalEndpoint::call(const QString &name, const QByteArray &message, const QByteArray &answer,
                                        int timeoutMs)
{
    sockaddr_un address;
    if (!socketAddress(name.toLocal8Bit(), address))
        return Call::Nobody;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return Call::Nobody;
    // Refused or missing: nobody listens. A full queue (EAGAIN) is a client
    // that does not take its calls.
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0 && errno != EAGAIN) {
        ::close(fd);
        return Call::Nobody;
    }
    const QDeadlineTimer deadline(timeoutMs);
    const bool answered = sendAll(fd, message, deadline) && receiveAnswer(fd, answer, deadline);
    ::close(fd);
    return answered ? Call::Answered : Call::NoAnswer;
}

LocalEndpoint::LocalEndpoint(QString name) : m_name(std::move(name))
{
}

LocalEndpoint::~LocalEndpoint()
{
    if (m_listen >= 0) {
        ::close(int(m_listen));
        ::unlink(m_name.toLocal8Bit().constData());
    }
    if (m_lock >= 0)
        ::close(int(m_lock));
}

LocalEndpoint::Take LocalEndpoint::take()
{
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
    m_lock = lock;
    m_listen = fd;
    return Take::Taken;
}

qintptr LocalEndpoint::accept()
{
    if (m_listen < 0)
        return -1;
    const int fd = ::accept4(int(m_listen), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    return fd < 0 ? -1 : fd;
}

LocalEndpoint::Received LocalEndpoint::receive(qintptr connection, QByteArray &into)
{
    for (;;) {
        char buffer[4096];
        const ssize_t n = ::recv(int(connection), buffer, sizeof buffer, 0);
        if (n > 0) {
            into.append(buffer, static_cast<qsizetype>(n));
            return Received::Data;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return n < 0 && errno == EAGAIN ? Received::Wait : Received::Ended;
    }
}

void LocalEndpoint::send(qintptr connection, const QByteArray &bytes)
{
    [[maybe_unused]] const ssize_t sent =
        ::send(int(connection), bytes.constData(), static_cast<std::size_t>(bytes.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
}

void LocalEndpoint::close(qintptr connection)
{
    ::close(int(connection));
}
