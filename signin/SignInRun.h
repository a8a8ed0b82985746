#pragma once

#include "base/LoginService.h"
#include "base/ProxySetting.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class SignInHost;
struct ProxyAnswer;

// The proxy's user name and password as the user gave them and the proxy took
// them, for the next logins of the same dialog: asked once per run. Shared by
// the session and its runs; wiped when it goes.
class KeptProxyAnswer final
{
public:
    ~KeptProxyAnswer();
    // The answer kept for this proxy, if any.
    std::optional<ProxySetting> forProxy(const ProxySetting &proxy);
    void keep(const ProxySetting &accepted);

private:
    std::mutex m_mutex;
    std::optional<ProxySetting> m_kept;
};

// One started login, shared by the sign-in session and its worker; whichever
// ends last frees it. The session cancels it when the dialog ends first: from
// then on the worker neither calls the host nor writes the start address.
class SignInRun final
{
public:
    SignInRun(char *startUrl, std::shared_ptr<SignInHost> host, std::string company, std::string account,
              std::string password);

    void cancel();
    bool isCancelled() const { return m_cancelled.load(); }
    // Set by the worker once the start address is stored, before it says so.
    bool hasSucceeded() const { return m_succeeded.load(); }

    // Service address for this run; empty means the proxy's default.
    std::string endpoint;
    // Receive limit in seconds for this run; 0 keeps the proxy's own.
    int receiveTimeLimit = 0;
    // The proxy this run's call goes through; none means direct.
    std::optional<ProxySetting> proxy;
    // PEM files of roots trusted beside the system's store.
    std::vector<std::string> trustedRoots;
    // What an earlier login of the same dialog was told for it; may be null.
    std::shared_ptr<KeptProxyAnswer> keptProxyAnswer;

private:
    friend void LoginThreadProc(std::shared_ptr<SignInRun> run);
    friend LoginService::Reply callAskingTheProxy(LoginService &service, LoginService::Call call, SignInRun &run);

    std::mutex m_mutex; // orders cancel() against writing the start address
    std::atomic<bool> m_cancelled{false};
    std::atomic<bool> m_succeeded{false};
    char *m_startUrl;
    std::shared_ptr<SignInHost> m_host;
    std::string m_company;
    std::string m_account;
    std::string m_password;
};

// The sign-in worker: one service call, its answer turned into a start address
// or a message. The session that started it frees the in-flight guard when it
// returns.
void LoginThreadProc(std::shared_ptr<SignInRun> run);
