#include "service/ServicePlatform.h"

#ifdef _WIN32
#include <io.h>
#else
#include <sys/socket.h>
#include <unistd.h>
#endif

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
