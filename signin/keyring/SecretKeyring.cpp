#include "signin/keyring/SecretKeyring.h"

#include "base/KelumoConfig.h"
#include "base/Trace.h"

#include <QFileInfo>

#include <libsecret/secret.h>

#include <dlfcn.h>

#include <utility>

// libsecret and the GLib parts it brings (GIO, GObject) are opened by the
// worker on its first call rather than linked: the program's start, before
// the dialog is painted, does not load and relocate them.
struct SecretLibrary
{
    decltype(&secret_password_lookup_sync) lookup;
    decltype(&secret_password_store_sync) store;
    decltype(&secret_password_clear_sync) clear;
    decltype(&secret_password_free) freePassword;
    decltype(&g_cancellable_new) newCancellable;
    decltype(&g_cancellable_cancel) cancel;
    decltype(&g_cancellable_is_cancelled) isCancelled;
    decltype(&g_object_unref) unref;
    decltype(&g_error_free) freeError;
};

namespace {

const SecretSchema *schema()
{
    static const SecretSchema value = {
        "com.kelumo.SignIn",
        SECRET_SCHEMA_NONE,
        {{"application", SECRET_SCHEMA_ATTRIBUTE_STRING}, {"account", SECRET_SCHEMA_ATTRIBUTE_STRING}, {nullptr, {}}},
        0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
    return &value;
}

constexpr const char *application = "kelumo";

template <typename Function>
bool resolve(void *library, const char *name, Function &function)
{
    function = reinterpret_cast<Function>(dlsym(library, name));
    return function != nullptr;
}

const SecretLibrary *openSecretLibrary()
{
    // Never closed: GLib's types cannot be unloaded.
    void *library = dlopen("libsecret-1.so.0", RTLD_NOW | RTLD_LOCAL);
    if (!library)
        return nullptr;
    static SecretLibrary functions;
    const bool complete = resolve(library, "secret_password_lookup_sync", functions.lookup) &&
                          resolve(library, "secret_password_store_sync", functions.store) &&
                          resolve(library, "secret_password_clear_sync", functions.clear) &&
                          resolve(library, "secret_password_free", functions.freePassword) &&
                          resolve(library, "g_cancellable_new", functions.newCancellable) &&
                          resolve(library, "g_cancellable_cancel", functions.cancel) &&
                          resolve(library, "g_cancellable_is_cancelled", functions.isCancelled) &&
                          resolve(library, "g_object_unref", functions.unref) &&
                          resolve(library, "g_error_free", functions.freeError);
    return complete ? &functions : nullptr;
}

// Null when libsecret is not installed. Only the worker asks, first thing.
const SecretLibrary *secretLibrary()
{
    static const SecretLibrary *const functions = openSecretLibrary();
    return functions;
}

// Without an address GLib would try to start a bus of its own (X11
// autolaunch); a desktop session always has one, or its runtime folder's socket.
bool sessionBusExpected()
{
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus"));
}

} // namespace

SecretKeyring::SecretKeyring(std::chrono::milliseconds timeout) : m_timeout(timeout)
{
}

SecretKeyring::~SecretKeyring()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_jobs.clear();
        if (m_current)
            m_secret->cancel(m_current);
    }
    m_wake.notify_all();
    if (m_worker.joinable())
        m_worker.join();
    if (m_watchdog.joinable())
        m_watchdog.join();
}

bool SecretKeyring::available() const
{
    return !m_unavailable.load();
}

void SecretKeyring::lookup(const std::string &account, LookupDone done)
{
    enqueue({Kind::Lookup, account, {}, std::move(done), {}});
}

void SecretKeyring::store(const std::string &account, const std::string &password, Done done)
{
    enqueue({Kind::Store, account, password, {}, std::move(done)});
}

void SecretKeyring::clear(const std::string &account, Done done)
{
    enqueue({Kind::Clear, account, {}, {}, std::move(done)});
}

void SecretKeyring::enqueue(Job job)
{
    {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back(std::move(job));
        // Started with the first call, not with the program: the dialog's
        // first paint never shares the processor with it.
        if (!m_worker.joinable()) {
            m_worker = std::thread([this] { work(); });
            m_watchdog = std::thread([this] { watch(); });
        }
    }
    m_wake.notify_all();
}

void SecretKeyring::work()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
        if (m_stopping)
            return;
        auto job = std::make_shared<Job>(std::move(m_jobs.front()));
        m_jobs.pop_front();
        Outcome outcome;
        if (!m_secret) {
            lock.unlock();
            const SecretLibrary *opened = secretLibrary();
            lock.lock();
            m_secret = opened;
        }
        if (!m_secret) {
            m_unavailable = true;
            outcome.reason = "libsecret not installed";
        } else {
            GCancellable *cancellable = m_secret->newCancellable();
            m_current = cancellable;
            ++m_started;
            m_deadline = std::chrono::steady_clock::now() + m_timeout;
            lock.unlock();
            m_wake.notify_all(); // the watchdog takes the new deadline

            outcome = run(*job, cancellable);

            lock.lock();
            m_current = nullptr;
            m_secret->unref(cancellable);
        }
        m_wake.notify_all();
        if (m_stopping)
            return;
        // The job, its callbacks with it, now belongs to the user-interface thread.
        QMetaObject::invokeMethod(
            this, [this, job = std::move(job), outcome] { answer(*job, outcome); }, Qt::QueuedConnection);
    }
}

void SecretKeyring::watch()
{
    std::unique_lock lock(m_mutex);
    while (!m_stopping) {
        if (!m_current) {
            m_wake.wait(lock);
            continue;
        }
        const unsigned long watched = m_started;
        const auto over = [&] { return m_stopping || !m_current || m_started != watched; };
        if (!m_wake.wait_until(lock, m_deadline, over))
            m_secret->cancel(m_current);
        // Until the worker lets go of it.
        m_wake.wait(lock, over);
    }
}

SecretKeyring::Outcome SecretKeyring::run(const Job &job, GCancellable *cancellable)
{
    if (m_unavailable.load())
        return {};
    if (!sessionBusExpected()) {
        m_unavailable = true;
        return {Status::Unavailable, {}, "no session bus"};
    }
    GError *error = nullptr;
    Outcome outcome{Status::Done, {}, {}};
    const char *account = job.account.c_str();
    switch (job.kind) {
    case Kind::Lookup:
        if (gchar *found = m_secret->lookup(schema(), cancellable, &error, "application", application, "account",
                                            account, nullptr)) {
            outcome.password = found;
            m_secret->freePassword(found);
        } else if (!error) {
            outcome.status = Status::NotFound;
        }
        break;
    case Kind::Store: {
        const std::string label = std::string(kelumo::productName) + " 账号 " + job.account;
        m_secret->store(schema(), SECRET_COLLECTION_DEFAULT, label.c_str(), job.password.c_str(), cancellable,
                        &error, "application", application, "account", account, nullptr);
        break;
    }
    case Kind::Clear:
        m_secret->clear(schema(), cancellable, &error, "application", application, "account", account, nullptr);
        break;
    }
    if (error) {
        const bool timedOut = m_secret->isCancelled(cancellable);
        outcome = {Status::Unavailable, {}, timedOut ? "no answer in time" : error->message};
        m_secret->freeError(error);
        m_unavailable = true;
    }
    return outcome;
}

void SecretKeyring::answer(Job &job, const Outcome &outcome)
{
    if (!outcome.reason.empty() && !m_unavailableSaid) {
        m_unavailableSaid = true;
        trace("keyring unavailable", outcome.reason);
    }
    if (job.lookupDone)
        job.lookupDone(outcome.status, outcome.password);
    if (job.done)
        job.done(outcome.status);
}
