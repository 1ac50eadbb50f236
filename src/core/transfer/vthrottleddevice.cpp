#include "transfer/vthrottleddevice.h"

#include <QThread>
#include <cstring>

#include "transfer/vtransferthrottle.h"

VThrottledDevice::VThrottledDevice(const QByteArray &data, VTransferThrottle *throttle,
                                   const std::atomic<bool> *stopFlag, QObject *parent)
    : QIODevice(parent), m_data(data), m_throttle(throttle), m_stop(stopFlag)
{
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

qint64 VThrottledDevice::bytesAvailable() const
{
    return m_data.size() - pos() + QIODevice::bytesAvailable();
}

qint64 VThrottledDevice::readData(char *data, qint64 maxlen)
{
    const qint64 at = pos();
    qint64 n = qMin<qint64>(maxlen, m_data.size() - at);
    if (n <= 0)
        return 0;
    if (m_throttle) {
        qint64 granted = m_throttle->tryAcquire(n);
        while (granted <= 0) {
            if (m_stop && m_stop->load())
                return -1;
            QThread::msleep(quint32(qMax(1, m_throttle->msUntilAvailable())));
            granted = m_throttle->tryAcquire(n);
        }
        n = granted;
    }
    std::memcpy(data, m_data.constData() + at, size_t(n));
    return n;
}
