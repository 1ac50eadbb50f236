// The sign-in sequence against the stand-in service: the accounts it knows,
// the school choice, and every way it ends early, each told by its kind, its
// step and the server's own words.

#include "Api/api.h"
#include "Api/vsignin.h"
#include "context/orvelcore.h"
#include "context/userinfo.h"
#include "context/vglobalparameter.h"
#include "request/vurlrequest.h"

#include "apirunner.h"
#include "testhome.h"
#include "testserver.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QtTest>

class TestVSignIn : public QObject, ServedClient
{
    Q_OBJECT

    QStringList m_restarts;

    // Runs one sequence; answers after its last signal.
    static void runToEnd(VSignIn &s, const QString &user, const QString &password)
    {
        QSignalSpy finished(&s, &VSignIn::signalFinished);
        QSignalSpy failed(&s, &VSignIn::signalFailed);
        s.start(user, password);
        QTRY_VERIFY_WITH_TIMEOUT(finished.count() + failed.count() == 1, 30000);
        QVERIFY(!s.isRunning());
    }

    int count(const char *path) const { return m_server.requestCount(QString::fromLatin1(path)); }

private slots:
    void initTestCase()
    {
        QString err;
        QVERIFY2(startClientCore(m_server, &m_restarts, 300, &err), qPrintable(err));
    }

    void init()
    {
        m_server.clearFaults();
        m_restarts.clear();
        Api::instance()->setToken(QString());
        UserInfo::instance()->clear();
    }

    void oneSchoolIsTakenAtOnce()
    {
        VSignIn s;
        QSignalSpy signedIn(&s, &VSignIn::signalSignedIn);
        QSignalSpy choose(&s, &VSignIn::signalChooseSchool);
        QSignalSpy changed(&s, &VSignIn::signalSchoolChanged);
        const int switches = count("/api/v1/user/info/ChgSchool");
        runToEnd(s, "demo", "demo123");
        QVERIFY2(s.result().ok(), qPrintable(VSignIn::describe(s.result())));
        QCOMPARE(signedIn.count(), 1);
        QCOMPARE(choose.count(), 0);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(0).toString(), QStringLiteral("1001"));
        QCOMPARE(s.result().schoolId, QStringLiteral("1001"));
        QCOMPARE(count("/api/v1/user/info/ChgSchool"), switches + 1);
        UserInfo *u = UserInfo::instance();
        QCOMPARE(u->schoolid, 1001);
        QCOMPARE(u->schoolname, QStringLiteral("示范实验学校"));
        QCOMPARE(u->loginname, QStringLiteral("demo"));
        QCOMPARE(u->truename, QStringLiteral("演示教师"));
        // the bearer token works, and the session sits in the school
        QCOMPARE(m_server.call("api/v1/user/info/islogin", {}, Api::instance()->token()).value("Code").toInt(), 0);
        const QJsonObject info = m_server.call("api/v1/user/info/GetLoginInfo", {}, Api::instance()->token(), false);
        QCOMPARE(info.value("data").toObject().value("schoolid").toInt(), 1001);
    }

    void severalSchoolsWaitForAChoice()
    {
        VSignIn s;
        QSignalSpy choose(&s, &VSignIn::signalChooseSchool);
        QSignalSpy finished(&s, &VSignIn::signalFinished);
        const int switches = count("/api/v1/user/info/ChgSchool");
        s.start("teacher", "teacher123");
        QTRY_COMPARE_WITH_TIMEOUT(choose.count(), 1, 30000);
        const QJsonArray list = choose.at(0).at(0).toJsonArray();
        QCOMPARE(list.size(), 2);
        QCOMPARE(s.schools().value("1002").toString(), QStringLiteral("第二实验中学"));
        QVERIFY(s.isRunning());
        QCOMPARE(count("/api/v1/user/info/ChgSchool"), switches);
        // two quick choices: the first one is sent, once
        s.chooseSchool("1002");
        s.chooseSchool("1001");
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 30000);
        QCOMPARE(count("/api/v1/user/info/ChgSchool"), switches + 1);
        QCOMPARE(s.result().schoolId, QStringLiteral("1002"));
        const QJsonObject info = m_server.call("api/v1/user/info/GetLoginInfo", {}, Api::instance()->token(), false);
        QCOMPARE(info.value("data").toObject().value("schoolid").toInt(), 1002);
    }

    void aPreferredSchoolIsTakenWhenListed_data()
    {
        QTest::addColumn<QString>("preferred");
        QTest::addColumn<bool>("asked");
        QTest::newRow("listed") << "1002" << false;
        QTest::newRow("not listed") << "1003" << true;
    }

    void aPreferredSchoolIsTakenWhenListed()
    {
        QFETCH(QString, preferred);
        QFETCH(bool, asked);
        VSignIn s;
        s.setPreferredSchool(preferred);
        QSignalSpy choose(&s, &VSignIn::signalChooseSchool);
        connect(&s, &VSignIn::signalChooseSchool, &s, [&s] { s.chooseSchool("1001"); });
        runToEnd(s, "teacher", "teacher123");
        QVERIFY(s.result().ok());
        QCOMPARE(choose.count(), asked ? 1 : 0);
        QCOMPARE(s.result().schoolId, asked ? QStringLiteral("1001") : preferred);
    }

    void synchronousForTools()
    {
        VSignIn::Result r = VSignIn::signInSync("teacher", "teacher123", "1002");
        QVERIFY(r.ok());
        QCOMPARE(r.schoolId, QStringLiteral("1002"));
        r = VSignIn::signInSync("teacher", "teacher123");
        QCOMPARE(r.schoolId, QStringLiteral("1001"));
        r = VSignIn::signInSync("teacher", "wrong");
        QCOMPARE(r.failure, VSignIn::Refused);
        QCOMPARE(VSignIn::describe(r), QStringLiteral("refused at GetLoginToken: 用户名或密码错误 (Code 1)"));
    }

    // Every early end: the kind, the step it ended at, the code and the
    // server's own message (or the transport's words).
    void refusals_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("faultPath");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("faultMsg");
        QTest::addColumn<int>("failure");
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");

        const QString none;
        QTest::newRow("wrong password") << "demo" << "demo12" << none << none << 0 << none << int(VSignIn::Refused)
                                        << int(VSignIn::LoginToken) << 1 << QStringLiteral("用户名或密码错误");
        QTest::newRow("unknown account") << "nobody" << "demo123" << none << none << 0 << none
                                         << int(VSignIn::Refused) << int(VSignIn::LoginToken) << 1
                                         << QStringLiteral("用户名或密码错误");
        QTest::newRow("no school") << "demo" << "demo123" << "/api/v1/user/info/GetMySchool" << "code" << 0
                                   << QStringLiteral("获取成功") << int(VSignIn::NoSchool) << int(VSignIn::Schools) << 0
                                   << VSignIn::noSchoolText();
        QTest::newRow("school switch refused")
            << "demo" << "demo123" << "/api/v1/user/info/ChgSchool" << "code" << 1
            << QStringLiteral("您不属于该学校，无法切换") << int(VSignIn::Refused) << int(VSignIn::SchoolSwitch) << 1
            << QStringLiteral("您不属于该学校，无法切换");
        // the server's own Code 99 is a refusal, not a missing answer
        QTest::newRow("server's code 99") << "demo" << "demo123" << "/api/v1/user/info/LoginByToken" << "code" << 99
                                          << QStringLiteral("令牌服务繁忙") << int(VSignIn::Refused)
                                          << int(VSignIn::BearerToken) << 99 << QStringLiteral("令牌服务繁忙");
        QTest::newRow("http 500") << "demo" << "demo123" << "/api/v1/user/info/SsoAppID" << "status" << 500 << none
                                  << int(VSignIn::Transport) << int(VSignIn::AppId) << 99
                                  << QStringLiteral("服务器遇到意外情况，导致无法完成请求");
        QTest::newRow("sign-on server stalls") << "demo" << "demo123" << "/sso/api/v1/sso/User/GetLoginToken"
                                               << "stall" << 3000 << none << int(VSignIn::Transport)
                                               << int(VSignIn::LoginToken) << 99
                                               << QStringLiteral("请求超时，请稍后重试");
        QTest::newRow("not the envelope") << "demo" << "demo123" << "/api/v1/user/info/GetMySchool" << "garbage" << 0
                                          << none << int(VSignIn::Transport) << int(VSignIn::Schools) << 0
                                          << QStringLiteral("服务器返回的数据无法识别");
    }

    void refusals()
    {
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(QString, faultPath);
        QFETCH(QString, kind);
        QFETCH(int, value);
        QFETCH(QString, faultMsg);
        QFETCH(int, failure);
        QFETCH(int, step);
        QFETCH(int, code);
        QFETCH(QString, message);
        if (!faultPath.isEmpty())
            QVERIFY(m_server.addFault(faultPath, kind, value, 0,
                                      faultMsg.isEmpty() ? QJsonObject() : QJsonObject{{"msg", faultMsg}}));
        const int switches = count("/api/v1/user/info/ChgSchool");
        const int profiles = count("/api/v1/user/info/GetLoginInfo");
        VSignIn s;
        QSignalSpy failed(&s, &VSignIn::signalFailed);
        QSignalSpy finished(&s, &VSignIn::signalFinished);
        runToEnd(s, user, password);
        QCOMPARE(finished.count(), 0);
        QCOMPARE(failed.count(), 1);
        QCOMPARE(failed.at(0).at(0).toString(), message);
        QCOMPARE(failed.at(0).at(1).toInt(), failure);
        const VSignIn::Result &r = s.result();
        QCOMPARE(int(r.failure), failure);
        QCOMPARE(int(r.step), step);
        QCOMPARE(r.code, code);
        QCOMPARE(r.message, message);
        // nothing after the step that failed
        if (step < VSignIn::SchoolSwitch)
            QCOMPARE(count("/api/v1/user/info/ChgSchool"), switches);
        QCOMPARE(count("/api/v1/user/info/GetLoginInfo"), profiles);
        QVERIFY(UserInfo::instance()->loginname.isEmpty());
        QVERIFY(m_restarts.isEmpty());
    }

    void noServerIsATransportFailure()
    {
        quint16 port;
        {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
            port = probe.serverPort();
        }
        VGlobalParameter::instance()->setServerRoot(QStringLiteral("http://127.0.0.1:%1/").arg(port));
        const VSignIn::Result r = VSignIn::signInSync("demo", "demo123");
        VGlobalParameter::instance()->setServerRoot(m_server.rootUrl());
        QCOMPARE(r.failure, VSignIn::Transport);
        QCOMPARE(r.step, VSignIn::AppId);
        QCOMPARE(r.message, QStringLiteral("远程服务器拒绝连接"));
    }

    // In the program a lost sign-in (Code -1/-2) goes to the dispatcher's
    // handler, which starts over; a tool only reports it.
    void lostSignInDuringTheSequence()
    {
        QVERIFY(m_server.addFault("/api/v1/user/info/GetLoginInfo", "code", -1));
        VSignIn s;
        runToEnd(s, "demo", "demo123");
        QCOMPARE(s.result().failure, VSignIn::Refused);
        QCOMPARE(s.result().step, VSignIn::Profile);
        QCOMPARE(s.result().code, -1);
        QCOMPARE(m_restarts.size(), 1);

        m_restarts.clear();
        const VSignIn::Result r = VSignIn::signInSync("demo", "demo123");
        QCOMPARE(r.code, -1);
        QVERIFY(m_restarts.isEmpty());
    }

    void aSecondStartWhileRunningIsIgnored()
    {
        VSignIn s;
        const int apps = count("/api/v1/user/info/SsoAppID");
        QSignalSpy finished(&s, &VSignIn::signalFinished);
        s.start("demo", "demo123");
        s.start("teacher", "teacher123");
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 30000);
        QCOMPARE(count("/api/v1/user/info/SsoAppID"), apps + 1);
        QCOMPARE(UserInfo::instance()->loginname, QStringLiteral("demo"));
    }
};

QTEST_GUILESS_MAIN(TestVSignIn)
#include "tst_vsignin.moc"
