#pragma once

#include <optional>
#include <string>

// A proxy's question for its user name and password, and the user's answer
// (UTF-8; the proxy's header carries them as bytes). Kept in memory only.
struct ProxyQuestion
{
    std::string proxyHost;
    std::string realm;
    // The user name the proxy refused, offered again; empty the first time.
    std::string previousUser;
};

struct ProxyAnswer
{
    std::string user;
    std::string password;
};

// What the sign-in worker may ask of the user-interface side. Called on the
// worker thread; implementations hand the requests over to their own thread.
class SignInHost
{
public:
    virtual ~SignInHost() = default;

    // Shows `gbkText` in a message box owned by the login dialog and returns
    // when the user has closed it.
    virtual void showMessage(const std::string &gbkText) = 0;

    // Asks the user for the proxy's user name and password, in a dialog owned
    // by the login dialog, and returns the answer once it is closed; none when
    // the user cancelled (or nobody is there to ask).
    virtual std::optional<ProxyAnswer> askProxyCredentials(const ProxyQuestion &question) = 0;

    // Tells the dialog that the start address is in place.
    virtual void loginFinished() = 0;
};
