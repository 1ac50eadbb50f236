// TLS policy against the stand-in service running with a certificate from a
// CA made for this test: refused by default, accepted once the CA is named,
// accepted with the explicit insecure switch (and that is logged).

#include "Api/api.h"
#include "context/orvelcore.h"
#include "context/vglobalparameter.h"
#include "request/vnetworkpolicy.h"
#include "request/vurlrequest.h"

#include "testhome.h"
#include "testserver.h"

#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {
QStringList captured;
void captureMessages(QtMsgType, const QMessageLogContext &, const QString &msg) { captured << msg; }

bool openssl(const QStringList &args, const QString &dir, QString *error)
{
    QProcess p;
    p.setWorkingDirectory(dir);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("openssl"), args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        *error = QString::fromLocal8Bit(p.readAll());
        return false;
    }
    return true;
}

// A CA and a server certificate for 127.0.0.1 signed by it.
bool makeCertificates(const QString &dir, const QString &prefix, QString *error)
{
    const QString ext = dir + "/" + prefix + "ext.cnf";
    QFile f(ext);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write("subjectAltName=IP:127.0.0.1,DNS:localhost\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n");
    f.close();
    return openssl({"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", prefix + "ca.key", "-out", prefix + "ca.pem",
                    "-days", "2", "-subj", "/CN=Orvel Test CA " + prefix, "-addext", "basicConstraints=critical,CA:TRUE",
                    "-addext", "keyUsage=critical,keyCertSign,cRLSign"},
                   dir, error)
        && openssl({"req", "-newkey", "rsa:2048", "-nodes", "-keyout", prefix + "server.key", "-out", prefix + "server.csr",
                    "-subj", "/CN=127.0.0.1"},
                   dir, error)
        && openssl({"x509", "-req", "-in", prefix + "server.csr", "-CA", prefix + "ca.pem", "-CAkey", prefix + "ca.key",
                    "-CAcreateserial", "-out", prefix + "server.pem", "-days", "2", "-extfile", ext},
                   dir, error);
}
}

class TestVNetworkPolicy : public QObject
{
    Q_OBJECT

    TestHome m_home;
    QTemporaryDir m_certs;
    std::unique_ptr<TestServer> m_server;

    QJsonObject ask()
    {
        VUrlRequest req;
        req.setRequest(0, QUrl(Api::url(Api::user_SsoAppID, QString())));
        return req.send();
    }

private slots:
    void initTestCase()
    {
        initOrvelCore();
        QVERIFY(m_certs.isValid());
        QString error;
        QVERIFY2(makeCertificates(m_certs.path(), "a-", &error), qPrintable(error));
        QVERIFY2(makeCertificates(m_certs.path(), "b-", &error), qPrintable(error));
        TestServer::Options o;
        o.tlsCert = m_certs.filePath("a-server.pem");
        o.tlsKey = m_certs.filePath("a-server.key");
        o.uploadServers = 1;
        m_server.reset(new TestServer(o));
        QVERIFY2(m_server->start(), qPrintable(m_server->errorString()));
        QVERIFY2(m_server->rootUrl().startsWith("https://"), qPrintable(m_server->rootUrl()));
        VGlobalParameter::instance()->setServerRoot(m_server->rootUrl());
        VUrlRequest::setDefaultTickInterval(1000);
    }

    void init()
    {
        qunsetenv(VNetworkPolicy::caBundleVariable);
        qunsetenv(VNetworkPolicy::insecureVariable);
    }

    void cleanupTestCase() { init(); }

    void refusedByDefault()
    {
        const QJsonObject r = ask();
        QCOMPARE(r.value("Code").toInt(), 99);
        QCOMPARE(r.value("Msg").toString(), QStringLiteral("握手失败，无法建立加密通道"));
    }

    void refusedWithAnotherCa()
    {
        qputenv(VNetworkPolicy::caBundleVariable, m_certs.filePath("b-ca.pem").toLocal8Bit());
        QCOMPARE(ask().value("Code").toInt(), 99);
    }

    void refusedWithAnUnreadableBundle()
    {
        qputenv(VNetworkPolicy::caBundleVariable, m_certs.filePath("missing.pem").toLocal8Bit());
        QCOMPARE(ask().value("Code").toInt(), 99);
    }

    void acceptedWithTheCaNamed()
    {
        qputenv(VNetworkPolicy::caBundleVariable, m_certs.filePath("a-ca.pem").toLocal8Bit());
        const QJsonObject r = ask();
        QCOMPARE(r.value("Code").toInt(), 0);
        QVERIFY(!Api::getMsg(r).isEmpty());
    }

    void acceptedWithTheInsecureSwitchWhichIsLogged()
    {
        captured.clear();
        QtMessageHandler old = qInstallMessageHandler(captureMessages);
        qputenv(VNetworkPolicy::insecureVariable, "1");
        const QJsonObject r = ask();
        qInstallMessageHandler(old);
        QCOMPARE(r.value("Code").toInt(), 0);
        QVERIFY2(captured.join('\n').contains("verification is OFF"), qPrintable(captured.join('\n')));
    }

    void aManagerKeepsItsMode()
    {
        // A manager made while verification was on never sends unverified
        // requests, even after the switch flips.
        std::unique_ptr<QNetworkAccessManager> strict(VNetworkPolicy::createManager());
        qputenv(VNetworkPolicy::insecureVariable, "1");
        std::unique_ptr<QNetworkAccessManager> loose(VNetworkPolicy::createManager());
        QNetworkRequest a, b;
        VNetworkPolicy::apply(a, strict.get());
        VNetworkPolicy::apply(b, loose.get());
        QCOMPARE(a.sslConfiguration().peerVerifyMode(), QSslSocket::VerifyPeer);
        QCOMPARE(b.sslConfiguration().peerVerifyMode(), QSslSocket::VerifyNone);
        // A foreign manager is bound to the mode in force at first use.
        QNetworkAccessManager foreign;
        QNetworkRequest c, d;
        VNetworkPolicy::apply(c, &foreign);
        qunsetenv(VNetworkPolicy::insecureVariable);
        VNetworkPolicy::apply(d, &foreign);
        QCOMPARE(c.sslConfiguration().peerVerifyMode(), QSslSocket::VerifyNone);
        QCOMPARE(d.sslConfiguration().peerVerifyMode(), QSslSocket::VerifyNone);
    }
};

QTEST_GUILESS_MAIN(TestVNetworkPolicy)
#include "tst_vnetworkpolicy.moc"
