#ifndef SCRIPTEDHTTPSERVER_H
#define SCRIPTEDHTTPSERVER_H

// A loopback HTTP responder whose answers a test scripts byte for byte, and
// which records every request it saw. Used where the stand-in service cannot
// be made to answer a particular body (reply repairs, exact request lines).

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QMutex>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <functional>

class ScriptedHttpServer
{
public:
    struct Request
    {
        QByteArray method;
        QByteArray target; // path and query as sent
        QHash<QByteArray, QByteArray> headers; // lower-case names
        QByteArray body;
    };
    struct Response
    {
        int status = 200;
        QByteArray body;
        int delayMs = 0;       // answer after this long
        bool silent = false;   // never answer
    };
    using Handler = std::function<Response(const Request &)>;

    ScriptedHttpServer()
    {
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket *s = m_server.nextPendingConnection())
                adopt(s);
        });
        m_server.listen(QHostAddress::LocalHost, 0);
    }

    void setHandler(Handler h) { m_handler = std::move(h); }
    void answer(int status, const QByteArray &body)
    {
        setHandler([status, body](const Request &) {
            Response r;
            r.status = status;
            r.body = body;
            return r;
        });
    }
    void silence()
    {
        setHandler([](const Request &) {
            Response r;
            r.silent = true;
            return r;
        });
    }

    quint16 port() const { return m_server.serverPort(); }
    QString root() const { return QStringLiteral("http://127.0.0.1:%1/").arg(port()); }
    QList<Request> requests() const { return m_requests; }
    int count() const { return m_requests.size(); }
    void clear() { m_requests.clear(); }

private:
    void adopt(QTcpSocket *s)
    {
        auto *buffer = new QByteArray;
        QObject::connect(s, &QTcpSocket::disconnected, s, [s, buffer] {
            delete buffer;
            s->deleteLater();
        });
        QObject::connect(s, &QTcpSocket::readyRead, s, [this, s, buffer] {
            buffer->append(s->readAll());
            for (;;) {
                const int end = buffer->indexOf("\r\n\r\n");
                if (end < 0)
                    return;
                Request req;
                const QList<QByteArray> lines = buffer->left(end).split('\n');
                const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
                req.method = first.value(0);
                req.target = first.value(1);
                for (int i = 1; i < lines.size(); ++i) {
                    const QByteArray line = lines.at(i).trimmed();
                    const int colon = line.indexOf(':');
                    if (colon > 0)
                        req.headers.insert(line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed());
                }
                const int length = req.headers.value("content-length").toInt();
                if (buffer->size() < end + 4 + length)
                    return;
                req.body = buffer->mid(end + 4, length);
                buffer->remove(0, end + 4 + length);
                m_requests.append(req);
                const Response r = m_handler ? m_handler(req) : Response();
                if (r.silent)
                    continue;
                QPointer<QTcpSocket> guard(s);
                auto send = [guard, r] {
                    if (!guard)
                        return;
                    QByteArray out = "HTTP/1.1 " + QByteArray::number(r.status) + " X\r\n"
                                     "Content-Type: application/json; charset=utf-8\r\n"
                                     "Content-Length: " + QByteArray::number(r.body.size()) + "\r\n"
                                     "Connection: close\r\n\r\n" + r.body;
                    guard->write(out);
                    guard->disconnectFromHost();
                };
                if (r.delayMs > 0)
                    QTimer::singleShot(r.delayMs, s, send);
                else
                    send();
            }
        });
    }

    QTcpServer m_server;
    Handler m_handler;
    QList<Request> m_requests;
};

#endif // SCRIPTEDHTTPSERVER_H
