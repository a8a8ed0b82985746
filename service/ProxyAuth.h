#pragma once

#include <string>
#include <string_view>

// A proxy's challenge (its Proxy-Authenticate header) and the answer to it,
// as plain text: Basic, and Digest with MD5 (RFC 7616, also as RFC 2617 and
// 2069 wrote it). No socket and no state: the request heads ask here.
namespace proxyauth {

struct Challenge
{
    // As sent; compared without regard to case.
    std::string scheme;
    std::string realm;
    std::string nonce;
    std::string opaque;
    // The protection the proxy offers ("auth", "auth,auth-int"); empty for
    // the old form without it.
    std::string qop;
    // "MD5" unless it says "MD5-sess" (or names one this client lacks).
    std::string algorithm;

    bool isDigest() const;
    bool isBasic() const;
};

// The first challenge of a header value: its scheme and parameters (quoted
// or not). A value that is no challenge gives an empty scheme.
Challenge parseChallenge(std::string_view value);

// Whether `candidate` is worth answering before `kept`: Digest before Basic,
// and any other scheme never.
bool preferred(const Challenge &candidate, const Challenge &kept);

struct DigestInput
{
    std::string_view user;
    std::string_view password;
    std::string_view realm;
    std::string_view nonce;
    std::string_view method;
    std::string_view uri;
    // "auth", or empty for the form without protection (RFC 2069).
    std::string_view qop;
    std::string_view nc = "00000001";
    std::string_view cnonce;
    // "MD5" or "MD5-sess".
    std::string_view algorithm = "MD5";
};

// The request digest, in lowercase hexadecimal; empty where this build has no
// MD5 or the algorithm is not one of the two.
std::string digestResponse(const DigestInput &input);

// The whole Proxy-Authorization value answering `challenge` for one request;
// empty when it cannot be answered by Digest.
std::string digestAuthorization(const Challenge &challenge, std::string_view user, std::string_view password,
                                std::string_view method, std::string_view uri, std::string_view cnonce);

// A fresh client nonce (random, 16 hexadecimal digits).
std::string newClientNonce();

} // namespace proxyauth
