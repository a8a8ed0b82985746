#include "signin/SignInRun.h"

#include "service/CheckUserLoginSoapProxy.h"
#include "base/GbkText.h"
#include "signin/LoginParams.h"
#include "signin/SignInHost.h"
#include "signin/SignInRules.h"

#include <iostream>

SignInRun::SignInRun(char *startUrl, std::shared_ptr<SignInHost> host, std::string company, std::string account,
                     std::string password)
    : m_startUrl(startUrl),
      m_host(std::move(host)),
      m_company(std::move(company)),
      m_account(std::move(account)),
      m_password(std::move(password))
{
}

void SignInRun::cancel()
{
    std::lock_guard lock(m_mutex);
    m_cancelled = true;
}

namespace {

// Releases the guard however the worker leaves.
struct GuardRelease
{
    ~GuardRelease() { g_loginParams.inFlight.release(); }
};

} // namespace

void LoginThreadProc(std::shared_ptr<SignInRun> run)
{
    GuardRelease release;
    // The texts were copied for this run when it started, so the call never
    // reads shared strings a later login (or the end of the process) changes.
    CheckUserLoginSoapProxy proxy;
    if (!run->endpoint.empty())
        proxy.endpoint = run->endpoint.c_str();
    if (run->receiveTimeLimit > 0)
        proxy.recv_timeout = run->receiveTimeLimit;
    if (run->proxy)
        proxy.useProxy(*run->proxy);

    _ns1__CheckUserRegisterCode request;
    _ns1__CheckUserRegisterCodeResponse response;
    request.EntName = &run->m_company;
    request.strLoginId = &run->m_account;
    request.strPwd = &run->m_password;

    if (proxy.CheckUserRegisterCode(&request, &response) != SOAP_OK) {
        proxy.stream_fault(std::cerr);
        if (!run->isCancelled())
            run->m_host->showMessage(utf8ToGbk(signin::connectFailedMessage));
        return;
    }

    const signin::AnswerOutcome outcome = signin::interpretAnswer(response.CheckUserRegisterCodeResult);
    if (!outcome.isAddress) {
        if (!run->isCancelled())
            run->m_host->showMessage(outcome.message);
        return;
    }

    bool stamped = true;
    {
        std::lock_guard lock(run->m_mutex);
        if (run->isCancelled())
            return;
        if (run->m_startUrl)
            stamped = signin::storeStartAddress(*response.CheckUserRegisterCodeResult, run->m_startUrl,
                                                signin::startUrlSize);
        if (stamped)
            run->m_succeeded = true;
    }
    if (stamped)
        run->m_host->loginFinished();
    else if (!run->isCancelled())
        run->m_host->showMessage(utf8ToGbk(signin::versionErrorMessage));
}
