#include "tests/support/TlsFront.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int connectTo(std::uint16_t port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(port);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0)
        return fd;
    if (fd >= 0)
        ::close(fd);
    return -1;
}

} // namespace

TlsFront::TlsFront(const std::string &certificateFile, const std::string &keyFile)
    : m_ctx(SSL_CTX_new(TLS_server_method()))
{
    SSL_CTX_use_certificate_chain_file(m_ctx, certificateFile.c_str());
    SSL_CTX_use_PrivateKey_file(m_ctx, keyFile.c_str(), SSL_FILETYPE_PEM);
    m_thread = std::thread([this] { acceptAll(); });
}

TlsFront::~TlsFront()
{
    m_listener.wake();
    m_thread.join();
    for (std::thread &relay : m_relays)
        relay.join();
    SSL_CTX_free(m_ctx);
}

void TlsFront::acceptAll()
{
    for (int fd; (fd = m_listener.accept()) >= 0;) {
        ++m_connections;
        std::lock_guard lock(m_mutex);
        m_relays.emplace_back([this, fd] { relay(fd); });
    }
}

void TlsFront::relay(int fd)
{
    timeval limit{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    SSL *ssl = SSL_new(m_ctx);
    SSL_set_fd(ssl, fd);
    const int backend = SSL_accept(ssl) == 1 && m_backend ? connectTo(m_backend) : -1;
    char buffer[16384];
    while (backend >= 0) {
        // Whatever TLS has read already comes first; then both sides, and
        // the owner's wish to stop.
        if (SSL_pending(ssl) == 0) {
            pollfd fds[3] = {{fd, POLLIN, 0}, {backend, POLLIN, 0}, {m_listener.wakeFd(), POLLIN, 0}};
            if (::poll(fds, 3, -1) <= 0 || fds[2].revents)
                break;
            if (fds[1].revents) {
                const ssize_t n = ::recv(backend, buffer, sizeof buffer, 0);
                if (n <= 0 || SSL_write(ssl, buffer, static_cast<int>(n)) <= 0)
                    break;
                continue;
            }
        }
        const int n = SSL_read(ssl, buffer, sizeof buffer);
        if (n <= 0)
            break;
        LoopbackListener::sendAll(backend, std::string(buffer, static_cast<std::size_t>(n)));
    }
    if (backend >= 0)
        ::close(backend);
    SSL_shutdown(ssl);
    SSL_free(ssl);
    ::close(fd);
}
