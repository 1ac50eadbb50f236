#ifndef VNETWORKPOLICY_H
#define VNETWORKPOLICY_H

#include <QList>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QString>

class QNetworkAccessManager;
class QNetworkRequest;

// The one place that decides how the client talks TLS, for the request object
// and for the upload and download workers alike.
//
// Peers are verified by default against the system's CA store. Two settings
// change that, both read from the environment when a network access manager is
// created:
//   ORVEL_CA_BUNDLE=/path/ca.pem   extra trusted CA certificates (PEM bundle),
//                                  for deployments with their own CA;
//   ORVEL_INSECURE_TLS=1           accept any certificate (test installations
//                                  only); off by default, logged when on.
//
// A manager is created for one mode and keeps it: every request sent through it
// is configured with the mode the manager was created with, so verified and
// unverified requests never share a manager (nor its connection cache).
class VNetworkPolicy
{
public:
    static const char *const caBundleVariable;  // "ORVEL_CA_BUNDLE"
    static const char *const insecureVariable;  // "ORVEL_INSECURE_TLS"

    // Current settings, read from the environment.
    static bool insecure();
    static QString caBundlePath();

    // CA certificates of the bundle file (cached per path and modification
    // time); empty when unset or unreadable.
    static QList<QSslCertificate> caBundle(const QString &path);

    // The TLS configuration for one mode.
    static QSslConfiguration sslConfiguration(bool insecure, const QString &caBundlePath);

    // A network access manager bound to the current mode.
    static QNetworkAccessManager *createManager(QObject *parent = nullptr);

    // Configures the request's TLS for the manager it will be sent through.
    // A manager not made by createManager() is bound to the current mode on
    // first use.
    static void apply(QNetworkRequest &request, QNetworkAccessManager *manager);
};

#endif // VNETWORKPOLICY_H
