#include "tests/support/TestProxy.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int idleLimitMs = 30000;

int connectLocal(std::uint16_t port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(port);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The port after the last colon of "host:port" (an IPv6 host in brackets).
std::uint16_t portOf(const std::string &authority, std::uint16_t fallback)
{
    const auto colon = authority.rfind(':');
    const auto bracket = authority.rfind(']');
    if (colon == std::string::npos || (bracket != std::string::npos && colon < bracket))
        return fallback;
    return static_cast<std::uint16_t>(std::strtoul(authority.c_str() + colon + 1, nullptr, 10));
}

const std::string proxyAuthenticate = "HTTP/1.1 407 Proxy Authentication Required\r\n"
                                      "Proxy-Authenticate: Basic realm=\"kelumo test proxy\"\r\n"
                                      "Content-Length: 0\r\nConnection: close\r\n\r\n";
const std::string badGateway = "HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";

// Answers and closes without resetting: what the client still sends is read
// first, so it gets to read the answer.
void answerAndClose(int fd, const std::string &reply)
{
    LoopbackListener::sendAll(fd, reply);
    ::shutdown(fd, SHUT_WR);
    char buffer[4096];
    pollfd pfd{fd, POLLIN, 0};
    while (::poll(&pfd, 1, 2000) > 0 && ::recv(fd, buffer, sizeof buffer, 0) > 0) {
    }
}

} // namespace

TestProxy::TestProxy(std::uint16_t upstreamPort) : m_upstreamPort(upstreamPort)
{
    m_thread = std::thread([this] { run(); });
}

TestProxy::~TestProxy()
{
    m_stopping = true;
    m_listener.wake();
    m_thread.join();
    for (std::thread &worker : m_workers)
        worker.join();
}

std::string TestProxy::address(const std::string &userInfo) const
{
    return "http://" + (userInfo.empty() ? std::string() : userInfo + "@") + "127.0.0.1:" + std::to_string(m_listener.port());
}

void TestProxy::requireCredentials(const std::string &user, const std::string &password)
{
    std::lock_guard lock(m_mutex);
    m_expectedAuthorization = "proxy-authorization: basic " + lower(base64(user + ":" + password)) + "\r\n";
}

std::vector<std::string> TestProxy::requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

std::string TestProxy::base64(const std::string &plain)
{
    static constexpr char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < plain.size(); i += 3) {
        unsigned value = static_cast<unsigned char>(plain[i]) << 16;
        if (i + 1 < plain.size())
            value |= static_cast<unsigned char>(plain[i + 1]) << 8;
        if (i + 2 < plain.size())
            value |= static_cast<unsigned char>(plain[i + 2]);
        out += digits[(value >> 18) & 63];
        out += digits[(value >> 12) & 63];
        out += i + 1 < plain.size() ? digits[(value >> 6) & 63] : '=';
        out += i + 2 < plain.size() ? digits[value & 63] : '=';
    }
    return out;
}

void TestProxy::run()
{
    while (!m_stopping) {
        const int fd = m_listener.accept();
        if (fd < 0)
            return;
        m_workers.emplace_back([this, fd] {
            serve(fd);
            ::close(fd);
        });
    }
}

void TestProxy::record(std::size_t index, const std::string &bytes)
{
    std::lock_guard lock(m_mutex);
    m_requests[index] += bytes;
}

void TestProxy::serve(int client)
{
    std::string received;
    std::size_t headEnd = std::string::npos;
    char buffer[4096];
    while (headEnd == std::string::npos && received.size() < 65536) {
        pollfd fds[2] = {{client, POLLIN, 0}, {m_listener.wakeFd(), POLLIN, 0}};
        if (::poll(fds, 2, idleLimitMs) <= 0 || (fds[1].revents & POLLIN))
            return;
        const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
        if (n <= 0)
            return;
        received.append(buffer, static_cast<std::size_t>(n));
        headEnd = received.find("\r\n\r\n");
    }
    if (headEnd == std::string::npos)
        return;
    const std::string head = received.substr(0, headEnd + 4);
    const std::string rest = received.substr(headEnd + 4);

    std::size_t index;
    std::string expected;
    {
        std::lock_guard lock(m_mutex);
        index = m_requests.size();
        m_requests.push_back(head);
        expected = m_expectedAuthorization;
    }
    if (!expected.empty() && lower(head).find(expected) == std::string::npos) {
        answerAndClose(client, proxyAuthenticate);
        return;
    }

    const auto space1 = head.find(' ');
    const auto space2 = head.find(' ', space1 + 1);
    if (space1 == std::string::npos || space2 == std::string::npos) {
        answerAndClose(client, badGateway);
        return;
    }
    const std::string method = head.substr(0, space1);
    const std::string target = head.substr(space1 + 1, space2 - space1 - 1);

    if (method == "CONNECT") {
        const int upstream = connectLocal(m_upstreamPort ? m_upstreamPort : portOf(target, 443));
        if (upstream < 0) {
            answerAndClose(client, badGateway);
            return;
        }
        LoopbackListener::sendAll(client, "HTTP/1.1 200 Connection established\r\n\r\n");
        if (!rest.empty())
            LoopbackListener::sendAll(upstream, rest);
        relay(client, upstream, index, false);
        ::close(upstream);
        return;
    }

    // An absolute address in the request line: forwarded in origin form,
    // without the proxy's own headers, one request per connection.
    if (target.rfind("http://", 0) != 0) {
        answerAndClose(client, badGateway);
        return;
    }
    const auto pathStart = target.find('/', 7);
    const std::string authority = target.substr(7, pathStart == std::string::npos ? std::string::npos : pathStart - 7);
    const std::string path = pathStart == std::string::npos ? "/" : target.substr(pathStart);
    const int upstream = connectLocal(m_upstreamPort ? m_upstreamPort : portOf(authority, 80));
    if (upstream < 0) {
        answerAndClose(client, badGateway);
        return;
    }
    std::string forwarded = method + " " + path + head.substr(space2, head.find("\r\n") - space2) + "\r\n";
    std::size_t lineStart = head.find("\r\n") + 2;
    while (lineStart < headEnd) {
        const std::size_t lineEnd = head.find("\r\n", lineStart);
        const std::string line = head.substr(lineStart, lineEnd - lineStart);
        const std::string name = lower(line.substr(0, line.find(':')));
        if (name != "proxy-authorization" && name != "proxy-connection" && name != "connection")
            forwarded += line + "\r\n";
        lineStart = lineEnd + 2;
    }
    forwarded += "Connection: close\r\n\r\n";
    record(index, rest);
    LoopbackListener::sendAll(upstream, forwarded + rest);
    relay(client, upstream, index, true);
    ::close(upstream);
}

void TestProxy::relay(int client, int upstream, std::size_t index, bool recordClient)
{
    char buffer[16384];
    bool clientOpen = true;
    for (;;) {
        pollfd fds[3] = {{clientOpen ? client : -1, POLLIN, 0}, {upstream, POLLIN, 0},
                         {m_listener.wakeFd(), POLLIN, 0}};
        if (::poll(fds, 3, idleLimitMs) <= 0 || (fds[2].revents & POLLIN))
            return;
        if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
            const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
            if (n <= 0) {
                clientOpen = false;
                ::shutdown(upstream, SHUT_WR);
            } else {
                const std::string bytes(buffer, static_cast<std::size_t>(n));
                if (recordClient)
                    record(index, bytes);
                LoopbackListener::sendAll(upstream, bytes);
            }
        }
        if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) {
            const ssize_t n = ::recv(upstream, buffer, sizeof buffer, 0);
            if (n <= 0)
                return;
            LoopbackListener::sendAll(client, std::string(buffer, static_cast<std::size_t>(n)));
        }
    }
}
