#pragma once

#include "tests/support/LoopbackListener.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <thread>

// One accepted connection of a HostilePeer, as its script sees it. Every call
// gives up at once when the peer is being destroyed, so no script can keep a
// test from ending.
class PeerConnection final
{
public:
    PeerConnection(int fd, int wakeFd, std::atomic<std::uint64_t> &bytesSent);

    // Sends all of `bytes`; false when the client has gone.
    bool send(std::string_view bytes);
    // Sends `total` bytes that `fill` writes into a reused buffer, so a huge
    // body never exists in memory as a whole. `fill(buffer, size, offset)`.
    bool stream(std::uint64_t total, const std::function<void(char *, std::size_t, std::uint64_t)> &fill);
    // `total` bytes, all `byte`.
    bool streamByte(std::uint64_t total, char byte);
    // Waits `ms` milliseconds; false when the peer is stopping.
    bool pause(int ms);
    // Keeps the connection open, reading and dropping whatever comes, until
    // the client closes it or the peer stops.
    void holdUntilClientCloses();
    // Ends the connection with a reset instead of an orderly close.
    void reset();

    int fd() const { return m_fd; }
    bool wasReset() const { return m_reset; }

private:
    bool waitWritable();

    int m_fd;
    int m_wakeFd;
    std::atomic<std::uint64_t> &m_bytesSent;
    bool m_reset = false;
};

// A TCP peer on 127.0.0.1 that misbehaves on purpose: for every connection it
// (optionally) reads the whole HTTP request and then runs a script. Unlike
// LoopbackPeer it streams instead of holding a canned reply, so it can send
// hundreds of megabytes without keeping them.
class HostilePeer final
{
public:
    using Script = std::function<void(PeerConnection &)>;

    explicit HostilePeer(Script script, bool readRequest = true);
    ~HostilePeer();

    HostilePeer(const HostilePeer &) = delete;
    HostilePeer &operator=(const HostilePeer &) = delete;

    std::uint16_t port() const { return m_listener.port(); }
    std::string endpoint(const std::string &path = "/Services/CheckUserLogin.asmx") const;

    int connectionCount() const { return m_connections.load(); }
    std::uint64_t bytesSent() const { return m_bytesSent.load(); }
    // Bytes of the last request read (0 when the script does not read it).
    std::size_t lastRequestSize() const { return m_lastRequestSize.load(); }

private:
    void run();
    void readRequest(int fd);

    Script m_script;
    bool m_readRequest;
    LoopbackListener m_listener;
    std::atomic<int> m_connections{0};
    std::atomic<std::uint64_t> m_bytesSent{0};
    std::atomic<std::size_t> m_lastRequestSize{0};
    std::thread m_thread;
};
