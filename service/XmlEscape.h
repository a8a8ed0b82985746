#pragma once

#include <string>
#include <string_view>

// Escapes narrow text for the request as the service has always received it:
// & < > CR LF as references, every byte 0x80..0xFF as the UTF-8 form of the
// code point of the same value (so GBK bytes travel as Latin-1 characters),
// everything else unchanged.
void appendEscapedText(std::string &out, std::string_view text);

// The same for attribute values: also " and TAB are escaped, > is not.
void appendEscapedAttribute(std::string &out, std::string_view text);
