#pragma once

// What closes a page's window.
enum class CloseCause {
    User,       // the title bar's close button, Alt+F4, the window menu, the close command
    PageAsked,  // the page agreed to go (its beforeunload ran) or called window.close()
    SessionEnd, // the desktop's session is ending (logout)
    ProgramEnd, // the program is quitting after its main window went
};

enum class CloseStep {
    AskPage,  // keep the window; let the page run its beforeunload first
    CloseNow, // let the window go
};

// What a close of `cause` does to a window whose page has `pageAgreed` to go.
CloseStep closeStep(CloseCause cause, bool pageAgreed);

// How long the page may take to answer before its window goes anyway, in
// milliseconds; 0 waits for the user as long as it takes.
int closeTimeLimitMs(CloseCause cause);
