#include "signin/SignInRules.h"

#include "base/GbkText.h"

#include <cstring>

namespace signin {

namespace {

bool isLeadByte(unsigned char byte)
{
    return byte >= 0x81 && byte <= 0xFE;
}

} // namespace

CheckResult checkCredentials(std::string_view account, std::string_view password)
{
    if (account.empty() || account.size() > maxAccountBytes)
        return CheckResult::AccountLength;
    if (password.empty() || password.size() > maxPasswordBytes)
        return CheckResult::PasswordLength;
    return CheckResult::Accepted;
}

const char *checkPrompt(CheckResult result)
{
    switch (result) {
    case CheckResult::AccountLength: return accountLengthPrompt;
    case CheckResult::PasswordLength: return passwordLengthPrompt;
    case CheckResult::Accepted: break;
    }
    return "";
}

std::string cutCompany(std::string_view company)
{
    return std::string(company.substr(0, gbkPrefixLength(company, maxCompanyBytes)));
}

namespace {

// `utf8Format` in GBK with its "%s" replaced by as much of `text` (GBK) as
// fits in messageSize - 1 bytes.
std::string filledMessage(const char *utf8Format, std::string_view text)
{
    const std::string format = utf8ToGbk(utf8Format);
    const auto slot = format.find("%s");
    const std::string before = format.substr(0, slot);
    const std::string after = format.substr(slot + 2);
    const std::size_t room = messageSize - 1 - before.size() - after.size();
    return before + std::string(text.substr(0, gbkPrefixLength(text, room))) + after;
}

} // namespace

std::string expiryMessage(std::string_view date)
{
    return filledMessage(expiredMessage, date);
}

std::string certificateFailureMessage(std::string_view host)
{
    return filledMessage(certificateMessage, host);
}

AnswerOutcome interpretAnswer(const std::string *answer)
{
    const std::string_view a = answer ? std::string_view(*answer) : std::string_view();
    AnswerOutcome outcome;
    if (a.empty()) {
        outcome.message = utf8ToGbk(loginErrorMessage);
    } else if (a[0] == 'h') {
        outcome.isAddress = true;
    } else if (a[0] == '-') {
        const char code = a.size() > 1 ? a[1] : '\0';
        if (code == '1')
            outcome.message = expiryMessage(a.substr(2));
        else if (code == '4')
            outcome.message = utf8ToGbk(terminalRefusedMessage);
        // Any other code: the box is shown without text.
    } else if (a[0] == '0') {
        outcome.message = utf8ToGbk(wrongCredentialsMessage);
    } else {
        outcome.message = utf8ToGbk(loginErrorMessage);
    }
    return outcome;
}

bool storeStartAddress(std::string_view address, char *buffer, std::size_t size)
{
    if (!buffer || size == 0)
        return false;
    // The answer may hold NUL bytes; like the text it is, it ends at the first.
    address = address.substr(0, std::min(address.find('\0'), address.size()));
    const std::size_t length = std::min(address.size(), size - 1);
    std::memcpy(buffer, address.data(), length);
    buffer[length] = '\0';

    // Search by whole GBK characters so that a match never starts inside one.
    std::size_t pos = 0;
    while (pos + 3 <= length) {
        if (std::memcmp(buffer + pos, "ver", 3) == 0) {
            const std::size_t digits = pos + 4;
            const std::size_t versionLength = std::strlen(clientVersion);
            if (digits + versionLength < size) {
                std::memcpy(buffer + digits, clientVersion, versionLength);
                buffer[digits + versionLength] = '\0';
            }
            return true;
        }
        pos += (isLeadByte(static_cast<unsigned char>(buffer[pos])) && pos + 1 < length) ? 2 : 1;
    }
    return false;
}

} // namespace signin
