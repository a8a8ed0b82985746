#include "base/proxy/HostAddress.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#endif

namespace {

// A number as the address parsers read it, with base 0 for decimal, octal
// after a leading 0 or hexadecimal after 0x; at most `max`, else -1.
long long number(std::string_view text, long long max, int base)
{
    if (text.starts_with('+'))
        text.remove_prefix(1);
    if (base == 0 && text.size() > 1 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    } else if (base == 0) {
        base = text.size() > 1 && text[0] == '0' ? 8 : 10;
    }
    if (text.empty())
        return -1;
    long long n = 0;
    for (const char c : text) {
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        if (digit < 0 || digit >= base)
            return -1;
        n = n * base + digit;
        if (n > max)
            return -1;
    }
    return n;
}

// The dot-separated parts of a text, at most four.
std::optional<std::vector<std::string_view>> dotted(std::string_view text)
{
    std::vector<std::string_view> parts;
    while (parts.size() < 4) {
        const auto dot = text.find('.');
        parts.push_back(text.substr(0, dot));
        if (dot == std::string_view::npos)
            return parts;
        text.remove_prefix(dot + 1);
    }
    return std::nullopt;
}

// IPv4 as the usual parsers read it, whose last part fills the bytes left:
// "127.1", "0x7f.0.0.1" and "2130706433" are 127.0.0.1.
std::optional<std::uint32_t> ipv4Value(std::string_view text)
{
    const auto parts = dotted(text);
    if (!parts)
        return std::nullopt;
    std::uint32_t value = 0;
    const std::size_t last = parts->size() - 1;
    for (std::size_t i = 0; i < last; ++i) {
        const long long part = number((*parts)[i], 255, 0);
        if (part < 0)
            return std::nullopt;
        value |= std::uint32_t(part) << (24 - 8 * i);
    }
    const long long rest = number((*parts)[last], 0xffffffffLL >> (8 * last), 0);
    if (rest < 0)
        return std::nullopt;
    return value | std::uint32_t(rest);
}

// An IPv4 network's address: up to four decimal parts, the missing ones zero,
// a trailing dot allowed ("10", "192.168.").
std::optional<std::uint32_t> networkIpv4(std::string_view text)
{
    auto parts = dotted(text);
    if (parts && parts->size() > 1 && parts->back().empty())
        parts->pop_back();
    if (!parts)
        return std::nullopt;
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < parts->size(); ++i) {
        const long long part = number((*parts)[i], 255, 10);
        if (part < 0)
            return std::nullopt;
        value |= std::uint32_t(part) << (24 - 8 * i);
    }
    return value;
}

} // namespace

std::optional<HostAddress> HostAddress::parse(const std::string &text)
{
    if (const auto v4 = ipv4Value(text))
        return fromIpv4(*v4);
    HostAddress address;
    address.m_v6 = true;
    if (::inet_pton(AF_INET6, text.c_str(), address.m_bytes.data()) == 1)
        return address;
    return std::nullopt;
}

HostAddress HostAddress::fromIpv4(std::uint32_t value)
{
    HostAddress address;
    for (int i = 0; i < 4; ++i)
        address.m_bytes[i] = static_cast<unsigned char>(value >> (24 - 8 * i));
    return address;
}

std::optional<std::array<unsigned char, 4>> HostAddress::ipv4() const
{
    const auto &b = m_bytes;
    if (!m_v6)
        return std::array<unsigned char, 4>{b[0], b[1], b[2], b[3]};
    if (std::all_of(b.begin(), b.begin() + 10, [](unsigned char c) { return c == 0; }) && b[10] == 0xff &&
        b[11] == 0xff)
        return std::array<unsigned char, 4>{b[12], b[13], b[14], b[15]};
    return std::nullopt;
}

bool HostAddress::isLoopback() const
{
    if (const auto v4 = ipv4())
        return (*v4)[0] == 127;
    static const std::array<unsigned char, 16> loopback6{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    return m_bytes == loopback6;
}

bool HostAddress::isLinkLocal() const
{
    if (const auto v4 = ipv4())
        return (*v4)[0] == 169 && (*v4)[1] == 254;
    return m_bytes[0] == 0xfe && (m_bytes[1] & 0xc0) == 0x80;
}

bool HostAddress::startsLike(const HostAddress &network, int bits) const
{
    if (m_v6 != network.m_v6 || bits < 0 || bits > (m_v6 ? 128 : 32))
        return false;
    for (int i = 0; i < bits; ++i) {
        const int mask = 0x80 >> (i % 8);
        if ((m_bytes[i / 8] & mask) != (network.m_bytes[i / 8] & mask))
            return false;
    }
    return true;
}

int HostAddress::prefixLength() const
{
    const auto bit = [this](int i) { return (m_bytes[i / 8] & (0x80 >> (i % 8))) != 0; };
    int ones = 0;
    while (ones < 32 && bit(ones))
        ++ones;
    for (int i = ones; i < 32; ++i)
        if (bit(i))
            return -1;
    return ones;
}

bool HostAddress::isIn(const std::string &network) const
{
    const auto slash = network.find('/');
    if (slash == std::string::npos)
        return false;
    const std::string base = network.substr(0, slash);
    const std::string mask = network.substr(slash + 1);
    const bool v6 = base.find(':') != std::string::npos;
    int bits = int(number(mask, v6 ? 128 : 32, 10));
    if (bits < 0 && !v6 && mask.find_first_not_of("+0123456789") != std::string::npos) {
        const auto netmask = parse(mask);
        if (!netmask || netmask->m_v6)
            return false;
        bits = netmask->prefixLength();
    }
    if (bits < 0)
        return false;
    if (v6) {
        const auto address = parse(base);
        return address && address->m_v6 && startsLike(*address, bits);
    }
    const auto value = networkIpv4(base);
    return value && startsLike(fromIpv4(*value), bits);
}

std::string HostAddress::text() const
{
    char buffer[64] = {};
    if (!::inet_ntop(m_v6 ? AF_INET6 : AF_INET, m_bytes.data(), buffer, sizeof buffer))
        return {};
    return buffer;
}
