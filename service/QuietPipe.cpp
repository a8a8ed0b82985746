#include "service/QuietPipe.h"

#ifndef _WIN32
#include <cerrno>
#include <ctime>

#include <pthread.h>

namespace {

sigset_t pipeSignal()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGPIPE);
    return set;
}

} // namespace

QuietPipe::QuietPipe()
{
    const sigset_t pipe = pipeSignal();
    sigemptyset(&m_previous);
    m_blocked = pthread_sigmask(SIG_BLOCK, &pipe, &m_previous) == 0;
}

QuietPipe::~QuietPipe()
{
    if (!m_blocked)
        return;
    const sigset_t pipe = pipeSignal();
    // Taken here, or it would be delivered, and end the process, as soon as
    // the mask is put back. Unless the thread blocked it itself already.
    if (!sigismember(&m_previous, SIGPIPE)) {
        const timespec now{0, 0};
        int taken;
        do
            taken = sigtimedwait(&pipe, nullptr, &now);
        while (taken == SIGPIPE || (taken < 0 && errno == EINTR));
    }
    pthread_sigmask(SIG_SETMASK, &m_previous, nullptr);
}
#else
QuietPipe::QuietPipe() = default;
QuietPipe::~QuietPipe() = default;
#endif
