#pragma once

#include <QByteArray>
#include <QString>

// The operating system's side of the hand-over: a local stream socket, named
// by a path and reachable by its user only, and a lock beside the name that
// the system lets go of when the process ends, however it ends. One source
// file per platform, chosen by the build; where there is no hand-over
// (Windows), available() is false and every launch starts on its own.
class LocalEndpoint final
{
public:
    enum class Call { Answered, NoAnswer, Nobody };
    enum class Take { Taken, Held, Failed };
    enum class Received { Data, Wait, Ended };

    static bool available();
    // The user's own folder for the name where the session has no runtime
    // folder; empty when there is none private to the user.
    static QString privateFolder();
    // Sends `message` to whoever listens on `name` and waits up to
    // `timeoutMs` for `answer`. Nobody: no one listens (a crashed client
    // leaves its name behind).
    static Call call(const QString &name, const QByteArray &message, const QByteArray &answer, int timeoutMs);

    explicit LocalEndpoint(QString name);
    // The name goes before the lock that guards it.
    ~LocalEndpoint();
    LocalEndpoint(const LocalEndpoint &) = delete;
    LocalEndpoint &operator=(const LocalEndpoint &) = delete;

    // The lock, then the name, left by a crashed client or not. Held: another
    // launch has the lock. Failed leaves errno set.
    Take take();
    // The socket that listens once taken (for a notifier); -1 before.
    qintptr handle() const { return m_listen; }
    // A connection that waits, not blocking; -1 when none does.
    qintptr accept();

    // Appends what `connection` has to `into`. Wait: nothing more for now.
    static Received receive(qintptr connection, QByteArray &into);
    // Sends without waiting; what does not fit is dropped.
    static void send(qintptr connection, const QByteArray &bytes);
    static void close(qintptr connection);

private:
    QString m_name;
    qintptr m_lock = -1;
    qintptr m_listen = -1;
};
