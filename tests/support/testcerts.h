#pragma once
// TestCertificates: a private certificate authority made for one test run
// (with the openssl command) and a server certificate for 127.0.0.1 and
// localhost signed by it, all in a temporary folder removed afterwards.
//
//     TestCertificates a, b;                 // two unrelated authorities
//     QVERIFY2(a.make() && b.make(), qPrintable(a.errorString()));
//     TestServer::Options o;
//     o.tlsCert = a.serverCert(); o.tlsKey = a.serverKey();
//     qputenv("ORVEL_CA_BUNDLE", a.caFile().toLocal8Bit()); // trusts a only
#include <QString>
#include <QTemporaryDir>

class TestCertificates
{
public:
    // name goes into the authority's common name.
    explicit TestCertificates(const QString &name = QStringLiteral("Orvel Test CA"));
    bool make();
    QString errorString() const { return m_error; }

    QString caFile() const { return path(QStringLiteral("ca.pem")); }
    QString serverCert() const { return path(QStringLiteral("server.pem")); }
    QString serverKey() const { return path(QStringLiteral("server.key")); }

private:
    QString path(const QString &file) const { return m_dir.filePath(file); }
    bool openssl(const QStringList &args);

    QString m_name;
    QTemporaryDir m_dir;
    QString m_error;
};
