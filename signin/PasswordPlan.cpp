#include "signin/PasswordPlan.h"

namespace signin {

PasswordPlan passwordPlan(bool remember, bool keyringAvailable, bool savingAllowed)
{
    const KeyringAction removeKept = keyringAvailable ? KeyringAction::Remove : KeyringAction::None;
    if (!remember)
        return {SavedFile::Empty, removeKept, SavedFile::Empty};
    if (!savingAllowed)
        return {SavedFile::AccountOnly, removeKept, SavedFile::AccountOnly};
    if (!keyringAvailable)
        return {SavedFile::AccountAndPassword, KeyringAction::None, SavedFile::AccountAndPassword};
    return {SavedFile::AccountAndPassword, KeyringAction::Store, SavedFile::AccountOnly};
}

} // namespace signin
