#pragma once

#include <QString>

class LoginService;

// Loads the login service module from the program folder the first time the
// service is asked for, on whichever thread asks first; the program asks right
// after the login dialog's first paint. Defines loginService().
class LoginServiceLoader final
{
public:
    // Before the first loginService(): the module's file, in the program folder.
    static void setModulePath(const QString &path);
    // The service, loading it if needed; null when the module cannot be
    // loaded (said once on stderr).
    static LoginService *service();

    LoginServiceLoader() = delete;
};
