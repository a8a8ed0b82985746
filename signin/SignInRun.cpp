#include "signin/SignInRun.h"

#include "base/AuthPrompt.h"
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

namespace {

// Overwritten before the memory goes: a password leaves no copy behind.
void wipe(std::string &secret)
{
    for (volatile char &c : secret)
        c = 0;
    secret.clear();
}

} // namespace

KeptProxyAnswer::~KeptProxyAnswer()
{
    if (m_kept)
        wipe(m_kept->password);
}

std::optional<ProxySetting> KeptProxyAnswer::forProxy(const ProxySetting &proxy)
{
    std::lock_guard lock(m_mutex);
    if (m_kept && m_kept->host == proxy.host && m_kept->port == proxy.port)
        return m_kept;
    return std::nullopt;
}

void KeptProxyAnswer::keep(const ProxySetting &accepted)
{
    std::lock_guard lock(m_mutex);
    if (m_kept)
        wipe(m_kept->password);
    m_kept = accepted;
}

// A proxy that answers 407 gets the user's answer, asked on the dialog's
// thread while this login still holds the in-flight guard, and the call is
// made again with it; a refused answer is asked for again, a few times.
LoginService::Reply callAskingTheProxy(LoginService &service, LoginService::Call call, SignInRun &run)
{
    if (call.proxy && run.keptProxyAnswer) {
        if (std::optional<ProxySetting> kept = run.keptProxyAnswer->forProxy(*call.proxy)) {
            wipe(call.proxy->password);
            call.proxy = std::move(kept);
        }
    }
    LoginService::Reply reply = service.checkUserRegisterCode(call);
    bool answered = false;
    for (int refusals = 0; reply.failure == LoginService::Reply::Failure::ProxyAuthentication && call.proxy;) {
        if (run.isCancelled() || authprompt::next(false, refusals) != authprompt::Step::Ask)
            break;
        std::optional<ProxyAnswer> answer =
            run.m_host->askProxyCredentials({call.proxy->host, reply.proxyRealm, call.proxy->user});
        if (!answer)
            break;
        wipe(call.proxy->password);
        call.proxy->user = std::move(answer->user);
        call.proxy->password = std::move(answer->password);
        wipe(answer->password);
        call.proxyChallenge = reply.proxyChallenge;
        reply = service.checkUserRegisterCode(call);
        answered = true;
        ++refusals;
    }
    if (answered && reply.failure != LoginService::Reply::Failure::ProxyAuthentication && run.keptProxyAnswer)
        run.keptProxyAnswer->keep(*call.proxy);
    if (call.proxy)
        wipe(call.proxy->password);
    wipe(call.password);
    return reply;
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

    const LoginService::Reply reply = callAskingTheProxy(*service, std::move(call), *run);
    if (reply.failure == LoginService::Reply::Failure::ProxyAuthentication) {
        if (!run->isCancelled())
            run->m_host->showMessage(utf8ToGbk(signin::proxyCredentialsMessage));
        return;
    }
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
