// The stand-in's reading of a login request, and the whole answer it builds.

#include "tools/standin/Accounts.h"
#include "tools/standin/DefaultAccounts.h"
#include "tools/standin/LoginService.h"

#include <cstdint>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const std::vector<standin::Account> accounts =
        standin::parseAccounts(standin::defaultAccountsText()).accounts;
    const std::string_view body(reinterpret_cast<const char *>(data), size);

    const standin::DecodedRequest decoded = standin::decodeLoginRequest(body);
    if (decoded.ok != decoded.fault.empty())
        __builtin_trap();

    const standin::LoginOutcome outcome = standin::answerLogin(body, accounts, "http://127.0.0.1:8080");
    if (outcome.reply.status != 200 && outcome.reply.status != 400 && outcome.reply.status != 500)
        __builtin_trap();
    return 0;
}
