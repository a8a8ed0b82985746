#include "app/LocalEndpoint.h"

#include <cerrno>
#include <utility>

// No hand-over here yet: every launch starts on its own.

bool LocalEndpoint::available()
{
    return false;
}

QString LocalEndpoint::privateFolder()
{
    return {};
}

LocalEndpoint::Call LocalEndpoint::call(const QString &, const QByteArray &, const QByteArray &, int)
{
    return Call::Nobody;
}

LocalEndpoint::LocalEndpoint(QString name) : m_name(std::move(name))
{
}

LocalEndpoint::~LocalEndpoint() = default;

LocalEndpoint::Take LocalEndpoint::take()
{
    errno = ENOSYS;
    return Take::Failed;
}

qintptr LocalEndpoint::accept()
{
    return -1;
}

LocalEndpoint::Received LocalEndpoint::receive(qintptr, QByteArray &)
{
    return Received::Ended;
}

void LocalEndpoint::send(qintptr, const QByteArray &)
{
}

void LocalEndpoint::close(qintptr)
{
}
