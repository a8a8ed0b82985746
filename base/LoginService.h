#pragma once

#include "base/ProxySetting.h"

#include <optional>
#include <string>
#include <vector>

// The sign-in's way to the platform: the login call, and the choice of proxy
// for it and for the pages. In the program it is a module, loaded from the
// program folder once the login dialog is on screen, so that the SOAP runtime,
// TLS and Qt Network stay off the launch path; tests and tools link it in.
class LoginService
{
public:
    struct Call
    {
        // Service address; empty keeps the service client's default.
        std::string endpoint;
        // Receive limit in seconds; 0 keeps the service client's own.
        int receiveTimeLimit = 0;
        // None means direct.
        std::optional<ProxySetting> proxy;
        // PEM files of roots an https service is trusted under, beside the
        // system's store (TrustedRootCertificates).
        std::vector<std::string> trustedRoots;
        std::string company;
        std::string account;
        std::string password;
        // The proxy's challenge the credentials in `proxy` answer (its
        // Proxy-Authenticate value from the last 407); empty sends Basic.
        std::string proxyChallenge;
    };

    struct Reply
    {
        enum class Failure { None, Network, Certificate, ProxyAuthentication };

        // False when the call failed: no answer, or not one of the service's.
        bool answered = false;
        // Why it failed, where that matters to the user: the network, a
        // certificate the client's trust does not hold, or the proxy's question.
        Failure failure = Failure::None;
        // ProxyAuthentication: the proxy (`Call::proxy`) wants a user name
        // and password, or refused the ones given; its challenge as its
        // Proxy-Authenticate header gave it, and the realm named there.
        std::string proxyChallenge;
        std::string proxyRealm;
        // The answer's CheckUserRegisterCodeResult, when it carried one.
        std::optional<std::string> result;
        // The runtime's fault report of a failed call, as it prints it.
        std::string fault;
        // The service's host, for the message of a failed call.
        std::string host;
    };

    virtual ~LoginService() = default;

    // One CheckUserRegisterCode call, on the calling thread. Taken by value:
    // the request points into its texts.
    virtual Reply checkUserRegisterCode(Call call) = 0;
    // The proxy a call to `address` goes through; none means direct.
    virtual std::optional<ProxySetting> proxyFor(const std::string &address) = 0;
    // Makes the pages take the way `choice` says.
    virtual void applyToPages(const std::optional<ProxySetting> &choice) = 0;
};

// The service the sign-in calls, from any thread; null when it cannot be had
// (the program then says why on stderr). Defined by the program, which loads
// the module, or by kelumo_service_linked where the service is linked in.
LoginService *loginService();

// The module's one exported function: extern "C" LoginService *
// kelumoLoginService(int version); null for another version.
using LoginServiceFunction = LoginService *(*)(int version);
inline constexpr int loginServiceVersion = 2;
