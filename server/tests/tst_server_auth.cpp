// Sign-in sequence, token and school checks, and the reply envelope.
#include "testserver.h"

#include <QJsonArray>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class TstServerAuth : public QObject
{
    Q_OBJECT
    TestServer server;

private slots:
    void initTestCase() { QVERIFY2(server.start(), qPrintable(server.errorString())); }

    void signInSequence()
    {
        const QJsonObject app = server.call("api/v1/user/info/SsoAppID", {}, {}, false);
        QCOMPARE(app.value("Code").toInt(), 0);
        QCOMPARE(app.value("Msg").toString(), QStringLiteral("33"));

        const QJsonObject lt = server.call("sso/api/v1/sso/User/GetLoginToken",
                                           {{"accout", "teacher"}, {"pwd", TestServer::encryptPassword("teacher123")},
                                            {"client", "pcclient"}, {"appid", "33"}});
        QCOMPARE(lt.value("Code").toInt(), 0);
        const QString loginToken = lt.value("data").toObject().value("token").toString();
        QVERIFY(!loginToken.isEmpty());

        const QJsonObject tk = server.call("api/v1/user/info/LoginByToken", {{"logintoken", loginToken}});
        QCOMPARE(tk.value("Code").toInt(), 0);
        const QString token = tk.value("Msg").toString();
        QVERIFY(token.size() >= 32);

        // The login token is good for one sign-in only.
        const QJsonObject again = server.call("api/v1/user/info/LoginByToken", {{"logintoken", loginToken}});
        QCOMPARE(again.value("Code").toInt(), 1);
        QCOMPARE(again.value("Msg").toString(), QStringLiteral("登录令牌无效或已过期，请重新登录"));

        const QJsonArray schools = server.call("api/v1/user/info/GetMySchool", {}, token, false).value("data").toArray();
        QCOMPARE(schools.size(), 2);
        QCOMPARE(schools.at(0).toObject().value("id").toInt(), 1001);
        QVERIFY(!schools.at(1).toObject().value("schoolname").toString().isEmpty());

        // Before a school is chosen the disk answers -2.
        QCOMPARE(server.call("api/v1/wp/file/getlist", {{"filepath", "/"}}, token).value("Code").toInt(), -2);
        const QJsonObject foreign = server.call("api/v1/user/info/ChgSchool", {{"schoolid", "4242"}}, token);
        QCOMPARE(foreign.value("Code").toInt(), 1);
        QCOMPARE(foreign.value("Msg").toString(), QStringLiteral("您不属于该学校，无法切换"));
        QCOMPARE(server.call("api/v1/user/info/ChgSchool", {{"schoolid", "1002"}}, token).value("Code").toInt(), 0);

        const QJsonObject info = server.call("api/v1/user/info/GetLoginInfo", {}, token, false);
        QCOMPARE(info.value("Code").toInt(), 0);
        const QJsonObject d = info.value("data").toObject();
        for (const char *key : {"id", "truename", "namenote", "sex", "shenfen", "schoolid", "logintime", "logins",
                                "loginname", "jiancheng", "face", "birthday", "mobile"})
            QVERIFY2(d.contains(QLatin1String(key)), key);
        QCOMPARE(d.value("schoolid").toInt(), 1002);
        QCOMPARE(d.value("loginname").toString(), QStringLiteral("teacher"));
        QCOMPARE(d.value("shenfen").toInt(), 2);
        QVERIFY(d.value("logins").toInt() >= 1);
    }

    void wrongCredentials_data()
    {
        QTest::addColumn<QString>("account");
        QTest::addColumn<QString>("pwd");
        QTest::addColumn<QString>("msg");
        const QString wrong = QStringLiteral("用户名或密码错误");
        const QString undecodable = QStringLiteral("密码格式错误，无法解密");
        const QString missing = QStringLiteral("请输入用户名和密码");
        QTest::newRow("wrong password") << "demo" << TestServer::encryptPassword("nope") << wrong;
        QTest::newRow("unknown account") << "nobody" << TestServer::encryptPassword("demo123") << wrong;
        QTest::newRow("plain password") << "demo" << "demo123" << undecodable;
        QTest::newRow("not base64 AES") << "demo" << "!!!" << undecodable;
        QTest::newRow("empty password") << "demo" << "" << missing;
        QTest::newRow("empty account") << "" << TestServer::encryptPassword("demo123") << missing;
    }
    void wrongCredentials()
    {
        QFETCH(QString, account);
        QFETCH(QString, pwd);
        QFETCH(QString, msg);
        const QJsonObject r = server.call("sso/api/v1/sso/User/GetLoginToken", {{"accout", account}, {"pwd", pwd}, {"appid", "33"}});
        QCOMPARE(r.value("Code").toInt(), 1);
        QCOMPARE(r.value("Msg").toString(), msg);
        QVERIFY(r.value("data").toObject().value("token").toString().isEmpty());
    }

    void tokenChecks_data()
    {
        QTest::addColumn<QString>("token");
        QTest::newRow("none") << QString();
        QTest::newRow("unknown") << QStringLiteral("0123456789abcdef");
    }
    void tokenChecks()
    {
        QFETCH(QString, token);
        for (const char *path : {"api/v1/wp/file/getlist", "api/v1/user/info/GetLoginInfo", "api/v1/user/info/islogin",
                                 "api/v1/wp/act/add", "api/v1/wp/act/GetUploadLink", "api/v1/wp/favourite/list"})
            QCOMPARE(server.call(QLatin1String(path), {{"filepath", "/"}}, token).value("Code").toInt(), -1);
        // Upload servers check the token as well.
        QCOMPARE(server.call(server.uploadServers().first() + "/v1/wp/file/ChkMD5", {{"evtid", "x"}}, token).value("Code").toInt(), -1);
    }

    void signedInElsewhere()
    {
        const QString first = server.signIn("demo", "demo123");
        QVERIFY(!first.isEmpty());
        QCOMPARE(server.call("api/v1/user/info/islogin", {}, first, false).value("Msg").toBool(), true);
        const QString second = server.signIn("demo", "demo123");
        QVERIFY(!second.isEmpty());
        const QJsonObject r = server.call("api/v1/user/info/islogin", {}, first, false);
        QCOMPARE(r.value("Code").toInt(), 0);
        QCOMPARE(r.value("Msg").toBool(), false);
        QCOMPARE(server.call("api/v1/user/info/islogin", {}, second, false).value("Msg").toBool(), true);

        QCOMPARE(server.call("api/v1/user/info/loginout", {}, second, false).value("Code").toInt(), 0);
        QCOMPARE(server.call("api/v1/user/info/islogin", {}, second, false).value("Code").toInt(), -1);
    }

    void changePassword()
    {
        const QString token = server.signIn("student", "student123");
        QVERIFY(!token.isEmpty());
        auto edit = [&](const QString &o, const QString &n1, const QString &n2) {
            return server.call("api/v1/user/info/Editpwd",
                               {{"opwd", TestServer::encryptPassword(o)}, {"npwd1", TestServer::encryptPassword(n1)},
                                {"npwd2", TestServer::encryptPassword(n2)}},
                               token);
        };
        QCOMPARE(edit("wrong", "new-pass1", "new-pass1").value("Msg").toString(), QStringLiteral("原密码错误"));
        QCOMPARE(edit("student123", "new-pass1", "new-pass2").value("Msg").toString(), QStringLiteral("两次密码输入不同"));
        QCOMPARE(edit("student123", "", "").value("Msg").toString(), QStringLiteral("新密码不能为空"));
        QCOMPARE(edit("student123", "新密码-1", "新密码-1").value("Code").toInt(), 0);
        QString refused;
        QVERIFY(server.signIn("student", "student123", 0, &refused).isEmpty());
        QCOMPARE(refused, QStringLiteral("用户名或密码错误"));
        QVERIFY(!server.signIn("student", "新密码-1").isEmpty());
    }

    void envelopeEscapesSlashes()
    {
        const QString token = server.signIn("demo", "demo123");
        const TestServer::Reply r = server.request("POST", server.apiUrl() + "v1/wp/act/GetDownLoadLink", QByteArray(),
                                                   {{"Authorization", "Bearer " + token.toUtf8()}});
        // The client strips every "//" before parsing: the raw text must hold none.
        QVERIFY2(!r.body.contains("//"), r.body.constData());
        QVERIFY(r.body.startsWith("{\"Code\":0,"));
        QCOMPARE(r.json.value("Msg").toObject().value("upserver").toString() + "/", server.rootUrl());
        QString stripped = QString::fromUtf8(r.body);
        stripped.remove(QStringLiteral("//"));
        QCOMPARE(QJsonDocument::fromJson(stripped.toUtf8()).object().value("Msg").toObject().value("upserver").toString() + "/",
                 server.rootUrl());
    }

    void tlsOnEveryServer()
    {
        QTemporaryDir dir;
        QProcess openssl;
        openssl.start("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", dir.filePath("key.pem"), "-out",
                                  dir.filePath("cert.pem"), "-days", "2", "-subj", "/CN=127.0.0.1", "-addext",
                                  "subjectAltName=IP:127.0.0.1"});
        if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0)
            QSKIP("openssl cannot make a certificate here");
        TestServer::Options o;
        o.tlsCert = dir.filePath("cert.pem");
        o.tlsKey = dir.filePath("key.pem");
        TestServer tls(o);
        QVERIFY2(tls.start(), qPrintable(tls.errorString()));
        QVERIFY(tls.rootUrl().startsWith("https://127.0.0.1:"));
        for (const QString &up : tls.uploadServers())
            QVERIFY(up.startsWith("https://"));
        const QString token = tls.signIn("demo", "demo123");
        QVERIFY(!token.isEmpty());
        QCOMPARE(tls.call(tls.uploadServers().first() + "/v1/wp/file/CancelUpload", {{"evtid", "x"}}, token).value("Code").toInt(), 0);
        // Plain HTTP on a TLS port gets no reply.
        const TestServer::Reply plain = tls.request("GET", QString(tls.rootUrl()).replace("https:", "http:") + "api/v1/sys/time/getnow",
                                                    QByteArray(), {}, 3000);
        QVERIFY(plain.json.isEmpty());
    }

    void pathsAndBadInput()
    {
        const QString token = server.signIn("demo", "demo123");
        // Doubled slashes read as one, as the client sometimes joins "…/" and "/…".
        QCOMPARE(server.call("api//v1/wp//file/getlist", {{"filepath", "//"}}, token).value("Code").toInt(), 0);
        const TestServer::Reply unknown = server.request("POST", server.apiUrl() + "v1/no/such/thing", "a=1");
        QCOMPARE(unknown.status, 404);
        QCOMPARE(unknown.json.value("Code").toInt(), 404);
        QVERIFY2(unknown.json.value("Msg").toString().startsWith(QStringLiteral("接口不存在：")), unknown.body.constData());
        // Malformed bodies never crash the server.
        QCOMPARE(server.call("api/v1/user/info/ChgSchool", {{"schoolid", "%%%"}}, token).value("Msg").toString(),
                 QStringLiteral("学校编号无效"));
        server.request("POST", server.apiUrl() + "v1/wp/act/add", QByteArray(100000, '&'), {{"Authorization", "Bearer " + token.toUtf8()}});
        QCOMPARE(server.call("api/v1/sys/time/getnow", {}, {}, false).value("Code").toInt(), 0);
        QVERIFY(server.isRunning());
    }
};

QTEST_GUILESS_MAIN(TstServerAuth)
#include "tst_server_auth.moc"
