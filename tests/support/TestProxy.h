#pragma once

#include "tests/support/LoopbackListener.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// An HTTP proxy on 127.0.0.1 for tests. Every host it is asked for is taken
// to live on 127.0.0.1 (at `upstreamPort`, or else at the port the request
// names), so addresses under names that resolve nowhere work through it and
// only through it. Forwards plain requests (one per connection) and opens
// CONNECT tunnels; records what each client sent it.
class TestProxy final
{
public:
    explicit TestProxy(std::uint16_t upstreamPort = 0);
    ~TestProxy();

    TestProxy(const TestProxy &) = delete;
    TestProxy &operator=(const TestProxy &) = delete;

    std::uint16_t port() const { return m_listener.port(); }
    // "http://127.0.0.1:PORT", with "user:password@" when given (as written).
    std::string address(const std::string &userInfo = {}) const;

    // From now on answers 407 unless the request carries these as Basic
    // proxy authorization.
    void requireCredentials(const std::string &user, const std::string &password);

    // Per connection: the request head and, for a forwarded request, its body;
    // for a tunnel the CONNECT head only.
    std::vector<std::string> requests() const;

    static std::string base64(const std::string &plain);

private:
    void run();
    void serve(int client);
    void record(std::size_t index, const std::string &bytes);
    void relay(int client, int upstream, std::size_t index, bool recordClient);

    LoopbackListener m_listener{16};
    std::uint16_t m_upstreamPort;
    mutable std::mutex m_mutex;
    std::string m_expectedAuthorization;
    std::vector<std::string> m_requests;
    std::vector<std::thread> m_workers;
    std::atomic<bool> m_stopping{false};
    std::thread m_thread;
};
