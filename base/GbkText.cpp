#include "base/GbkText.h"

#include <algorithm>
#include <utility>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <cerrno>
#include <iconv.h>
#endif

namespace {

bool isUtf8(const char *code)
{
    std::string_view c(code);
    return c == "UTF-8" || c == "utf-8" || c == "UTF8";
}

} // namespace

std::size_t utf8SequenceLength(unsigned char lead)
{
    if (lead >= 0xF0)
        return 4;
    if (lead >= 0xE0)
        return 3;
    if (lead >= 0xC0)
        return 2;
    return 1;
}

#ifndef _WIN32
std::string convertText(std::string_view text, const char *fromCode, const char *toCode)
{
    std::string out;
    if (text.empty())
        return out;
    iconv_t cd = iconv_open(toCode, fromCode);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::string(text);

    const bool fromUtf8 = isUtf8(fromCode);
    out.reserve(text.size() * 2);
    char *in = const_cast<char *>(text.data());
    std::size_t inLeft = text.size();
    char buffer[256];
    while (inLeft > 0) {
        char *outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, sizeof buffer - outLeft);
        if (rc != static_cast<std::size_t>(-1))
            continue;
        if (errno == E2BIG)
            continue;
        // EILSEQ or EINVAL (a truncated sequence at the end): one '?' for the
        // character that cannot be converted, then go on after it.
        out += '?';
        std::size_t skip = fromUtf8 ? utf8SequenceLength(static_cast<unsigned char>(*in)) : 1;
        if (!fromUtf8 && static_cast<unsigned char>(*in) >= 0x81 && inLeft >= 2)
            skip = 2;
        if (skip > inLeft)
            skip = inLeft;
        in += skip;
        inLeft -= skip;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    return out;
}
#endif

#ifdef _WIN32
// Windows converts through its code pages: GBK is code page 936. One
// character at a time, so that each one the target cannot hold becomes one
// '?' (never a best-fit look-alike) and a bad sequence is skipped as iconv
// skips it.
namespace {

constexpr unsigned utf8CodePage = 65001;
constexpr char32_t invalid = 0xFFFFFFFF;

// 0 when the name is no code set this build knows.
unsigned codePageOf(const char *code)
{
    if (!code)
        return 0;
    if (isUtf8(code))
        return utf8CodePage;
    const std::string_view c(code);
    if (c == "GBK" || c == "gbk")
        return 936;
    if (c.size() > 2 && (c.substr(0, 2) == "CP" || c.substr(0, 2) == "cp")) {
        unsigned page = 0;
        for (const char d : c.substr(2)) {
            if (d < '0' || d > '9' || page > 100000)
                return 0;
            page = page * 10 + static_cast<unsigned>(d - '0');
        }
        return page == 65001 ? utf8CodePage : page;
    }
    return 0;
}

// Code page 936 gives GBK's user-defined areas characters of Unicode's
// private use area; iconv holds them for no characters at all.
bool isPrivateUse(char32_t c)
{
    return c >= 0xE000 && c <= 0xF8FF;
}

// The character at the start of `text`, and its length in bytes; `invalid`
// when the bytes there are no character of the code page.
std::pair<char32_t, std::size_t> decodeOne(std::string_view text, unsigned codePage)
{
    const auto lead = static_cast<unsigned char>(text[0]);
    if (codePage == utf8CodePage) {
        const std::size_t length = std::min(utf8SequenceLength(lead), text.size());
        if (lead < 0x80)
            return {lead, 1};
        if (lead < 0xC2 || lead > 0xF4 || length < utf8SequenceLength(lead))
            return {invalid, length};
        char32_t c = lead & (0x7F >> length);
        for (std::size_t i = 1; i < length; ++i) {
            const auto next = static_cast<unsigned char>(text[i]);
            if ((next & 0xC0) != 0x80)
                return {invalid, length};
            c = (c << 6) | (next & 0x3F);
        }
        const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (c < least[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            return {invalid, length};
        return {c, length};
    }
    const bool doubleByte = ::IsDBCSLeadByteEx(codePage, lead) && text.size() >= 2;
    const std::size_t length = doubleByte ? 2 : 1;
    wchar_t wide[2];
    const int n = ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(length),
                                        wide, 2);
    // A bad pair is skipped whole, as with iconv.
    if (n != 1 || isPrivateUse(wide[0]))
        return {invalid, (lead >= 0x81 && text.size() >= 2) ? std::size_t(2) : std::size_t(1)};
    return {static_cast<char32_t>(wide[0]), length};
}

void appendUtf8(std::string &out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

void appendEncoded(std::string &out, char32_t c, unsigned codePage)
{
    if (codePage == utf8CodePage) {
        appendUtf8(out, c);
        return;
    }
    if (isPrivateUse(c)) {
        out += '?';
        return;
    }
    wchar_t wide[2];
    int wideLength = 1;
    if (c >= 0x10000) {
        wide[0] = static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
        wide[1] = static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        wideLength = 2;
    } else {
        wide[0] = static_cast<wchar_t>(c);
    }
    char bytes[8];
    BOOL usedDefault = FALSE;
    const int n = ::WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide, wideLength, bytes, sizeof bytes,
                                        nullptr, &usedDefault);
    if (n <= 0 || usedDefault)
        out += '?';
    else
        out.append(bytes, static_cast<std::size_t>(n));
}

} // namespace

std::string convertText(std::string_view text, const char *fromCode, const char *toCode)
{
    const unsigned from = codePageOf(fromCode);
    const unsigned to = codePageOf(toCode);
    if (text.empty() || !from || !to)
        return std::string(text);
    std::string out;
    out.reserve(text.size() * 2);
    while (!text.empty()) {
        const auto [c, length] = decodeOne(text, from);
        if (c == invalid)
            out += '?';
        else
            appendEncoded(out, c, to);
        text.remove_prefix(length);
    }
    return out;
}
#endif

std::string utf8ToGbk(std::string_view utf8)
{
    return convertText(utf8, "UTF-8", "GBK");
}

std::string gbkToUtf8(std::string_view gbk)
{
    return convertText(gbk, "GBK", "UTF-8");
}

std::size_t gbkPrefixLength(std::string_view gbk, std::size_t limit)
{
    std::size_t pos = 0;
    while (pos < gbk.size()) {
        const auto lead = static_cast<unsigned char>(gbk[pos]);
        const std::size_t width = (lead >= 0x81 && lead <= 0xFE && pos + 1 < gbk.size()) ? 2 : 1;
        if (pos + width > limit)
            break;
        pos += width;
    }
    return pos;
}
