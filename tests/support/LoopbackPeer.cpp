#include "tests/support/LoopbackPeer.h"

#include <arpa/inet.h>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

std::size_t contentLength(const std::string &headers)
{
    std::string lower = headers;
    for (char &c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const auto pos = lower.find("\r\ncontent-length:");
    if (pos == std::string::npos)
        return 0;
    return std::strtoul(lower.c_str() + pos + 17, nullptr, 10);
}

} // namespace

LoopbackPeer::LoopbackPeer(std::string reply, Behaviour behaviour)
    : m_behaviour(behaviour), m_reply(std::move(reply))
{
    m_thread = std::thread([this] { run(); });
}

LoopbackPeer::~LoopbackPeer()
{
    m_stopping = true;
    m_listener.wake();
    m_thread.join();
}

std::string LoopbackPeer::endpoint(const std::string &path) const
{
    return "http://127.0.0.1:" + std::to_string(m_listener.port()) + path;
}

void LoopbackPeer::setReply(std::string reply)
{
    std::lock_guard lock(m_mutex);
    m_reply = std::move(reply);
}

std::vector<std::string> LoopbackPeer::requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

void LoopbackPeer::run()
{
    while (!m_stopping) {
        const int fd = m_listener.accept();
        if (fd < 0)
            return;
        ++m_connections;
        serve(fd);
        ::close(fd);
    }
}

void LoopbackPeer::serve(int fd)
{
    if (m_behaviour == Behaviour::CloseAtOnce)
        return;
    if (m_behaviour == Behaviour::AnswerAtOnce) {
        std::lock_guard lock(m_mutex);
        LoopbackListener::sendAll(fd, m_reply);
        return;
    }

    std::string request;
    char buffer[4096];
    std::size_t headerEnd = std::string::npos;
    std::size_t wanted = 0;
    for (;;) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {m_listener.wakeFd(), POLLIN, 0}};
        if (::poll(fds, 2, 5000) <= 0 || (fds[1].revents & POLLIN))
            break;
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        request.append(buffer, static_cast<std::size_t>(n));
        if (headerEnd == std::string::npos) {
            headerEnd = request.find("\r\n\r\n");
            if (headerEnd != std::string::npos)
                wanted = headerEnd + 4 + contentLength(request.substr(0, headerEnd + 2));
        }
        if (headerEnd != std::string::npos && request.size() >= wanted)
            break;
    }
    std::string reply;
    {
        std::lock_guard lock(m_mutex);
        m_requests.push_back(request);
        reply = m_reply;
    }
    if (m_behaviour == Behaviour::NeverAnswer) {
        pollfd wake{m_listener.wakeFd(), POLLIN, 0};
        ::poll(&wake, 1, -1);
        return;
    }
    LoopbackListener::sendAll(fd, reply);
    ::shutdown(fd, SHUT_WR);
}

std::string LoopbackPeer::httpReply(int status, const std::string &body, const std::string &contentType)
{
    return "HTTP/1.1 " + std::to_string(status) + " Status\r\nContent-Type: " + contentType +
           "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

std::string LoopbackPeer::chunkedReply(const std::string &body, std::size_t chunkSize)
{
    std::string out = "HTTP/1.1 200 OK\r\nContent-Type: application/soap+xml; charset=utf-8\r\n"
                      "Transfer-Encoding: chunked\r\nConnection: close\r\n\r\n";
    char size[32];
    for (std::size_t pos = 0; pos < body.size(); pos += chunkSize) {
        const std::string chunk = body.substr(pos, chunkSize);
        std::snprintf(size, sizeof size, "%zx\r\n", chunk.size());
        out += size + chunk + "\r\n";
    }
    return out + "0\r\n\r\n";
}

std::string LoopbackPeer::soap12Envelope(const std::string &bodyContent)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
           "<soap12:Envelope xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
           "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
           "xmlns:soap12=\"http://www.w3.org/2003/05/soap-envelope\"><soap12:Body>" +
           bodyContent + "</soap12:Body></soap12:Envelope>";
}

std::string LoopbackPeer::answer(const std::string &resultXml)
{
    return soap12Envelope("<CheckUserRegisterCodeResponse xmlns=\"{F16595B6-DE49-44d9-94C6-1E63F3AC28E8}\">"
                          "<CheckUserRegisterCodeResult>" +
                          resultXml + "</CheckUserRegisterCodeResult></CheckUserRegisterCodeResponse>");
}

std::string LoopbackPeer::fault12(const std::string &code, const std::string &reason, const std::string &detail)
{
    std::string fault = "<soap12:Fault><soap12:Code><soap12:Value>" + code +
                        "</soap12:Value></soap12:Code><soap12:Reason><soap12:Text xml:lang=\"en\">" + reason +
                        "</soap12:Text></soap12:Reason>";
    if (!detail.empty())
        fault += "<soap12:Detail>" + detail + "</soap12:Detail>";
    return soap12Envelope(fault + "</soap12:Fault>");
}

std::uint16_t LoopbackPeer::closedPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len);
    ::close(fd);
    return ntohs(addr.sin_port);
}
