#pragma once

#include <functional>
#include <string>

// Where a remembered password is kept instead of data.dat: the desktop's
// keyring. Texts are UTF-8. Every call answers exactly once, through its
// callback, on the thread that made the call and never within the call itself,
// so a dialog may ask and go on. Callbacks may be empty.
class PasswordKeyring
{
public:
    enum class Status {
        Done,        // looked up, stored or removed
        NotFound,    // a lookup found nothing for the account
        Unavailable, // no keyring this run: no bus, no service, refused, no answer in time
    };
    using LookupDone = std::function<void(Status, const std::string &password)>;
    using Done = std::function<void(Status)>;

    virtual ~PasswordKeyring() = default;

    // False once the keyring proved absent for this run; true before it was asked.
    virtual bool available() const = 0;
    virtual void lookup(const std::string &account, LookupDone done) = 0;
    // Replaces what is kept for the account.
    virtual void store(const std::string &account, const std::string &password, Done done) = 0;
    virtual void clear(const std::string &account, Done done) = 0;
};
