#pragma once

#include <QMutex>
#include <QObject>
#include <QtGlobal>

// A token bucket shared by every running transfer of one direction. Workers
// ask for bytes where the bytes move (the upload body device, the download
// read loop); all of them together stay within the configured rate.
class VTransferThrottle
{
public:
    enum Direction { Upload = 0, Download = 1 };

    static VTransferThrottle *upload();
    static VTransferThrottle *download();
    static VTransferThrottle *forDirection(Direction d);

    // Bytes per second; 0 switches the limit off.
    void setLimit(qint64 bytesPerSecond);
    qint64 limit() const;
    bool isLimited() const;

    // Takes up to `want` bytes from the bucket without waiting and returns how
    // many were granted (all of them when no limit is set).
    qint64 tryAcquire(qint64 want);
    // Milliseconds until at least one byte can be granted (0 when now).
    int msUntilAvailable();

    // Re-reads the speed settings of the signed-in user (M_config) and keeps
    // following the hub's settings-changed signal. Call on the GUI thread; it
    // is cheap to call again.
    static void applyConfig();
    static void followConfig();

private:
    VTransferThrottle() = default;
    void refill(qint64 nowMs);

    mutable QMutex m_mutex;
    qint64 m_rate = 0;      // bytes per second, 0 = unlimited
    double m_tokens = 0;    // may not exceed m_burst
    double m_burst = 0;
    qint64 m_lastMs = -1;
};

// Lives on the GUI thread and re-applies the settings whenever they change.
class VThrottleConfigWatcher : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
public slots:
    void slotChange_config();
};
