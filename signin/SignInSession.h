#pragma once

#include "signin/SignInSettings.h"

#include <QObject>
#include <QString>

#include <memory>
#include <string>
#include <thread>

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

    // Takes the in-flight guard. Fails while a login is in flight, and once a
    // login has succeeded (its completion is on its way).
    bool tryBegin();
    // The texts were refused: frees the guard again.
    void abandon();
    // Starts the worker for these texts (GBK); the guard is its to free. False
    // when no thread could be made; the guard is free again then.
    bool start(std::string company, std::string account, std::string password);
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
    SignInSettings m_settings;
    char *m_pStartUrl = nullptr;
    std::thread m_hThread;
    std::shared_ptr<SignInRun> m_run;
    std::shared_ptr<SessionLink> m_link;
};
