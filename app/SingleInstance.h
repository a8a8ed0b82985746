#pragma once

#include "app/HandOver.h"
#include "app/LocalEndpoint.h"

#include <QObject>
#include <QString>

#include <memory>
#include <vector>

class QSocketNotifier;
class QTimer;

// One client per user and display. At the very front of start-up, claim()
// either hands the launch over to the client already running (which answers
// within a moment) or makes this process the one others hand over to. The
// name is a local socket only its user can reach; a lock beside it, which
// the system lets go of when the process ends however it ends, tells a
// crashed client's stale name from a client that is starting, so two
// launches at the same moment give one client.
class SingleInstance final : public QObject
{
    Q_OBJECT

public:
    enum class Outcome {
        HandedOver, // the running client took it: end now, with 0
        First,      // this is the client: listening() from now on
        Alone,      // no hand-over possible (said on stderr): start without one
    };

    // How long a running client may take to answer before this launch
    // starts on its own.
    static constexpr int answerTimeoutMs = 3000;

    explicit SingleInstance(QString name, QObject *parent = nullptr);
    ~SingleInstance() override;

    // Needs no QApplication (no event loop runs); hands `message` over when
    // a client is running.
    Outcome claim(const HandOver &message);

    // After First, once an event loop runs: hand-overs arrive as handedOver().
    void listen();

    const QString &name() const { return m_name; }

    // What this launch hands over: its command line, folder and activation token.
    static HandOver thisLaunch(const QStringList &arguments);

signals:
    void handedOver(const HandOver &message);

private:
    struct Connection;

    void accept();
    void read(Connection *connection);
    void drop(Connection *connection);

    QString m_name;
    LocalEndpoint m_endpoint;
    QSocketNotifier *m_notifier = nullptr;
    std::vector<std::unique_ptr<Connection>> m_connections;
};
