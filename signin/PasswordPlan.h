#pragma once

// What a login command does with a remembered password: what data.dat holds
// at once, what the keyring is asked to do, and what data.dat holds once the
// keyring has confirmed a store. data.dat gets the password first and loses
// it only after the keyring holds it, so a keyring that fails, refuses or
// never answers leaves the password where it always was. A password an
// earlier client left in data.dat moves the same way at the next login.
namespace signin {

enum class SavedFile {
    Empty,              // not remembered: a file of 0 bytes
    AccountOnly,        // the account, CR LF, nothing after
    AccountAndPassword, // as earlier clients write it
};

enum class KeyringAction { None, Store, Remove };

struct PasswordPlan
{
    SavedFile now = SavedFile::Empty;
    KeyringAction keyring = KeyringAction::None;
    // Written once the keyring confirmed the store; with no store, `now` stays.
    SavedFile onceStored = SavedFile::Empty;

    bool operator==(const PasswordPlan &) const = default;
};

// `keyringAvailable`: not proved absent this run. `savingAllowed`: passwords
// may be remembered at all (an administrator may forbid it); when not, the
// account alone is remembered and any kept password removed.
PasswordPlan passwordPlan(bool remember, bool keyringAvailable, bool savingAllowed = true);

} // namespace signin
