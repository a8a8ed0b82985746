#include "signin/SignInSession.h"

#include "base/GbkText.h"
#include "signin/InFlightGuard.h"
#include "signin/LoginParams.h"
#include "signin/SessionLink.h"
#include "signin/SignInRules.h"
#include "signin/SignInRun.h"
#include "signin/TsanHandOff.h"

#include <atomic>
#include <system_error>

namespace {

// Trivially destructible: a worker that outlives main() may still count down.
std::atomic<int> s_runningWorkers{0};

} // namespace

SignInSession::SignInSession(QObject *parent)
    : QObject(parent),
      m_inFlight(std::make_shared<InFlightGuard>()),
      m_keptProxyAnswer(std::make_shared<KeptProxyAnswer>())
{
}

SignInSession::~SignInSession()
{
    cancel();
    // Requests still queued are deleted with this object: after everything
    // their workers did before posting them.
    handoff::received();
}

void SignInSession::customEvent(QEvent *event)
{
    // Before anything of the event is read, its type included.
    handoff::received();
    if (event->type() != SessionLink::Event::eventType())
        return;
    static_cast<SessionLink::Event *>(event)->deliver();
}

void SignInSession::setSettings(const SignInSettings &settings)
{
    m_settings = settings;
}

void SignInSession::setStartUrlBuffer(char *buffer)
{
    m_pStartUrl = buffer;
}

int SignInSession::runningWorkers()
{
    return s_runningWorkers.load();
}

bool SignInSession::loginInFlight() const
{
    return m_inFlight->isTaken();
}

SignInSession::Outcome SignInSession::begin(const std::string &company, const std::string &account,
                                            const std::string &password)
{
    // Once a login has succeeded its completion is on its way: no other starts.
    if ((m_run && m_run->hasSucceeded()) || !m_inFlight->tryTake())
        return {Begun::InFlight};
    const signin::CheckResult check = signin::checkCredentials(account, password);
    if (check != signin::CheckResult::Accepted) {
        m_inFlight->release();
        return {Begun::Refused, signin::checkPrompt(check)};
    }
    g_loginParams.account = account;
    g_loginParams.password = password;
    g_loginParams.company = signin::cutCompany(company);
    const bool started = start();
    g_loginParams.clearTexts();
    if (!started) {
        m_inFlight->release();
        return {Begun::NoThread};
    }
    return {Begun::Started};
}

bool SignInSession::start()
{
    // The previous worker freed the guard as its very last step, so it is
    // ending, not waiting for anything.
    if (m_hThread.joinable())
        m_hThread.join();
    if (m_link)
        m_link->detach();

    auto link = std::make_shared<SessionLink>(
        this,
        [this](const std::string &gbkText) { emit messageRequested(QString::fromStdString(gbkToUtf8(gbkText))); },
        [this] { emit finished(); },
        [this](const ProxyQuestion &question) {
            return m_proxyPrompt ? m_proxyPrompt(question) : std::optional<ProxyAnswer>();
        });
    // The run's own copies: the worker never reads the shared texts.
    auto run = std::make_shared<SignInRun>(m_pStartUrl, link, g_loginParams.company, g_loginParams.account,
                                           g_loginParams.password);
    run->endpoint = m_settings.endpoint;
    run->receiveTimeLimit = m_settings.receiveTimeLimit;
    run->proxy = m_settings.proxy;
    run->trustedRoots = m_settings.trustedRoots;
    run->keptProxyAnswer = m_keptProxyAnswer;

    ++s_runningWorkers;
    try {
        m_hThread = std::thread([work = run, inFlight = m_inFlight]() mutable {
            LoginThreadProc(std::move(work));
            // The worker's last steps, after its completion was posted: the
            // guard is free, then the worker is no longer counted.
            inFlight->release();
            --s_runningWorkers;
        });
    } catch (const std::system_error &) {
        --s_runningWorkers;
        link->detach();
        return false;
    }
    m_run = std::move(run);
    m_link = std::move(link);
    return true;
}

void SignInSession::waitForWorker()
{
    if (m_hThread.joinable())
        m_hThread.join();
}

void SignInSession::cancel()
{
    if (m_link)
        m_link->detach();
    if (m_run)
        m_run->cancel();
    // A worker still waiting for the network ends on its own; it no longer
    // touches this session or the start address.
    if (m_hThread.joinable())
        m_hThread.detach();
}
