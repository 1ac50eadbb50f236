// The dispatcher against the running stand-in service: signed in by the
// client's own sequence, faults mapped to envelopes, the
// named upload servers, the hub's cancel and folder-act replies.

#include "Api/api.h"
#include "Api/vsignin.h"
#include "DB/db_setting.h"
#include "context/orvelcore.h"
#include "context/userinfo.h"
#include "context/vconfigs.h"
#include "context/vglobalparameter.h"
#include "request/vurlrequest.h"
#include "transfer/vglobalconnect.h"

#include "apirunner.h"
#include "testhome.h"
#include "testserver.h"

#include <QSignalSpy>
#include <QtTest>

class TestApiServer : public QObject, ServedClient
{
    Q_OBJECT

    QStringList m_restarts;

    static QJsonObject run(Api::apis api, const QJsonObject &params = {}, const QString &upserver = QString(),
                           const QJsonObject &custom = {})
    {
        return runApi(api, params, upserver, custom);
    }

    static bool signIn(const QString &user, const QString &password)
    {
        Api::instance()->setToken(QString());
        const VSignIn::Result r = VSignIn::signInSync(user, password);
        if (!r.ok())
            qWarning() << VSignIn::describe(r);
        return r.ok();
    }

private slots:
    void initTestCase()
    {
        // Short ticks so a stalled server costs a second, not nine.
        QString err;
        QVERIFY2(startClientCore(m_server, &m_restarts, 300, &err), qPrintable(err));
    }

    void cleanup() { m_server.clearFaults(); }

    void signInSequence()
    {
        QVERIFY(signIn("demo", "demo123"));
        QVERIFY(!Api::instance()->token().isEmpty());
        QVERIFY(!UserInfo::instance()->loginname.isEmpty());
        QCOMPARE(UserInfo::instance()->schoolid, 1001);
        QCOMPARE(Api::getCode(run(Api::user_islogin)), 0);
    }

    void faults_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("msg");
        QTest::addColumn<int>("attempts");
        QTest::newRow("stalled") << "stall" << 5000 << 99 << QStringLiteral("请求超时，请稍后重试") << 3;
        QTest::newRow("404") << "status" << 404 << 99 << QStringLiteral("在服务器上找不到远程内容") << 3;
        QTest::newRow("500") << "status" << 500 << 99 << QStringLiteral("服务器遇到意外情况，导致无法完成请求") << 3;
        QTest::newRow("not json") << "garbage" << 0 << 0 << QString() << 1;
        QTest::newRow("queue lost") << "code" << 1 << 1 << QStringLiteral("未获取到队列信息") << 1;
    }

    void faults()
    {
        QFETCH(QString, kind);
        QFETCH(int, value);
        QFETCH(int, code);
        QFETCH(QString, msg);
        QFETCH(int, attempts);
        QVERIFY(signIn("demo", "demo123"));
        const int before = m_server.requestCount("/api/v1/wp/file/infobypath");
        QVERIFY(m_server.addFault("/api/v1/wp/file/infobypath", kind, value));
        const QJsonObject r = run(Api::file_infobypath, Api::params_file_infobypath("/1001/sharedisk/"), QString(),
                                  {{"tag", "t1"}});
        QCOMPARE(r.value("customdata").toObject().value("tag").toString(), QStringLiteral("t1"));
        if (kind == "garbage") {
            QCOMPARE(r.keys(), QStringList({"customdata"}));
        } else {
            QCOMPARE(Api::getCode(r), code);
            QCOMPARE(Api::getMsg(r), msg);
        }
        // The stand-in counts a request once it has answered it: a stalled answer is counted only when
        // its stall ends, well after the client gave up on it.
        QTRY_COMPARE_WITH_TIMEOUT(m_server.requestCount("/api/v1/wp/file/infobypath") - before, attempts, 20000);
    }

    void lostSignInFromTheServer_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("suffix");
        QTest::newRow("-1") << -1 << QStringLiteral("登录失效");
        QTest::newRow("-2") << -2 << QStringLiteral("未选择学校");
    }

    void lostSignInFromTheServer()
    {
        QFETCH(int, code);
        QFETCH(QString, suffix);
        QVERIFY(signIn("demo", "demo123"));
        m_restarts.clear();
        QVERIFY(m_server.addFault("/api/v1/wp/file/getlist", "code", code, 1));
        const QJsonObject r = run(Api::file_getlist, Api::params_file_getlist("/1001/sharedisk/", "", 0, 0));
        QCOMPARE(Api::instance()->checkCode(r), code);
        const QString expected = UserInfo::instance()->loginname + suffix;
        QCOMPARE(m_restarts, QStringList({expected}));
        db_setting nextStart(db_setting::instance()->filePath());
        QCOMPARE(nextStart.lasterror, expected);
    }

    void expiredTokenIsCodeMinusOne()
    {
        Api::instance()->setToken("not-a-token");
        m_restarts.clear();
        const QJsonObject r = run(Api::file_getlist, Api::params_file_getlist("/1001/sharedisk/", "", 0, 0));
        QCOMPARE(Api::instance()->checkCode(r), -1);
        QCOMPARE(m_restarts.size(), 1);
    }

    void uploadEndpointsGoToTheNamedServer()
    {
        QVERIFY(signIn("demo", "demo123"));
        QCOMPARE(m_server.uploadServers().size(), 2);
        const QByteArray content("named upload server\n");
        const QJsonObject link = run(Api::act_GetUploadLink,
                                     Api::params_act_GetUploadLink("/1001/sharedisk/", "named.txt", content.size(), 1));
        QCOMPARE(Api::getCode(link), 0);
        const QJsonObject data = Api::getData(link).toObject();
        const QString upserver = Api::getUpserver(data);
        const QString evtid = data.value("evtid").toVariant().toString();
        QVERIFY(m_server.uploadServers().contains(upserver));
        QVERIFY(!evtid.isEmpty());
        const quint16 named = quint16(QUrl(upserver).port());
        quint16 other = 0;
        for (quint16 p : m_server.uploadPorts())
            if (p != named)
                other = p;

        const QJsonObject chk = run(Api::file_ChkMD5, Api::params_file_ChkMD5(evtid, TestServer::sha256Hex(content)), upserver);
        QCOMPARE(Api::getCode(chk), 0);
        QTRY_COMPARE(m_server.requestCount("/v1/wp/file/ChkMD5", named), 1);
        QCOMPARE(m_server.requestCount("/v1/wp/file/ChkMD5", other), 0);
        QCOMPARE(m_server.requestCount("/v1/wp/file/ChkMD5", m_server.port()), 0);

        const int infoBefore = m_server.requestCount("/api/v1/wp/file/infobypath", m_server.port());
        QCOMPARE(Api::getCode(run(Api::file_infobypath, Api::params_file_infobypath("/1001/sharedisk/"))), 0);
        QTRY_COMPARE(m_server.requestCount("/api/v1/wp/file/infobypath", m_server.port()), infoBefore + 1);

        // Cancelling goes to the same server and clears the pending entry.
        Api::instance()->addCancel({QJsonObject{{"evtid", evtid}, {"upserver", upserver}}});
        VGlobalConnect::instance()->cancelPendingUploads();
        QTRY_VERIFY(Api::instance()->cancelList().isEmpty());
        QTRY_COMPARE(m_server.requestCount("/v1/wp/file/CancelUpload", named), 1);
        QCOMPARE(m_server.requestCount("/v1/wp/file/CancelUpload", other), 0);
        QCOMPARE(db_setting::instance()->getCancle(), QJsonArray());
    }

    void cancelThatNeverArrivesStaysPendingOnce()
    {
        QVERIFY(signIn("demo", "demo123"));
        const QString upserver = m_server.uploadServers().at(0);
        QVERIFY(m_server.addFault("/v1/wp/file/CancelUpload", "status", 500));
        Api::instance()->addCancel({QJsonObject{{"evtid", "gone-1"}, {"upserver", upserver}}});
        VGlobalConnect::instance()->cancelUpload("gone-1", upserver);
        QTRY_COMPARE(m_server.requestCount("/v1/wp/file/CancelUpload"), 3);
        QVERIFY(Api::instance()->threadPool()->waitForDone(10000));
        QCoreApplication::processEvents();
        QCOMPARE(Api::instance()->cancelList().size(), 1);
        QCOMPARE(db_setting::instance()->getCancle().size(), 1);
        m_server.clearFaults();
        VGlobalConnect::instance()->cancelPendingUploads();
        QTRY_VERIFY(Api::instance()->cancelList().isEmpty());
    }

    void folderActs()
    {
        QVERIFY(signIn("demo", "demo123"));
        VGlobalConnect *hub = VGlobalConnect::instance();
        QSignalSpy waiting(hub, &VGlobalConnect::signalLayer_waiting);
        QSignalSpy errors(hub, &VGlobalConnect::signalLayer_err);

        QJsonObject params = Api::params_act_AddDirs("/1001/sharedisk/", {"dirs-a", "dirs-a/b"});
        params.insert("bz", "upload");
        auto *req = new VUrlRequest;
        connect(req, QOverload<const QJsonObject &>::of(&VUrlRequest::signalResult), hub, &VGlobalConnect::slotWpActResult);
        Api::instance()->startApi(req, Api::act_AddDirs, params, false);
        QTRY_COMPARE(waiting.count(), 1);
        QCOMPARE(waiting.at(0).at(0).toString(), QStringLiteral("队列任务处理中，请稍后"));
        QCOMPARE(Api::instance()->actIds().size(), 1);
        const QString act = Api::instance()->actIds().at(0);
        const QJsonObject record = m_server.waitAct(Api::instance()->token(), act);
        QCOMPARE(record.value("status").toVariant().toInt(), 99);
        Api::instance()->removeAct(act);

        // The same upload of folders against an overwhelmed server.
        QVERIFY(m_server.addFault("/api/v1/wp/act/add", "status", 500));
        VGlobalParameter::instance()->setIsUploadPreparing(true);
        auto *failing = new VUrlRequest;
        failing->addCustomData({{"bz", "upload"}});
        connect(failing, QOverload<const QJsonObject &>::of(&VUrlRequest::signalResult), hub,
                &VGlobalConnect::slotWpActResult);
        Api::instance()->startApi(failing, Api::act_AddDirs, params, false);
        QTRY_COMPARE(errors.count(), 2);
        QCOMPARE(errors.at(0).at(0).toString(), QStringLiteral("服务器遇到意外情况，导致无法完成请求"));
        QCOMPARE(errors.at(1).at(0).toString(), QStringLiteral("文件夹数过多"));
        QVERIFY(!VGlobalParameter::instance()->isUploadPreparing());
        QVERIFY(Api::instance()->actIds().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestApiServer)
#include "tst_api_server.moc"
