#include "signin/LoginParams.h"

#include <algorithm>

LoginParams g_loginParams;

namespace {

void wipe(std::string &text)
{
    // The whole capacity: a shorter text may have left a longer one's tail.
    text.resize(text.capacity());
    std::fill(text.begin(), text.end(), '\0');
    text.clear();
}

} // namespace

void LoginParams::clearTexts()
{
    wipe(account);
    wipe(password);
    wipe(company);
}
