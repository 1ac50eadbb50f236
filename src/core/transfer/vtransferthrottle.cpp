#include "transfer/vtransferthrottle.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMutexLocker>
#include <QThread>

#include "records/m_config.h"
#include "transfer/vglobalconnect.h"

namespace {

qint64 monoMs()
{
    static QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return clock.elapsed();
}

// A quarter second of budget: small enough that no one-second window can
// exceed the limit by much, large enough to keep reads and writes in chunks.
constexpr double kBurstSeconds = 0.25;

} // namespace

VTransferThrottle *VTransferThrottle::upload()
{
    static VTransferThrottle t;
    return &t;
}

VTransferThrottle *VTransferThrottle::download()
{
    static VTransferThrottle t;
    return &t;
}

VTransferThrottle *VTransferThrottle::forDirection(Direction d)
{
    return d == Upload ? upload() : download();
}

void VTransferThrottle::setLimit(qint64 bytesPerSecond)
{
    QMutexLocker lock(&m_mutex);
    if (bytesPerSecond < 0)
        bytesPerSecond = 0;
    if (bytesPerSecond == m_rate)
        return;
    m_rate = bytesPerSecond;
    m_burst = qMax(1.0, m_rate * kBurstSeconds);
    // Start the new budget empty-ish so that a lowered limit is felt at once.
    m_tokens = qMin(m_tokens, m_burst);
    if (m_tokens < 0)
        m_tokens = 0;
    m_lastMs = monoMs();
}

qint64 VTransferThrottle::limit() const
{
    QMutexLocker lock(&m_mutex);
    return m_rate;
}

bool VTransferThrottle::isLimited() const
{
    return limit() > 0;
}

void VTransferThrottle::refill(qint64 nowMs)
{
    if (m_lastMs < 0)
        m_lastMs = nowMs;
    const qint64 dt = nowMs - m_lastMs;
    if (dt > 0) {
        m_tokens = qMin(m_burst, m_tokens + double(m_rate) * dt / 1000.0);
        m_lastMs = nowMs;
    }
}

qint64 VTransferThrottle::tryAcquire(qint64 want)
{
    if (want <= 0)
        return 0;
    QMutexLocker lock(&m_mutex);
    if (m_rate <= 0)
        return want;
    refill(monoMs());
    const qint64 granted = qMin<qint64>(want, qint64(m_tokens));
    m_tokens -= granted;
    return granted;
}

int VTransferThrottle::msUntilAvailable()
{
    QMutexLocker lock(&m_mutex);
    if (m_rate <= 0)
        return 0;
    refill(monoMs());
    if (m_tokens >= 1.0)
        return 0;
    // Wait for a useful chunk rather than single bytes, capped so that a
    // changed setting or a stop is noticed quickly.
    const double want = qMin(m_burst, qMax(1.0, m_rate / 50.0));
    const double ms = (want - m_tokens) * 1000.0 / m_rate;
    return qBound(1, int(ms + 0.5), 100);
}

void VTransferThrottle::applyConfig()
{
    M_config *c = M_config::instance();
    upload()->setLimit(c->Transfer_isupload && c->Transfer_speed_upload > 0
                           ? qint64(c->Transfer_speed_upload) * 1024
                           : 0);
    download()->setLimit(c->Transfer_isdownload && c->Transfer_speed_download > 0
                             ? qint64(c->Transfer_speed_download) * 1024
                             : 0);
}

void VTransferThrottle::followConfig()
{
    static VThrottleConfigWatcher *watcher = nullptr;
    if (watcher)
        return;
    if (QCoreApplication::instance() && QThread::currentThread() != QCoreApplication::instance()->thread())
        return; // only the GUI thread may read the settings record
    watcher = new VThrottleConfigWatcher(QCoreApplication::instance());
    QObject::connect(VGlobalConnect::instance(), &VGlobalConnect::signalChange_config, watcher,
                     &VThrottleConfigWatcher::slotChange_config);
    applyConfig();
}

void VThrottleConfigWatcher::slotChange_config()
{
    VTransferThrottle::applyConfig();
}
