#pragma once

#include "signin/SignInHost.h"
#include "signin/SignInSettings.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

class InFlightGuard;
class KeptProxyAnswer;
class SessionLink;
class SignInRun;

// The owner of the sign-in: the in-flight guard, the worker thread, the run
// it works for and the hand-off of its requests to the user-interface thread.
// Lives on that thread. Each run has a link of its own: a request or a
// completion of a run that is no longer current, or was cancelled, is
// dropped, so a cancel never turns into OK, and this thread never waits for a
// worker that may be waiting for it.
class SignInSession final : public QObject
{
    Q_OBJECT

public:
    explicit SignInSession(QObject *parent = nullptr);
    ~SignInSession() override;

    void setSettings(const SignInSettings &settings);
    // The application's 500-byte start-address buffer; the worker writes it.
    void setStartUrlBuffer(char *buffer);
    // Who asks the user for a proxy's user name and password, on this
    // thread; without one the question is answered by a cancel.
    using ProxyPrompt = std::function<std::optional<ProxyAnswer>(const ProxyQuestion &question)>;
    void setProxyPrompt(ProxyPrompt prompt) { m_proxyPrompt = std::move(prompt); }

    // What the login command came to.
    enum class Begun {
        InFlight,  // a login is in flight, or has succeeded: nothing happened
        Refused,   // the texts failed the checks; `prompt` says why
        NoThread,  // no worker could be made; the guard is free again
        Started,   // the worker runs and the guard is its until it ends
    };
    struct Outcome
    {
        Begun begun = Begun::InFlight;
        const char *prompt = ""; // UTF-8, for Refused
    };

    // The login command for these texts (GBK): takes the in-flight guard,
    // checks the texts, puts them in g_loginParams, starts the worker on the
    // run's own copies and clears them there again.
    Outcome begin(const std::string &company, const std::string &account, const std::string &password);
    // Whether a login holds the in-flight guard.
    bool loginInFlight() const;
    // The current run has finished: waits for its worker, which posted the
    // completion as its last word and only frees the guard after it.
    void waitForWorker();
    // The dialog ends without OK: the run is told, its requests are dropped
    // and its worker, if any, is left to end on its own.
    void cancel();

    // Workers that have not yet ended, in any session; the process must not
    // tear down what they use while there are any.
    static int runningWorkers();

signals:
    // The worker asks to show a message; returns when the box is closed.
    void messageRequested(const QString &text);
    // The current run stored the start address.
    void finished();

protected:
    // The worker's requests arrive here, posted by its link.
    void customEvent(QEvent *event) override;

private:
    bool start();

    SignInSettings m_settings;
    // Shared with the worker, which may outlive this session after a cancel.
    std::shared_ptr<InFlightGuard> m_inFlight;
    char *m_pStartUrl = nullptr;
    ProxyPrompt m_proxyPrompt;
    // The proxy's answer of this dialog's logins, for the next ones.
    std::shared_ptr<KeptProxyAnswer> m_keptProxyAnswer;
    std::thread m_hThread;
    std::shared_ptr<SignInRun> m_run;
    std::shared_ptr<SessionLink> m_link;
};
