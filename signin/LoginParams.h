#pragma once

#include <string>

// The texts of the login being started (GBK). Written by the login command
// after it took the in-flight guard, and cleared again as soon as the run has
// its own copies, so that no password stays here for the life of the program.
// The guard itself belongs to the sign-in session.
struct LoginParams
{
    std::string account;
    std::string password;
    std::string company;

    // Overwrites the texts before emptying them: their bytes are gone, not
    // merely unused.
    void clearTexts();
};

extern LoginParams g_loginParams;
