#pragma once

#ifndef _WIN32
#include <signal.h>
#endif

// While it lives, a peer that closes the call's connection cannot end the
// process with SIGPIPE from this thread. The call's plain sends say so
// themselves; its TLS writes go through OpenSSL's socket layer, which cannot,
// and the process may not ignore the signal yet (the web engine does once it
// has started). Only this thread's signal mask changes: a signal raised
// meanwhile is taken before the mask is put back. Windows raises no such
// signal.
class QuietPipe final
{
public:
    QuietPipe();
    ~QuietPipe();

    QuietPipe(const QuietPipe &) = delete;
    QuietPipe &operator=(const QuietPipe &) = delete;

private:
#ifndef _WIN32
    sigset_t m_previous;
    bool m_blocked = false;
#endif
};
