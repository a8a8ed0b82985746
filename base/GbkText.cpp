#include "base/GbkText.h"

#include <cerrno>
#include <iconv.h>

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
