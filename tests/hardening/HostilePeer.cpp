#include "tests/hardening/HostilePeer.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

std::size_t contentLength(std::string_view headers)
{
    std::string lower(headers);
    for (char &c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const auto pos = lower.find("\r\ncontent-length:");
    if (pos == std::string::npos)
        return 0;
    return std::strtoul(lower.c_str() + pos + 17, nullptr, 10);
}

// Whether the wake pipe says the peer is stopping.
bool stopping(int wakeFd)
{
    pollfd wake{wakeFd, POLLIN, 0};
    return ::poll(&wake, 1, 0) > 0;
}

} // namespace

PeerConnection::PeerConnection(int fd, int wakeFd, std::atomic<std::uint64_t> &bytesSent)
    : m_fd(fd), m_wakeFd(wakeFd), m_bytesSent(bytesSent)
{
}

bool PeerConnection::waitWritable()
{
    pollfd fds[2] = {{m_fd, POLLOUT, 0}, {m_wakeFd, POLLIN, 0}};
    if (::poll(fds, 2, -1) <= 0 || (fds[1].revents & POLLIN))
        return false;
    return (fds[0].revents & POLLOUT) && !(fds[0].revents & (POLLERR | POLLHUP));
}

bool PeerConnection::send(std::string_view bytes)
{
    while (!bytes.empty()) {
        if (!waitWritable())
            return false;
        const ssize_t n = ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
            continue;
        if (n <= 0)
            return false;
        m_bytesSent += static_cast<std::uint64_t>(n);
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool PeerConnection::stream(std::uint64_t total, const std::function<void(char *, std::size_t, std::uint64_t)> &fill)
{
    std::vector<char> buffer(64 * 1024);
    for (std::uint64_t offset = 0; offset < total;) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), total - offset));
        fill(buffer.data(), n, offset);
        if (!send(std::string_view(buffer.data(), n)))
            return false;
        offset += n;
    }
    return true;
}

bool PeerConnection::streamByte(std::uint64_t total, char byte)
{
    return stream(total, [byte](char *buffer, std::size_t size, std::uint64_t) { std::memset(buffer, byte, size); });
}

bool PeerConnection::pause(int ms)
{
    pollfd wake{m_wakeFd, POLLIN, 0};
    return ::poll(&wake, 1, ms) == 0;
}

void PeerConnection::holdUntilClientCloses()
{
    char buffer[4096];
    for (;;) {
        pollfd fds[2] = {{m_fd, POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
        if (::poll(fds, 2, -1) <= 0 || (fds[1].revents & POLLIN))
            return;
        if (::recv(m_fd, buffer, sizeof buffer, 0) <= 0)
            return;
    }
}

void PeerConnection::reset()
{
    const linger hard{1, 0};
    ::setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    m_reset = true;
}

HostilePeer::HostilePeer(Script script, bool readRequest) : m_script(std::move(script)), m_readRequest(readRequest)
{
    m_thread = std::thread([this] { run(); });
}

HostilePeer::~HostilePeer()
{
    m_listener.wake();
    m_thread.join();
}

std::string HostilePeer::endpoint(const std::string &path) const
{
    return "http://127.0.0.1:" + std::to_string(m_listener.port()) + path;
}

void HostilePeer::run()
{
    for (;;) {
        const int fd = m_listener.accept();
        if (fd < 0)
            return;
        ++m_connections;
        if (m_readRequest)
            readRequest(fd);
        PeerConnection connection(fd, m_listener.wakeFd(), m_bytesSent);
        if (m_script && !stopping(m_listener.wakeFd()))
            m_script(connection);
        if (!connection.wasReset())
            ::shutdown(fd, SHUT_WR);
        ::close(fd);
    }
}

// The request is read completely before the script runs, so that closing
// the connection afterwards is an orderly end and never a reset.
void HostilePeer::readRequest(int fd)
{
    std::string request;
    char buffer[4096];
    std::size_t wanted = std::string::npos;
    while (request.size() < wanted) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {m_listener.wakeFd(), POLLIN, 0}};
        if (::poll(fds, 2, 5000) <= 0 || (fds[1].revents & POLLIN))
            break;
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        request.append(buffer, static_cast<std::size_t>(n));
        if (wanted == std::string::npos) {
            const auto headerEnd = request.find("\r\n\r\n");
            if (headerEnd != std::string::npos)
                wanted = headerEnd + 4 + contentLength(std::string_view(request).substr(0, headerEnd + 2));
        }
    }
    m_lastRequestSize = request.size();
}
