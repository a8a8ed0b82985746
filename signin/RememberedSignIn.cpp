#include "signin/RememberedSignIn.h"

#include "base/GbkText.h"
#include "signin/PasswordKeyring.h"
#include "signin/SignInFile.h"

#include <utility>

using signin::KeyringAction;
using signin::SavedFile;

void RememberedSignIn::setKeyring(PasswordKeyring *keyring)
{
    m_keyring = keyring;
}

void RememberedSignIn::setSavingAllowed(bool allowed)
{
    m_savingAllowed = allowed;
}

void RememberedSignIn::write(const QString &path, SavedFile what, const std::string &account,
                             const std::string &password)
{
    switch (what) {
    case SavedFile::Empty:
        SignInFile::save(path, {}, {}, false);
        break;
    case SavedFile::AccountOnly:
        SignInFile::save(path, account, {}, true);
        break;
    case SavedFile::AccountAndPassword:
        SignInFile::save(path, account, password, true);
        break;
    }
}

void RememberedSignIn::save(const QString &path, const std::string &account, const std::string &password,
                            bool remember)
{
    const bool keyringAvailable = m_keyring && m_keyring->available();
    const signin::PasswordPlan plan = signin::passwordPlan(remember, keyringAvailable, m_savingAllowed);
    write(path, plan.now, account, password);
    const unsigned save = ++*m_saves;
    switch (plan.keyring) {
    case KeyringAction::None:
        break;
    case KeyringAction::Remove:
        m_keyring->clear(gbkToUtf8(account), {});
        break;
    case KeyringAction::Store:
        m_keyring->store(gbkToUtf8(account), gbkToUtf8(password),
                         [saves = m_saves, save, path, account, then = plan.onceStored](auto status) {
                             // A later login saved since: its own answer decides.
                             if (status == PasswordKeyring::Status::Done && *saves == save)
                                 write(path, then, account, {});
                         });
        break;
    }
}

void RememberedSignIn::forget(const std::string &account)
{
    if (m_keyring)
        m_keyring->clear(gbkToUtf8(account), {});
}

void RememberedSignIn::lookUp(const std::string &account, std::function<void(const std::string &)> found)
{
    if (!m_keyring || !m_savingAllowed)
        return;
    m_keyring->lookup(gbkToUtf8(account), [found = std::move(found)](auto status, const std::string &password) {
        if (status == PasswordKeyring::Status::Done && found)
            found(utf8ToGbk(password));
    });
}
