#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace standin {

// One line of the accounts file. All text is UTF-8.
struct Account {
    std::string name;
    std::string password;
    std::string answer; // "start", or literal text that may contain {base}
    std::chrono::milliseconds delay{0};
};

struct AccountsProblem {
    int line = 0;
    std::string message;
};

struct AccountsFile {
    std::vector<Account> accounts;
    std::vector<AccountsProblem> problems; // lines that were skipped, and why
};

// Reads the accounts file format (see accounts.txt). A bad line is skipped
// and reported rather than refusing the whole file: a typo in one test
// account should not take the others down.
AccountsFile parseAccounts(std::string_view text);

// Hand the {base} placeholder on: this server's own http://127.0.0.1:PORT.
std::string startAddress(std::string_view base, std::string_view account);

struct Answer {
    std::string text; // UTF-8, before the Latin-1 encoding for the wire
    std::chrono::milliseconds delay{0};
    bool known = false; // account and password matched a line
};

// What the service answers for these credentials: the account's answer, or
// "0" when the account is unknown or the password is wrong.
Answer chooseAnswer(const std::vector<Account> &accounts, std::string_view account,
                    std::string_view password, std::string_view base);

} // namespace standin
