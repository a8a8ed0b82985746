#include "tools/standin/StandinText.h"

#include "base/GbkText.h"

#include <algorithm>
#include <cstdint>

namespace standin {

namespace {

// Decodes one UTF-8 sequence at the start of `s`. Returns its length, or 0 if
// the bytes there are not a valid sequence.
std::size_t decodeUtf8(std::string_view s, std::uint32_t &codePoint)
{
    const auto lead = static_cast<unsigned char>(s[0]);
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    }
    if (lead < 0xC2 || lead > 0xF4)
        return 0;
    const std::size_t n = utf8SequenceLength(lead);
    if (s.size() < n)
        return 0;
    std::uint32_t cp = lead & (0x7F >> n);
    for (std::size_t i = 1; i < n; ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if ((c & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (c & 0x3F);
    }
    // Overlong forms, surrogates and code points past U+10FFFF are not text.
    if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    codePoint = cp;
    return n;
}

void appendUtf8(std::string &out, std::uint32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

void appendMarkupEscaped(std::string &out, char ch)
{
    const auto byte = static_cast<unsigned char>(ch);
    switch (ch) {
    case '&': out += "&amp;"; break;
    case '<': out += "&lt;"; break;
    case '>': out += "&gt;"; break;
    case '"': out += "&quot;"; break;
    case '\'': out += "&#39;"; break;
    case '\r': out += "&#xD;"; break;
    case '\n':
    case '\t': out += ch; break;
    default: out += byte < 0x20 || byte == 0x7F ? '?' : ch;
    }
}

} // namespace


std::string latin1ToBytes(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        std::uint32_t cp = 0;
        const std::size_t n = decodeUtf8(utf8.substr(pos), cp);
        if (n == 0) {
            out += utf8[pos++];
        } else if (cp <= 0xFF) {
            out += static_cast<char>(cp);
            pos += n;
        } else {
            out += utf8ToGbk(utf8.substr(pos, n));
            pos += n;
        }
    }
    return out;
}

std::string bytesToLatin1(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char ch : bytes)
        appendUtf8(out, static_cast<unsigned char>(ch));
    return out;
}

std::string xmlEscape(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (const char ch : text)
        appendMarkupEscaped(out, ch);
    return out;
}

std::string htmlEscape(std::string_view text)
{
    return xmlEscape(text);
}

std::string urlEncode(std::string_view text)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() * 3);
    for (const char ch : text) {
        const auto byte = static_cast<unsigned char>(ch);
        if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
            byte == '-' || byte == '_' || byte == '.' || byte == '~') {
            out += ch;
        } else {
            out += '%';
            out += hex[byte >> 4];
            out += hex[byte & 0x0F];
        }
    }
    return out;
}

} // namespace standin
