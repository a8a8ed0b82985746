#include "service/XmlEscape.h"

namespace {

void appendEscaped(std::string &out, std::string_view text, bool attribute)
{
    out.reserve(out.size() + text.size());
    for (const char ch : text) {
        const auto byte = static_cast<unsigned char>(ch);
        switch (byte) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>':
            if (attribute)
                out += '>';
            else
                out += "&gt;";
            break;
        case '\r': out += "&#xD;"; break;
        case '\n': out += "&#xA;"; break;
        case '\t':
            if (attribute)
                out += "&#x9;";
            else
                out += '\t';
            break;
        case '"':
            if (attribute)
                out += "&quot;";
            else
                out += '"';
            break;
        default:
            if (byte >= 0x80) {
                out += static_cast<char>(0xC0 | (byte >> 6));
                out += static_cast<char>(0x80 | (byte & 0x3F));
            } else {
                out += ch;
            }
        }
    }
}

} // namespace

void appendEscapedText(std::string &out, std::string_view text)
{
    appendEscaped(out, text, false);
}

void appendEscapedAttribute(std::string &out, std::string_view text)
{
    appendEscaped(out, text, true);
}
