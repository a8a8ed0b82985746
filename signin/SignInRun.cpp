#include "signin/SignInRun.h"

#include "base/GbkText.h"
#include "base/LoginService.h"
#include "signin/SignInHost.h"
#include "signin/SignInRules.h"

#include <iostream>
#include <utility>

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

void LoginThreadProc(std::shared_ptr<SignInRun> run)
{
    LoginService *service = loginService();
    if (!service) {
        if (!run->isCancelled())
            run->m_host->showMessage(utf8ToGbk(signin::serviceMissingMessage));
        return;
    }
    // The texts were copied for this run when it started, so the call never
    // reads shared strings a later login (or the end of the process) changes.
    LoginService::Call call;
    call.endpoint = run->endpoint;
    call.receiveTimeLimit = run->receiveTimeLimit;
    call.proxy = run->proxy;
    call.trustedRoots = run->trustedRoots;
    call.company = run->m_company;
    call.account = run->m_account;
    call.password = run->m_password;

    const LoginService::Reply reply = service->checkUserRegisterCode(std::move(call));
    if (!reply.answered) {
        std::cerr << reply.fault;
        if (!run->isCancelled())
            run->m_host->showMessage(reply.failure == LoginService::Reply::Failure::Certificate
                                         ? signin::certificateFailureMessage(reply.host)
                                         : utf8ToGbk(signin::connectFailedMessage));
        return;
    }

    const std::string *answer = reply.result ? &*reply.result : nullptr;
    const signin::AnswerOutcome outcome = signin::interpretAnswer(answer);
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
            stamped = signin::storeStartAddress(*answer, run->m_startUrl, signin::startUrlSize);
        if (stamped)
            run->m_succeeded = true;
    }
    if (stamped)
        run->m_host->loginFinished();
    else if (!run->isCancelled())
        run->m_host->showMessage(utf8ToGbk(signin::versionErrorMessage));
}
