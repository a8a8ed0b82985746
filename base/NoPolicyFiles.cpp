#include "base/PolicySet.h"

// Where the build reads no policy files (the login service alone, for
// Windows): the environment and the built-in values decide.
const PolicySet &machinePolicies()
{
    static const PolicySet none;
    return none;
}
