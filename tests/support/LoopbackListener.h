#pragma once

#include <cstdint>
#include <string>

// A listening socket on 127.0.0.1 at a free port, and a pipe that wakes the
// thread serving it when its owner stops. The test servers' common part.
class LoopbackListener final
{
public:
    explicit LoopbackListener(int backlog = 8);
    ~LoopbackListener();

    LoopbackListener(const LoopbackListener &) = delete;
    LoopbackListener &operator=(const LoopbackListener &) = delete;

    int fd() const { return m_fd; }
    std::uint16_t port() const { return m_port; }
    // Readable once wake() was called: poll it beside the sockets.
    int wakeFd() const { return m_wakePipe[0]; }
    void wake();
    // The next connection (close-on-exec), or -1 once woken.
    int accept();

    // Sends all of `bytes`, or as much as the peer takes before it goes.
    static void sendAll(int fd, const std::string &bytes);

private:
    int m_fd = -1;
    int m_wakePipe[2] = {-1, -1};
    std::uint16_t m_port = 0;
};
