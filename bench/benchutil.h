#pragma once
// What the benchmarks share: resident memory and the lateness of the event loop.

#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QObject>
#include <QTimer>
#include <algorithm>

// Resident memory of this process, KiB.
inline qint64 rssKib()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

// Lateness of a 5 ms timer: how long the GUI thread was busy.
class LagMeter : public QObject
{
public:
    LagMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(5);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const qint64 now = m_clock.nsecsElapsed() / 1000000;
            m_lags << qMax<qint64>(0, now - m_last - 5);
            m_last = now;
        });
    }
    void start()
    {
        m_lags.clear();
        // Lateness counts from the start: a stall before the first tick is
        // measured too.
        m_last = 0;
        m_clock.start();
        m_timer.start();
    }
    void stop() { m_timer.stop(); }
    int samples() const { return m_lags.size(); }
    qint64 p99() const { return percentile(0.99); }
    qint64 max() const { return m_lags.isEmpty() ? 0 : *std::max_element(m_lags.begin(), m_lags.end()); }
    qint64 percentile(double q) const
    {
        if (m_lags.isEmpty())
            return 0;
        QList<qint64> s = m_lags;
        std::sort(s.begin(), s.end());
        return s.at(qMin(s.size() - 1, int(q * s.size())));
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    QList<qint64> m_lags;
};
