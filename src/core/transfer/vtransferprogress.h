#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QtGlobal>

// Progress of one transfer run: bytes done against the total, the speed over
// the last samples and the time left. All 64-bit; an empty or growing file
// never divides by zero. A new run starts with reset().
class VTransferProgress
{
public:
    static constexpr int kSamples = 10;

    void reset();
    // The worker's latest report (bytes done, bytes total) and when it came.
    void report(qint64 done, qint64 total, qint64 nowMs);
    // Called once a second by the row: takes a sample of the last report.
    void sample();

    qint64 done() const { return m_done; }
    qint64 total() const { return m_total; }
    // Bytes per second over the kept samples; 0 without a positive time span.
    qint64 speed() const;
    // Seconds left at the current speed; -1 when unknown.
    qint64 secondsLeft() const;
    // 0 … 10 000 for the progress bar.
    int permyriad() const;

    // "12.3MB/s" style; empty at 0.
    static QString speedText(qint64 bytesPerSecond);
    // "hh:mm:ss"; beyond a day "N天hh:mm:ss"; "-" when unknown.
    static QString timeText(qint64 seconds);
    static int permyriad(qint64 done, qint64 total);

private:
    qint64 m_done = 0;
    qint64 m_total = 0;
    qint64 m_lastMs = 0;
    QList<QPair<qint64, qint64>> m_samples; // (bytes done, ms)
};
