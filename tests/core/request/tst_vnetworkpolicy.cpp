// TLS policy against the stand-in service running with a certificate from a
// CA made for this test: refused by default, accepted once the CA is named,
// accepted with the explicit insecure switch (and that is logged).

#include "Api/api.h"
#include "context/orvelcore.h"
#include "context/vglobalparameter.h"
#include "request/vnetworkpolicy.h"
#include "request/vurlrequest.h"

#include "testcerts.h"
#include "testhome.h"
#include "testserver.h"

#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QtTest>

namespace {
QStringList captured;
void captureMessages(QtMsgType, const QMessageLogContext &, const QString &msg) { captured << msg; }
const QString kHandshake = QStringLiteral("握手失败，无法建立加密通道");
}

class TestVNetworkPolicy : public QObject
{
    Q_OBJECT

    TestHome m_home;
    TestCertificates m_a{QStringLiteral("Orvel Test CA a")};
    TestCertificates m_b{QStringLiteral("Orvel Test CA b")};
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
        QVERIFY2(m_a.make(), qPrintable(m_a.errorString()));
        QVERIFY2(m_b.make(), qPrintable(m_b.errorString()));
        TestServer::Options o;
        o.tlsCert = m_a.serverCert();
        o.tlsKey = m_a.serverKey();
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
        QCOMPARE(r.value("Msg").toString(), kHandshake);
    }

    void refusedWithAnotherCa()
    {
        qputenv(VNetworkPolicy::caBundleVariable, m_b.caFile().toLocal8Bit());
        const QJsonObject r = ask();
        QCOMPARE(r.value("Code").toInt(), 99);
        QCOMPARE(r.value("Msg").toString(), kHandshake);
    }

    void refusedWithAnUnreadableBundle()
    {
        qputenv(VNetworkPolicy::caBundleVariable, (m_a.caFile() + QStringLiteral(".missing")).toLocal8Bit());
        const QJsonObject r = ask();
        QCOMPARE(r.value("Code").toInt(), 99);
        QCOMPARE(r.value("Msg").toString(), kHandshake);
    }

    void acceptedWithTheCaNamed()
    {
        qputenv(VNetworkPolicy::caBundleVariable, m_a.caFile().toLocal8Bit());
        const QJsonObject r = ask();
        QCOMPARE(r.value("Code").toInt(), 0);
        QCOMPARE(Api::getMsg(r), QStringLiteral("33"));
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
