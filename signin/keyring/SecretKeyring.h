#pragma once

#include "signin/PasswordKeyring.h"

#include <QObject>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

typedef struct _GCancellable GCancellable;
struct SecretLibrary;

// The desktop's keyring through the Secret Service (libsecret), one item per
// account labelled "Kelumo大数据 账号 <account>". The calls are libsecret's
// blocking ones, made one after another on a worker thread of this object's
// own, so the dialog's thread never waits, whatever event dispatcher Qt uses;
// answers come back with a queued call. A call that takes longer than the
// time-out is cancelled, and the keyring counts as absent for the rest of the
// run, as it does after the first failure to reach it (said once in the trace).
class SecretKeyring final : public QObject, public PasswordKeyring
{
    Q_OBJECT

public:
    explicit SecretKeyring(std::chrono::milliseconds timeout = std::chrono::seconds(2));
    // Cancels the call under way and drops those waiting, unanswered.
    ~SecretKeyring() override;

    bool available() const override;
    void lookup(const std::string &account, LookupDone done) override;
    void store(const std::string &account, const std::string &password, Done done) override;
    void clear(const std::string &account, Done done) override;

private:
    enum class Kind { Lookup, Store, Clear };
    struct Job
    {
        Kind kind;
        std::string account;
        std::string password;
        LookupDone lookupDone;
        Done done;
    };
    struct Outcome
    {
        Status status = Status::Unavailable;
        std::string password;
        std::string reason; // why the keyring is unavailable
    };

    void enqueue(Job job);
    void work();
    void watch();
    Outcome run(const Job &job, GCancellable *cancellable);
    // On the user-interface thread.
    void answer(Job &job, const Outcome &outcome);

    const std::chrono::milliseconds m_timeout;
    std::atomic<bool> m_unavailable{false};
    bool m_unavailableSaid = false;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Job> m_jobs;
    bool m_stopping = false;
    GCancellable *m_current = nullptr;
    // Set by the worker before its first call; m_current is null until then.
    const SecretLibrary *m_secret = nullptr;
    unsigned long m_started = 0; // calls begun, for the watchdog
    std::chrono::steady_clock::time_point m_deadline;
    std::thread m_worker;
    std::thread m_watchdog;
};
