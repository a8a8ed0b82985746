#pragma once

#include <string_view>

namespace standin {

// The shipped accounts.txt, compiled in so the program works without it.
std::string_view defaultAccountsText();

} // namespace standin
