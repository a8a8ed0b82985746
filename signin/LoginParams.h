#pragma once

#include "signin/InFlightGuard.h"

#include <string>

// The texts of the login in flight (GBK) and the guard that allows only one
// login at a time. Written by the login command after it took the guard and
// before it starts the worker.
struct LoginParams
{
    std::string account;
    std::string password;
    std::string company;
    InFlightGuard inFlight;
};

extern LoginParams g_loginParams;
