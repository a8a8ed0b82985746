#include "base/AuthPrompt.h"

namespace authprompt {

Prompt promptFor(int httpStatus)
{
    if (httpStatus == 407)
        return Prompt::Proxy;
    if (httpStatus == 401)
        return Prompt::Page;
    return Prompt::None;
}

Step next(bool kept, int refusals)
{
    // A password guessed again and again looks like an attack to the
    // company's firewall, and may lock the user's account.
    if (refusals >= maxRefusals)
        return Step::GiveUp;
    if (kept && refusals == 0)
        return Step::AnswerFromMemory;
    return Step::Ask;
}

} // namespace authprompt
