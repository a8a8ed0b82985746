#include "browser/view/ClosePolicy.h"

CloseStep closeStep(CloseCause cause, bool pageAgreed)
{
    if (pageAgreed)
        return CloseStep::CloseNow;
    switch (cause) {
    case CloseCause::User:
    case CloseCause::SessionEnd:
        return CloseStep::AskPage;
    case CloseCause::PageAsked:
    case CloseCause::ProgramEnd:
        return CloseStep::CloseNow;
    }
    return CloseStep::CloseNow;
}

int closeTimeLimitMs(CloseCause cause)
{
    // A logout waits for nobody for long: a page that never answers, or a
    // prompt nobody reads, must not hold the desktop's session up.
    return cause == CloseCause::SessionEnd ? 3000 : 0;
}
