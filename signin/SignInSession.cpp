#include "signin/SignInSession.h"

#include "base/GbkText.h"
#include "signin/LoginParams.h"
#include "signin/SessionLink.h"
#include "signin/SignInRun.h"
#include "signin/TsanHandOff.h"

#include <atomic>
#include <system_error>

namespace {

// Trivially destructible: a worker that outlives main() may still count down.
std::atomic<int> s_runningWorkers{0};

} // namespace

SignInSession::SignInSession(QObject *parent) : QObject(parent) {}

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

bool SignInSession::tryBegin()
{
    if (m_run && m_run->hasSucceeded())
        return false;
    return g_loginParams.inFlight.tryTake();
}

void SignInSession::abandon()
{
    g_loginParams.inFlight.release();
}

bool SignInSession::start(std::string company, std::string account, std::string password)
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
        [this] { emit finished(); });
    auto run = std::make_shared<SignInRun>(m_pStartUrl, link, std::move(company), std::move(account),
                                           std::move(password));
    run->endpoint = m_settings.endpoint;
    run->receiveTimeLimit = m_settings.receiveTimeLimit;
    run->proxy = m_settings.proxy;

    ++s_runningWorkers;
    try {
        m_hThread = std::thread([work = run]() mutable {
            LoginThreadProc(std::move(work));
            // The last thing the worker touches.
            --s_runningWorkers;
        });
    } catch (const std::system_error &) {
        --s_runningWorkers;
        link->detach();
        g_loginParams.inFlight.release();
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
