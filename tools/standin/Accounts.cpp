#include "tools/standin/Accounts.h"

#include "tools/standin/StandinText.h"

#include <algorithm>
#include <charconv>

namespace standin {

namespace {

// The longest delay a line may ask for; longer would only look like a hang.
constexpr long kMaxDelayMs = 10 * 60 * 1000;

std::string_view trimSpaces(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

std::vector<std::string_view> split(std::string_view s, char separator)
{
    std::vector<std::string_view> parts;
    while (true) {
        const std::size_t at = s.find(separator);
        parts.push_back(s.substr(0, at));
        if (at == std::string_view::npos)
            return parts;
        s.remove_prefix(at + 1);
    }
}

// A TAB-separated line is taken verbatim, so any password can be written;
// otherwise fields are separated by '|' with the spaces around it ignored,
// which also keeps a line whose empty answer lost its trailing space.
std::vector<std::string_view> splitFields(std::string_view line)
{
    if (line.find('\t') != std::string_view::npos)
        return split(line, '\t');
    std::vector<std::string_view> fields = split(line, '|');
    for (auto &field : fields)
        field = trimSpaces(field);
    return fields;
}

// The optional fourth field: space-separated key=value settings.
bool parseOptions(std::string_view text, Account &account, std::string &error)
{
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = std::min(text.find(' ', pos), text.size());
        const std::string_view item = text.substr(pos, end - pos);
        pos = end + 1;
        if (item.empty())
            continue;
        if (item.rfind("delay=", 0) != 0) {
            error = "unknown setting \"" + std::string(item) + "\" (known: delay=MILLISECONDS)";
            return false;
        }
        const std::string_view value = item.substr(6);
        long ms = -1;
        const auto [parsedEnd, ec] = std::from_chars(value.data(), value.data() + value.size(), ms);
        if (ec != std::errc() || parsedEnd != value.data() + value.size() || ms < 0 || ms > kMaxDelayMs) {
            error = "delay must be a number of milliseconds from 0 to " + std::to_string(kMaxDelayMs);
            return false;
        }
        account.delay = std::chrono::milliseconds(ms);
    }
    return true;
}

} // namespace

AccountsFile parseAccounts(std::string_view text)
{
    AccountsFile file;
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);

    std::vector<int> definedOn; // line of each accepted account, for duplicate reports
    int lineNo = 0;
    for (std::string_view line : split(text, '\n')) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        const std::string_view trimmed = trimSpaces(line);
        if (trimmed.empty() || trimmed.front() == '#')
            continue;

        const auto fields = splitFields(line);
        auto problem = [&](std::string message) { file.problems.push_back({lineNo, std::move(message)}); };
        if (fields.size() < 3 || fields.size() > 4) {
            problem("expected \"account | password | answer\" and optionally \"| delay=MS\", found " +
                    std::to_string(fields.size()) + " field(s)");
            continue;
        }
        Account account{std::string(fields[0]), std::string(fields[1]), std::string(fields[2]), {}};
        if (account.name.empty()) {
            problem("the account name is empty");
            continue;
        }
        std::string error;
        if (fields.size() == 4 && !parseOptions(fields[3], account, error)) {
            problem(error);
            continue;
        }
        bool duplicate = false;
        for (std::size_t i = 0; i < file.accounts.size() && !duplicate; ++i) {
            if (file.accounts[i].name == account.name) {
                problem("account \"" + account.name + "\" is already defined on line " +
                        std::to_string(definedOn[i]) + "; this line is ignored");
                duplicate = true;
            }
        }
        if (duplicate)
            continue;
        file.accounts.push_back(std::move(account));
        definedOn.push_back(lineNo);
    }
    return file;
}

std::string startAddress(std::string_view base, std::string_view account)
{
    return std::string(base) + "/start?user=" + urlEncode(account) + "&ver=100&lang=cn";
}

Answer chooseAnswer(const std::vector<Account> &accounts, std::string_view account,
                    std::string_view password, std::string_view base)
{
    for (const Account &entry : accounts) {
        if (entry.name != account)
            continue;
        if (entry.password != password)
            break;
        if (entry.answer == "start")
            return {startAddress(base, entry.name), entry.delay, true};
        std::string text = entry.answer;
        static constexpr std::string_view placeholder = "{base}";
        for (std::size_t at = text.find(placeholder); at != std::string::npos;
             at = text.find(placeholder, at + base.size()))
            text.replace(at, placeholder.size(), base);
        return {std::move(text), entry.delay, true};
    }
    return {"0", std::chrono::milliseconds(0), false};
}

} // namespace standin
