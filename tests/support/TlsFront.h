#pragma once

#include "tests/support/LoopbackListener.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

typedef struct ssl_ctx_st SSL_CTX;

// An https front on 127.0.0.1: takes TLS with the given certificate and key
// and passes what comes through to a plain http server on 127.0.0.1 (the
// stand-in), and its answers back. Counts the connections it was offered,
// handshake or not: what a client asked of the address.
class TlsFront final
{
public:
    TlsFront(const std::string &certificateFile, const std::string &keyFile);
    ~TlsFront();

    TlsFront(const TlsFront &) = delete;
    TlsFront &operator=(const TlsFront &) = delete;

    std::uint16_t port() const { return m_listener.port(); }
    // Where the traffic goes; until set, connections end after the handshake.
    void setBackend(std::uint16_t port) { m_backend = port; }
    int connections() const { return m_connections; }

private:
    void acceptAll();
    void relay(int fd);

    LoopbackListener m_listener;
    SSL_CTX *m_ctx = nullptr;
    std::atomic<std::uint16_t> m_backend{0};
    std::atomic<int> m_connections{0};
    std::mutex m_mutex;
    std::vector<std::thread> m_relays;
    std::thread m_thread;
};
