// The request object's retry and time-out rules against the stand-in service:
// a call that changes state is carried out at most once per call whatever
// goes wrong on the way back, reads are retried, and an answer that keeps
// arriving is not cut off by the progress tick.

#include <QJsonArray>
#include <QTcpServer>
#include <QtTest>

#include "Api/api.h"
#include "apirunner.h"
#include "context/orvelcore.h"
#include "context/vglobalparameter.h"
#include "records/m_api_move.h"
#include "request/vurlrequest.h"
#include "testhome.h"
#include "testserver.h"

namespace {
const QString kAdd = QStringLiteral("/api/v1/wp/act/add");
const QString kList = QStringLiteral("/api/v1/wp/file/getlist");
const QString kRoot = QStringLiteral("/1001/sharedisk");
constexpr int kTick = 600;
}

class TestRequestRules : public QObject, ServedClient
{
    Q_OBJECT

    int m_case = 0;

    // Sends one call the way the dispatcher sets it up; answers the reply and
    // the attempts made.
    QJsonObject send(Api::apis api, const QJsonObject &params, int *attempts)
    {
        VUrlRequest req;
        Api::instance()->prepare(&req, api, params);
        const QJsonObject r = req.send();
        *attempts = req.attempts();
        return r;
    }

    QStringList namesIn(const QString &folder)
    {
        QStringList names;
        const QJsonObject r = m_server.call(QStringLiteral("api/v1/wp/file/getlist"), {{"filepath", folder}}, m_token);
        for (const QJsonValue &v : r.value("data").toObject().value("list").toArray())
            names << v.toObject().value("filename").toString();
        names.sort();
        return names;
    }

    // Makes a folder in the root and waits until that act is done.
    void addDir(const QString &name)
    {
        const QJsonObject r = m_server.call(QStringLiteral("api/v1/wp/act/add"),
                                            {{"acttype", "AddDir"}, {"filepath", kRoot}, {"dirname", name}}, m_token);
        m_lastAct = r.value("data").toObject().value("evtid").toString();
        QVERIFY2(!m_lastAct.isEmpty(), qPrintable(Api::getMsg(r)));
        settle();
    }

    // Waits until m_lastAct has been carried out; the stand-in carries acts
    // out in the order they were made, so every earlier act is done too.
    void settle()
    {
        QTRY_VERIFY_WITH_TIMEOUT(m_server.call(QStringLiteral("api/v1/wp/act/GetActStatus"),
                                               {{"ids", m_lastAct}}, m_token)
                                         .value("Msg")
                                         .toArray()
                                         .first()
                                         .toObject()
                                         .value("status")
                                         .toInt()
                                     == 99,
                                 10000);
    }
    QString m_lastAct;

private slots:
    void initTestCase()
    {
        initOrvelCore();
        QString err;
        m_token = startSignedIn(m_server, &err);
        QVERIFY2(!m_token.isEmpty(), qPrintable(err));
        VUrlRequest::setDefaultTickInterval(kTick);
    }
    void init() { QVERIFY(m_server.clearFaults()); }
    void cleanupTestCase() { VUrlRequest::setDefaultTickInterval(VUrlRequest::kDefaultTickInterval); }

    void repeatable_data()
    {
        QTest::addColumn<int>("api");
        QTest::addColumn<bool>("repeatable");
        QTest::newRow("copy") << int(Api::act_Copy) << false;
        QTest::newRow("move") << int(Api::act_Move) << false;
        QTest::newRow("add folder") << int(Api::act_add) << false;
        QTest::newRow("rename") << int(Api::act_ReName) << false;
        QTest::newRow("upload registration") << int(Api::act_GetUploadLink) << false;
        QTest::newRow("password change") << int(Api::user_Editpwd) << false;
        QTest::newRow("listing") << int(Api::file_getlist) << true;
        QTest::newRow("act status") << int(Api::act_GetActStatus) << true;
        QTest::newRow("digest check") << int(Api::file_ChkMD5) << true;
    }
    void repeatable()
    {
        QFETCH(int, api);
        QFETCH(bool, repeatable);
        VUrlRequest req;
        Api::instance()->prepare(&req, Api::apis(api), QJsonObject());
        QCOMPARE(req.isRetryable(), repeatable);
    }

    // One copy with "keep both" while the way back fails: the server carries
    // the first post out, and no second post may follow, or a second copy
    // appears. The caller gets the failure; the listing shows the one copy.
    void copyIsSentOnce_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<qint64>("value");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("copies");
        // Carried out at once, the answer stalls past the tick: a time-out.
        QTest::newRow("time-out") << "stall" << qint64(kTick * 3) << QStringLiteral("请求超时，请稍后重试") << 1;
        // Carried out, the answer cut off after a few bytes.
        QTest::newRow("answer cut off") << "drop" << qint64(5) << QStringLiteral("远程服务器提前关闭了连接") << 1;
        // A server error: not carried out, and not asked again either.
        QTest::newRow("server error") << "status" << qint64(500)
                                      << QStringLiteral("服务器遇到意外情况，导致无法完成请求") << 0;
    }
    void copyIsSentOnce()
    {
        QFETCH(QString, kind);
        QFETCH(qint64, value);
        QFETCH(QString, message);
        QFETCH(int, copies);
        const QString name = QStringLiteral("copy-%1.txt").arg(++m_case);
        const QString target = kRoot + QStringLiteral("/into-%1").arg(m_case);
        QVERIFY(!m_server.uploadFile(m_token, kRoot, name, "one copy only", 1).isEmpty());
        addDir(QStringLiteral("into-%1").arg(m_case));

        QVERIFY(m_server.addFault(kAdd, kind, value));
        M_api_move item;
        item.path = kRoot + QLatin1Char('/') + name;
        item.to = target;
        item.totype = 2; // keep both: a second copy would land as copy-N(1).txt
        int attempts = 0;
        const QJsonObject r = send(Api::act_Copy, Api::params_act_Copy({item}), &attempts);
        QCOMPARE(Api::getCode(r), 99);
        QCOMPARE(Api::getMsg(r), message);
        QCOMPARE(attempts, 1);
        QVERIFY(m_server.clearFaults());

        // An act made now runs after every act made before it.
        addDir(QStringLiteral("after-%1").arg(m_case));
        QCOMPARE(namesIn(target), copies ? QStringList{name} : QStringList());
    }

    // A refused connection proves nothing was sent: that much is retried
    // even for a state-changing call.
    void refusedConnectionIsRetried()
    {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const quint16 port = closed.serverPort();
        closed.close();
        VUrlRequest req;
        Api::instance()->prepare(&req, Api::act_add, Api::params_act_AddDir(kRoot, QStringLiteral("x")));
        req.setRequest(1, QUrl(QStringLiteral("http://127.0.0.1:%1/api/v1/wp/act/add").arg(port)));
        const QJsonObject r = req.send();
        QCOMPARE(Api::getCode(r), 99);
        QCOMPARE(Api::getMsg(r), QStringLiteral("远程服务器拒绝连接"));
        QCOMPARE(req.attempts(), 3);
    }

    // Reads are retried: two failed answers, then the listing.
    void readsAreRetried_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<qint64>("value");
        QTest::newRow("server error") << "status" << qint64(503);
        QTest::newRow("answer cut off") << "drop" << qint64(5);
        QTest::newRow("time-out") << "delay" << qint64(kTick * 3);
    }
    void readsAreRetried()
    {
        QFETCH(QString, kind);
        QFETCH(qint64, value);
        const int before = m_server.requestCount(kList);
        QVERIFY(m_server.addFault(kList, kind, value, 2));
        int attempts = 0;
        const QJsonObject r = send(Api::file_getlist, Api::params_file_getlist(kRoot, QString(), 0, 0), &attempts);
        QCOMPARE(Api::getCode(r), 0);
        QVERIFY(Api::getData(r).toObject().contains(QStringLiteral("list")));
        QCOMPARE(attempts, 3);
        // The server counts a request once it has answered it; the delayed
        // ones finish after the client gave up on them.
        QTRY_COMPARE_WITH_TIMEOUT(m_server.requestCount(kList) - before, 3, 10000);
    }

    // A large listing that trickles in over several ticks arrives whole, in
    // one attempt.
    void slowListingIsNotCutOff()
    {
        QStringList dirs;
        for (int i = 0; i < 40; ++i)
            dirs << QStringLiteral("slow/folder-%1").arg(i, 2, 10, QLatin1Char('0'));
        const QJsonObject made = m_server.call(
            QStringLiteral("api/v1/wp/act/add"),
            {{"acttype", "AddDirs"}, {"filepath", kRoot}, {"dirs", QJsonArray::fromStringList(dirs)}}, m_token);
        m_lastAct = made.value("data").toObject().value("evtid").toString();
        QVERIFY(!m_lastAct.isEmpty());
        settle();
        const QString folder = kRoot + QStringLiteral("/slow");
        // The whole answer comes in 30 pieces, 100 ms apart: some five
        // ticks, while no tick passes without bytes arriving.
        const int before = m_server.requestCount(kList);
        const QJsonObject plain = m_server.call(QStringLiteral("api/v1/wp/file/getlist"), {{"filepath", folder}}, m_token);
        const int size = QJsonDocument(plain).toJson(QJsonDocument::Compact).size();
        QVERIFY2(size > 20000, qPrintable(QString::number(size)));
        QVERIFY(m_server.addFault(kList, QStringLiteral("slow"), kTick / 6, 0,
                                  QJsonObject{{"after", size / 30}}));
        int attempts = 0;
        const QJsonObject r = send(Api::file_getlist, Api::params_file_getlist(folder, QString(), 0, 0), &attempts);
        QCOMPARE(Api::getCode(r), 0);
        QCOMPARE(Api::getData(r).toObject().value("list").toArray().size(), 40);
        QCOMPARE(attempts, 1);
        // The plain listing and the slow one; the server counts a request
        // once it has answered, which may be a moment after the client read it.
        QTRY_COMPARE_WITH_TIMEOUT(m_server.requestCount(kList) - before, 2, 10000);
    }

    // The same for a read sent as GET (the account's details).
    void slowGetIsNotCutOff()
    {
        const QString path = QStringLiteral("/api/v1/user/info/GetLoginInfo");
        const QJsonObject plain = m_server.call(QStringLiteral("api/v1/user/info/GetLoginInfo"), {}, m_token, false);
        QCOMPARE(Api::getCode(plain), 0);
        const int size = QJsonDocument(plain).toJson(QJsonDocument::Compact).size();
        QVERIFY(m_server.addFault(path, QStringLiteral("slow"), kTick / 6, 0, QJsonObject{{"after", size / 30 + 1}}));
        int attempts = 0;
        const QJsonObject r = send(Api::user_GetLoginInfo, QJsonObject(), &attempts);
        QCOMPARE(Api::getCode(r), 0);
        QCOMPARE(Api::getData(r).toObject().value("loginname").toString(), QStringLiteral("demo"));
        QCOMPARE(attempts, 1);
    }
};

QTEST_GUILESS_MAIN(TestRequestRules)
#include "tst_request_rules.moc"
