#pragma once

#include <string>

// What the sign-in worker may ask of the user-interface side. Called on the
// worker thread; implementations hand the requests over to their own thread.
class SignInHost
{
public:
    virtual ~SignInHost() = default;

    // Shows `gbkText` in a message box owned by the login dialog and returns
    // when the user has closed it.
    virtual void showMessage(const std::string &gbkText) = 0;

    // Tells the dialog that the start address is in place.
    virtual void loginFinished() = 0;
};
