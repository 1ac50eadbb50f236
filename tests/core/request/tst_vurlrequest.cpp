// The request object against a scripted loopback responder: what goes on the
// wire, how each kind of answer becomes an envelope, time-outs and retries.

#include "request/vurlrequest.h"
#include "context/orvelcore.h"

#include "scriptedhttpserver.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTcpServer>
#include <QThreadPool>
#include <QtTest>

namespace {
QStringList captured;
QtMessageHandler previousHandler = nullptr;

void captureMessages(QtMsgType type, const QMessageLogContext &ctx, const QString &msg)
{
    captured << msg;
    Q_UNUSED(type)
    Q_UNUSED(ctx)
}
}

class TestVUrlRequest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        initOrvelCore();
        VUrlRequest::setDefaultTickInterval(150);
    }
    void cleanupTestCase() { VUrlRequest::setDefaultTickInterval(VUrlRequest::kDefaultTickInterval); }

    void getWithoutQueryHasNoQuestionMark()
    {
        ScriptedHttpServer http;
        http.answer(200, "{\"Code\":0}");
        VUrlRequest req;
        req.setRequest(0, QUrl(http.root() + "v1/user/info/islogin"), QString(), QString());
        const QJsonObject r = req.send();
        QCOMPARE(r.value("Code").toInt(), 0);
        QCOMPARE(http.count(), 1);
        QCOMPARE(http.requests().at(0).method, QByteArray("GET"));
        QCOMPARE(http.requests().at(0).target, QByteArray("/v1/user/info/islogin"));
        QVERIFY(!http.requests().at(0).headers.contains("authorization"));
    }

    void getAppendsQuery()
    {
        ScriptedHttpServer http;
        http.answer(200, "{\"Code\":0}");
        VUrlRequest req;
        req.setRequest(0, QUrl(http.root() + "list"), "tok123", "a=1&b=x%20y&");
        req.send();
        QCOMPARE(http.requests().at(0).target, QByteArray("/list?a=1&b=x%20y&"));
        QCOMPARE(http.requests().at(0).headers.value("authorization"), QByteArray("Bearer tok123"));
        QCOMPARE(http.requests().at(0).body, QByteArray());
    }

    void postSendsQueryAsBody()
    {
        ScriptedHttpServer http;
        http.answer(200, "{\"Code\":0}");
        VUrlRequest req;
        req.setRequest(1, QUrl(http.root() + "v1/wp/file/info"), QString(), "fileid=%E4%B8%AD&");
        req.send();
        const auto seen = http.requests().at(0);
        QCOMPARE(seen.method, QByteArray("POST"));
        QCOMPARE(seen.target, QByteArray("/v1/wp/file/info"));
        QCOMPARE(seen.body, QByteArray("fileid=%E4%B8%AD&"));
        QCOMPARE(seen.headers.value("content-type"), QByteArray("application/x-www-form-urlencoded"));
    }

    void replyBodies_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("expected"); // compact JSON without customdata
        QTest::addColumn<int>("attempts");

        QTest::newRow("plain") << 200 << QByteArray("{\"Code\":0,\"Msg\":\"ok\",\"data\":{\"n\":1}}")
                               << QByteArray("{\"Code\":0,\"Msg\":\"ok\",\"data\":{\"n\":1}}") << 1;
        QTest::newRow("double slashes removed")
            << 200 << QByteArray("{\"Code\":0,\"Msg\":\"http://a//b\"}") << QByteArray("{\"Code\":0,\"Msg\":\"http:ab\"}") << 1;
        QTest::newRow("array sent as string")
            << 200 << QByteArray("{\"Code\":0,\"data\":\"[{\\\"id\\\":\\\"7\\\"}]\"}")
            << QByteArray("{\"Code\":0,\"data\":[{\"id\":\"7\"}]}") << 1;
        QTest::newRow("array string with unescaped quotes")
            << 200 << QByteArray("{\"Code\":0,\"data\":\"[{\"id\":\"8\"}]\"}")
            << QByteArray("{\"Code\":0,\"data\":[{\"id\":\"8\"}]}") << 1;
        QTest::newRow("name starting with a bracket")
            << 200 << QByteArray("{\"Code\":3,\"Msg\":\"no\",\"data\":{\"filename\":\"[1].txt\"}}")
            << QByteArray("{\"Code\":3,\"Msg\":\"no\",\"data\":{\"filename\":\"[1].txt\"}}") << 1;
        QTest::newRow("not json") << 200 << QByteArray("<html>oops</html>") << QByteArray("{}") << 1;
        QTest::newRow("empty body") << 200 << QByteArray()
                                    << QByteArray("{\"Code\":99,\"Msg\":\"未知异常\",\"transport\":true}") << 1;
        QTest::newRow("http 404") << 404 << QByteArray("{\"Code\":0}")
                                  << QByteArray("{\"Code\":99,\"Msg\":\"在服务器上找不到远程内容\",\"transport\":true}") << 3;
        QTest::newRow("http 500") << 500 << QByteArray("boom")
                                  << QByteArray("{\"Code\":99,\"Msg\":\"服务器遇到意外情况，导致无法完成请求\",\"transport\":true}") << 3;
        // the server's own 99 is a refusal, told apart from a missing answer
        QTest::newRow("server's code 99") << 200 << QByteArray("{\"Code\":99,\"Msg\":\"队列繁忙\"}")
                                          << QByteArray("{\"Code\":99,\"Msg\":\"队列繁忙\"}") << 1;
    }

    void replyBodies()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, expected);
        QFETCH(int, attempts);
        ScriptedHttpServer http;
        http.answer(status, body);
        VUrlRequest req;
        req.setCustomData(3, 1, "m", "/p");
        req.setRequest(1, QUrl(http.root() + "x"), QString(), "k=v&");
        QJsonObject r = req.send();
        QCOMPARE(Api_customdata(r), QJsonObject({{"type", 3}, {"wptype", 1}, {"msg", "m"}, {"path", "/p"}}));
        r.remove("customdata");
        QCOMPARE(QJsonDocument(r).toJson(QJsonDocument::Compact), QJsonDocument::fromJson(expected).toJson(QJsonDocument::Compact));
        QCOMPARE(req.attempts(), attempts);
        QCOMPARE(http.count(), attempts);
        QCOMPARE(VUrlRequest::isTransportFailure(r), expected.contains("transport"));
    }

    void refusedConnection()
    {
        quint16 port;
        {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
            port = probe.serverPort();
        }
        VUrlRequest req;
        req.setRequest(0, QUrl(QStringLiteral("http://127.0.0.1:%1/x").arg(port)));
        const QJsonObject r = req.send();
        QCOMPARE(r.value("Code").toInt(), 99);
        QCOMPARE(r.value("Msg").toString(), QStringLiteral("远程服务器拒绝连接"));
        QVERIFY(r.value("customdata").isObject());
        QCOMPARE(req.attempts(), 3);
    }

    void silentServerTimesOutAfterThreeAttempts()
    {
        ScriptedHttpServer http;
        http.silence();
        VUrlRequest req;
        QCOMPARE(req.tickInterval(), 150);
        req.addCustomData({{"evtid", "e1"}});
        req.setRequest(1, QUrl(http.root() + "slow"), QString(), "a=b&");
        QElapsedTimer t;
        t.start();
        const QJsonObject r = req.send();
        QCOMPARE(r.value("Code").toInt(), 99);
        QCOMPARE(r.value("Msg").toString(), QStringLiteral("请求超时，请稍后重试"));
        QCOMPARE(r.value("customdata").toObject().value("evtid").toString(), QStringLiteral("e1"));
        QCOMPARE(req.attempts(), 3);
        QTRY_COMPARE(http.count(), 3);
        // Three ticks plus two pauses between attempts.
        QVERIFY(t.elapsed() >= 3 * 150 + 2 * VUrlRequest::kRetryDelay - 50);
    }

    void lateAnswerWithinTickIsAccepted()
    {
        ScriptedHttpServer http;
        http.setHandler([](const ScriptedHttpServer::Request &) {
            ScriptedHttpServer::Response r;
            r.body = "{\"Code\":0,\"Msg\":\"late\"}";
            r.delayMs = 60;
            return r;
        });
        VUrlRequest req;
        req.setRequest(0, QUrl(http.root() + "x"));
        QCOMPARE(req.send().value("Msg").toString(), QStringLiteral("late"));
        QCOMPARE(req.attempts(), 1);
    }

    void uploadProgressPostponesTheTimeOut()
    {
        VUrlRequest req;
        QSignalSpy timeout(&req, &VUrlRequest::signalTimeOut);
        req.onUploadProgress(10, 100);
        req.setTimeOut(); // progress since the last tick: keeps going
        QCOMPARE(timeout.count(), 0);
        req.setTimeOut(); // a whole tick without progress
        QCOMPARE(timeout.count(), 1);
    }

    void defaultTickIsThreeSeconds()
    {
        VUrlRequest::setDefaultTickInterval(0); // back to the default
        VUrlRequest req;
        QCOMPARE(req.tickInterval(), 3000);
        VUrlRequest::setDefaultTickInterval(150);
    }

    void addCustomDataKeepsExistingKeys()
    {
        VUrlRequest req;
        req.setCustomData(1, 2, "a", "b");
        req.addCustomData({{"msg", "other"}, {"extra", 5}});
        QCOMPARE(req.customData().value("msg").toString(), QStringLiteral("a"));
        QCOMPARE(req.customData().value("extra").toInt(), 5);
    }

    void userDataSelectsSignalOverload()
    {
        ScriptedHttpServer http;
        http.answer(200, "{\"Code\":0}");
        VUrlRequest plain;
        plain.setRequest(0, QUrl(http.root() + "a"));
        QSignalSpy plainOne(&plain, QOverload<const QJsonObject &>::of(&VUrlRequest::signalResult));
        QSignalSpy plainTwo(&plain, QOverload<const QJsonObject &, const QVariant &>::of(&VUrlRequest::signalResult));
        plain.send();
        QCOMPARE(plainOne.count(), 1);
        QCOMPARE(plainTwo.count(), 0);

        VUrlRequest tagged;
        tagged.setRequest(0, QUrl(http.root() + "b"));
        tagged.setUserData(42);
        QSignalSpy taggedOne(&tagged, QOverload<const QJsonObject &>::of(&VUrlRequest::signalResult));
        QSignalSpy taggedTwo(&tagged, QOverload<const QJsonObject &, const QVariant &>::of(&VUrlRequest::signalResult));
        tagged.send();
        QCOMPARE(taggedOne.count(), 0);
        QCOMPARE(taggedTwo.count(), 1);
        QCOMPARE(taggedTwo.at(0).at(1).toInt(), 42);
    }

    void poolRunDeliversOnReceiverThread()
    {
        ScriptedHttpServer http;
        http.answer(200, "{\"Code\":0,\"Msg\":\"pool\"}");
        QThreadPool pool;
        auto *req = new VUrlRequest;
        req->setRequest(0, QUrl(http.root() + "p"));
        QObject receiver;
        QThread *seenOn = nullptr;
        QString msg;
        connect(req, QOverload<const QJsonObject &>::of(&VUrlRequest::signalResult), &receiver,
                [&](const QJsonObject &r) {
                    seenOn = QThread::currentThread();
                    msg = r.value("Msg").toString();
                });
        req->moveToThread(nullptr);
        pool.start(req);
        QTRY_COMPARE(msg, QStringLiteral("pool"));
        QCOMPARE(seenOn, QThread::currentThread());
        pool.waitForDone();
    }

    void logsCarryNoSecrets()
    {
        ScriptedHttpServer http;
        http.answer(200, "{\"Code\":0,\"Msg\":\"ok\",\"data\":{\"token\":\"SECRET-TOKEN-1\",\"name\":\"x\"}}");
        QLoggingCategory::setFilterRules(QStringLiteral("orvel.*.debug=true"));
        captured.clear();
        previousHandler = qInstallMessageHandler(captureMessages);
        VUrlRequest req;
        req.setRequest(1, QUrl(http.root() + "web/download/file?fileid=1&tk=SECRET-TK-2"), "SECRET-BEARER-3",
                       "pwd=SECRET-PWD-4&opwd=SECRET-5&npwd1=SECRET-6&npwd2=SECRET-7&logintoken=SECRET-8&name=visible&");
        req.send();
        qInstallMessageHandler(previousHandler);
        QLoggingCategory::setFilterRules(QString());
        const QString all = captured.join('\n');
        QVERIFY2(all.contains("visible"), qPrintable(all));
        QVERIFY2(!all.contains("SECRET"), qPrintable(all));
        QVERIFY(!all.contains("tk=SECRET"));

        QCOMPARE(VUrlRequest::redactQuery("a=1&pwd=x&Token=y&"), QStringLiteral("a=1&pwd=***&Token=***&"));
    }

private:
    static QJsonObject Api_customdata(const QJsonObject &r) { return r.value("customdata").toObject(); }
};

QTEST_GUILESS_MAIN(TestVUrlRequest)
#include "tst_vurlrequest.moc"
