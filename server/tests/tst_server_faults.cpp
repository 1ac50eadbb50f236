// The test control interface: each fault kind, "times", the port filter,
// clearing, stat, and that nothing of it exists without --control.
#include "testserver.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QtTest>

class TstServerFaults : public QObject
{
    Q_OBJECT
    TestServer server;
    QString token;

    QJsonObject now() { return server.call("api/v1/sys/time/getnow", {}, {}, false); }

private slots:
    void initTestCase()
    {
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        token = server.signIn("demo", "demo123");
        QVERIFY(!token.isEmpty());
    }
    void cleanup() { QVERIFY(server.clearFaults()); }

    void delay()
    {
        QVERIFY(server.addFault("/api/v1/sys/time/getnow", "delay", 400, 1));
        QElapsedTimer t;
        t.start();
        QCOMPARE(now().value("Code").toInt(), 0);
        QVERIFY(t.elapsed() >= 400);
        // Used up after one request: a fault added behind it now comes first.
        QVERIFY(server.addFault("/api/v1/sys/time/getnow", "code", 7, 1));
        QCOMPARE(now().value("Code").toInt(), 7);
    }

    void status()
    {
        QVERIFY(server.addFault("/api/v1/sys/time", "status", 503, 1));
        const TestServer::Reply r = server.request("GET", server.apiUrl() + "v1/sys/time/getnow");
        QCOMPARE(r.status, 503);
        QVERIFY(r.json.isEmpty());
        QCOMPARE(now().value("Code").toInt(), 0);
    }

    void drop()
    {
        QVERIFY(server.addFault("/api/v1/wp/file/getlist", "drop", 10, 1));
        const TestServer::Reply r = server.request("POST", server.apiUrl() + "v1/wp/file/getlist", "filepath=%2F",
                                                   {{"Authorization", "Bearer " + token.toUtf8()}});
        QVERIFY(r.networkError != 0);
        QVERIFY(r.body.size() <= 10);
        QCOMPARE(server.call("api/v1/wp/file/getlist", {{"filepath", "/"}}, token).value("Code").toInt(), 0);
    }

    void stallMidBody()
    {
        QString err;
        const QByteArray data(300000, 'x');
        const QString id = server.uploadFile(token, "/", "stall.bin", data, 0, &err);
        QVERIFY2(!id.isEmpty(), qPrintable(err));
        QVERIFY(server.addFault("/web/download/file", "stall", 600, 1, {{"after", 1000}}));
        QElapsedTimer t;
        t.start();
        const TestServer::Reply r = server.request("GET", server.rootUrl() + "web/download/file?fileid=" + id + "&tk=" + token);
        QVERIFY(t.elapsed() >= 600);
        QCOMPARE(r.status, 200);
        QCOMPARE(r.body, data); // the body resumes intact after the pause
    }

    void garbage()
    {
        QVERIFY(server.addFault("/api/v1/user/info/islogin", "garbage", 0, 1));
        const TestServer::Reply r = server.request("GET", server.apiUrl() + "v1/user/info/islogin", QByteArray(),
                                                   {{"Authorization", "Bearer " + token.toUtf8()}});
        QCOMPARE(r.status, 200);
        QVERIFY(!r.body.isEmpty());
        QVERIFY(QJsonDocument::fromJson(r.body).isNull());
    }

    void code_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("msg");
        QTest::newRow("queue not ready") << 1 << QStringLiteral("未获取到队列信息");
        QTest::newRow("start over") << 800003 << QString();
        QTest::newRow("busy") << 800004 << QString();
        QTest::newRow("signed out") << -1 << QString();
    }
    void code()
    {
        QFETCH(int, code);
        QFETCH(QString, msg);
        const QString up = server.uploadServers().first();
        QVERIFY(server.addFault("/v1/wp/file/Upload", "code", code, 1));
        // A large block: the answer must still arrive whole, after the body was taken.
        const TestServer::Reply r = server.postBlock(up, token, "e", "m", 1, 0, 5242880, QByteArray(4 * 1024 * 1024, 'x'));
        QCOMPARE(r.networkError, 0);
        QCOMPARE(r.json.value("Code").toInt(), code);
        if (!msg.isEmpty())
            QCOMPARE(r.json.value("Msg").toString(), msg);
        QVERIFY(!r.json.value("Msg").toString().isEmpty());
        // Used up: the next block is judged normally again.
        QCOMPARE(server.postBlock(up, token, "e", "m", 1, 0, 5242880, "x").json.value("Code").toInt(), 800002);
    }

    void timesAndClearing()
    {
        QVERIFY(server.addFault("/api/v1/sys/time/getnow", "code", 7, 2));
        QCOMPARE(now().value("Code").toInt(), 7);
        QCOMPARE(now().value("Code").toInt(), 7);
        QCOMPARE(now().value("Code").toInt(), 0);
        QVERIFY(server.addFault("/api/v1/sys/time/getnow", "code", 8, 0, {{"msg", "自定义"}}));
        for (int i = 0; i < 5; ++i)
            QCOMPARE(now().value("Msg").toString(), QStringLiteral("自定义"));
        QVERIFY(server.clearFaults());
        QCOMPARE(now().value("Code").toInt(), 0);
    }

    void portFilter()
    {
        const QList<quint16> ports = server.uploadPorts();
        QVERIFY(ports.size() >= 2);
        QVERIFY(server.addFault("/v1/wp/file/ChkMD5", "code", 800004, 0, {{"port", ports.at(1)}}));
        const QString first = server.uploadServers().at(0), second = server.uploadServers().at(1);
        QCOMPARE(server.call(first + "/v1/wp/file/ChkMD5", {{"evtid", "x"}}, token).value("Code").toInt(), 800002);
        QCOMPARE(server.call(second + "/v1/wp/file/ChkMD5", {{"evtid", "x"}}, token).value("Code").toInt(), 800004);
        QCOMPARE(server.requestCount("/v1/wp/file/chkmd5", ports.at(1)), 1);
    }

    void badControlInput()
    {
        for (const QByteArray &body : {QByteArray("not json"), QByteArray("{\"path\":\"/\",\"kind\":\"explode\"}"), QByteArray("{}")}) {
            const TestServer::Reply r = server.request("POST", server.rootUrl() + "__control/fault", body,
                                                       {{"Content-Type", "application/json"}});
            QCOMPARE(r.status, 400);
        }
        QVERIFY(server.stat("/1001/sharedisk/none.txt").isEmpty());
        QCOMPARE(server.request("GET", server.rootUrl() + "__control/stat?path=/1001/sharedisk").status, 404);
    }

    void absentWithoutControl()
    {
        TestServer::Options o;
        o.control = false;
        TestServer plain(o);
        QVERIFY2(plain.start(), qPrintable(plain.errorString()));
        QVERIFY(!plain.addFault("/", "status", 500));
        QCOMPARE(plain.request("GET", plain.rootUrl() + "__control/stat?path=/").status, 404);
        QCOMPARE(plain.call("api/v1/sys/time/getnow", {}, {}, false).value("Code").toInt(), 0);
    }
};

QTEST_GUILESS_MAIN(TstServerFaults)
#include "tst_server_faults.moc"
