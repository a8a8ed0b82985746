#pragma once

// When the client asks for a user name and password, and when it stops
// asking: for a proxy that answers 407 (to the login call or to the pages)
// and for a page that answers 401. Plain decisions; the sign-in and the view
// ask here.
namespace authprompt {

// Refused answers in a row after which the client stops asking.
inline constexpr int maxRefusals = 3;

enum class Prompt {
    None,  // not a question for the user
    Proxy, // the proxy's dialog, naming the proxy
    Page,  // the page's dialog, naming the host and the realm
};

// The dialog an HTTP status asks with.
Prompt promptFor(int httpStatus);

enum class Step {
    AnswerFromMemory, // this run's answer for the same proxy, or host and realm
    Ask,              // the dialog, with the last user name filled in
    GiveUp,           // no dialog: the proxy's message, or the server's own page
};

// What a challenge gets: `kept` when this run holds an answer for it, which
// `refusals` (answers refused in a row, that one's included) says whether to
// trust again.
Step next(bool kept, int refusals);

} // namespace authprompt
