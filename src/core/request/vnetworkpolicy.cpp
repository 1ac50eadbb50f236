#include "request/vnetworkpolicy.h"

#include <QDateTime>
#include <QFileInfo>
#include <QHash>
#include <QLoggingCategory>
#include <QMutex>
#include <QMutexLocker>
#include <QNetworkAccessManager>
#include <QNetworkRequest>

#include <atomic>

Q_LOGGING_CATEGORY(lcTls, "orvel.tls")

const char *const VNetworkPolicy::caBundleVariable = "ORVEL_CA_BUNDLE";
const char *const VNetworkPolicy::insecureVariable = "ORVEL_INSECURE_TLS";

namespace {
const char *const kInsecureProperty = "orvelTlsInsecure";
const char *const kCaProperty = "orvelTlsCaBundle";

struct CachedBundle
{
    QDateTime modified;
    QList<QSslCertificate> certificates;
};

QMutex bundleMutex;
QHash<QString, CachedBundle> bundleCache;

// 0 never logged, 1 last logged on, 2 last logged off: say it once per change.
std::atomic<int> insecureLogged{0};
}

bool VNetworkPolicy::insecure()
{
    const QByteArray v = qgetenv(insecureVariable).trimmed().toLower();
    const bool on = (v == "1" || v == "true" || v == "yes" || v == "on");
    const int state = on ? 1 : 2;
    if (insecureLogged.exchange(state) != state && on)
        qCWarning(lcTls) << "TLS peer verification is OFF (" << insecureVariable
                         << "is set): any certificate is accepted";
    return on;
}

QString VNetworkPolicy::caBundlePath()
{
    return QString::fromLocal8Bit(qgetenv(caBundleVariable)).trimmed();
}

QList<QSslCertificate> VNetworkPolicy::caBundle(const QString &path)
{
    if (path.isEmpty())
        return {};
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable()) {
        qCWarning(lcTls) << "CA bundle not readable:" << path;
        return {};
    }
    QMutexLocker lock(&bundleMutex);
    auto it = bundleCache.find(path);
    if (it != bundleCache.end() && it->modified == info.lastModified())
        return it->certificates;
    CachedBundle entry;
    entry.modified = info.lastModified();
    entry.certificates = QSslCertificate::fromPath(path, QSsl::Pem, QSslCertificate::PatternSyntax::FixedString);
    if (entry.certificates.isEmpty())
        qCWarning(lcTls) << "CA bundle holds no PEM certificate:" << path;
    else
        qCInfo(lcTls) << "CA bundle" << path << "adds" << entry.certificates.size() << "certificate(s)";
    bundleCache.insert(path, entry);
    return entry.certificates;
}

QSslConfiguration VNetworkPolicy::sslConfiguration(bool insecure, const QString &caBundlePath)
{
    QSslConfiguration conf = QSslConfiguration::defaultConfiguration();
    conf.setProtocol(QSsl::SecureProtocols);
    if (insecure) {
        conf.setPeerVerifyMode(QSslSocket::VerifyNone);
    } else {
        conf.setPeerVerifyMode(QSslSocket::VerifyPeer);
        const QList<QSslCertificate> extra = caBundle(caBundlePath);
        if (!extra.isEmpty()) {
            QList<QSslCertificate> cas = conf.caCertificates();
            cas += extra;
            conf.setCaCertificates(cas);
        }
    }
    return conf;
}

QNetworkAccessManager *VNetworkPolicy::createManager(QObject *parent)
{
    auto *manager = new QNetworkAccessManager(parent);
    manager->setProperty(kInsecureProperty, insecure());
    manager->setProperty(kCaProperty, caBundlePath());
    return manager;
}

void VNetworkPolicy::apply(QNetworkRequest &request, QNetworkAccessManager *manager)
{
    bool off;
    QString ca;
    if (manager && manager->property(kInsecureProperty).isValid()) {
        off = manager->property(kInsecureProperty).toBool();
        ca = manager->property(kCaProperty).toString();
    } else {
        off = insecure();
        ca = caBundlePath();
        if (manager) {
            manager->setProperty(kInsecureProperty, off);
            manager->setProperty(kCaProperty, ca);
        }
    }
    request.setSslConfiguration(sslConfiguration(off, ca));
}
