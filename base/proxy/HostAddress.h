#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

// An IPv4 or IPv6 address written as a host: what the proxy rules ask of one.
class HostAddress final
{
public:
    // IPv4 as the usual parsers read it (one to four parts, decimal, octal
    // or hexadecimal: "127.1" is 127.0.0.1) or IPv6 text (without brackets);
    // none for anything else.
    static std::optional<HostAddress> parse(const std::string &text);

    bool isV6() const { return m_v6; }
    // An IPv4-mapped IPv6 address answers these as the IPv4 address it holds.
    bool isLoopback() const;
    bool isLinkLocal() const;
    // Whether it lies in a network written "address/bits", where an IPv4
    // network may also give a netmask for the bits ("10.0.0.0/255.0.0.0") and
    // leave out its trailing zero parts ("10/8", "192.168./16").
    bool isIn(const std::string &network) const;
    // The usual text form (IPv6 shortened, in lower case).
    std::string text() const;

    bool operator==(const HostAddress &) const = default;

private:
    static HostAddress fromIpv4(std::uint32_t value);
    // The IPv4 address an IPv4 or IPv4-mapped IPv6 address holds.
    std::optional<std::array<unsigned char, 4>> ipv4() const;
    bool startsLike(const HostAddress &network, int bits) const;
    // The bits of an IPv4 netmask (ones, then only zeros); -1 for no netmask.
    int prefixLength() const;

    bool m_v6 = false;
    // IPv4 in the first four.
    std::array<unsigned char, 16> m_bytes{};
};
