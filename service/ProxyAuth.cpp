#include "service/ProxyAuth.h"

#include <random>

#if defined(WITH_OPENSSL)
#include <openssl/evp.h>
#include <openssl/rand.h>
#endif

namespace proxyauth {

namespace {

char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameText(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    }
    return true;
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t';
}

void skipSpace(std::string_view text, std::size_t &at)
{
    while (at < text.size() && isSpace(text[at]))
        ++at;
}

std::string_view token(std::string_view text, std::size_t &at)
{
    const std::size_t start = at;
    while (at < text.size() && !isSpace(text[at]) && text[at] != ',' && text[at] != '=')
        ++at;
    return text.substr(start, at - start);
}

// A parameter's value, quoted (with backslash escapes) or a plain token.
std::string value(std::string_view text, std::size_t &at)
{
    std::string v;
    if (at < text.size() && text[at] == '"') {
        for (++at; at < text.size() && text[at] != '"'; ++at) {
            if (text[at] == '\\' && at + 1 < text.size())
                ++at;
            v += text[at];
        }
        if (at < text.size())
            ++at;
        return v;
    }
    return std::string(token(text, at));
}

// Whether the list of qop options names "auth" by itself.
bool offersAuth(std::string_view qop)
{
    std::size_t at = 0;
    while (at < qop.size()) {
        const std::size_t comma = qop.find(',', at);
        std::string_view item = qop.substr(at, comma == std::string_view::npos ? std::string_view::npos : comma - at);
        while (!item.empty() && isSpace(item.front()))
            item.remove_prefix(1);
        while (!item.empty() && isSpace(item.back()))
            item.remove_suffix(1);
        if (sameText(item, "auth"))
            return true;
        if (comma == std::string_view::npos)
            break;
        at = comma + 1;
    }
    return false;
}

std::string md5Hex(std::string_view text)
{
#if defined(WITH_OPENSSL)
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (!EVP_Digest(text.data(), text.size(), digest, &size, EVP_md5(), nullptr))
        return {};
    static constexpr char hex[] = "0123456789abcdef";
    std::string out;
    for (unsigned int i = 0; i < size; ++i) {
        out += hex[digest[i] >> 4];
        out += hex[digest[i] & 15];
    }
    return out;
#else
    // No MD5 in a build without a TLS library: Digest goes unanswered.
    (void)text;
    return {};
#endif
}

std::string joined(std::initializer_list<std::string_view> parts)
{
    std::string out;
    for (std::string_view part : parts) {
        if (!out.empty())
            out += ':';
        out += part;
    }
    return out;
}

void appendQuoted(std::string &out, std::string_view name, std::string_view text)
{
    out += name;
    out += "=\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    out += '"';
}

} // namespace

bool Challenge::isDigest() const
{
    return sameText(scheme, "Digest");
}

bool Challenge::isBasic() const
{
    return sameText(scheme, "Basic");
}

Challenge parseChallenge(std::string_view text)
{
    Challenge c;
    std::size_t at = 0;
    skipSpace(text, at);
    c.scheme = std::string(token(text, at));
    while (at < text.size()) {
        skipSpace(text, at);
        if (at < text.size() && text[at] == ',') {
            ++at;
            continue;
        }
        const std::string_view name = token(text, at);
        skipSpace(text, at);
        // A name without a value starts the next challenge.
        if (name.empty() || at >= text.size() || text[at] != '=')
            break;
        ++at;
        skipSpace(text, at);
        std::string v = value(text, at);
        if (sameText(name, "realm"))
            c.realm = std::move(v);
        else if (sameText(name, "nonce"))
            c.nonce = std::move(v);
        else if (sameText(name, "opaque"))
            c.opaque = std::move(v);
        else if (sameText(name, "qop"))
            c.qop = std::move(v);
        else if (sameText(name, "algorithm"))
            c.algorithm = std::move(v);
    }
    if (c.algorithm.empty())
        c.algorithm = "MD5";
    return c;
}

bool preferred(const Challenge &candidate, const Challenge &kept)
{
    if (candidate.isDigest())
        return !kept.isDigest();
    return candidate.isBasic() && !kept.isDigest() && !kept.isBasic();
}

std::string digestResponse(const DigestInput &in)
{
    const bool session = sameText(in.algorithm, "MD5-sess");
    if (!session && !sameText(in.algorithm, "MD5"))
        return {};
    std::string ha1 = md5Hex(joined({in.user, in.realm, in.password}));
    if (session && !ha1.empty())
        ha1 = md5Hex(joined({ha1, in.nonce, in.cnonce}));
    const std::string ha2 = md5Hex(joined({in.method, in.uri}));
    if (ha1.empty() || ha2.empty())
        return {};
    if (in.qop.empty())
        return md5Hex(joined({ha1, in.nonce, ha2}));
    return md5Hex(joined({ha1, in.nonce, in.nc, in.cnonce, in.qop, ha2}));
}

std::string digestAuthorization(const Challenge &challenge, std::string_view user, std::string_view password,
                                std::string_view method, std::string_view uri, std::string_view cnonce)
{
    if (!challenge.isDigest() || challenge.nonce.empty())
        return {};
    // A proxy that offers only auth-int (a digest of the body) is not answered.
    const bool protect = offersAuth(challenge.qop);
    if (!challenge.qop.empty() && !protect)
        return {};
    const std::string_view qop = protect ? "auth" : "";
    const std::string response = digestResponse({.user = user, .password = password, .realm = challenge.realm,
                                                 .nonce = challenge.nonce, .method = method, .uri = uri, .qop = qop,
                                                 .cnonce = cnonce, .algorithm = challenge.algorithm});
    if (response.empty())
        return {};
    std::string out = "Digest ";
    appendQuoted(out, "username", user);
    appendQuoted(out += ", ", "realm", challenge.realm);
    appendQuoted(out += ", ", "nonce", challenge.nonce);
    appendQuoted(out += ", ", "uri", uri);
    out += ", algorithm=" + challenge.algorithm;
    appendQuoted(out += ", ", "response", response);
    if (!challenge.opaque.empty())
        appendQuoted(out += ", ", "opaque", challenge.opaque);
    if (protect) {
        out += ", qop=auth, nc=00000001";
        appendQuoted(out += ", ", "cnonce", cnonce);
    }
    return out;
}

std::string newClientNonce()
{
    unsigned char bytes[8] = {};
#if defined(WITH_OPENSSL)
    if (RAND_bytes(bytes, sizeof bytes) != 1)
#endif
    {
        std::random_device device;
        for (unsigned char &b : bytes)
            b = static_cast<unsigned char>(device());
    }
    static constexpr char hex[] = "0123456789abcdef";
    std::string out;
    for (unsigned char b : bytes) {
        out += hex[b >> 4];
        out += hex[b & 15];
    }
    return out;
}

} // namespace proxyauth
