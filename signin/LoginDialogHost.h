#pragma once

#include "SignInHost.h"

#include <condition_variable>
#include <memory>
#include <mutex>

class CLogin;

// Carries the worker's requests to the login dialog on the user-interface
// thread. Once the dialog detaches (it is ending), requests are dropped and a
// worker waiting for a message box to close is let go at once.
class LoginDialogHost final : public SignInHost, public std::enable_shared_from_this<LoginDialogHost>
{
public:
    explicit LoginDialogHost(CLogin *dialog);

    // User-interface thread: the dialog is ending.
    void detach();

    void showMessage(const std::string &gbkText) override;
    void loginFinished() override;

private:
    void boxClosed();

    std::mutex m_mutex;
    std::condition_variable m_closed;
    CLogin *m_dialog; // null once detached; guarded by m_mutex
    unsigned m_boxesClosed = 0;
};
