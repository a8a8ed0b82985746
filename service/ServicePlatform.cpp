#include "service/ServicePlatform.h"

#ifdef _WIN32
#include <io.h>
#include <winsock2.h>
#else
#include <sys/socket.h>
#include <unistd.h>
#endif

void startNetworking()
{
#ifdef _WIN32
    // Once per process, before the runtime's own start-up (which asks for
    // Winsock 1.1 only); never cleaned up, as the process may call again.
    static const bool started = [] {
        WSADATA data;
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    (void)started;
#endif
}

int quietSendFlags()
{
#ifdef _WIN32
    return 0;
#else
    return MSG_NOSIGNAL;
#endif
}

namespace {

bool isReadableFile(const char *path)
{
#ifdef _WIN32
    constexpr int readable = 4;
    return path && ::_access(path, readable) == 0;
#else
    return path && ::access(path, R_OK) == 0;
#endif
}

} // namespace

const char *systemCaFile()
{
    static const char *const candidates[] = {
        "/etc/ssl/certs/ca-certificates.crt", "/etc/pki/tls/certs/ca-bundle.crt", "/etc/ssl/cert.pem"};
    for (const char *file : candidates) {
        if (isReadableFile(file))
            return file;
    }
    return nullptr;
}
