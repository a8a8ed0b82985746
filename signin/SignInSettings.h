#pragma once

#include "base/ProxySetting.h"

#include <optional>
#include <string>
#include <vector>

// What a sign-in needs from outside the dialog: where the service and the
// help pages are, and how long a call may wait. Read once at start-up and
// handed to the dialog, so that nothing in the sign-in looks it up itself.
struct SignInSettings
{
    // Login service address; empty keeps the service client's default.
    std::string endpoint;
    // Base address of the platform's public web site, without a trailing '/'.
    std::string site;
    // Receive limit of a call in seconds; 0 keeps the service client's own.
    int receiveTimeLimit = 0;
    // The proxy the call goes through; none means direct. Decided by the
    // program, which sends the pages the same way.
    std::optional<ProxySetting> proxy;
    // PEM files of roots an https service is trusted under, beside the
    // system's store (TrustedRootCertificates).
    std::vector<std::string> trustedRoots;
    // Passwords may be remembered at all; an administrator's policy may say no.
    bool passwordSavingAllowed = true;

    // The addresses built into the program.
    static SignInSettings builtIn();
    // KELUMO_LOGIN_ENDPOINT and KELUMO_SITE when set and not empty, else the
    // built-in addresses.
    static SignInSettings fromEnvironment();
};
