#pragma once

#include <QByteArray>
#include <QHash>
#include <QTcpServer>
#include <QUrl>

class QTcpSocket;

// An HTTP/1.1 responder on 127.0.0.1 for the browser tests: each path gets a
// canned answer, anything else a 404; every connection closes after one answer.
class TinyHttpServer final : public QObject
{
    Q_OBJECT

public:
    // On `port`, or any free one.
    bool start(quint16 port = 0);
    // `headers` are whole lines, each ending in \r\n.
    void setAnswer(const QByteArray &path, int status, const QByteArray &body,
                   const QByteArray &headers = "Content-Type: text/html; charset=utf-8\r\n");
    QUrl url(const QString &path) const;
    // The head (request line and headers, each ending in \r\n) of the last
    // request for `path`.
    QByteArray lastRequestHead(const QByteArray &path) const { return m_heads.value(path); }
    // How many requests for `path` came in, of any method.
    int requestCount(const QByteArray &path) const { return m_counts.value(path); }
    // Stops listening; answers to connections already taken still go out.
    void stop() { m_server.close(); }

private:
    struct Answer
    {
        int status;
        QByteArray body;
        QByteArray headers;
    };

    void answer(QTcpSocket *socket);

    QTcpServer m_server;
    QHash<QByteArray, Answer> m_answers;
    QHash<QByteArray, QByteArray> m_heads;
    QHash<QByteArray, int> m_counts;
};
