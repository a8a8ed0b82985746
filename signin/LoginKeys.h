#pragma once

// What Enter and Escape do on the login dialog. A press acts wherever the
// focus is (a control passes these keys on to the dialog); a release acts only
// when it reaches the dialog window itself, no control having the focus. So
// on the dialog a press and its release both give the command: the in-flight
// guard lets only one login through, and a second cancel finds the dialog
// ended.
namespace signin {

enum class KeyAction {
    PassOn,  // not the dialog's key: the base dialog handles it
    Swallow, // the dialog's key, with nothing to do (an auto-repeated Enter)
    Login,
    Cancel,
};

// `key` is a Qt::Key.
KeyAction dialogKeyAction(int key, bool released, bool autoRepeat, bool dialogHasFocus);

} // namespace signin
