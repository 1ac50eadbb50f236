#include "testcerts.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>

TestCertificates::TestCertificates(const QString &name) : m_name(name) {}

bool TestCertificates::openssl(const QStringList &args)
{
    QProcess p;
    p.setWorkingDirectory(m_dir.path());
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("openssl"), args);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        m_error = QStringLiteral("openssl %1: %2").arg(args.value(0), QString::fromLocal8Bit(p.readAll()));
        return false;
    }
    return true;
}

bool TestCertificates::make()
{
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary folder for the certificates");
        return false;
    }
    if (QStandardPaths::findExecutable(QStringLiteral("openssl")).isEmpty()) {
        m_error = QStringLiteral("the openssl command is not installed");
        return false;
    }
    QFile ext(path(QStringLiteral("ext.cnf")));
    if (!ext.open(QIODevice::WriteOnly)) {
        m_error = ext.errorString();
        return false;
    }
    ext.write("subjectAltName=IP:127.0.0.1,DNS:localhost\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n");
    ext.close();
    // EC keys: as good as RSA for the test and far quicker to make.
    return openssl({"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout",
                    "ca.key", "-out", "ca.pem", "-days", "2", "-subj", "/CN=" + m_name, "-addext",
                    "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign,cRLSign"})
        && openssl({"req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout",
                    "server.key", "-out", "server.csr", "-subj", "/CN=127.0.0.1"})
        && openssl({"x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial", "-out",
                    "server.pem", "-days", "2", "-extfile", "ext.cnf"});
}
