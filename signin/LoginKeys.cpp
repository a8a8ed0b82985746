#include "signin/LoginKeys.h"

#include <QtCore/qnamespace.h>

namespace signin {

KeyAction dialogKeyAction(int key, bool released, bool autoRepeat, bool dialogHasFocus)
{
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (!released) {
        if (enter)
            return autoRepeat ? KeyAction::Swallow : KeyAction::Login;
        return key == Qt::Key_Escape ? KeyAction::Cancel : KeyAction::PassOn;
    }
    if (autoRepeat || !dialogHasFocus)
        return KeyAction::PassOn;
    if (key == Qt::Key_Escape)
        return KeyAction::Cancel;
    return enter ? KeyAction::Login : KeyAction::PassOn;
}

} // namespace signin
