// Floor of one login call: the same request bytes sent over a plain POSIX
// socket in one write, the whole answer read until the server closes.
//
//   bench-raw-post HOST PORT REQUEST_FILE CALLS [--warmup N]

#include "bench/BenchSamples.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

bool postOnce(const sockaddr_in &address, const std::string &request, std::string &answer)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    bool ok = ::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    for (size_t sent = 0; ok && sent < request.size();) {
        const ssize_t n = ::send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        if (ok)
            sent += static_cast<size_t>(n);
    }
    answer.clear();
    char buffer[65536];
    while (ok) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        answer.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 5) {
        std::cerr << "usage: bench-raw-post HOST PORT REQUEST_FILE CALLS [--warmup N]\n";
        return 2;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(std::atoi(argv[2])));
    if (::inet_pton(AF_INET, argv[1], &address.sin_addr) != 1) {
        std::cerr << "bench-raw-post: not an IPv4 address: " << argv[1] << '\n';
        return 2;
    }
    std::ifstream file(argv[3], std::ios::binary);
    const std::string request((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (request.empty()) {
        std::cerr << "bench-raw-post: empty request file " << argv[3] << '\n';
        return 2;
    }
    const int calls = std::atoi(argv[4]);
    const int warmup = (argc >= 7 && std::strcmp(argv[5], "--warmup") == 0) ? std::atoi(argv[6]) : 5;

    std::string answer;
    std::vector<double> samples;
    samples.reserve(static_cast<size_t>(calls));
    for (int i = 0; i < warmup + calls; ++i) {
        const auto start = BenchClock::now();
        if (!postOnce(address, request, answer))
            return 1;
        const double us = microsecondsSince(start);
        // The first answer must be the one the proxy gets, or the comparison is void.
        if (i == 0 && (answer.rfind("HTTP/1.1 200", 0) != 0 ||
                       answer.find("CheckUserRegisterCodeResult>http") == std::string::npos)) {
            std::cerr << "bench-raw-post: unexpected answer:\n" << answer << '\n';
            return 1;
        }
        if (i >= warmup)
            samples.push_back(us);
    }
    printSamples(std::move(samples));
    return 0;
}
