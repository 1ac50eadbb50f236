#include "service.h"

Service &Service::instance()
{
    static Service s;
    return s;
}

void Service::setAddresses(int mainPort, const QList<int> &uploadPorts)
{
    const QString host = cfg.host.contains(QLatin1Char(':')) ? QStringLiteral("[%1]").arg(cfg.host) : cfg.host;
    m_mainPort = mainPort;
    m_mainBase = QStringLiteral("%1://%2:%3").arg(scheme(), host).arg(mainPort);
    m_ports = {mainPort};
    m_uploadBases = QStringList{QString()};
    for (int p : uploadPorts) {
        m_ports.append(p);
        m_uploadBases.append(QStringLiteral("%1://%2:%3").arg(scheme(), host).arg(p));
    }
}

int Service::nextUploadServer()
{
    const int n = uploadServerCount();
    return n <= 0 ? 0 : int(m_rr++ % unsigned(n)) + 1;
}
