#include "transfer/vtransferprogress.h"

#include "utils/vutils.h"

void VTransferProgress::reset()
{
    m_done = 0;
    m_total = 0;
    m_lastMs = 0;
    m_samples.clear();
}

void VTransferProgress::report(qint64 done, qint64 total, qint64 nowMs)
{
    m_done = qMax<qint64>(0, done);
    m_total = qMax<qint64>(0, total);
    m_lastMs = nowMs;
}

void VTransferProgress::sample()
{
    if (m_lastMs <= 0)
        return;
    if (!m_samples.isEmpty() && m_samples.last().second == m_lastMs)
        return; // nothing new since the last tick
    m_samples.append({m_done, m_lastMs});
    while (m_samples.size() > kSamples)
        m_samples.removeFirst();
}

qint64 VTransferProgress::speed() const
{
    if (m_samples.size() < 2)
        return 0;
    const qint64 bytes = m_samples.last().first - m_samples.first().first;
    const qint64 ms = m_samples.last().second - m_samples.first().second;
    if (ms <= 0 || bytes <= 0)
        return 0;
    return bytes * 1000 / ms;
}

qint64 VTransferProgress::secondsLeft() const
{
    const qint64 s = speed();
    if (s <= 0 || m_total <= 0)
        return -1;
    const qint64 left = qMax<qint64>(0, m_total - m_done);
    return (left + s - 1) / s;
}

int VTransferProgress::permyriad() const { return permyriad(m_done, m_total); }

int VTransferProgress::permyriad(qint64 done, qint64 total)
{
    if (total <= 0)
        return 0;
    if (done >= total)
        return 10000;
    // Split to stay inside 64 bits for any file size.
    const qint64 whole = done / total * 10000;
    const qint64 part = (done % total) * 10000 / total;
    return int(qBound<qint64>(0, whole + part, 10000));
}

QString VTransferProgress::speedText(qint64 bytesPerSecond)
{
    if (bytesPerSecond <= 0)
        return QString();
    return VUtils::formatSize(bytesPerSecond) + QStringLiteral("/s");
}

QString VTransferProgress::timeText(qint64 seconds)
{
    if (seconds < 0)
        return QStringLiteral("-");
    const qint64 days = seconds / 86400;
    const qint64 rest = seconds % 86400;
    const QString clock = QStringLiteral("%1:%2:%3")
                              .arg(rest / 3600, 2, 10, QLatin1Char('0'))
                              .arg(rest % 3600 / 60, 2, 10, QLatin1Char('0'))
                              .arg(rest % 60, 2, 10, QLatin1Char('0'));
    return days > 0 ? QStringLiteral("%1天%2").arg(days).arg(clock) : clock;
}
