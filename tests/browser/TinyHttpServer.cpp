#include "tests/browser/TinyHttpServer.h"

#include <QTcpSocket>

bool TinyHttpServer::start(quint16 port)
{
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { answer(socket); });
        }
    });
    return m_server.listen(QHostAddress::LocalHost, port);
}

void TinyHttpServer::setAnswer(const QByteArray &path, int status, const QByteArray &body, const QByteArray &headers)
{
    m_answers.insert(path, {status, body, headers});
}

QUrl TinyHttpServer::url(const QString &path) const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path));
}

void TinyHttpServer::answer(QTcpSocket *socket)
{
    // Requests are small GETs: wait for the whole head, then answer once.
    const QByteArray head = socket->property("head").toByteArray() + socket->readAll();
    socket->setProperty("head", head);
    if (!head.contains("\r\n\r\n") || socket->property("answered").toBool())
        return;
    socket->setProperty("answered", true);

    const QByteArray target = head.left(head.indexOf("\r\n")).split(' ').value(1);
    const QByteArray path = target.left(target.indexOf('?') < 0 ? target.size() : target.indexOf('?'));
    m_heads.insert(path, head.left(head.indexOf("\r\n\r\n") + 2));
    ++m_counts[path];
    const Answer found = m_answers.value(path, {404, "<title>404</title>not here", "Content-Type: text/html\r\n"});

    QByteArray reply = "HTTP/1.1 " + QByteArray::number(found.status) + " Canned\r\n" + found.headers;
    // A length of the test's own promises more than the body: a cut download.
    if (found.status != 204 && !found.headers.contains("Content-Length:"))
        reply += "Content-Length: " + QByteArray::number(found.body.size()) + "\r\n";
    reply += "Connection: close\r\n\r\n";
    if (found.status != 204 && !head.startsWith("HEAD "))
        reply += found.body;
    socket->write(reply);
    socket->disconnectFromHost();
}
