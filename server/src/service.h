#pragma once
// Process-wide state of orvel-server: configuration, the store, the fault
// table and the addresses under which the servers answer.
#include "control.h"
#include "store.h"

#include <QString>
#include <QStringList>
#include <QList>
#include <atomic>

struct Config {
    QString host = QStringLiteral("127.0.0.1");
    int port = 0;
    QString dataDir;
    QString seed;
    int uploadCount = 2;
    QList<int> uploadPorts;   // fixed ports for the upload servers (restart keeps them)
    bool control = false;
    int actDelayMs = 500;
    QString tlsCert, tlsKey;
    bool quiet = false;
    bool exitWithParent = false;
};

class Acts;

class Service
{
public:
    static Service &instance();

    Config cfg;
    Store store;
    Faults faults;
    RequestLog requests;
    Acts *acts = nullptr;

    QString scheme() const { return cfg.tlsCert.isEmpty() ? QStringLiteral("http") : QStringLiteral("https"); }
    // "http://HOST:PORT" of the main server, without a trailing slash.
    QString mainBase() const { return m_mainBase; }
    QString rootUrl() const { return m_mainBase + QLatin1Char('/'); }
    // Base addresses of the upload servers, numbered from 1; index 0 is empty.
    QString uploadBase(int index) const { return index > 0 && index < m_uploadBases.size() ? m_uploadBases.at(index) : QString(); }
    int uploadServerCount() const { return m_uploadBases.size() - 1; }
    int mainPort() const { return m_mainPort; }
    int portOf(int serverIndex) const { return serverIndex < m_ports.size() ? m_ports.at(serverIndex) : 0; }

    void setAddresses(int mainPort, const QList<int> &uploadPorts);
    // Round-robin choice of the upload server for a new upload.
    int nextUploadServer();

private:
    QString m_mainBase;
    QStringList m_uploadBases;
    QList<int> m_ports;
    int m_mainPort = 0;
    std::atomic<unsigned> m_rr{0};
};

inline Service &svc() { return Service::instance(); }
