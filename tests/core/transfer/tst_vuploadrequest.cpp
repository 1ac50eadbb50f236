#include <QCryptographicHash>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include "transfer/vuploadrequest.h"

// A loopback server that answers each whole post with a small JSON reply and
// either keeps the connection or closes it right after answering.
class KeepServer : public QObject
{
public:
    bool closeAfterReply = false;
    int connections = 0;
    QList<QByteArray> bodies;

    KeepServer()
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = m_server.nextPendingConnection()) {
                ++connections;
                auto *buf = new QByteArray;
                connect(s, &QObject::destroyed, this, [buf] { delete buf; });
                connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
                connect(s, &QTcpSocket::readyRead, this, [this, s, buf] {
                    *buf += s->readAll();
                    for (;;) {
                        const int end = buf->indexOf("\r\n\r\n");
                        if (end < 0)
                            return;
                        const int at = buf->toLower().indexOf("content-length:");
                        const int nl = buf->indexOf("\r\n", at);
                        const int length = buf->mid(at + 15, nl - at - 15).trimmed().toInt();
                        if (buf->size() < end + 4 + length)
                            return;
                        bodies.append(buf->mid(end + 4, length));
                        buf->remove(0, end + 4 + length);
                        const QByteArray reply = "{\"Code\":0,\"Msg\":\"ok\"}";
                        s->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: "
                                 + QByteArray::number(reply.size()) + "\r\n\r\n" + reply);
                        if (closeAfterReply) {
                            s->disconnectFromHost();
                            return;
                        }
                    }
                });
            }
        });
    }
    QUrl url() const { return QUrl(QStringLiteral("http://127.0.0.1:%1/v1/wp/file/Upload").arg(m_server.serverPort())); }

private:
    QTcpServer m_server;
};

class TestUploadRequest : public QObject
{
    Q_OBJECT
private slots:
    // Successive posts share one connection while the server keeps it; when
    // the server closes it after answering, the next post (sent before the
    // close is noticed) goes again on a new connection and still succeeds.
    void reusesAndRecovers_data()
    {
        QTest::addColumn<bool>("closeAfterReply");
        QTest::addColumn<int>("connections");
        QTest::newRow("kept") << false << 1;
        QTest::newRow("closed after each answer") << true << 3;
    }
    void reusesAndRecovers()
    {
        QFETCH(bool, closeAfterReply);
        QFETCH(int, connections);
        KeepServer server;
        server.closeAfterReply = closeAfterReply;
        VUploadRequest post(nullptr);
        QList<QByteArray> blocks;
        for (int i = 0; i < 3; ++i)
            blocks.append(QByteArray(300000 + i, char('a' + i)));
        int done = 0;
        QStringList errors;
        auto send = [&](int i) {
            post.post(server.url(), "tok", "form-data; name=\"file\";filename=\"f.bin\";", blocks.at(i),
                      {{"block", QByteArray::number(i)}});
        };
        connect(&post, &VUploadRequest::finished, this, [&] {
            if (post.error() != QNetworkReply::NoError || post.httpStatus() != 200)
                errors << QString::number(int(post.error()));
            if (!post.readAll().contains("\"Code\":0"))
                errors << QStringLiteral("reply");
            // The next post starts at once, on the connection as it stands.
            if (++done < blocks.size())
                send(done);
        });
        send(0);
        QTRY_COMPARE_WITH_TIMEOUT(done, 3, 10000);
        QCOMPARE(errors, QStringList());
        QCOMPARE(server.bodies.size(), 3);
        for (int i = 0; i < 3; ++i) {
            // Each form carries its own block, byte for byte.
            QVERIFY(server.bodies.at(i).contains(blocks.at(i)));
            QVERIFY(server.bodies.at(i).contains("name=\"block\";\r\n\r\n" + QByteArray::number(i) + "\r\n"));
        }
        QCOMPARE(server.connections, connections);
    }
};

QTEST_GUILESS_MAIN(TestUploadRequest)
#include "tst_vuploadrequest.moc"
