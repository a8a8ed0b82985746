#pragma once

#include <string>
#include <string_view>

namespace standin {

// The client puts GBK bytes on the wire as Latin-1 characters: byte B travels
// as the UTF-8 form of the code point of value B. These undo and redo that.
//
// latin1ToBytes: every code point <= 0xFF becomes that byte. A character above
// 0xFF (a caller that sends real UTF-8 text) becomes its GBK bytes, and a byte
// that is not valid UTF-8 is kept as it is, so raw GBK passes through too.
std::string latin1ToBytes(std::string_view utf8);
// bytesToLatin1: every byte becomes the UTF-8 form of the code point of its value.
std::string bytesToLatin1(std::string_view bytes);

// Text content for XML and HTML. CR is written as a reference so it survives
// the reader's line-end normalisation; other control characters are not
// allowed in XML 1.0 and become '?'.
std::string xmlEscape(std::string_view text);
std::string htmlEscape(std::string_view text);

// Percent-encodes everything but the unreserved characters of RFC 3986.
std::string urlEncode(std::string_view text);

} // namespace standin
