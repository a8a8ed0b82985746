#pragma once

#include <string>
#include <string_view>

// The sign-in works on GBK byte strings (lengths are GBK byte counts, the
// saved sign-in file is GBK); widgets and terminals speak UTF-8. Characters
// the target cannot hold become '?', as the platform's own conversion does.
std::string utf8ToGbk(std::string_view utf8);
std::string gbkToUtf8(std::string_view gbk);

// Converts between the given iconv code set and GBK, for text from a locale.
std::string convertText(std::string_view text, const char *fromCode, const char *toCode);

// Bytes of the UTF-8 sequence that starts with `lead` (1 for a stray byte).
std::size_t utf8SequenceLength(unsigned char lead);

// Length in bytes of the longest prefix of `gbk` that is at most `limit`
// bytes and does not end inside a double-byte character.
std::size_t gbkPrefixLength(std::string_view gbk, std::size_t limit);
