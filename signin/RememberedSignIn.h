#pragma once

#include "signin/PasswordPlan.h"

#include <QString>

#include <functional>
#include <memory>
#include <string>

class PasswordKeyring;

// The remembered sign-in across data.dat and the keyring, on the
// user-interface thread. Accounts and passwords are GBK, as the dialog's
// fields give them and data.dat holds them; the keyring gets UTF-8.
class RememberedSignIn final
{
public:
    // Not owned; it outlives every answer it gives (null: data.dat alone).
    void setKeyring(PasswordKeyring *keyring);
    PasswordKeyring *keyring() const { return m_keyring; }
    // Passwords may be remembered at all (true unless an administrator says otherwise).
    void setSavingAllowed(bool allowed);

    // At the login command: data.dat at `path` at once, the keyring after it
    // (see passwordPlan()). Answers that come after a later save change nothing.
    void save(const QString &path, const std::string &account, const std::string &password, bool remember);

    // Asks the keyring for the account's password; `found` gets it (GBK) when
    // the keyring has one. Nothing is asked without a keyring.
    void lookUp(const std::string &account, std::function<void(const std::string &password)> found);

    // Takes the account's password out of the keyring, if one is there.
    void forget(const std::string &account);

    static void write(const QString &path, signin::SavedFile what, const std::string &account,
                      const std::string &password);

private:
    PasswordKeyring *m_keyring = nullptr;
    bool m_savingAllowed = true;
    // Counts the saves; shared with the answers still to come, which may
    // arrive after the dialog that saved is gone.
    std::shared_ptr<unsigned> m_saves = std::make_shared<unsigned>(0);
};
