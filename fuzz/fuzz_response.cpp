// Response decoding: the bytes a server sends, from the status line on, go
// through the whole login call (HTTP, chunks, compression, XML, SOAP) by way
// of the runtime's I/O hooks, so no socket is ever opened. Then the fault
// report the worker writes on failure.

#include "service/CheckUserLoginSoapProxy.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>

namespace {

struct Feed
{
    const std::uint8_t *data = nullptr;
    std::size_t size = 0;
    std::size_t pos = 0;
};

Feed g_feed;

// Not a descriptor the process could own: nothing real is ever closed.
constexpr SOAP_SOCKET fakeSocket = 0x3fffffff;

SOAP_SOCKET openNothing(struct soap *, const char *, const char *, int)
{
    return fakeSocket;
}

int sendNowhere(struct soap *, const char *, std::size_t)
{
    return SOAP_OK;
}

std::size_t receiveFeed(struct soap *, char *buffer, std::size_t length)
{
    // Hands the bytes out in uneven pieces, as a network would.
    std::size_t n = std::min(length, g_feed.size - g_feed.pos);
    if (n > 1 && g_feed.size > 0)
        n = std::min<std::size_t>(n, 1 + (g_feed.data[g_feed.pos] * 131u) % 4096u);
    std::memcpy(buffer, g_feed.data + g_feed.pos, n);
    g_feed.pos += n;
    return n;
}

int closeNothing(struct soap *soap)
{
    soap->socket = SOAP_INVALID_SOCKET;
    return SOAP_OK;
}

int closeSocketNothing(struct soap *, SOAP_SOCKET)
{
    return SOAP_OK;
}

int shutdownNothing(struct soap *, SOAP_SOCKET, int)
{
    return SOAP_OK;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    g_feed = {data, size, 0};

    CheckUserLoginSoapProxy proxy;
    proxy.endpoint = "http://127.0.0.1:1/Services/CheckUserLogin.asmx";
    proxy.fopen = openNothing;
    proxy.fsend = sendNowhere;
    proxy.frecv = receiveFeed;
    proxy.fclose = closeNothing;
    proxy.fclosesocket = closeSocketNothing;
    proxy.fshutdownsocket = shutdownNothing;

    std::string company, account = "demo", password = "demo123";
    _ns1__CheckUserRegisterCode request;
    request.EntName = &company;
    request.strLoginId = &account;
    request.strPwd = &password;
    _ns1__CheckUserRegisterCodeResponse response;

    const int code = proxy.CheckUserRegisterCode(&request, &response);
    if (code == SOAP_OK) {
        if (response.CheckUserRegisterCodeResult) {
            // The answer is bounded by the size limit, whatever was sent.
            if (response.CheckUserRegisterCodeResult->size() > CheckUserLoginSoapProxy::receiveSizeLimit)
                __builtin_trap();
        }
    } else {
        std::ostringstream report;
        proxy.stream_fault(report);
        char buffer[256];
        proxy.format_fault(buffer, sizeof buffer);
        if (std::strlen(buffer) >= sizeof buffer)
            __builtin_trap();
    }
    return 0;
}
