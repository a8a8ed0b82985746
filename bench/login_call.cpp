// The client's login call, timed in-process: a fresh CheckUserLoginSoapProxy
// per call, as the sign-in worker makes one per login.
//
//   bench-login-call ENDPOINT CALLS [--warmup N] [--capture FILE] [--ssl-noinit] [--system-bufsizes]
//
// --capture writes the bytes of the first call as they leave for the socket
// (the raw-socket floor replays them) and counts the send and receive calls
// the runtime made for it.
// Experiments on what a call costs: --ssl-noinit keeps the runtime from
// initialising OpenSSL when the first context is made (an http endpoint never
// needs it); --system-bufsizes leaves the socket buffer sizes to the system.

#include "bench/BenchSamples.h"
#include "service/CheckUserLoginSoapProxy.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

struct Capture
{
    std::string bytes;
    int sends = 0;
    int receives = 0;
    int (*send)(struct soap *, const char *, size_t) = nullptr;
    size_t (*recv)(struct soap *, char *, size_t) = nullptr;
};

Capture *g_capture = nullptr;
bool g_systemBufferSizes = false;

int teeSend(struct soap *soap, const char *data, size_t length)
{
    g_capture->bytes.append(data, length);
    ++g_capture->sends;
    return g_capture->send(soap, data, length);
}

size_t countedRecv(struct soap *soap, char *data, size_t length)
{
    ++g_capture->receives;
    return g_capture->recv(soap, data, length);
}

bool callOnce(const char *endpoint, Capture *capture)
{
    std::string company;
    std::string account = "demo";
    std::string password = "demo123";

    CheckUserLoginSoapProxy proxy;
    proxy.endpoint = endpoint;
    if (g_systemBufferSizes)
        proxy.sndbuf = proxy.rcvbuf = 0;
    if (capture) {
        capture->send = proxy.fsend;
        capture->recv = proxy.frecv;
        proxy.fsend = teeSend;
        proxy.frecv = countedRecv;
        g_capture = capture;
    }

    _ns1__CheckUserRegisterCode request;
    _ns1__CheckUserRegisterCodeResponse response;
    request.EntName = &company;
    request.strLoginId = &account;
    request.strPwd = &password;
    if (proxy.CheckUserRegisterCode(&request, &response) != SOAP_OK) {
        proxy.stream_fault(std::cerr);
        return false;
    }
    // A start address is the answer the sign-in continues with.
    const std::string *answer = response.CheckUserRegisterCodeResult;
    if (!answer || answer->rfind("http", 0) != 0) {
        std::cerr << "bench-login-call: unexpected answer: " << (answer ? *answer : "(none)") << '\n';
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::cerr << "usage: bench-login-call ENDPOINT CALLS [--warmup N] [--capture FILE]\n";
        return 2;
    }
    const char *endpoint = argv[1];
    const int calls = std::atoi(argv[2]);
    int warmup = 5;
    const char *captureFile = nullptr;
    for (int i = 3; i < argc; ++i) {
        if (std::strcmp(argv[i], "--warmup") == 0 && i + 1 < argc)
            warmup = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--capture") == 0 && i + 1 < argc)
            captureFile = argv[++i];
        else if (std::strcmp(argv[i], "--ssl-noinit") == 0)
            soap_ssl_noinit();
        else if (std::strcmp(argv[i], "--system-bufsizes") == 0)
            g_systemBufferSizes = true;
    }

    if (captureFile) {
        Capture capture;
        if (!callOnce(endpoint, &capture))
            return 1;
        std::ofstream(captureFile, std::ios::binary).write(capture.bytes.data(),
                                                          static_cast<std::streamsize>(capture.bytes.size()));
        std::cerr << "captured " << capture.bytes.size() << " bytes in " << capture.sends << " send calls; "
                  << capture.receives << " receive calls\n";
        g_capture = nullptr;
    }

    for (int i = 0; i < warmup; ++i) {
        if (!callOnce(endpoint, nullptr))
            return 1;
    }
    std::vector<double> samples;
    samples.reserve(static_cast<size_t>(calls));
    for (int i = 0; i < calls; ++i) {
        const auto start = BenchClock::now();
        if (!callOnce(endpoint, nullptr))
            return 1;
        samples.push_back(microsecondsSince(start));
    }
    printSamples(std::move(samples));
    return 0;
}
