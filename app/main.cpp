#include "app/CCorvaneApp.h"
#include "signin/SignInSession.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    const int code = theApp.Run(argc, argv);
    // A sign-in worker left behind by a cancel may still wait for the network:
    // end now, without tearing down under it what it still uses.
    if (SignInSession::runningWorkers() > 0) {
        std::fflush(nullptr);
        std::_Exit(code);
    }
    return code;
}
